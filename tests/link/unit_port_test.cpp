#include "link/unit_port.h"

#include <gtest/gtest.h>

#include <vector>

#include "link/fake_comm_port.h"

// The test on a pseudo-terminal is POSIX-only; the Windows build opens a real port in its end-to-end run.
#ifndef _WIN32
#include "link/class_comm.h"
#include "link/termios_settings.h"
#include "serial_test_support.h"
#endif

namespace tessarin {
namespace {

TEST(OpenUnitPort, OpensWithTheUnitLineOrLeavesThePortClosed) {
    test::FakeCommPort port;
    port.AddDevice(5);
    EXPECT_TRUE(OpenUnitPort(port, 5));
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(port.PortNumber(), 5);
    EXPECT_EQ(port.Line(), (LineSettings{9600, 8, 1, 0, 0, 1000}));

    EXPECT_FALSE(OpenUnitPort(port, 6));
    EXPECT_FALSE(port.IsOpen());
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
    EXPECT_TRUE(comm.Write(poll));
    EXPECT_EQ(peer.Receive(poll.size()), poll);

    comm.Close();
    list.Remove(0);
    EXPECT_FALSE(OpenUnitPort(comm, 5));
    EXPECT_EQ(comm.PortNumber(), 0);
}
#endif

}  // namespace
}  // namespace tessarin
