// classComm on the Win32 serial-communication calls.
#ifdef _WIN32

#include <windows.h>

#include <string>

#include "link/class_comm.h"

namespace tessarin {

namespace {

HANDLE handleOf(bool open, std::intptr_t handle) {
    // A closed handle's value may belong to something else by now: use the invalid value instead.
    return open ? reinterpret_cast<HANDLE>(handle) : INVALID_HANDLE_VALUE;
}

DCB windowsDcb(const DeviceControlRecord& record) {
    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = record.BaudRate;
    const std::uint32_t f = record.Flags;
    dcb.fBinary = (f & kDcbBinary) != 0 ? 1 : 0;
    dcb.fParity = (f & kDcbParityCheck) != 0 ? 1 : 0;
    dcb.fOutxCtsFlow = (f & kDcbOutxCtsFlow) != 0 ? 1 : 0;
    dcb.fOutxDsrFlow = (f & kDcbOutxDsrFlow) != 0 ? 1 : 0;
    dcb.fDtrControl = DtrControl(f);
    dcb.fDsrSensitivity = (f & kDcbDsrSensitivity) != 0 ? 1 : 0;
    dcb.fTXContinueOnXoff = (f & kDcbTxContinueOnXoff) != 0 ? 1 : 0;
    dcb.fOutX = (f & kDcbOutX) != 0 ? 1 : 0;
    dcb.fInX = (f & kDcbInX) != 0 ? 1 : 0;
    dcb.fErrorChar = (f & kDcbErrorChar) != 0 ? 1 : 0;
    dcb.fNull = (f & kDcbNull) != 0 ? 1 : 0;
    dcb.fRtsControl = RtsControl(f);
    dcb.fAbortOnError = (f & kDcbAbortOnError) != 0 ? 1 : 0;
    dcb.wReserved = record.wReserved;
    dcb.XonLim = record.XonLim;
    dcb.XoffLim = record.XoffLim;
    dcb.ByteSize = record.ByteSize;
    dcb.Parity = record.Parity;
    dcb.StopBits = record.StopBits;
    dcb.XonChar = record.XonChar;
    dcb.XoffChar = record.XoffChar;
    dcb.ErrorChar = record.ErrorChar;
    dcb.EofChar = record.EofChar;
    dcb.EvtChar = record.EvtChar;
    dcb.wReserved1 = record.wReserved1;
    return dcb;
}

// Text of one code page from text of another, through UTF-16; "" when it cannot be converted.
std::string convertCodePage(std::string_view text, UINT from, UINT to) {
    if (text.empty()) {
        return {};
    }
    const int length = static_cast<int>(text.size());
    const int wideLength = MultiByteToWideChar(from, 0, text.data(), length, nullptr, 0);
    if (wideLength <= 0) {
        return {};
    }
    std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
    MultiByteToWideChar(from, 0, text.data(), length, wide.data(), wideLength);
    const int outLength = WideCharToMultiByte(to, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    if (outLength <= 0) {
        return {};
    }
    std::string out(static_cast<std::size_t>(outLength), '\0');
    WideCharToMultiByte(to, 0, wide.data(), wideLength, out.data(), outLength, nullptr, nullptr);
    return out;
}

}  // namespace

bool classComm::sysOpen(std::int32_t portNumber) {
    const std::string name = "\\\\.\\COM" + std::to_string(portNumber);
    const HANDLE h = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    m_handle = reinterpret_cast<std::intptr_t>(h);
    m_devicePath = name;
    if (h == INVALID_HANDLE_VALUE) {
        // A serial port held by another program answers with access denied.
        switch (GetLastError()) {
            case ERROR_FILE_NOT_FOUND:
            case ERROR_PATH_NOT_FOUND:
                m_openFailure = OpenFailure::NotFound;
                break;
            case ERROR_ACCESS_DENIED:
            case ERROR_SHARING_VIOLATION:
                m_openFailure = OpenFailure::Busy;
                break;
            default:
                m_openFailure = OpenFailure::Other;
                break;
        }
        return false;
    }
    m_openFailure = OpenFailure::None;
    m_open = true;
    return true;
}

int classComm::ReadableDescriptor() const { return -1; }

bool classComm::sysClose() {
    const HANDLE h = handleOf(m_open, m_handle);
    m_open = false;
    return CloseHandle(h) != 0;
}

void classComm::sysApplyDcb() const {
    DCB dcb = windowsDcb(m_dcb);
    SetCommState(handleOf(m_open, m_handle), &dcb);
}

void classComm::sysSetupQueues() const {
    SetupComm(handleOf(m_open, m_handle), static_cast<DWORD>(m_readBufferSize), static_cast<DWORD>(m_writeBufferSize));
}

void classComm::sysApplyTimeouts() const {
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = m_timeouts.ReadIntervalTimeout;
    timeouts.ReadTotalTimeoutMultiplier = m_timeouts.ReadTotalTimeoutMultiplier;
    timeouts.ReadTotalTimeoutConstant = m_timeouts.ReadTotalTimeoutConstant;
    timeouts.WriteTotalTimeoutMultiplier = m_timeouts.WriteTotalTimeoutMultiplier;
    timeouts.WriteTotalTimeoutConstant = m_timeouts.WriteTotalTimeoutConstant;
    SetCommTimeouts(handleOf(m_open, m_handle), &timeouts);
}

bool classComm::sysStatus() {
    DWORD errors = 0;
    COMSTAT stat{};
    if (ClearCommError(handleOf(m_open, m_handle), &errors, &stat) == 0) {
        // Counts left from an earlier query would make a reader invent bytes.
        m_status = {};
        return false;
    }
    m_status.Errors = errors;
    m_status.InQueue = stat.cbInQue;
    m_status.OutQueue = stat.cbOutQue;
    return true;
}

bool classComm::sysRead(std::uint8_t* data, std::size_t size, std::size_t& delivered) const {
    DWORD got = 0;
    const BOOL ok = ReadFile(handleOf(m_open, m_handle), data, static_cast<DWORD>(size), &got, nullptr);
    delivered = got;
    return ok != 0;
}

bool classComm::sysWrite(const std::uint8_t* data, std::size_t size, std::size_t& written) const {
    DWORD put = 0;
    const BOOL ok = WriteFile(handleOf(m_open, m_handle), data, static_cast<DWORD>(size), &put, nullptr);
    written = put;
    return ok != 0;
}

bool classComm::sysPurge(bool output) const {
    return PurgeComm(handleOf(m_open, m_handle), output ? PURGE_TXCLEAR : PURGE_RXCLEAR) != 0;
}

bool classComm::sysSetLine(ModemLine line, bool on) const {
    DWORD function = 0;
    if (line == ModemLine::Rts) {
        function = on ? SETRTS : CLRRTS;
    } else {
        function = on ? SETDTR : CLRDTR;
    }
    return EscapeCommFunction(handleOf(m_open, m_handle), function) != 0;
}

bool classComm::sysBreak(bool on) const {
    const HANDLE h = handleOf(m_open, m_handle);
    return (on ? SetCommBreak(h) : ClearCommBreak(h)) != 0;
}

bool classComm::sysModemStatus(std::uint32_t& status) const {
    DWORD bits = 0;
    if (GetCommModemStatus(handleOf(m_open, m_handle), &bits) == 0) {
        return false;
    }
    status = bits;
    return true;
}

// Our text is UTF-8; the port gets the system's ANSI code page.
std::string classComm::ansiFromText(std::string_view text) { return convertCodePage(text, CP_UTF8, CP_ACP); }

// Each byte on its own, as the character of that code in the ANSI code page; a byte that is no character
// there on its own (a lead byte) becomes "?".
void classComm::appendAnsiChar(std::string& text, std::uint8_t byte) {
    const char c = static_cast<char>(byte);
    if (byte < 0x80) {
        text.push_back(c);
        return;
    }
    const std::string utf8 = convertCodePage(std::string_view(&c, 1), CP_ACP, CP_UTF8);
    text += utf8.empty() ? std::string("?") : utf8;
}

}  // namespace tessarin

#endif
