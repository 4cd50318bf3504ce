// classComm: one serial (COM) port. Properties hold the line settings, the driver queue sizes and the
// time-out, and take effect at the next OpenPort; Rts, Dtr and Break act on the open port at once.
// On Windows it stands on the Win32 serial-communication calls; elsewhere on the tty device of the port
// (see serial_port_list.h for how port numbers find their device), opened exclusively and non-blocking.
//
// Failures never throw. The members marked "trapping" test their platform call; when ErrorTrap is true a
// failure is recorded as error 10001 "エラーが発生しました。" (LastError, ErrorCount) where the Windows
// original would raise it, and when ErrorTrap is false (the default, and what the program uses) failures
// are silent: a write returns 0, read data is 00h, queue counts read 0.
//
// OpenPort, WriteBinary, ReadBinary and the rest keep these return values for classComm's own callers. The
// link uses it through CommPort instead (Open, Write, Read...), which answers in bool and ReadStatus and
// never traps: the same platform calls, with a failed read told apart from a received 00h.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#ifndef _WIN32
#include <filesystem>
#endif

#include "link/comm_port.h"
#include "link/comm_records.h"

namespace tessarin {

inline constexpr std::int32_t kCommErrorNumber = 10001;
inline constexpr const char* kCommErrorDescription = "エラーが発生しました。";

struct CommError {
    std::int32_t Number = 0;
    std::string Description;
};

// The value the platform's open call gives for a failed open.
inline constexpr std::intptr_t kInvalidCommHandle = -1;

// NOLINTNEXTLINE(readability-identifier-naming): the class is known by this name
class classComm final : public CommPort {
  public:
    // Defaults: 9600 baud, 8 data bits, no parity, one stop bit, flag word 1011h (raw, DTR on, RTS on),
    // XON/XOFF limits 256, queues 2048 bytes, TimeOut 1000 ms, PortNumber 0, ReadRequestSize 0,
    // ErrorTrap false, handle 0, not open.
    classComm();
#ifndef _WIN32
    // For tests: where the serial-port list looks for USB adapters (default /sys/class/tty).
    explicit classComm(std::filesystem::path sysfsTtyRoot);
#endif
    // Closes the port if it is open.
    ~classComm() override;
    classComm(const classComm&) = delete;
    classComm& operator=(const classComm&) = delete;
    classComm(classComm&&) = delete;
    classComm& operator=(classComm&&) = delete;

    // --- Error trap -----------------------------------------------------------------------------------
    [[nodiscard]] bool ErrorTrap() const { return m_errorTrap; }
    void SetErrorTrap(bool value) { m_errorTrap = value; }
    // The last error recorded while ErrorTrap was true (Number 0 when none), and how many were recorded.
    [[nodiscard]] const CommError& LastError() const { return m_lastError; }
    [[nodiscard]] std::int32_t ErrorCount() const { return m_errorCount; }
    void ClearError();

    // --- Line settings: stored only, applied at the next OpenPort ---------------------------------------
    [[nodiscard]] std::int32_t PortNumber() const { return m_portNumber; }
    void SetPortNumber(std::int32_t value) { m_portNumber = value; }
    [[nodiscard]] std::int32_t BaudRate() const { return static_cast<std::int32_t>(m_dcb.BaudRate); }
    void SetBaudRate(std::int32_t value) { m_dcb.BaudRate = static_cast<std::uint32_t>(value); }
    [[nodiscard]] std::uint8_t DataBits() const { return m_dcb.ByteSize; }
    void SetDataBits(std::uint8_t value) { m_dcb.ByteSize = value; }
    // 0 none, 1 odd, 2 even, 3 mark, 4 space.
    [[nodiscard]] std::uint8_t Parity() const { return m_dcb.Parity; }
    void SetParity(std::uint8_t value) { m_dcb.Parity = value; }
    // 0 one, 1 one and a half, 2 two.
    [[nodiscard]] std::uint8_t StopBits() const { return m_dcb.StopBits; }
    void SetStopBits(std::uint8_t value) { m_dcb.StopBits = value; }
    // 0 none, 1 XON/XOFF, 2 RTS/CTS, 3 DTR/DSR. Setting clears the flow-control and DTR/RTS control bits
    // (mask 337Ch) and sets those of the mode (none of them for a value outside 0..3). Reading gives 1 when
    // an XON/XOFF bit is set, else 2 for RTS handshake, else 3 for DTR handshake, else 0.
    [[nodiscard]] std::int32_t Handshaking() const;
    void SetHandshaking(std::int32_t value);
    // Milliseconds; OpenPort puts it into the time-out record.
    [[nodiscard]] std::int16_t TimeOut() const { return m_timeOut; }
    void SetTimeOut(std::int16_t value) { m_timeOut = value; }

    // --- Driver queues ------------------------------------------------------------------------------------
    // Queue sizes asked of the driver at OpenPort (the Linux tty driver has fixed queues and ignores them).
    [[nodiscard]] std::int32_t WriteBufferSize() const { return m_writeBufferSize; }
    void SetWriteBufferSize(std::int32_t value) { m_writeBufferSize = value; }
    [[nodiscard]] std::int32_t ReadBufferSize() const { return m_readBufferSize; }
    void SetReadBufferSize(std::int32_t value) { m_readBufferSize = value; }
    // Bytes waiting in the output / input queue from a fresh status query; 0 when it fails. Trapping.
    std::int32_t WriteBufferDataSize();
    std::int32_t ReadBufferDataSize();
    // Above 0: every read takes exactly this many bytes; otherwise a read takes all that are waiting.
    [[nodiscard]] std::int32_t ReadRequestSize() const { return m_readRequestSize; }
    void SetReadRequestSize(std::int32_t value) { m_readRequestSize = value; }

