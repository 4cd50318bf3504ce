#include "link/class_comm.h"

#include <new>

#ifndef _WIN32
#include "link/serial_port_list.h"
#endif

namespace tessarin {

namespace {

// Flag-word bits that Handshaking owns, and the bits of each mode.
constexpr std::uint32_t kHandshakeMask = 0x337CU;
constexpr std::uint32_t kModeNone = 0x1010U;      // DTR on, RTS on
constexpr std::uint32_t kModeXonXoff = 0x1310U;   // DTR on, RTS on, XON/XOFF out and in
constexpr std::uint32_t kModeRtsCts = 0x2014U;    // CTS output flow, DTR on, RTS handshake
constexpr std::uint32_t kModeDtrDsr = 0x1068U;    // DSR output flow, DTR handshake, DSR sensitivity, RTS on
constexpr std::uint32_t kDefaultFlags = 0x1011U;  // raw bytes, DTR on, RTS on

}  // namespace

classComm::classComm()
#ifndef _WIN32
    : classComm(std::filesystem::path(kSysfsTtyRoot)) {
}

classComm::classComm(std::filesystem::path sysfsTtyRoot)
    : m_sysfsTtyRoot(std::move(sysfsTtyRoot))
#endif
{
    m_dcb.BaudRate = 9600;
    m_dcb.Parity = kParityNone;
    m_dcb.ByteSize = 8;
    m_dcb.StopBits = kOneStopBit;
    m_dcb.XonLim = 256;
    m_dcb.XoffLim = 256;
    m_dcb.Flags = kDefaultFlags;
    m_readBufferSize = 2048;
    m_writeBufferSize = 2048;
    m_timeOut = 1000;
}

classComm::~classComm() {
    if (m_open) {
        sysClose();
    }
}

void classComm::ClearError() {
    m_lastError = {};
    m_errorCount = 0;
}

void classComm::trap() {
    if (m_errorTrap) {
        m_lastError = CommError{kCommErrorNumber, kCommErrorDescription};
        ++m_errorCount;
    }
}

std::int32_t classComm::Handshaking() const {
    const std::uint32_t flags = m_dcb.Flags;
    if ((flags & (kDcbOutX | kDcbInX)) != 0) {
        return 1;
    }
    if ((flags & (1U << 13)) != 0) {
        return 2;
    }
    if ((flags & (1U << 5)) != 0) {
        return 3;
    }
    return 0;
}

void classComm::SetHandshaking(std::int32_t value) {
    std::uint32_t flags = m_dcb.Flags & ~kHandshakeMask;
    switch (value) {
        case 0:
            flags |= kModeNone;
            break;
        case 1:
            flags |= kModeXonXoff;
            break;
        case 2:
            flags |= kModeRtsCts;
            break;
        case 3:
            flags |= kModeDtrDsr;
            break;
        default:
            break;
    }
    m_dcb.Flags = flags;
}

std::int32_t classComm::WriteBufferDataSize() {
    if (!sysStatus()) {
        trap();
    }
    return static_cast<std::int32_t>(m_status.OutQueue);
}

std::int32_t classComm::ReadBufferDataSize() {
    if (!sysStatus()) {
        trap();
    }
    return static_cast<std::int32_t>(m_status.InQueue);
}

void classComm::SetRts(bool on) {
    if (!sysSetLine(ModemLine::Rts, on)) {
        trap();
    }
}

void classComm::SetDtr(bool on) {
    if (!sysSetLine(ModemLine::Dtr, on)) {
        trap();
    }
}

void classComm::SetBreak(bool on) {
    if (!sysBreak(on)) {
        trap();
    }
}

bool classComm::modemBit(std::uint32_t bit) {
    std::uint32_t status = 0;
    if (!sysModemStatus(status)) {
        trap();
        return false;
    }
    return (status & bit) != 0;
}

bool classComm::Cts() { return modemBit(kModemCtsOn); }
bool classComm::Dsr() { return modemBit(kModemDsrOn); }
bool classComm::Dcd() { return modemBit(kModemRlsdOn); }
bool classComm::Ri() { return modemBit(kModemRingOn); }

std::int32_t classComm::OpenPort() {
    // A handle still open would be lost, and with it the exclusive hold on its port.
    if (m_open) {
        sysClose();
    }
    if (m_portNumber <= 0) {
        m_portNumber = 1;
    }
    if (!sysOpen(m_portNumber)) {
        m_portNumber = 0;
        return 0;
    }
    // The results of preparing the port are not looked at: an open port is usable either way.
    sysApplyDcb();
    sysSetupQueues();
    static_cast<void>(sysPurge(true));
    static_cast<void>(sysPurge(false));
    const auto timeOut = static_cast<std::uint32_t>(static_cast<std::int32_t>(m_timeOut));
    m_timeouts = TimeoutRecord{timeOut, 0, timeOut, 0, timeOut};
    sysApplyTimeouts();
    return m_portNumber;
}

std::int32_t classComm::ClosePort() {
    if (!m_open) {
        return 0;
    }
    return sysClose() ? 1 : 0;
}

std::int32_t classComm::WriteBinary(std::span<const std::uint8_t> bytes) {
    std::size_t written = 0;
    if (sysWrite(bytes.data(), bytes.size(), written) && written == bytes.size()) {
        return -1;
    }
    trap();
    return 0;
}

std::int32_t classComm::WriteText(std::string_view writeData) {
    const std::string ansi = ansiFromText(writeData);
    std::size_t written = 0;
    if (sysWrite(reinterpret_cast<const std::uint8_t*>(ansi.data()), ansi.size(), written) && written == ansi.size()) {
        return -1;
    }
    trap();
    return 0;
}

std::vector<std::uint8_t> classComm::readBytes(bool& nothingWaiting) {
    nothingWaiting = false;
    bool failed = false;
    const bool statusOk = sysStatus();
    if (!statusOk) {
        failed = true;
    }
    const std::int64_t n = m_readRequestSize > 0 ? m_readRequestSize : static_cast<std::int64_t>(m_status.InQueue);
    if (n <= 0) {
        if (failed) {
            trap();
        }
        nothingWaiting = true;
        return {0};
    }
    std::vector<std::uint8_t> data;
    try {
        data.assign(static_cast<std::size_t>(n), 0);
    } catch (const std::bad_alloc&) {
        trap();
        nothingWaiting = true;
        return {0};
    }
    if (statusOk) {
        std::size_t delivered = 0;
        if (!sysRead(data.data(), data.size(), delivered) || delivered != data.size()) {
            failed = true;
        }
    }
    if (failed) {
        trap();
    }
    return data;
}

std::vector<std::uint8_t> classComm::ReadBinary() {
    bool nothingWaiting = false;
    return readBytes(nothingWaiting);
}

std::string classComm::ReadText() {
    bool nothingWaiting = false;
    const auto bytes = readBytes(nothingWaiting);
    if (nothingWaiting) {
        return {};
    }
    std::string text;
    for (const std::uint8_t byte : bytes) {
        appendAnsiChar(text, byte);
    }
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

bool classComm::Open(std::int32_t portNumber, const LineSettings& line) {
    SetPortNumber(portNumber);
    SetBaudRate(line.baudRate);
    SetDataBits(line.dataBits);
    SetParity(line.parity);
    SetStopBits(line.stopBits);
    SetHandshaking(line.handshaking);
    SetTimeOut(line.timeOutMs);
    return OpenPort() != 0;
}

bool classComm::Write(std::span<const std::uint8_t> bytes) {
    std::size_t written = 0;
    return sysWrite(bytes.data(), bytes.size(), written) && written == bytes.size();
}

PortRead classComm::Read() {
    if (!sysStatus()) {
        return {ReadStatus::Failed, {}};
    }
    PortRead read;
    try {
        read.bytes.resize(m_status.InQueue);
    } catch (const std::bad_alloc&) {
        return {ReadStatus::Failed, {}};
    }
    std::size_t delivered = 0;
    if (!read.bytes.empty() && !sysRead(read.bytes.data(), read.bytes.size(), delivered)) {
        return {ReadStatus::Failed, {}};
    }
    read.bytes.resize(delivered);
    read.status = delivered > 0 ? ReadStatus::Received : ReadStatus::NothingWaiting;
    return read;
}

std::int32_t classComm::ClearWriteBuffer() { return sysPurge(true) ? 1 : 0; }

std::int32_t classComm::ClearReadBuffer() { return sysPurge(false) ? 1 : 0; }

}  // namespace tessarin
