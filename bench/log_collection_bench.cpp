// How long the 100-record 微地絡 log takes to collect from the simulated unit at 9600 baud, driven by a loop
// that stands in for the window: tmrComConnect every 10 ms during the collection (100 ms before), tmrComLog
// every 100 ms, and a receive pass whenever the port's descriptor polls readable (plus one tick after it),
// as the program does on Linux. The figure is printed beside the wire limit (100 exchanges of a 22-byte
// request and a 21-byte answer at 11 bits per byte) and beside the floor of the request cycle's cadence: a
// record request leaves only at a connect tick, so each exchange takes its wire time rounded up to whole
// connect intervals. Figures only; nothing passes or fails.

#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_setup.h"
#include "data/log_record_decoder.h"
#include "link/log_collection.h"
#include "link/unit_link.h"
#include "sim/simulated_unit.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Seconds = std::chrono::duration<double>;

constexpr int kRuns = 3;
constexpr double kWireBytesPerExchange = 22 + 21;
constexpr double kBitsPerByte = 11;
constexpr double kBaud = 9600;

// The link's events as far as the loop needs them: tmrComConnect's interval.
class PaceEvents : public tessarin::LinkEvents {
  public:
    void ConnectIntervalChanged(std::chrono::milliseconds interval) override { connectInterval = interval; }

    std::chrono::milliseconds connectInterval = tessarin::kConnectIntervalNormal;
};

class TimerView : public tessarin::LogCollectionView {
  public:
    void ShowProgress(const tessarin::LogProgress& /*progress*/) override {}
    void ClearProgress() override {}
    void SetSupervision(tessarin::Supervision state) override {
        supervising = state == tessarin::Supervision::Running;
        nextSupervision = Clock::now() + tessarin::kLogSupervisionInterval;
    }
    void CollectionStarted(tessarin::LogKind /*kind*/) override {}
    void CollectionEnded() override {}
    void CollectionCompleted(tessarin::LogKind /*kind*/, int recordCount) override { completedRecords = recordCount; }
    void CollectionFailed() override { failed = true; }

    bool supervising = false;
    Clock::time_point nextSupervision;
    int completedRecords = 0;
    bool failed = false;
};