    // --- Modem lines (act on the open port at once; trapping) --------------------------------------------
    void SetRts(bool on);
    void SetDtr(bool on);
    void SetBreak(bool on);
    bool Cts();
    bool Dsr();
    bool Dcd();
    bool Ri();

    // --- Operations ------------------------------------------------------------------------------------
    // Opens the port of PortNumber (1 when PortNumber <= 0) for reading and writing, exclusively; applies
    // the line settings, queue sizes and time-outs (their results ignored) and empties both queues.
    // Returns the port number, or 0 with PortNumber set to 0 when the open failed. An object that is still
    // open closes its old handle first, so that no handle (and no exclusive hold) is left behind.
    std::int32_t OpenPort();
    // Closes the handle: non-zero on success; 0 (harmless) when the port is not open.
    std::int32_t ClosePort();
    // Writes all bytes in one write: -1 when all were written at once, else 0. Never waits for room in the
    // output queue on Linux. Trapping.
    std::int32_t WriteBinary(std::span<const std::uint8_t> bytes);
    // Writes the text (UTF-8) converted to the system's ANSI code page: -1 when all bytes were written.
    // Trapping.
    std::int32_t WriteText(std::string_view writeData);
    // ReadRequestSize bytes, or all waiting bytes; {00h} when that is none. A short or failed read leaves
    // 00h in the bytes not delivered and is an error. Returns at once. Trapping.
    std::vector<std::uint8_t> ReadBinary();
    // Reads like ReadBinary, each byte taken as the character of that ANSI code, leading and trailing
    // spaces removed; "" when nothing was waiting. Trapping.
    std::string ReadText();
    // Discard the driver's output / input queue: non-zero on success.
    std::int32_t ClearWriteBuffer();
    std::int32_t ClearReadBuffer();

    // --- CommPort, for the link ----------------------------------------------------------------------------
    // Sets the line settings and PortNumber as the setters above do, then OpenPort.
    bool Open(std::int32_t portNumber, const LineSettings& line) override;
    void Close() override { (void)ClosePort(); }
    bool Write(std::span<const std::uint8_t> bytes) override;
    // All waiting bytes whatever ReadRequestSize says; a short read gives the bytes delivered.
    PortRead Read() override;
    bool ClearInput() override { return ClearReadBuffer() != 0; }
    bool ClearOutput() override { return ClearWriteBuffer() != 0; }
    // The open port's descriptor on Linux; -1 on Windows, where the receive timer keeps ticking.
    [[nodiscard]] int ReadableDescriptor() const override;
    [[nodiscard]] OpenFailure LastOpenFailure() const override { return m_openFailure; }
    [[nodiscard]] std::string DevicePath() const override { return m_devicePath; }

    // --- Inspection ------------------------------------------------------------------------------------
    [[nodiscard]] bool IsOpen() const { return m_open; }
    [[nodiscard]] const DeviceControlRecord& Dcb() const { return m_dcb; }
    [[nodiscard]] const TimeoutRecord& Timeouts() const { return m_timeouts; }
    [[nodiscard]] const CommStatusRecord& Status() const { return m_status; }

  private:
    enum class ModemLine { Rts, Dtr };

    // Records error 10001 when ErrorTrap is on.
    void trap();
    bool modemBit(std::uint32_t bit);
    // Reads as ReadBinary; `nothingWaiting` tells the {00h} of an empty queue from a received 00h.
    std::vector<std::uint8_t> readBytes(bool& nothingWaiting);

    // Platform layer (class_comm_posix.cpp / class_comm_win32.cpp). Those returning bool tell whether the
    // call worked; the preparation steps of OpenPort have results nobody looks at.
    bool sysOpen(std::int32_t portNumber);
    bool sysClose();
    void sysApplyDcb() const;
    void sysSetupQueues() const;
    void sysApplyTimeouts() const;
    bool sysStatus();  // fills m_status
    [[nodiscard]] bool sysRead(std::uint8_t* data, std::size_t size, std::size_t& delivered) const;
    [[nodiscard]] bool sysWrite(const std::uint8_t* data, std::size_t size, std::size_t& written) const;
    [[nodiscard]] bool sysPurge(bool output) const;
    [[nodiscard]] bool sysSetLine(ModemLine line, bool on) const;
    [[nodiscard]] bool sysBreak(bool on) const;
    [[nodiscard]] bool sysModemStatus(std::uint32_t& status) const;
    static std::string ansiFromText(std::string_view text);
    static void appendAnsiChar(std::string& text, std::uint8_t byte);

    DeviceControlRecord m_dcb;
    TimeoutRecord m_timeouts;
    CommStatusRecord m_status;
    std::int32_t m_portNumber = 0;
    std::intptr_t m_handle = 0;
    std::int32_t m_readBufferSize = 0;
    std::int32_t m_writeBufferSize = 0;
    std::int32_t m_readRequestSize = 0;
    std::int16_t m_timeOut = 0;
    bool m_errorTrap = false;

    bool m_open = false;
    OpenFailure m_openFailure = OpenFailure::None;
    std::string m_devicePath;
    CommError m_lastError;
    std::int32_t m_errorCount = 0;
#ifndef _WIN32
    std::filesystem::path m_sysfsTtyRoot;
    bool m_exclusiveSet = false;
#endif
};

}  // namespace tessarin
