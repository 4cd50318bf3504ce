#ifndef _WIN32

#include "link/termios_settings.h"

#include <sys/ioctl.h>

#include <array>
#include <utility>

namespace tessarin {

namespace {

struct SpeedEntry {
    std::uint32_t rate;
    speed_t speed;
};

constexpr std::array kSpeeds{
    SpeedEntry{50, B50},         SpeedEntry{75, B75},         SpeedEntry{110, B110},     SpeedEntry{134, B134},
    SpeedEntry{150, B150},       SpeedEntry{200, B200},       SpeedEntry{300, B300},     SpeedEntry{600, B600},
    SpeedEntry{1200, B1200},     SpeedEntry{1800, B1800},     SpeedEntry{2400, B2400},   SpeedEntry{4800, B4800},
    SpeedEntry{9600, B9600},     SpeedEntry{19200, B19200},   SpeedEntry{38400, B38400}, SpeedEntry{57600, B57600},
    SpeedEntry{115200, B115200}, SpeedEntry{230400, B230400},
#ifdef B460800
    SpeedEntry{460800, B460800},
#endif
#ifdef B921600
    SpeedEntry{921600, B921600},
#endif
};

}  // namespace

std::optional<speed_t> SpeedFromBaudRate(std::uint32_t baudRate) {
    for (const auto& entry : kSpeeds) {
        if (entry.rate == baudRate) {
            return entry.speed;
        }
    }
    return std::nullopt;
}

std::optional<termios> TermiosFromDcb(const DeviceControlRecord& dcb, const TimeoutRecord& /*timeouts*/) {
    const auto speed = SpeedFromBaudRate(dcb.BaudRate);
    if (!speed) {
        return std::nullopt;
    }

    // Everything starts cleared: that is raw mode (no echo, no line editing, no signals, no output
    // processing, no input translation).
    termios t{};
    t.c_cflag = CLOCAL | CREAD | HUPCL;

    switch (dcb.ByteSize) {
        case 5:
            t.c_cflag |= CS5;
            break;
        case 6:
            t.c_cflag |= CS6;
            break;
        case 7:
            t.c_cflag |= CS7;
            break;
        case 8:
            t.c_cflag |= CS8;
            break;
        default:
            return std::nullopt;
    }

    switch (dcb.Parity) {
        case kParityNone:
            break;
        case kParityOdd:
            t.c_cflag |= PARENB | PARODD;
            break;
        case kParityEven:
            t.c_cflag |= PARENB;
            break;
#ifdef CMSPAR
        case kParityMark:
            t.c_cflag |= PARENB | CMSPAR | PARODD;
            break;
        case kParitySpace:
            t.c_cflag |= PARENB | CMSPAR;
            break;
#endif
        default:
            return std::nullopt;
    }
    if ((dcb.Flags & kDcbParityCheck) != 0 && dcb.Parity != kParityNone) {
        t.c_iflag |= INPCK;
    }

    // One and a half stop bits exist only with 5 data bits, two stop bits only with more.
    switch (dcb.StopBits) {
        case kOneStopBit:
            break;
        case kOneAndHalfStopBits:
            if (dcb.ByteSize != 5) {
                return std::nullopt;
            }
            t.c_cflag |= CSTOPB;
            break;
        case kTwoStopBits:
            if (dcb.ByteSize == 5) {
                return std::nullopt;
            }
            t.c_cflag |= CSTOPB;
            break;
        default:
            return std::nullopt;
    }

    // The kernel has no DSR/DTR flow control; those bits have no effect here.
    if ((dcb.Flags & kDcbOutxCtsFlow) != 0 || RtsControl(dcb.Flags) == kLineControlHandshake) {
        t.c_cflag |= CRTSCTS;
    }
    if ((dcb.Flags & kDcbOutX) != 0) {
        t.c_iflag |= IXON;
    }
    if ((dcb.Flags & kDcbInX) != 0) {
        t.c_iflag |= IXOFF;
    }
    // The record's characters are 0 unless set; the usual DC1/DC3 then.
    t.c_cc[VSTART] = dcb.XonChar != 0 ? static_cast<cc_t>(dcb.XonChar) : cc_t{0x11};
    t.c_cc[VSTOP] = dcb.XoffChar != 0 ? static_cast<cc_t>(dcb.XoffChar) : cc_t{0x13};
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;

    cfsetispeed(&t, *speed);
    cfsetospeed(&t, *speed);
    return t;
}

std::uint32_t ModemStatusFromLineBits(int lineBits) {
    constexpr std::array<std::pair<int, std::uint32_t>, 4> kMap{{
        {TIOCM_CTS, kModemCtsOn},
        {TIOCM_DSR, kModemDsrOn},
        {TIOCM_RNG, kModemRingOn},
        {TIOCM_CAR, kModemRlsdOn},
    }};
    std::uint32_t status = 0;
    for (const auto& [lineBit, modemBit] : kMap) {
        if ((lineBits & lineBit) != 0) {
            status |= modemBit;
        }
    }
    return status;
}

}  // namespace tessarin

#endif
