#include "link/class_comm.h"

#include <gtest/gtest.h>

// The tests on a pseudo-terminal are POSIX-only; the Windows build has its own in tests/windows.
#ifndef _WIN32
#include <dirent.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#endif

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#ifndef _WIN32
#include "link/termios_settings.h"
#include "serial_test_support.h"
#endif

namespace tessarin {
namespace {

TEST(ClassCommDefaults, LineAndQueueSettingsBeforeAnyChange) {
    classComm c;
    EXPECT_EQ(c.Dcb().Flags, 0x1011U);
    EXPECT_EQ(c.Handshaking(), 0);
    EXPECT_EQ(c.BaudRate(), 9600);
    EXPECT_EQ(c.DataBits(), 8);
    EXPECT_EQ(c.Parity(), 0);
    EXPECT_EQ(c.StopBits(), 0);
    EXPECT_EQ(c.Dcb().XonLim, 256);
    EXPECT_EQ(c.Dcb().XoffLim, 256);
    EXPECT_EQ(c.ReadBufferSize(), 2048);
    EXPECT_EQ(c.WriteBufferSize(), 2048);
    EXPECT_EQ(c.TimeOut(), 1000);
    EXPECT_EQ(c.PortNumber(), 0);
    EXPECT_EQ(c.ReadRequestSize(), 0);
    EXPECT_FALSE(c.ErrorTrap());
    EXPECT_FALSE(c.IsOpen());
}

TEST(ClassCommHandshaking, EachModeReadsBackAndOwnsOnlyItsBits) {
    struct Case {
        std::int32_t set;
        std::uint32_t flags;
        std::int32_t readBack;
    };
    // Each mode is set over every other one first, so that no bit of an earlier mode survives.
    const std::array<Case, 6> cases{{
        {0, 0x1011, 0},
        {1, 0x1311, 1},
        {2, 0x2015, 2},
        {3, 0x1069, 3},
        {5, 0x0001, 0},  // outside 0..3: flow control and DTR/RTS control all off
        {-1, 0x0001, 0},
    }};
    for (const auto& tc : cases) {
        for (const std::int32_t before : {0, 1, 2, 3, 5}) {
            SCOPED_TRACE("set " + std::to_string(tc.set) + " after " + std::to_string(before));
            classComm c;
            c.SetHandshaking(before);
            c.SetHandshaking(tc.set);
            EXPECT_EQ(c.Dcb().Flags, tc.flags);
            EXPECT_EQ(c.Handshaking(), tc.readBack);
        }
    }
}

TEST(ClassCommClosed, EveryCallFailsQuietlyWithoutTrap) {
    classComm c;
    const std::vector<std::uint8_t> frame(22, 0x55);
    EXPECT_EQ(c.ClosePort(), 0);
    EXPECT_EQ(c.WriteBinary(frame), 0);
    EXPECT_EQ(c.WriteText("ABC"), 0);
    EXPECT_EQ(c.ReadBinary(), std::vector<std::uint8_t>{0x00});
    EXPECT_EQ(c.ReadText(), "");
    EXPECT_EQ(c.ReadBufferDataSize(), 0);
    EXPECT_EQ(c.ClearWriteBuffer(), 0);
    EXPECT_EQ(c.ClearReadBuffer(), 0);
    EXPECT_EQ(c.ErrorCount(), 0);
    EXPECT_EQ(c.LastError().Number, 0);
    // The link's calls say so by their results.
    EXPECT_FALSE(c.Write(frame));
    EXPECT_EQ(c.Read().status, ReadStatus::Failed);
    EXPECT_FALSE(c.ClearInput());
    EXPECT_FALSE(c.ClearOutput());
}

TEST(ClassCommClosed, TrappingMembersRecordTheErrorWhenTrapIsOn) {
    const std::vector<std::pair<std::string, std::function<void(classComm&)>>> members = {
        {"WriteBinary", [](classComm& c) { EXPECT_EQ(c.WriteBinary(std::vector<std::uint8_t>(22, 1)), 0); }},
        {"WriteText", [](classComm& c) { EXPECT_EQ(c.WriteText("x"), 0); }},
        {"ReadBinary", [](classComm& c) { EXPECT_EQ(c.ReadBinary(), std::vector<std::uint8_t>{0}); }},
        {"ReadText", [](classComm& c) { EXPECT_EQ(c.ReadText(), ""); }},
        {"ReadBufferDataSize", [](classComm& c) { EXPECT_EQ(c.ReadBufferDataSize(), 0); }},
        {"WriteBufferDataSize", [](classComm& c) { EXPECT_EQ(c.WriteBufferDataSize(), 0); }},
        {"Rts", [](classComm& c) { c.SetRts(true); }},
        {"Dtr", [](classComm& c) { c.SetDtr(false); }},
        {"Break", [](classComm& c) { c.SetBreak(true); }},
        {"Cts", [](classComm& c) { EXPECT_FALSE(c.Cts()); }},
        {"Dsr", [](classComm& c) { EXPECT_FALSE(c.Dsr()); }},
        {"Dcd", [](classComm& c) { EXPECT_FALSE(c.Dcd()); }},
        {"Ri", [](classComm& c) { EXPECT_FALSE(c.Ri()); }},
    };
    for (const auto& [name, call] : members) {
        SCOPED_TRACE(name);
        classComm c;
        c.SetErrorTrap(true);
        call(c);
        EXPECT_EQ(c.ErrorCount(), 1);
        EXPECT_EQ(c.LastError().Number, 10001);
        EXPECT_EQ(c.LastError().Description, "エラーが発生しました。");
    }
    // The members whose results tell never record an error, nor do the link's calls.
    classComm c;
    c.SetErrorTrap(true);
    c.ClosePort();
    c.ClearWriteBuffer();
    c.ClearReadBuffer();
    c.SetPortNumber(250);
    c.OpenPort();
    EXPECT_FALSE(c.Write(std::vector<std::uint8_t>(22, 1)));
    EXPECT_EQ(c.Read().status, ReadStatus::Failed);
    EXPECT_FALSE(c.Open(250, {}));
    EXPECT_NE(c.LastOpenFailure(), OpenFailure::None);
    EXPECT_EQ(c.ErrorCount(), 0);
}

#ifndef _WIN32

using test::Eventually;
using test::PtyPeer;
using test::SerialListFolder;
using test::TempDir;

// A pseudo-terminal registered in a temporary serial-port list; the ports are classComm objects that
// look for USB adapters in an empty tree, so that the machine's own adapters stay out of the way.
class ClassCommPty : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_peer.Ok());
        m_list.Write(0, "COM7", m_peer.SlavePath());
    }

    classComm& MakePort() { return *m_ports.emplace_back(std::make_unique<classComm>(m_sysfs.Path())); }

    // Terminal attributes of the slave as this process holds it open (found through /proc/self/fd).
    [[nodiscard]] std::optional<termios> SlaveAttributes() const {
        std::optional<termios> found;
        for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
            std::error_code ec;
            if (std::filesystem::read_symlink(entry.path(), ec) == m_peer.SlavePath()) {
                termios t{};
                if (::tcgetattr(std::stoi(entry.path().filename().string()), &t) == 0) {
                    found = t;
                }
            }
        }
        return found;
    }

    [[nodiscard]] int SlaveDescriptorCount() const {
        int count = 0;
        for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
            std::error_code ec;
            count += std::filesystem::read_symlink(entry.path(), ec) == m_peer.SlavePath() ? 1 : 0;
        }
        return count;
    }

    PtyPeer m_peer;
    SerialListFolder m_list;
    TempDir m_sysfs;
    std::vector<std::unique_ptr<classComm>> m_ports;
};

