// What the link needs of a serial port, in the link's own terms: an open that says whether it worked (and
// why not), a write that says whether the whole frame was taken, and a read that tells "nothing waiting"
// from "the read failed". classComm is the real one; unit tests of the logic above the port pass a fake
// through the constructors that take a CommPort.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <utility>
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

// The line a port is opened with.
struct LineSettings {
    std::int32_t baudRate = 9600;
    std::uint8_t dataBits = 8;
    std::uint8_t parity = 0;       // 0 none, 1 odd, 2 even, 3 mark, 4 space
    std::uint8_t stopBits = 0;     // 0 one, 1 one and a half, 2 two
    std::int32_t handshaking = 0;  // 0 none, 1 XON/XOFF, 2 RTS/CTS, 3 DTR/DSR
    std::int16_t timeOutMs = 1000;

    bool operator==(const LineSettings&) const = default;
};

enum class ReadStatus {
    Received,        // bytes arrived
    NothingWaiting,  // the port is fine and has nothing
    Failed,          // the port could not be asked or read (a vanished device, a dead handle)
};

struct PortRead {
    ReadStatus status = ReadStatus::NothingWaiting;
    std::vector<std::uint8_t> bytes;  // what arrived; empty unless Received
};

class CommPort {
  public:
    CommPort() = default;
    CommPort(const CommPort&) = delete;
    CommPort& operator=(const CommPort&) = delete;
    CommPort(CommPort&&) = delete;
    CommPort& operator=(CommPort&&) = delete;
    virtual ~CommPort() = default;

    // Opens port `portNumber` ("COM<n>") with `line`, closing first what this object still has open. False
    // when it could not be opened: the port is then closed and LastOpenFailure says why.
    virtual bool Open(std::int32_t portNumber, const LineSettings& line) = 0;
    // Closing a port that is not open is harmless.
    virtual void Close() = 0;
    // True when the port took all of `bytes` at once. Never blocks for long.
    virtual bool Write(std::span<const std::uint8_t> bytes) = 0;
    // Everything waiting in the input queue. Returns at once.
    virtual PortRead Read() = 0;
    // Discard the driver's input / output queue; false when the driver refused.
    virtual bool ClearInput() = 0;
    virtual bool ClearOutput() = 0;

    // A descriptor that polls readable when bytes arrive, so that the window can wake on them instead of
    // ticking; -1 when the port is not open or offers none (the window then runs its receive timer).
    [[nodiscard]] virtual int ReadableDescriptor() const { return -1; }
    // Why the last Open failed (None after a successful one); Other where the port cannot tell.
    [[nodiscard]] virtual OpenFailure LastOpenFailure() const { return OpenFailure::Other; }
    // The device file the last Open tried, where the system has one ("" otherwise).
    [[nodiscard]] virtual std::string DevicePath() const { return {}; }
};

// A port that never opens, saying `why` and naming `device`: stands in where there is no port to have.
class ClosedPort final : public CommPort {
  public:
    explicit ClosedPort(OpenFailure why = OpenFailure::Other, std::string device = {})
        : m_why(why), m_device(std::move(device)) {}
    bool Open(std::int32_t /*portNumber*/, const LineSettings& /*line*/) override { return false; }
    void Close() override {}
    bool Write(std::span<const std::uint8_t> /*bytes*/) override { return false; }
    PortRead Read() override { return {ReadStatus::Failed, {}}; }
    bool ClearInput() override { return false; }
    bool ClearOutput() override { return false; }
    [[nodiscard]] OpenFailure LastOpenFailure() const override { return m_why; }
    [[nodiscard]] std::string DevicePath() const override { return m_device; }

  private:
    OpenFailure m_why;
    std::string m_device;
};

}  // namespace tessarin
