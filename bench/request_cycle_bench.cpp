// The request cycle and the receive pass against the simulated unit at 9600 baud, driven by a loop that keeps
// the window's timer schedule (tmrComConnect every 100 ms, tmrComRcv every 10 ms): how many polls go out per
// second, how long from a poll written to NowValue updated, and how much CPU time the link's side uses.
// Usage: request_cycle_bench [seconds] (default 60). Figures only; nothing passes or fails.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_setup.h"
#include "link/unit_link.h"
#include "sim/simulated_unit.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Millis = std::chrono::duration<double, std::milli>;

constexpr double kBitsPerByte = 11;
constexpr double kBaud = 9600;
constexpr double kPollBytes = 22;    // the whole send buffer goes out
constexpr double kAnswerBytes = 29;  // A0h with 24 data bytes

// The lamps tell when the cycle wrote (send lamp) and when a pass extracted a frame (receive lamp): with only
// polls going out and current values coming back, that is a poll written and a NowValue updated.
class LampClock : public tessarin::LinkEvents {
  public:
    void LinkUp() override { up = true; }
    void LinkDown(tessarin::LinkDownReason /*reason*/) override { up = false; }
    void RequestSent(std::uint8_t /*code*/, bool /*accepted*/) override {
        if (measuring) {
            ++polls;
            pollWritten = Clock::now();
            awaiting = true;
        }
    }
    void PassEnded() override {
        if (measuring && awaiting) {
            latencies.push_back(Millis(Clock::now() - pollWritten).count());
            awaiting = false;
        }
    }

    bool up = false;
    bool measuring = false;
    int polls = 0;
    bool awaiting = false;
    Clock::time_point pollWritten;
    std::vector<double> latencies;
};

double ThreadCpuMillis() {
    rusage usage{};
    ::getrusage(RUSAGE_THREAD, &usage);
    const auto toMillis = [](const timeval& t) { return static_cast<double>(t.tv_sec) * 1e3 + t.tv_usec / 1e3; };
    return toMillis(usage.ru_utime) + toMillis(usage.ru_stime);
}

// The two timers on their own schedules, as QTimers keep them, until `end`.
void RunTimers(tessarin::UnitLink& link, Clock::time_point end) {
    auto nextConnect = Clock::now();
    auto nextReceive = Clock::now();
    const auto advance = [](Clock::time_point& next, Clock::duration step) {
        next += step;
        if (next < Clock::now()) {
            next = Clock::now() + step;
        }
    };
    while (Clock::now() < end) {
        if (Clock::now() >= nextConnect) {
            link.ConnectTick();
            advance(nextConnect, 100ms);
        }
        if (Clock::now() >= nextReceive) {
            while (link.ReceiveTick()) {
            }
            advance(nextReceive, 10ms);
        }
        std::this_thread::sleep_until(std::min({nextConnect, nextReceive, end}));
    }
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
    const auto folder = tessarin::bench::UsePrivatePortList();
    if (!folder) {
        return 1;
    }
    const auto unit = tessarin::bench::StartPacedUnit();
    if (!unit) {
        return 1;
    }

    LampClock lamps;
    tessarin::UnitLink link(lamps);
    link.Discover();
    RunTimers(link, Clock::now() + 2s);  // on line and polling before anything is counted
    if (!lamps.up) {
        std::fprintf(stderr, "the link did not come up\n");
        return 1;
    }

    lamps.measuring = true;
    const double cpuBefore = ThreadCpuMillis();
    const auto start = Clock::now();
    RunTimers(link, start + std::chrono::seconds(seconds));
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    const double cpu = ThreadCpuMillis() - cpuBefore;
    lamps.measuring = false;

    const auto& l = lamps.latencies;
    const double mean = l.empty() ? 0.0 : [&] {
        double sum = 0;
        for (const double v : l) {
            sum += v;
        }
        return sum / static_cast<double>(l.size());
    }();
    const double worst = l.empty() ? 0.0 : *std::max_element(l.begin(), l.end());
    const double wire = (kPollBytes + kAnswerBytes) * kBitsPerByte / kBaud * 1e3;
    std::printf("request cycle against the simulated unit at 9600 baud for %d s\n", seconds);
    std::printf("polls: %d written, %zu answered, %.2f per second\n", lamps.polls, l.size(), lamps.polls / elapsed);
    std::printf(
        "poll written to NowValue updated: mean %.1f ms, worst %.1f ms (poll and answer on the wire: %.1f ms)\n", mean,
        worst, wire);
    std::printf("CPU time of the link's side: %.0f ms per minute (%.3f %% of one core)\n", cpu / elapsed * 60.0,
                cpu / (elapsed * 1e3) * 100.0);

    link.ClosePort();
    unit->Stop();
    std::error_code ignored;
    std::filesystem::remove_all(*folder, ignored);
    return 0;
}
