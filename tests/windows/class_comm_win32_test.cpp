// classComm on the Win32 serial calls. Most tests need a port whose far end echoes every byte back (a
// loopback plug): scripts/windows-test links a pseudo-terminal with an echoing peer to a COM number of the
// Wine prefix and names it in TESSARIN_LOOPBACK_COM. Without it those tests are skipped.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/class_comm.h"
#include "link/unit_port.h"

namespace tessarin {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Polls `condition` every 10 ms for up to five seconds.
bool Eventually(const std::function<bool()>& condition) {
    for (int i = 0; i < 500; ++i) {
        if (condition()) {
            return true;
        }
        Sleep(10);
    }
    return condition();
}

TEST(ClassCommWin32, PortThatDoesNotExistGivesZero) {
    classComm c;
    c.SetPortNumber(250);
    EXPECT_EQ(c.OpenPort(), 0);
    EXPECT_EQ(c.PortNumber(), 0);
    EXPECT_FALSE(c.IsOpen());
    EXPECT_EQ(c.ClosePort(), 0);
    EXPECT_FALSE(c.Open(250, {}));
    EXPECT_NE(c.LastOpenFailure(), OpenFailure::None);
    EXPECT_EQ(c.Read().status, ReadStatus::Failed);
}

class LoopbackPort : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* number = std::getenv("TESSARIN_LOOPBACK_COM");
        m_number = number != nullptr ? std::atoi(number) : 0;
        if (m_number <= 0) {
            GTEST_SKIP() << "no loopback port (TESSARIN_LOOPBACK_COM)";
        }
    }

    classComm& MakePort() {
        classComm& c = *m_ports.emplace_back(std::make_unique<classComm>());
        c.SetPortNumber(m_number);
        return c;
    }

    // Waits until `count` bytes are waiting, then reads them.
    static Bytes Receive(classComm& c, std::int32_t count) {
        EXPECT_TRUE(Eventually([&] { return c.ReadBufferDataSize() >= count; }));
        return c.ReadBinary();
    }

    std::int32_t m_number = 0;
    std::vector<std::unique_ptr<classComm>> m_ports;
};

TEST_F(LoopbackPort, EveryByteValueComesBackUntranslated) {
    classComm& c = MakePort();
    ASSERT_TRUE(OpenUnitPort(c, static_cast<std::int16_t>(m_number)));
    EXPECT_EQ(c.PortNumber(), m_number);
    Bytes all(256);
    for (std::size_t i = 0; i < all.size(); ++i) {
        all[i] = static_cast<std::uint8_t>(i);
    }
    EXPECT_EQ(c.WriteBinary(all), -1);
    EXPECT_EQ(Receive(c, 256), all);
    EXPECT_EQ(c.ReadBufferDataSize(), 0);
    EXPECT_EQ(c.ReadBinary(), Bytes{0x00});
}

TEST_F(LoopbackPort, TheLinksReadTellsNothingWaitingFromBytes) {
    classComm& c = MakePort();
    ASSERT_TRUE(c.Open(m_number, {}));
    EXPECT_EQ(c.Read().status, ReadStatus::NothingWaiting);
    const Bytes answer{0xFF, 0xA0, 0x08, 0x00, 0x00, 0x00, 0xCC, 0x64};
    ASSERT_TRUE(c.Write(answer));
    ASSERT_TRUE(Eventually([&] { return c.ReadBufferDataSize() >= static_cast<std::int32_t>(answer.size()); }));
    const PortRead read = c.Read();
    EXPECT_EQ(read.status, ReadStatus::Received);
    EXPECT_EQ(read.bytes, answer);
    EXPECT_EQ(c.Read().status, ReadStatus::NothingWaiting);
    c.Close();
    EXPECT_EQ(c.Read().status, ReadStatus::Failed);
}

TEST_F(LoopbackPort, PortNumberZeroOpensPortOne) {
    if (m_number != 1) {
        GTEST_SKIP() << "the loopback port is not COM1";
    }
    classComm& c = MakePort();
    c.SetPortNumber(0);
    EXPECT_EQ(c.OpenPort(), 1);
    EXPECT_EQ(c.PortNumber(), 1);
}