TEST_F(ClassCommPty, OpensThePortListedUnderItsNumber) {
    classComm& c = MakePort();
    c.SetPortNumber(7);
    EXPECT_EQ(c.OpenPort(), 7);
    EXPECT_TRUE(c.IsOpen());
    EXPECT_EQ(SlaveDescriptorCount(), 1);
    EXPECT_NE(c.ClosePort(), 0);
    EXPECT_EQ(SlaveDescriptorCount(), 0);

    // The exclusive mark goes with the close: a pseudo-terminal would otherwise keep it while its master
    // lives, and nobody but root could open the port again.
    const int fd = ::open(m_peer.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    int exclusive = -1;
    EXPECT_EQ(::ioctl(fd, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0);
    ::close(fd);
}

TEST_F(ClassCommPty, PortNumberZeroOpensPortOne) {
    m_list.Write(0, "COM1", m_peer.SlavePath());
    for (const std::int32_t number : {0, -3}) {
        classComm& c = MakePort();
        c.SetPortNumber(number);
        EXPECT_EQ(c.OpenPort(), 1);
        EXPECT_EQ(c.PortNumber(), 1);
        c.ClosePort();
    }
}

TEST_F(ClassCommPty, PortThatCannotBeOpenedGivesZero) {
    TempDir scratch;
    const auto plainFile = scratch.Path() / "not-a-tty";
    test::WriteTextFile(plainFile, "keep me");
    m_list.Write(1, "COM8", "/dev/tessarin-no-such-device");
    m_list.Write(2, "COM9", plainFile.string());

    for (const std::int32_t number : {8, 9, 250}) {
        SCOPED_TRACE(number);
        classComm& c = MakePort();
        c.SetPortNumber(number);
        EXPECT_EQ(c.OpenPort(), 0);
        EXPECT_EQ(c.PortNumber(), 0);
        EXPECT_FALSE(c.IsOpen());
        EXPECT_EQ(c.WriteBinary(std::vector<std::uint8_t>(22, 0x41)), 0);
    }
    // An entry naming a file that is no terminal is not written to.
    std::ifstream in(plainFile);
    std::string contents;
    std::getline(in, contents);
    EXPECT_EQ(contents, "keep me");
}

TEST_F(ClassCommPty, PortHeldByAnotherObjectIsRefusedUntilClosed) {
    classComm& first = MakePort();
    first.SetPortNumber(7);
    ASSERT_EQ(first.OpenPort(), 7);

    classComm& second = MakePort();
    second.SetPortNumber(7);
    EXPECT_EQ(second.OpenPort(), 0);
    EXPECT_EQ(second.PortNumber(), 0);

    first.ClosePort();
    second.SetPortNumber(7);
    EXPECT_EQ(second.OpenPort(), 7);
}

TEST_F(ClassCommPty, OpeningAgainWithoutClosingLeavesNoHandleBehind) {
    classComm& c = MakePort();
    c.SetPortNumber(7);
    ASSERT_EQ(c.OpenPort(), 7);
    ASSERT_EQ(c.OpenPort(), 7);
    EXPECT_EQ(SlaveDescriptorCount(), 1);
    c.ClosePort();
    EXPECT_EQ(c.ClosePort(), 0);  // a second close is harmless

    classComm& other = MakePort();
    other.SetPortNumber(7);
    EXPECT_EQ(other.OpenPort(), 7);
}

TEST_F(ClassCommPty, DestroyingAnOpenObjectReleasesThePort) {
    {
        classComm c(m_sysfs.Path());
        c.SetPortNumber(7);
        ASSERT_EQ(c.OpenPort(), 7);
    }
    EXPECT_EQ(SlaveDescriptorCount(), 0);
    classComm& other = MakePort();
    other.SetPortNumber(7);
    EXPECT_EQ(other.OpenPort(), 7);
}

TEST_F(ClassCommPty, WritesReachThePeerUntranslated) {
    classComm& c = MakePort();
    c.SetPortNumber(7);
    ASSERT_EQ(c.OpenPort(), 7);
    // Line ends, XON/XOFF, interrupt and high bytes must all pass as they are.
    const std::vector<std::uint8_t> frame{0xFF, 0x03, 0x16, 0x0A, 0x0D, 0x11, 0x13, 0x03, 0x1A, 0x7F, 0x00,
                                          0x80, 0x04, 0x1C, 0x15, 0x17, 0x12, 0x0F, 0x16, 0x01, 0xCC, 0x5E};
    ASSERT_EQ(frame.size(), 22U);
    EXPECT_EQ(c.WriteBinary(frame), -1);
    EXPECT_EQ(m_peer.Receive(frame.size()), frame);

    EXPECT_EQ(c.WriteText("ABC 123"), -1);
    const std::string expected = "ABC 123";
    EXPECT_EQ(m_peer.Receive(expected.size()), std::vector<std::uint8_t>(expected.begin(), expected.end()));
}

TEST_F(ClassCommPty, ReadsWhatThePeerSent) {
    classComm& c = MakePort();
    c.SetPortNumber(7);
    ASSERT_EQ(c.OpenPort(), 7);
    EXPECT_EQ(c.ReadBinary(), std::vector<std::uint8_t>{0x00});

    const std::vector<std::uint8_t> answer{0xFF, 0xA0, 0x0A, 0x0D, 0x11, 0x13, 0x03, 0x00, 0x7F, 0xCC, 0x99};
    ASSERT_TRUE(m_peer.Send(answer));
    ASSERT_TRUE(Eventually([&] { return c.ReadBufferDataSize() == static_cast<std::int32_t>(answer.size()); }));
    EXPECT_EQ(c.ReadBinary(), answer);
    EXPECT_EQ(c.ReadBufferDataSize(), 0);
    EXPECT_EQ(c.ReadBinary(), std::vector<std::uint8_t>{0x00});
    EXPECT_EQ(c.ReadText(), "");

    const std::string text = "  OK 1\xE9  ";
    ASSERT_TRUE(m_peer.Send(std::vector<std::uint8_t>(text.begin(), text.end())));
    ASSERT_TRUE(Eventually([&] { return c.ReadBufferDataSize() == static_cast<std::int32_t>(text.size()); }));
    EXPECT_EQ(c.ReadText(), "OK 1\u00E9");
}

TEST_F(ClassCommPty, TheLinksReadTellsNothingWaitingFromAFailedRead) {
    classComm& c = MakePort();
    ASSERT_TRUE(c.Open(7, LineSettings{.baudRate = 19200, .parity = 2, .timeOutMs = 500}));
    EXPECT_EQ(c.Dcb().BaudRate, 19200U);
    EXPECT_EQ(c.Dcb().Parity, 2);
    EXPECT_EQ(c.Timeouts().ReadTotalTimeoutConstant, 500U);
    c.SetReadRequestSize(4);  // classComm's own reads only
    EXPECT_EQ(c.Read().status, ReadStatus::NothingWaiting);

    const std::vector<std::uint8_t> answer{0xFF, 0xA0, 0x08, 0x00, 0x00, 0x00, 0xCC, 0x64};
    ASSERT_TRUE(m_peer.Send(answer));
    ASSERT_TRUE(Eventually([&] { return c.ReadBufferDataSize() == static_cast<std::int32_t>(answer.size()); }));
    const PortRead read = c.Read();
    EXPECT_EQ(read.status, ReadStatus::Received);
    EXPECT_EQ(read.bytes, answer);
    EXPECT_EQ(c.Read().status, ReadStatus::NothingWaiting);
    EXPECT_TRUE(c.Read().bytes.empty());

    m_peer.Hangup();
    EXPECT_EQ(c.Read().status, ReadStatus::Failed);
    EXPECT_FALSE(c.Write(answer));
}

TEST_F(ClassCommPty, ReadRequestSizeTakesExactlyThatManyAndZeroFillsAShortRead) {
    classComm& c = MakePort();
    c.SetPortNumber(7);
    ASSERT_EQ(c.OpenPort(), 7);
    c.SetErrorTrap(true);
    c.SetReadRequestSize(4);

    ASSERT_TRUE(m_peer.Send({1, 2, 3, 4, 5, 6}));
    ASSERT_TRUE(Eventually([&] { return c.ReadBufferDataSize() == 6; }));
    EXPECT_EQ(c.ReadBinary(), (std::vector<std::uint8_t>{1, 2, 3, 4}));
    EXPECT_EQ(c.ErrorCount(), 0);
    // Only two are there: the read does not wait for the rest, which stays 00h, and that is an error.
    EXPECT_EQ(c.ReadBinary(), (std::vector<std::uint8_t>{5, 6, 0, 0}));
    EXPECT_EQ(c.ErrorCount(), 1);
    EXPECT_EQ(c.LastError().Number, kCommErrorNumber);
}

TEST_F(ClassCommPty, ClearReadBufferDiscardsWhatIsWaiting) {
    classComm& c = MakePort();
    c.SetPortNumber(7);
    ASSERT_EQ(c.OpenPort(), 7);
    ASSERT_TRUE(m_peer.Send({9, 9, 9}));
    ASSERT_TRUE(Eventually([&] { return c.ReadBufferDataSize() == 3; }));
    EXPECT_NE(c.ClearReadBuffer(), 0);
    EXPECT_NE(c.ClearWriteBuffer(), 0);
    EXPECT_EQ(c.ReadBufferDataSize(), 0);
    EXPECT_EQ(c.ReadBinary(), std::vector<std::uint8_t>{0x00});
}

TEST_F(ClassCommPty, LineSettingsChangedWhileOpenApplyAtTheNextOpen) {
    classComm& c = MakePort();
    c.SetPortNumber(7);
    ASSERT_EQ(c.OpenPort(), 7);
    auto applied = SlaveAttributes();
    ASSERT_TRUE(applied.has_value());
    EXPECT_EQ(cfgetospeed(&*applied), B9600);
    EXPECT_EQ(applied->c_lflag & (ICANON | ECHO | ISIG), 0U);

    c.SetBaudRate(19200);
    c.SetParity(2);
    EXPECT_EQ(c.Dcb().BaudRate, 19200U);
    EXPECT_EQ(c.Dcb().Parity, 2);
    applied = SlaveAttributes();
    ASSERT_TRUE(applied.has_value());
    EXPECT_EQ(cfgetospeed(&*applied), B9600);

    c.ClosePort();
    ASSERT_EQ(c.OpenPort(), 7);
    applied = SlaveAttributes();
    const auto expected = TermiosFromDcb(c.Dcb(), c.Timeouts());
    ASSERT_TRUE(applied.has_value());
    ASSERT_TRUE(expected.has_value());
    EXPECT_EQ(cfgetospeed(&*applied), B19200);
    // A pseudo-terminal forces 8 bits without parity; everything else must be as mapped.
    const tcflag_t ptyOwned = CSIZE | PARENB;
    EXPECT_EQ(applied->c_cflag & ~ptyOwned, expected->c_cflag & ~ptyOwned);
    EXPECT_EQ(applied->c_iflag, expected->c_iflag);
    EXPECT_EQ(applied->c_oflag, expected->c_oflag);
    EXPECT_EQ(applied->c_lflag, expected->c_lflag);
    EXPECT_EQ(c.Timeouts().ReadTotalTimeoutConstant, 1000U);
}

TEST_F(ClassCommPty, PeerThatVanishesMakesCallsFailWithoutBlocking) {
    classComm& c = MakePort();
    c.SetPortNumber(7);
    ASSERT_EQ(c.OpenPort(), 7);
    ASSERT_TRUE(m_peer.Send({1, 2, 3}));
    ASSERT_TRUE(Eventually([&] { return c.ReadBufferDataSize() == 3; }));
    m_peer.Hangup();
    m_list.Remove(0);

    c.SetErrorTrap(true);
    const std::vector<std::uint8_t> frame(22, 0x41);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(c.WriteBinary(frame), 0);
        const auto bytes = c.ReadBinary();
        EXPECT_FALSE(bytes.empty());
        c.ReadBufferDataSize();
        c.ClearReadBuffer();
        c.ClearWriteBuffer();
        c.Cts();
        c.SetDtr(false);
    }
    EXPECT_GT(c.ErrorCount(), 0);
    c.ClosePort();
    EXPECT_FALSE(c.IsOpen());
    // The number is no longer listed and has no device of its own.
    EXPECT_EQ(c.OpenPort(), 0);
}

#endif  // _WIN32

}  // namespace
}  // namespace tessarin
