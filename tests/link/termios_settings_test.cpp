#include "link/termios_settings.h"

#include <gtest/gtest.h>
#include <sys/ioctl.h>

#include <functional>
#include <string>

#include "link/class_comm.h"

namespace tessarin {
namespace {

// The record as classComm builds it from its properties.
DeviceControlRecord RecordOf(const std::function<void(classComm&)>& configure) {
    classComm comm;
    configure(comm);
    return comm.Dcb();
}

TEST(TermiosFromDcb, UnitLineIsRawNineSixHundredEightOddOneWithoutFlowControl) {
    const auto dcb = RecordOf([](classComm& c) {
        c.SetBaudRate(9600);
        c.SetDataBits(8);
        c.SetParity(1);
        c.SetStopBits(0);
        c.SetHandshaking(0);
    });
    const auto t = TermiosFromDcb(dcb, TimeoutRecord{1000, 0, 1000, 0, 1000});
    ASSERT_TRUE(t.has_value());
    EXPECT_EQ(cfgetospeed(&*t), B9600);
    EXPECT_EQ(cfgetispeed(&*t), B9600);
    EXPECT_EQ(t->c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    const tcflag_t wantedC = PARENB | PARODD | CLOCAL | CREAD;
    EXPECT_EQ(t->c_cflag & wantedC, wantedC);
    EXPECT_EQ(t->c_cflag & (CSTOPB | CRTSCTS | CMSPAR), 0U);
    // Parity is sent but not tested on reception; no byte is translated or swallowed.
    EXPECT_EQ(t->c_iflag, 0U);
    EXPECT_EQ(t->c_oflag, 0U);
    EXPECT_EQ(t->c_lflag, 0U);
    // A read takes what is there and returns, whatever the time-out record says.
    EXPECT_EQ(t->c_cc[VMIN], 0);
    EXPECT_EQ(t->c_cc[VTIME], 0);
}

struct MappingCase {
    std::string name;
    std::function<void(classComm&)> configure;
    tcflag_t cflagSet;
    tcflag_t cflagClear;
    tcflag_t iflagSet;
    tcflag_t iflagClear;
    tcflag_t size;
    speed_t speed;
};

TEST(TermiosFromDcb, MapsEachSetting) {
    const std::vector<MappingCase> cases = {
        {"even parity", [](classComm& c) { c.SetParity(2); }, PARENB, PARODD | CMSPAR, 0, INPCK, CS8, B9600},
        {"no parity", [](classComm& c) { c.SetParity(0); }, 0, PARENB | PARODD, 0, INPCK, CS8, B9600},
        {"mark parity", [](classComm& c) { c.SetParity(3); }, PARENB | PARODD | CMSPAR, 0, 0, 0, CS8, B9600},
        {"space parity", [](classComm& c) { c.SetParity(4); }, PARENB | CMSPAR, PARODD, 0, 0, CS8, B9600},
        {"seven data bits", [](classComm& c) { c.SetDataBits(7); }, 0, 0, 0, 0, CS7, B9600},
        {"six data bits", [](classComm& c) { c.SetDataBits(6); }, 0, 0, 0, 0, CS6, B9600},
        {"two stop bits", [](classComm& c) { c.SetStopBits(2); }, CSTOPB, 0, 0, 0, CS8, B9600},
        {"one and a half stop bits with five data bits",
         [](classComm& c) {
             c.SetDataBits(5);
             c.SetStopBits(1);
         },
         CSTOPB, 0, 0, 0, CS5, B9600},
        {"XON/XOFF", [](classComm& c) { c.SetHandshaking(1); }, 0, CRTSCTS, IXON | IXOFF, 0, CS8, B9600},
        {"RTS/CTS", [](classComm& c) { c.SetHandshaking(2); }, CRTSCTS, 0, 0, IXON | IXOFF, CS8, B9600},
        {"DTR/DSR has no kernel flow control", [](classComm& c) { c.SetHandshaking(3); }, 0, CRTSCTS, 0, IXON | IXOFF,
         CS8, B9600},
        {"19200 baud", [](classComm& c) { c.SetBaudRate(19200); }, 0, 0, 0, 0, CS8, B19200},
        {"115200 baud", [](classComm& c) { c.SetBaudRate(115200); }, 0, 0, 0, 0, CS8, B115200},
    };
    for (const auto& tc : cases) {
        SCOPED_TRACE(tc.name);
        const auto t = TermiosFromDcb(RecordOf(tc.configure), TimeoutRecord{});
        ASSERT_TRUE(t.has_value());
        EXPECT_EQ(t->c_cflag & tc.cflagSet, tc.cflagSet);
        EXPECT_EQ(t->c_cflag & tc.cflagClear, 0U);
        EXPECT_EQ(t->c_iflag & tc.iflagSet, tc.iflagSet);
        EXPECT_EQ(t->c_iflag & tc.iflagClear, 0U);
        EXPECT_EQ(t->c_cflag & CSIZE, tc.size);
        EXPECT_EQ(cfgetospeed(&*t), tc.speed);
        EXPECT_EQ(t->c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
        EXPECT_EQ(t->c_lflag & (ICANON | ECHO | ISIG), 0U);
    }
}

TEST(TermiosFromDcb, ParityCheckingBitTurnsOnInputChecking) {
    DeviceControlRecord dcb = RecordOf([](classComm& c) { c.SetParity(1); });
    dcb.Flags |= kDcbParityCheck;
    const auto t = TermiosFromDcb(dcb, TimeoutRecord{});
    ASSERT_TRUE(t.has_value());
    EXPECT_NE(t->c_iflag & INPCK, 0U);
}

TEST(TermiosFromDcb, RefusesSettingsTheLineCannotHave) {
    const std::vector<std::pair<std::string, std::function<void(classComm&)>>> cases = {
        {"unknown speed", [](classComm& c) { c.SetBaudRate(9601); }},
        {"zero speed", [](classComm& c) { c.SetBaudRate(0); }},
        {"nine data bits", [](classComm& c) { c.SetDataBits(9); }},
        {"four data bits", [](classComm& c) { c.SetDataBits(4); }},
        {"parity code 5", [](classComm& c) { c.SetParity(5); }},
        {"stop-bit code 3", [](classComm& c) { c.SetStopBits(3); }},
        {"one and a half stop bits with eight data bits", [](classComm& c) { c.SetStopBits(1); }},
        {"two stop bits with five data bits",
         [](classComm& c) {
             c.SetDataBits(5);
             c.SetStopBits(2);
         }},
    };
    for (const auto& [name, configure] : cases) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(TermiosFromDcb(RecordOf(configure), TimeoutRecord{}).has_value());
    }
}

TEST(ModemStatusFromLineBits, GivesTheModemStatusWord) {
    EXPECT_EQ(ModemStatusFromLineBits(0), 0U);
    EXPECT_EQ(ModemStatusFromLineBits(TIOCM_CTS), 0x10U);
    EXPECT_EQ(ModemStatusFromLineBits(TIOCM_DSR | TIOCM_RNG), 0x60U);
    EXPECT_EQ(ModemStatusFromLineBits(TIOCM_CAR | TIOCM_CTS | TIOCM_DTR | TIOCM_RTS), 0x90U);
}

}  // namespace
}  // namespace tessarin