// Windows' serial drivers let one handle at a time have a port; Wine does not hold a pseudo-terminal that way.
bool RunningUnderWine() {
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

DWORD HandleCount() {
    DWORD count = 0;
    GetProcessHandleCount(GetCurrentProcess(), &count);
    return count;
}

TEST_F(LoopbackPort, HeldPortIsRefusedUntilClosed) {
    if (RunningUnderWine()) {
        GTEST_SKIP() << "Wine opens a serial device more than once";
    }
    classComm& first = MakePort();
    classComm& second = MakePort();
    ASSERT_EQ(first.OpenPort(), m_number);
    EXPECT_EQ(second.OpenPort(), 0);
    EXPECT_EQ(second.PortNumber(), 0);
    EXPECT_NE(first.ClosePort(), 0);
    second.SetPortNumber(m_number);
    EXPECT_EQ(second.OpenPort(), m_number);
}

TEST_F(LoopbackPort, NoHandleIsLeftBehind) {
    const DWORD before = HandleCount();
    if (before == 0) {
        GTEST_SKIP() << "the system does not count handles (Wine)";
    }
    {
        classComm c;
        c.SetPortNumber(m_number);
        ASSERT_EQ(c.OpenPort(), m_number);
        ASSERT_EQ(c.OpenPort(), m_number);  // again without closing: the old handle goes first
        EXPECT_EQ(HandleCount(), before + 1);
    }  // destroyed while open
    EXPECT_EQ(HandleCount(), before);

    classComm c;
    c.SetPortNumber(m_number);
    ASSERT_EQ(c.OpenPort(), m_number);
    EXPECT_NE(c.ClosePort(), 0);
    EXPECT_EQ(c.ClosePort(), 0);  // closing twice is harmless
    EXPECT_EQ(HandleCount(), before);
}

TEST_F(LoopbackPort, ReadRequestSizeTakesThatManyAndZeroFillsAShortRead) {
    classComm& c = MakePort();
    c.SetTimeOut(200);  // a read of bytes still to come waits this long at most
    ASSERT_EQ(c.OpenPort(), m_number);
    ASSERT_EQ(c.WriteBinary(Bytes{1, 2, 3, 4}), -1);
    ASSERT_TRUE(Eventually([&] { return c.ReadBufferDataSize() == 4; }));

    c.SetReadRequestSize(3);
    EXPECT_EQ(c.ReadBinary(), (Bytes{1, 2, 3}));
    c.SetErrorTrap(true);
    EXPECT_EQ(c.ReadBinary(), (Bytes{4, 0, 0}));
    EXPECT_EQ(c.ErrorCount(), 1);
}

TEST_F(LoopbackPort, ClearReadBufferDiscardsWhatIsWaiting) {
    classComm& c = MakePort();
    ASSERT_EQ(c.OpenPort(), m_number);
    ASSERT_EQ(c.WriteBinary(Bytes{9, 8, 7, 6, 5}), -1);
    ASSERT_TRUE(Eventually([&] { return c.ReadBufferDataSize() == 5; }));
    EXPECT_NE(c.ClearReadBuffer(), 0);
    EXPECT_NE(c.ClearWriteBuffer(), 0);
    EXPECT_EQ(c.ReadBufferDataSize(), 0);
    EXPECT_EQ(c.ReadBinary(), Bytes{0x00});
}

TEST_F(LoopbackPort, TextGoesOutAndComesBackTrimmed) {
    classComm& c = MakePort();
    ASSERT_EQ(c.OpenPort(), m_number);
    EXPECT_EQ(c.WriteText("  AB C "), -1);
    ASSERT_TRUE(Eventually([&] { return c.ReadBufferDataSize() == 7; }));
    EXPECT_EQ(c.ReadText(), "AB C");
    EXPECT_EQ(c.ReadText(), "");
}

// A port adapter (or Wine's pseudo-terminal) may refuse the modem-line calls. The program runs with
// ErrorTrap off, where that must pass without a trace and leave the port working.
TEST_F(LoopbackPort, ModemLineCallsNeverDisturbThePort) {
    classComm& c = MakePort();
    ASSERT_TRUE(OpenUnitPort(c, static_cast<std::int16_t>(m_number)));
    c.SetDtr(false);
    c.SetDtr(true);
    c.SetRts(false);
    c.SetRts(true);
    c.SetBreak(true);
    c.SetBreak(false);
    static_cast<void>(c.Cts());
    static_cast<void>(c.Dsr());
    static_cast<void>(c.Dcd());
    static_cast<void>(c.Ri());
    EXPECT_EQ(c.ErrorCount(), 0);
    EXPECT_EQ(c.LastError().Number, 0);

    const Bytes poll{0xFF, 0x00, 0x14, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xCC, 0xD8};
    EXPECT_EQ(c.WriteBinary(poll), -1);
    EXPECT_EQ(Receive(c, static_cast<std::int32_t>(poll.size())), poll);
}

}  // namespace
}  // namespace tessarin
