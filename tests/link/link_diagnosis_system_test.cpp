// The holder scan against a real process: a child that holds a pseudo-terminal behind very many other
// descriptors, so that finding it means reading them all.
#include "link/link_diagnosis_system.h"

#include <gtest/gtest.h>

// The scan reads /proc: there is nothing to scan on Windows.
#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <future>

#include "tests/link/serial_test_support.h"

namespace tessarin {
namespace {

constexpr rlim_t kDescriptors = 100000;

// A child process holding `device` as its highest descriptor, above up to kDescriptors copies of /dev/null
// (the scan reads a process's descriptors in ascending order): as many as the hard limit allows where it
// may not be raised.
class ManyDescriptorsHolder {
  public:
    explicit ManyDescriptorsHolder(const std::string& device) {
        int ready[2];
        if (::pipe(ready) != 0) {
            return;
        }
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(ready[0]);
            rlimit limit{kDescriptors + 64, kDescriptors + 64};
            if (::setrlimit(RLIMIT_NOFILE, &limit) != 0) {
                ::getrlimit(RLIMIT_NOFILE, &limit);
                limit.rlim_cur = limit.rlim_max;
                ::setrlimit(RLIMIT_NOFILE, &limit);
            }
            const int null = ::open("/dev/null", O_RDONLY);
            int held = 0;
            while (null >= 0 && static_cast<rlim_t>(held) + 64 < limit.rlim_cur && ::dup(null) >= 0) {
                ++held;
            }
            const int port = ::open(device.c_str(), O_RDWR | O_NOCTTY);
            if (port < 0 || ::write(ready[1], &held, sizeof held) != sizeof held) {
                ::_exit(1);
            }
            for (;;) {
                ::pause();
            }
        }
        ::close(ready[1]);
        m_ready = m_pid > 0 && ::read(ready[0], &m_held, sizeof m_held) == sizeof m_held;
        ::close(ready[0]);
    }
    ~ManyDescriptorsHolder() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    ManyDescriptorsHolder(const ManyDescriptorsHolder&) = delete;
    ManyDescriptorsHolder& operator=(const ManyDescriptorsHolder&) = delete;
    ManyDescriptorsHolder(ManyDescriptorsHolder&&) = delete;
    ManyDescriptorsHolder& operator=(ManyDescriptorsHolder&&) = delete;

    [[nodiscard]] bool Ready() const { return m_ready; }
    [[nodiscard]] int Pid() const { return m_pid; }
    [[nodiscard]] int Held() const { return m_held; }

  private:
    pid_t m_pid = -1;
    int m_held = 0;
    bool m_ready = false;
};

class HolderScan : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_peer.Ok());
        m_holder = std::make_unique<ManyDescriptorsHolder>(m_peer.SlavePath());
        ASSERT_TRUE(m_holder->Ready());
        if (m_holder->Held() < 10000) {
            GTEST_SKIP() << "only " << m_holder->Held() << " descriptors may be held (root may raise the limit)";
        }
    }

    // Nothing but the child may be named: the scan never guesses.
    void ExpectOnlyTheChild(const std::vector<PortHolder>& holders) const {
        for (const PortHolder& holder : holders) {
            EXPECT_EQ(holder.pid, m_holder->Pid());
        }
    }

    test::PtyPeer m_peer;
    std::unique_ptr<ManyDescriptorsHolder> m_holder;
};

TEST_F(HolderScan, FindsAHolderBehindManyDescriptorsGivenTheTime) {
    const std::vector<PortHolder> holders = FindPortHolders(m_peer.SlavePath(), std::chrono::hours(1));
    ASSERT_EQ(holders.size(), 1U);
    EXPECT_EQ(holders[0].pid, m_holder->Pid());
    EXPECT_FALSE(holders[0].name.empty());
}

TEST_F(HolderScan, StopsOnceItsBudgetIsSpent) {
    // A clock that moves a millisecond at every look: the scan may look about once per budgeted millisecond,
    // and 20 looks come long before the child's port (a look per 256 descriptors).
    int reads = 0;
    auto now = std::chrono::steady_clock::time_point{};
    const ScanClock clock = [&] {
        ++reads;
        now += std::chrono::milliseconds(1);
        return now;
    };
    const std::vector<PortHolder> holders = FindPortHolders(m_peer.SlavePath(), std::chrono::milliseconds(20), clock);
    EXPECT_LE(reads, 22);
    EXPECT_TRUE(holders.empty()) << "the child's port lies behind " << m_holder->Held() << " descriptors";
    ExpectOnlyTheChild(holders);
}

TEST_F(HolderScan, ReturnsSoonWithTheRealClock) {
    auto scan = std::async(std::launch::async, [&] { return FindPortHolders(m_peer.SlavePath()); });
    ASSERT_EQ(scan.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    ExpectOnlyTheChild(scan.get());
}

}  // namespace
}  // namespace tessarin

#endif  // _WIN32
