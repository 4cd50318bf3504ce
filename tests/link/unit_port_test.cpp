#include "link/unit_port.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// The test on a pseudo-terminal is POSIX-only; the Windows build opens a real port in its end-to-end run.
#ifndef _WIN32
#include "link/class_comm.h"
#include "link/termios_settings.h"
#include "serial_test_support.h"
#endif

namespace tessarin {
namespace {

// A port that records every call in order as text ("OpenPort", "SetParity 1"...). It can be told whether
// OpenPort succeeds; nothing is ever read or written.
class RecordingCommPort : public CommPort {
  public:
    explicit RecordingCommPort(bool opens) : m_opens(opens) {}
    std::vector<std::string> Calls;

    [[nodiscard]] std::int32_t PortNumber() const override { return m_port; }
    void SetPortNumber(std::int32_t v) override { record("SetPortNumber", v), m_port = v; }
    void SetBaudRate(std::int32_t v) override { record("SetBaudRate", v); }
    void SetDataBits(std::uint8_t v) override { record("SetDataBits", v); }
    void SetParity(std::uint8_t v) override { record("SetParity", v); }
    void SetStopBits(std::uint8_t v) override { record("SetStopBits", v); }
    void SetHandshaking(std::int32_t v) override { record("SetHandshaking", v); }
    void SetTimeOut(std::int16_t v) override { record("SetTimeOut", v); }
    std::int32_t OpenPort() override {
        Calls.emplace_back("OpenPort");
        return m_opens ? m_port : 0;
    }
    std::int32_t ClosePort() override {
        Calls.emplace_back("ClosePort");
        return 0;
    }
    std::int32_t WriteBinary(std::span<const std::uint8_t>) override {
        Calls.emplace_back("WriteBinary");
        return 0;
    }
    std::int32_t ReadBufferDataSize() override { return 0; }
    std::vector<std::uint8_t> ReadBinary() override { return {0}; }
    std::int32_t ClearWriteBuffer() override {
        Calls.emplace_back("ClearWriteBuffer");
        return 1;
    }
    std::int32_t ClearReadBuffer() override {
        Calls.emplace_back("ClearReadBuffer");
        return 1;
    }

  private:
    void record(const char* name, std::int64_t value) {
        Calls.push_back(std::string(name) + " " + std::to_string(value));
    }
    bool m_opens;
    std::int32_t m_port = 0;
};

const std::vector<std::string> kUnitSetUp = {"SetPortNumber 5", "SetBaudRate 9600", "SetDataBits 8",   "SetParity 1",
                                             "SetStopBits 0",   "SetHandshaking 0", "SetTimeOut 1000", "OpenPort"};

TEST(OpenUnitPort, SetsTheUnitLineOpensAndEmptiesBothQueues) {
    RecordingCommPort port(true);
    EXPECT_TRUE(OpenUnitPort(port, 5));
    auto expected = kUnitSetUp;
    expected.insert(expected.end(), {"ClearWriteBuffer", "ClearReadBuffer"});
    EXPECT_EQ(port.Calls, expected);
}

TEST(OpenUnitPort, ClosesThePortWhenTheOpenFails) {
    RecordingCommPort port(false);
    EXPECT_FALSE(OpenUnitPort(port, 5));
    auto expected = kUnitSetUp;
    expected.emplace_back("ClosePort");
    EXPECT_EQ(port.Calls, expected);
}

#ifndef _WIN32
TEST(OpenUnitPort, GivesTheUnitLineOnARealPort) {
    test::PtyPeer peer;
    ASSERT_TRUE(peer.Ok());
    test::SerialListFolder list;
    list.Write(0, "COM5", peer.SlavePath());
    test::TempDir sysfs;
    classComm comm(sysfs.Path());
    comm.SetHandshaking(2);  // left over from an earlier use: the unit's set-up replaces it

    ASSERT_TRUE(OpenUnitPort(comm, 5));
    EXPECT_EQ(comm.Dcb().Flags, 0x1011U);
    const auto line = TermiosFromDcb(comm.Dcb(), comm.Timeouts());
    ASSERT_TRUE(line.has_value());
    EXPECT_EQ(cfgetospeed(&*line), B9600);
    EXPECT_EQ(line->c_cflag & (CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS),
              static_cast<tcflag_t>(CS8 | PARENB | PARODD));
    EXPECT_EQ(line->c_iflag & (INPCK | IXON | IXOFF), 0U);

    const std::vector<std::uint8_t> poll{0xFF, 0x00, 0x14, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xCC, 0xD8};
    EXPECT_EQ(comm.WriteBinary(poll), -1);
    EXPECT_EQ(peer.Receive(poll.size()), poll);

    comm.ClosePort();
    list.Remove(0);
    EXPECT_FALSE(OpenUnitPort(comm, 5));
    EXPECT_EQ(comm.PortNumber(), 0);
}
#endif

}  // namespace
}  // namespace tessarin
