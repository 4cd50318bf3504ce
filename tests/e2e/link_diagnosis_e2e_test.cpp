// The link diagnosis against the simulated unit over a real pseudo-terminal: each fault is made for real
// (the adapter unplugged, a listed device that is gone, a silent or garbling unit, the device held by
// another process, a device the user may not open), the reason the tracker gives is checked with its
// explanation, and once the fault is removed the reason must go back to ON LINE. The link is ticked as the
// window's timers tick it.
//
// Other processes are forked copies of this test program: they are forked before the unit's thread starts
// (so they are plain single-threaded copies holding none of its descriptors), take their orders and give
// their reports through pipes, and leave with _exit, never returning into the test framework.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "link/link_diagnosis.h"
#include "link/link_diagnosis_tracker.h"
#include "link/recording_link_events.h"
#include "link/unit_link.h"
#include "sim/sim_test_support.h"
#include "sim/simulated_unit.h"

namespace tessarin {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto kConnectInterval = 100ms;
constexpr auto kReceiveInterval = 10ms;
constexpr auto kLimit = 10s;  // for any reason to show: generous, only a broken link reaches it

// The program's link as the window holds it, with its tracker.
struct WatchedLink {
    WatchedLink() { link.Discover(); }
    ~WatchedLink() { link.ClosePort(); }
    WatchedLink(const WatchedLink&) = delete;
    WatchedLink& operator=(const WatchedLink&) = delete;
    WatchedLink(WatchedLink&&) = delete;
    WatchedLink& operator=(WatchedLink&&) = delete;

    // The window's two timers, with the tracker asked after every tick: runs until the tracker gives
    // `want`, or `limit` has passed. True when it gave `want`.
    bool RunUntil(LinkReason want, Clock::duration limit = kLimit) {
        const auto end = Clock::now() + limit;
        auto nextConnect = Clock::now();
        while (Clock::now() < end) {
            if (Clock::now() >= nextConnect) {
                link.ConnectTick();
                nextConnect = Clock::now() + kConnectInterval;
            }
            while (link.ReceiveTick()) {
            }
            tracker.Refresh(link, link.Monitor().Now());
            if (tracker.Diagnosis().reason == want) {
                return true;
            }
            std::this_thread::sleep_for(kReceiveInterval);
        }
        return false;
    }

    [[nodiscard]] const LinkObservations& Seen() const { return tracker.Seen(); }
    [[nodiscard]] std::string Short() const { return ShortExplanation(tracker.Diagnosis(), tracker.Seen()); }
    [[nodiscard]] std::string Full() const {
        return FullExplanation(tracker.Diagnosis(), tracker.Seen(), link.Monitor().Now());
    }

