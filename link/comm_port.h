// What the link needs of a serial port. classComm is the real one; unit tests of the logic above the
// port pass a fake through the constructors that take a CommPort.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tessarin {

// How the last attempt to open a port failed.
enum class OpenFailure {
    None,
    NotFound,          // the device is gone
    PermissionDenied,  // the user may not open it
    Busy,              // another program holds it
    Other,
};

class CommPort {
  public:
    CommPort() = default;
    CommPort(const CommPort&) = delete;
    CommPort& operator=(const CommPort&) = delete;
    CommPort(CommPort&&) = delete;
    CommPort& operator=(CommPort&&) = delete;
    virtual ~CommPort() = default;

    // Line settings: stored only; they take effect at the next OpenPort.
    [[nodiscard]] virtual std::int32_t PortNumber() const = 0;
    virtual void SetPortNumber(std::int32_t value) = 0;
    virtual void SetBaudRate(std::int32_t value) = 0;
    virtual void SetDataBits(std::uint8_t value) = 0;
    virtual void SetParity(std::uint8_t value) = 0;
    virtual void SetStopBits(std::uint8_t value) = 0;
    virtual void SetHandshaking(std::int32_t value) = 0;
    virtual void SetTimeOut(std::int16_t value) = 0;

    // Opens the port of PortNumber; returns the number used, or 0 (and PortNumber reads 0) when it failed.
    virtual std::int32_t OpenPort() = 0;
    // Non-zero when a handle was closed; closing a port that is not open is harmless and returns 0.
    virtual std::int32_t ClosePort() = 0;
    // -1 when all bytes were written in one write, else 0. Never blocks for long.
    virtual std::int32_t WriteBinary(std::span<const std::uint8_t> bytes) = 0;
    // Bytes waiting in the input queue (0 when unknown).
    virtual std::int32_t ReadBufferDataSize() = 0;
    // All waiting bytes (or ReadRequestSize of them); one 00h byte when nothing is waiting.
    virtual std::vector<std::uint8_t> ReadBinary() = 0;
    virtual std::int32_t ClearWriteBuffer() = 0;
    virtual std::int32_t ClearReadBuffer() = 0;

    // A descriptor that polls readable when bytes arrive, so that the window can wake on them instead of
    // ticking; -1 when the port is not open or offers none (the window then runs its receive timer).
    [[nodiscard]] virtual int ReadableDescriptor() const { return -1; }
    // Why the last OpenPort failed (None after a successful one); Other where the port cannot tell.
    [[nodiscard]] virtual OpenFailure LastOpenFailure() const { return OpenFailure::Other; }
    // The device file the last OpenPort tried, where the system has one ("" otherwise).
    [[nodiscard]] virtual std::string DevicePath() const { return {}; }
};

}  // namespace tessarin