// Sleeps until `until`, or less when the link's descriptor polls readable first; true when it did.
bool WaitForLine(const tessarin::UnitLink& link, Clock::time_point until) {
    const int descriptor = link.ReceiveDescriptor();
    const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(until - Clock::now());
    if (left.count() <= 0) {
        return false;
    }
    if (descriptor < 0) {
        std::this_thread::sleep_until(until);
        return false;
    }
    pollfd watched{descriptor, POLLIN, 0};
    const timespec timeout{static_cast<time_t>(left.count() / 1'000'000'000),
                           static_cast<long>(left.count() % 1'000'000'000)};
    return ::ppoll(&watched, 1, &timeout, nullptr) > 0 && (watched.revents & POLLIN) != 0;
}

// The window's timers and its wake on the port until `done` holds or `limit` passes.
template <typename Done>
bool RunTimers(tessarin::UnitLink& link, const PaceEvents& pace, TimerView& view, Clock::duration limit, Done done) {
    const auto end = Clock::now() + limit;
    auto nextConnect = Clock::now();
    auto nextReceive = Clock::time_point::max();  // tmrComRcv stopped
    auto interval = pace.connectInterval;
    // After a wake the receive timer ticks once more before the descriptor is watched again.
    int ticksAfterWake = 0;
    const auto syncReceive = [&] {
        const bool tick = ticksAfterWake > 0 || link.ReceiveTicksWanted();
        if (tick && nextReceive == Clock::time_point::max()) {
            nextReceive = Clock::now() + 10ms;
        } else if (!tick) {
            nextReceive = Clock::time_point::max();
        }
    };
    while (Clock::now() < end) {
        if (pace.connectInterval != interval) {  // a QTimer restarts when its interval changes
            interval = pace.connectInterval;
            nextConnect = Clock::now() + interval;
        }
        // Each timer keeps its own schedule, as a QTimer does: the next tick is one interval after the
        // one due, not after the moment it ran; a timer that fell behind starts afresh from now. Timers that
        // are due together run in the order they fell due, as Qt runs them.
        const auto now = Clock::now();
        const auto advance = [now](Clock::time_point& next, Clock::duration step) {
            next += step;
            if (next < now) {
                next = now + step;
            }
        };
        for (int ran = 0; ran < 3; ++ran) {
            const auto supervisionDue = view.supervising ? view.nextSupervision : Clock::time_point::max();
            const auto first = std::min({nextConnect, nextReceive, supervisionDue});
            if (first > now) {
                break;
            }
            if (first == nextReceive && nextReceive <= nextConnect) {
                link.ReceiveTick();
                advance(nextReceive, 10ms);
                ticksAfterWake = std::max(ticksAfterWake - 1, 0);
                syncReceive();
            } else if (first == nextConnect) {
                link.ConnectTick();
                advance(nextConnect, interval);
                syncReceive();
            } else if (view.supervising) {
                advance(view.nextSupervision, tessarin::kLogSupervisionInterval);
                link.Collection().SupervisionTick();
            }
        }
        if (done()) {
            return true;
        }
        auto wake = std::min(nextConnect, nextReceive);
        if (view.supervising) {
            wake = std::min(wake, view.nextSupervision);
        }
        const bool watching = nextReceive == Clock::time_point::max();
        if (watching ? WaitForLine(link, wake) : (std::this_thread::sleep_until(wake), false)) {
            link.ReceiveTick();
            ticksAfterWake = 1;
            syncReceive();
        }
    }
    return false;
}

}  // namespace

int main() {
    const auto folder = tessarin::bench::UsePrivatePortList();
    if (!folder) {
        return 1;
    }
    const auto unit = tessarin::bench::StartPacedUnit();
    if (!unit) {
        return 1;
    }

    PaceEvents pace;
    TimerView view;
    tessarin::UnitLink link(pace);
    tessarin::LogCollection& collection = link.Collection();
    collection.AttachView(view);
    // The moment the last record is decoded, for the exchange time below.
    Clock::time_point lastRecord{};
    link.SetLogRecordHandler([&] {
        collection.RecordArrived();
        if (lastRecord == Clock::time_point{} && link.Data().LogState == tessarin::kLogLastReceived) {
            lastRecord = Clock::now();
        }
    });
    link.Discover();
    // The first poll must be out before the receive timer reads anything.
    RunTimers(link, pace, view, 3s, [&link] { return link.Data().TxStarted != 0; });

    // Two times per run: from the click to the complete log (what the operator waits, including the first
    // tick and the supervision tick that notices the last record), and the exchanges alone, from the first
    // record request written to the last record decoded (what the wire limit counts).
    const double wireLimit = 100 * kWireBytesPerExchange * kBitsPerByte / kBaud;
    // The cadence's floor: every record request leaves at a connect tick, so an exchange lasts its wire time
    // rounded up to whole connect intervals; the last one ends when its answer is in.
    const double exchangeWire = wireLimit / 100;
    const double tick = std::chrono::duration<double>(tessarin::kConnectIntervalCollecting).count();
    const double cadenceFloor = 99 * std::ceil(exchangeWire / tick) * tick + exchangeWire;
    std::vector<double> times;
    std::vector<double> exchangeTimes;
    std::printf("log collection, 100 records, simulator at 9600 baud\n");
    for (int run = 1; run <= kRuns; ++run) {
        view.completedRecords = 0;
        view.failed = false;
        const auto start = Clock::now();
        Clock::time_point firstRequest{};
        lastRecord = {};
        (void)link.Commands().StartCollection(tessarin::LogKind::MinorFault);
        const bool ended = RunTimers(link, pace, view, 60s, [&] {
            // The request cycle marks a record request on the wire with 255 as it writes it.
            if (firstRequest == Clock::time_point{} && link.Data().ReqCode == tessarin::kReqAwaitingRecord) {
                firstRequest = Clock::now();
            }
            return !collection.Running();
        });
        collection.AcknowledgeFailure();  // closes the message of a failed run
        const double seconds = Seconds(Clock::now() - start).count();
        const double exchanges = Seconds(lastRecord - firstRequest).count();
        const char* outcome = !ended ? "did not end" : view.failed ? "failed" : "complete";
        std::printf(
            "run %d: %.3f s click to complete (%s, %d records), exchanges %.3f s, wire limit %.2f s, ratios %.3f "
            "and %.3f\n",
            run, seconds, outcome, view.completedRecords, exchanges, wireLimit, seconds / wireLimit,
            exchanges / wireLimit);
        times.push_back(seconds);
        exchangeTimes.push_back(exchanges);
    }
    std::sort(times.begin(), times.end());
    std::sort(exchangeTimes.begin(), exchangeTimes.end());
    const double median = times[times.size() / 2];
    const double exchangeMedian = exchangeTimes[exchangeTimes.size() / 2];
    std::printf(
        "median: %.3f s click to complete, ratio %.3f; exchanges %.3f s, ratio %.3f; wire limit %.2f s; "
        "cadence floor %.3f s, exchanges %.3f × floor\n",
        median, median / wireLimit, exchangeMedian, exchangeMedian / wireLimit, wireLimit, cadenceFloor,
        exchangeMedian / cadenceFloor);

    link.SetLogRecordHandler({});
    collection.DetachView(view);
    link.ClosePort();
    unit->Stop();
    std::error_code ignored;
    std::filesystem::remove_all(*folder, ignored);
    return 0;
}