    test::RecordingLinkEvents events;
    UnitLink link{events};
    LinkDiagnosisTracker tracker;
};

// Messages through a pipe: a length, then the bytes.
bool WriteMessage(int fd, const std::string& text) {
    const auto size = static_cast<std::uint32_t>(text.size());
    std::string bytes(reinterpret_cast<const char*>(&size), sizeof size);
    bytes += text;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::optional<std::string> ReadMessage(int fd, Clock::duration limit) {
    const auto end = Clock::now() + limit;
    std::string bytes;
    std::uint32_t size = 0;
    while (bytes.size() < sizeof size || bytes.size() < sizeof size + size) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        pollfd pfd{fd, POLLIN, 0};
        if (left <= 0 || ::poll(&pfd, 1, static_cast<int>(left)) <= 0) {
            return std::nullopt;
        }
        char chunk[4096];
        const std::size_t want =
            bytes.size() < sizeof size ? sizeof size - bytes.size() : sizeof size + size - bytes.size();
        const ssize_t n = ::read(fd, chunk, std::min(want, sizeof chunk));
        if (n <= 0) {
            return std::nullopt;  // the other end is gone
        }
        bytes.append(chunk, static_cast<std::size_t>(n));
        if (bytes.size() == sizeof size) {
            std::memcpy(&size, bytes.data(), sizeof size);
        }
    }
    return bytes.substr(sizeof size);
}

// What the unprivileged child reports of its diagnosis. The explanations have lines of their own, so the
// fields are parted by the unit separator.
constexpr char kFieldSeparator = '\x1f';

struct RemoteDiagnosis {
    int reason = -1;
    std::string fixCommand;
    std::string deviceGroup;
    std::string userName;
    bool groupAddedSinceLogin = false;
    std::string shortText;
    std::string fullText;
};

std::string Encode(const WatchedLink& watched) {
    const LinkDiagnosis& diagnosis = watched.tracker.Diagnosis();
    const std::string parts[] = {std::to_string(static_cast<int>(diagnosis.reason)),
                                 diagnosis.fixCommand,
                                 watched.Seen().deviceGroup,
                                 watched.Seen().userName,
                                 diagnosis.groupAddedSinceLogin ? "1" : "0",
                                 watched.Short(),
                                 watched.Full()};
    std::string text;
    for (const std::string& part : parts) {
        text += part;
        text += kFieldSeparator;
    }
    return text;
}

std::optional<RemoteDiagnosis> Decode(const std::string& message) {
    std::vector<std::string> parts(1);
    for (const char c : message) {
        if (c == kFieldSeparator) {
            parts.emplace_back();
        } else {
            parts.back() += c;
        }
    }
    if (parts.size() != 8) {
        return std::nullopt;
    }
    return RemoteDiagnosis{std::stoi(parts[0]), parts[1], parts[2], parts[3], parts[4] == "1", parts[5], parts[6]};
}

// A forked copy of this program running `body(fromParent, toParent)` and leaving with its result. Killed
// and reaped when the test ends, however it ends.
class Child {
  public:
    explicit Child(const std::function<int(int, int)>& body) {
        // A child that died must fail the test, not end it by a signal on a write to its pipe.
        ::signal(SIGPIPE, SIG_IGN);
        int down[2] = {-1, -1};
        int up[2] = {-1, -1};
        if (::pipe2(down, O_CLOEXEC) != 0 || ::pipe2(up, O_CLOEXEC) != 0) {
            return;
        }
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(down[1]);
            ::close(up[0]);
            int result = 1;
            try {
                result = body(down[0], up[1]);
            } catch (...) {
                result = 2;
            }
            ::_exit(result);
        }
        ::close(down[0]);
        ::close(up[1]);
        m_toChild = down[1];
        m_fromChild = up[0];
    }
    ~Child() {
        for (const int fd : {m_toChild, m_fromChild}) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    Child(Child&&) = delete;
    Child& operator=(Child&&) = delete;

    [[nodiscard]] pid_t Pid() const { return m_pid; }
    bool Send(const std::string& text) const { return WriteMessage(m_toChild, text); }
    [[nodiscard]] std::optional<std::string> Receive(Clock::duration limit = kLimit) const {
        return ReadMessage(m_fromChild, limit);
    }
    // Sends `order` and reads the report, failing the test with what came instead of a report.
    [[nodiscard]] std::optional<RemoteDiagnosis> Ask(const std::string& order) const {
        if (!Send(order)) {
            ADD_FAILURE() << "the child is gone";
            return std::nullopt;
        }
        const auto message = Receive();
        auto report = message ? Decode(*message) : std::nullopt;
        if (!report) {
            ADD_FAILURE() << "no report from the child: " << message.value_or("(nothing)");
        }
        return report;
    }

  private:
    pid_t m_pid = -1;
    int m_toChild = -1;
    int m_fromChild = -1;
};

// Each test gets its own serial-port list, so that nothing else on the machine is found.
class LinkDiagnosisE2e : public ::testing::Test {
  protected:
    sim::testing::ScopedRuntimeFolder m_runtime;
};

TEST_F(LinkDiagnosisE2e, UnpluggedAdapterThenPluggedBackIn) {
    sim::SimulatedUnit unit;
    ASSERT_TRUE(unit.Start());
    WatchedLink watched;
    ASSERT_TRUE(watched.RunUntil(LinkReason::OnLine));
    EXPECT_EQ(watched.Short(), "本体と通信しています。");

    unit.Unplug();
    ASSERT_TRUE(watched.RunUntil(LinkReason::NoAdapter)) << watched.Short();
    EXPECT_FALSE(IsOnLine(watched.tracker.Diagnosis().reason));
    EXPECT_NE(watched.Short().find("USBアダプタが見つかりません"), std::string::npos) << watched.Short();

    ASSERT_TRUE(unit.Plug());
    ASSERT_TRUE(watched.RunUntil(LinkReason::OnLine)) << watched.Short();
    EXPECT_EQ(watched.Seen().devicePath, unit.DevicePath());
}

TEST_F(LinkDiagnosisE2e, ListedDeviceThatIsGoneThenTheUnitInItsPlace) {
    // An entry left behind by an adapter whose device is gone.
    const std::filesystem::path listFolder = sim::SerialListFolder();
    std::filesystem::create_directories(listFolder);
    const std::string gone = "/dev/pts/tessarin-gone";
    {
        std::ofstream entry(listFolder / "VCP0");
        entry << "COM5\n" << gone << "\n";
    }
    WatchedLink watched;
    ASSERT_TRUE(watched.RunUntil(LinkReason::DeviceMissing)) << watched.Short();
    EXPECT_NE(watched.Short().find("COM5（" + gone + "）"), std::string::npos) << watched.Short();

    // The link goes on trying the port it found; the entry gone, no adapter is listed any more.
    std::filesystem::remove(listFolder / "VCP0");
    ASSERT_TRUE(watched.RunUntil(LinkReason::NoAdapter)) << watched.Short();

    sim::SimOptions options;
    options.index = 0;
    options.comNumber = 5;
    sim::SimulatedUnit unit(options);
    ASSERT_TRUE(unit.Start());
    ASSERT_TRUE(watched.RunUntil(LinkReason::OnLine)) << watched.Short();
    EXPECT_EQ(watched.Seen().devicePath, unit.DevicePath());
}

TEST_F(LinkDiagnosisE2e, SilentThenGarblingUnitAndBack) {
    sim::SimulatedUnit unit;
    ASSERT_TRUE(unit.Start());
    WatchedLink watched;
    ASSERT_TRUE(watched.RunUntil(LinkReason::OnLine));

    unit.SetSilent(true);
    ASSERT_TRUE(watched.RunUntil(LinkReason::NoAnswer)) << watched.Short();
    EXPECT_GE(watched.Seen().unansweredPolls, kSilentAfterPolls);
    EXPECT_NE(watched.Short().find("本体が応答しません"), std::string::npos) << watched.Short();
    EXPECT_NE(watched.Full().find("応答がない時間："), std::string::npos) << watched.Full();

    unit.SetSilent(false);
    ASSERT_TRUE(watched.RunUntil(LinkReason::OnLine)) << watched.Short();

    unit.SetCorruptShare(1.0);
    ASSERT_TRUE(watched.RunUntil(LinkReason::Garbled)) << watched.Short();
    EXPECT_GE(watched.Seen().badFramesSinceValid, 1U);
    EXPECT_NE(watched.Short().find("応答が壊れています"), std::string::npos) << watched.Short();

    unit.SetCorruptShare(0.0);
    ASSERT_TRUE(watched.RunUntil(LinkReason::OnLine)) << watched.Short();
    EXPECT_EQ(watched.Seen().badFramesSinceValid, 0U);
}

// Opens the device it is sent and locks it as a serial program would (the lock and the exclusive mode),
// says "held", and lets go when told to.
int HoldPort(int fromParent, int toParent) {
    ::prctl(PR_SET_NAME, "tessarin-holder");
    const auto device = ReadMessage(fromParent, kLimit);
    if (!device) {
        return 1;
    }
    const int fd = ::open(device->c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::ioctl(fd, TIOCEXCL) != 0) {
        WriteMessage(toParent, "could not hold " + *device);
        return 1;
    }
    WriteMessage(toParent, "held");
    ReadMessage(fromParent, 60s);
    ::ioctl(fd, TIOCNXCL);
    ::close(fd);
    return 0;
}

TEST_F(LinkDiagnosisE2e, PortHeldByAnotherProcessNamesIt) {
    Child holder(HoldPort);
    ASSERT_GT(holder.Pid(), 0);
    sim::SimulatedUnit unit;
    ASSERT_TRUE(unit.Start());
    ASSERT_TRUE(holder.Send(unit.DevicePath()));
    ASSERT_EQ(holder.Receive(), "held");

    WatchedLink watched;
    ASSERT_TRUE(watched.RunUntil(LinkReason::InUse)) << watched.Short();
    const std::string named = "tessarin-holder（PID " + std::to_string(holder.Pid()) + "）";
    ASSERT_EQ(watched.Seen().holders.size(), 1U);
    EXPECT_EQ(watched.Seen().holders[0].pid, holder.Pid());
    EXPECT_NE(watched.Short().find(named), std::string::npos) << watched.Short();
    EXPECT_NE(watched.Short().find(unit.DevicePath()), std::string::npos) << watched.Short();
    EXPECT_NE(watched.Full().find(named), std::string::npos) << watched.Full();

    ASSERT_TRUE(holder.Send("let go"));
    ASSERT_TRUE(watched.RunUntil(LinkReason::OnLine)) << watched.Short();
    EXPECT_TRUE(watched.Seen().holders.empty());
}

// Runs the program's link and tracker as `uid`/`gid` with no other groups: for every reason the parent
// names (its number as text; "end" ends it), ticks until the tracker gives it, or for as long as any
// reason may take, and reports the diagnosis then.
int DiagnoseAs(uid_t uid, gid_t gid, int fromParent, int toParent) {
    if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0) {
        WriteMessage(toParent, "could not drop privileges");
        return 1;
    }
    WatchedLink watched;
    while (const auto order = ReadMessage(fromParent, 60s)) {
        if (*order == "end") {
            break;
        }
        watched.RunUntil(static_cast<LinkReason>(std::stoi(*order)));
        WriteMessage(toParent, Encode(watched));
    }
    return 0;
}

