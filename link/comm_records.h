// The records a classComm keeps for its port, laid out like the Windows serial device-control block,
// time-out block and status block, so that the Windows build hands them over field by field and the
// Linux build maps the same values onto terminal attributes.
#pragma once

#include <cstdint>

namespace tessarin {

// Device-control record: the line settings applied at OpenPort.
struct DeviceControlRecord {
    std::uint32_t DCBlength = 0;  // never set
    std::uint32_t BaudRate = 0;
    std::uint32_t Flags = 0;  // bit fields below
    std::uint16_t wReserved = 0;
    std::uint16_t XonLim = 0;
    std::uint16_t XoffLim = 0;
    std::uint8_t ByteSize = 0;
    std::uint8_t Parity = 0;    // 0 none, 1 odd, 2 even, 3 mark, 4 space
    std::uint8_t StopBits = 0;  // 0 one, 1 one and a half, 2 two
    char XonChar = 0;
    char XoffChar = 0;
    char ErrorChar = 0;
    char EofChar = 0;
    char EvtChar = 0;
    std::uint16_t wReserved1 = 0;
};

// Bits of DeviceControlRecord::Flags.
inline constexpr std::uint32_t kDcbBinary = 0x0001U;
inline constexpr std::uint32_t kDcbParityCheck = 0x0002U;
inline constexpr std::uint32_t kDcbOutxCtsFlow = 0x0004U;
inline constexpr std::uint32_t kDcbOutxDsrFlow = 0x0008U;
inline constexpr unsigned kDcbDtrControlShift = 4;  // 2 bits: 0 off, 1 on, 2 handshake
inline constexpr std::uint32_t kDcbDsrSensitivity = 0x0040U;
inline constexpr std::uint32_t kDcbTxContinueOnXoff = 0x0080U;
inline constexpr std::uint32_t kDcbOutX = 0x0100U;
inline constexpr std::uint32_t kDcbInX = 0x0200U;
inline constexpr std::uint32_t kDcbErrorChar = 0x0400U;
inline constexpr std::uint32_t kDcbNull = 0x0800U;
inline constexpr unsigned kDcbRtsControlShift = 12;  // 2 bits: 0 off, 1 on, 2 handshake
inline constexpr std::uint32_t kDcbAbortOnError = 0x4000U;

inline constexpr std::uint32_t kLineControlOff = 0;
inline constexpr std::uint32_t kLineControlOn = 1;
inline constexpr std::uint32_t kLineControlHandshake = 2;

inline constexpr std::uint32_t DtrControl(std::uint32_t flags) { return (flags >> kDcbDtrControlShift) & 3U; }
inline constexpr std::uint32_t RtsControl(std::uint32_t flags) { return (flags >> kDcbRtsControlShift) & 3U; }

// Parity and stop-bit codes of the record.
inline constexpr std::uint8_t kParityNone = 0;
inline constexpr std::uint8_t kParityOdd = 1;
inline constexpr std::uint8_t kParityEven = 2;
inline constexpr std::uint8_t kParityMark = 3;
inline constexpr std::uint8_t kParitySpace = 4;
inline constexpr std::uint8_t kOneStopBit = 0;
inline constexpr std::uint8_t kOneAndHalfStopBits = 1;
inline constexpr std::uint8_t kTwoStopBits = 2;

// Time-out record (milliseconds).
struct TimeoutRecord {
    std::uint32_t ReadIntervalTimeout = 0;
    std::uint32_t ReadTotalTimeoutMultiplier = 0;
    std::uint32_t ReadTotalTimeoutConstant = 0;
    std::uint32_t WriteTotalTimeoutMultiplier = 0;
    std::uint32_t WriteTotalTimeoutConstant = 0;
};

// Status record filled by the error-and-status query.
struct CommStatusRecord {
    std::uint32_t Errors = 0;
    std::uint32_t InQueue = 0;
    std::uint32_t OutQueue = 0;
};

// Modem status bits as the Windows modem-status query reports them.
inline constexpr std::uint32_t kModemCtsOn = 0x10U;
inline constexpr std::uint32_t kModemDsrOn = 0x20U;
inline constexpr std::uint32_t kModemRingOn = 0x40U;
inline constexpr std::uint32_t kModemRlsdOn = 0x80U;

}  // namespace tessarin