std::string ReasonOrder(LinkReason reason) { return std::to_string(static_cast<int>(reason)); }

TEST_F(LinkDiagnosisE2e, DeviceTheUserMayNotOpen) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root: the device is made root's own and the link run as another user";
    }
    const passwd* nobody = ::getpwnam("nobody");
    if (nobody == nullptr) {
        GTEST_SKIP() << "no user \"nobody\" to run the link as";
    }
    const uid_t uid = nobody->pw_uid;
    const std::string userName = nobody->pw_name;
    // The child runs as a login made before the user was given its own group would: the group database
    // gives the user `ownGid`, the process has another group.
    const gid_t ownGid = nobody->pw_gid;
    const gid_t loginGid = ownGid == 65533 ? 65532 : 65533;
    const group* own = ::getgrgid(ownGid);
    const std::string ownGroup = own != nullptr ? own->gr_name : std::to_string(ownGid);
    // A group the user is not in, as the serial devices' group would be.
    const group* dialout = ::getgrnam("dialout");
    const gid_t deviceGid = dialout != nullptr ? dialout->gr_gid : 0;
    const std::string deviceGroup = dialout != nullptr ? dialout->gr_name : "root";

    Child child([&](int fromParent, int toParent) { return DiagnoseAs(uid, loginGid, fromParent, toParent); });
    ASSERT_GT(child.Pid(), 0);
    sim::SimulatedUnit unit;
    ASSERT_TRUE(unit.Start());
    // The list must be the child's own (nobody else's list is read); the device is root's alone.
    const std::filesystem::path listFolder = sim::SerialListFolder();
    ASSERT_EQ(::chmod(m_runtime.Path().c_str(), 0755), 0);
    for (const std::filesystem::path& path :
         {listFolder.parent_path(), listFolder, std::filesystem::path(unit.EntryPath())}) {
        ASSERT_EQ(::chown(path.c_str(), uid, ownGid), 0) << path;
    }
    const std::string device = unit.DevicePath();
    ASSERT_EQ(::chown(device.c_str(), 0, 0), 0);
    ASSERT_EQ(::chmod(device.c_str(), 0600), 0);

    auto seen = child.Ask(ReasonOrder(LinkReason::PermissionDenied));
    ASSERT_TRUE(seen.has_value());
    ASSERT_EQ(seen->reason, static_cast<int>(LinkReason::PermissionDenied)) << seen->shortText;
    EXPECT_EQ(seen->userName, userName);
    EXPECT_EQ(seen->deviceGroup, "root");
    // Only the owner may open it: joining its group would not help, so no command is offered.
    EXPECT_EQ(seen->fixCommand, "");
    EXPECT_NE(seen->shortText.find(device), std::string::npos) << seen->shortText;
    EXPECT_NE(seen->fullText.find("所有者しか開けません"), std::string::npos) << seen->fullText;
    EXPECT_NE(seen->fullText.find("ユーザー：" + userName), std::string::npos) << seen->fullText;

    // Open to its group, a group the user is not in: the command that adds the user to it.
    ASSERT_EQ(::chown(device.c_str(), 0, deviceGid), 0);
    ASSERT_EQ(::chmod(device.c_str(), 0660), 0);
    seen = child.Ask(ReasonOrder(LinkReason::PermissionDenied));
    ASSERT_TRUE(seen.has_value());
    ASSERT_EQ(seen->reason, static_cast<int>(LinkReason::PermissionDenied)) << seen->shortText;
    EXPECT_EQ(seen->deviceGroup, deviceGroup);
    EXPECT_FALSE(seen->groupAddedSinceLogin);
    EXPECT_EQ(seen->fixCommand, "sudo usermod -aG " + deviceGroup + " " + userName);
    EXPECT_NE(seen->fullText.find("所有グループ：" + deviceGroup), std::string::npos) << seen->fullText;
    EXPECT_NE(seen->fullText.find(seen->fixCommand), std::string::npos) << seen->fullText;

    // Open to the group the user was given since its login: logging in again is all it takes.
    ASSERT_EQ(::chown(device.c_str(), 0, ownGid), 0);
    seen = child.Ask(ReasonOrder(LinkReason::PermissionDenied));
    ASSERT_TRUE(seen.has_value());
    ASSERT_EQ(seen->reason, static_cast<int>(LinkReason::PermissionDenied)) << seen->shortText;
    EXPECT_EQ(seen->deviceGroup, ownGroup);
    EXPECT_TRUE(seen->groupAddedSinceLogin);
    EXPECT_EQ(seen->fixCommand, "");
    EXPECT_NE(seen->shortText.find("ログインし直すと有効になります"), std::string::npos) << seen->shortText;

    ASSERT_EQ(::chmod(device.c_str(), 0666), 0);
    seen = child.Ask(ReasonOrder(LinkReason::OnLine));
    ASSERT_TRUE(seen.has_value());
    EXPECT_EQ(seen->reason, static_cast<int>(LinkReason::OnLine)) << seen->shortText;
    ASSERT_TRUE(child.Send("end"));
}

}  // namespace
}  // namespace tessarin
