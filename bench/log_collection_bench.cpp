// How long the 100-record 微地絡 log takes to collect from the simulated unit at 9600 baud, driven by a loop
// that stands in for the window's timers: tmrComConnect every 10 ms during the collection (100 ms before),
// tmrComRcv every 10 ms, tmrComLog every 100 ms. The figure is printed beside the wire limit: 100 exchanges
// of a 22-byte request and a 21-byte answer at 11 bits per byte. Figures only; nothing passes or fails.
#include <cstdlib>  // mkdtemp, setenv (POSIX)

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

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

class QuietLinkView : public tessarin::LinkView {
  public:
    void ShowPanelText(int /*panel*/, const std::string& /*text*/) override {}
    void ShowPanelPicture(int /*panel*/, const std::string& /*pictureName*/) override {}
};

class TimerView : public tessarin::LogCollectionView {
  public:
    void ShowProgress(const std::string& /*text*/) override {}
    void SetConnectInterval(std::chrono::milliseconds interval) override { connectInterval = interval; }
    void SetSupervisionRunning(bool running) override {
        supervising = running;
        nextSupervision = Clock::now() + tessarin::kLogSupervisionInterval;
    }
    void CollectionStarted(int /*tab*/) override {}
    void CollectionEnded() override {}
    void CollectionCompleted(int /*tab*/, int recordCount) override { completedRecords = recordCount; }
    void ReportFailure() override { failed = true; }

    std::chrono::milliseconds connectInterval = tessarin::kConnectIntervalNormal;
    bool supervising = false;
    Clock::time_point nextSupervision;
    int completedRecords = 0;
    bool failed = false;
};

// The three timers until `done` holds or `limit` passes.
template <typename Done>
bool RunTimers(tessarin::UnitLink& link, tessarin::LogCollection& collection, TimerView& view, Clock::duration limit,
               Done done) {
    const auto end = Clock::now() + limit;
    auto nextConnect = Clock::now();
    auto nextReceive = Clock::now();
    auto interval = view.connectInterval;
    while (Clock::now() < end) {
        if (view.connectInterval != interval) {  // a QTimer restarts when its interval changes
            interval = view.connectInterval;
            nextConnect = Clock::now() + interval;
        }
        const auto now = Clock::now();
        if (now >= nextConnect) {
            link.ConnectTick();
            nextConnect = now + interval;
        }
        if (now >= nextReceive) {
            link.ReceiveTick();
            nextReceive = now + 10ms;
        }
        if (view.supervising && now >= view.nextSupervision) {
            view.nextSupervision = now + tessarin::kLogSupervisionInterval;
            collection.tmrComLog_Timer();
        }
        if (done()) {
            return true;
        }
        auto wake = std::min(nextConnect, nextReceive);
        if (view.supervising) {
            wake = std::min(wake, view.nextSupervision);
        }
        std::this_thread::sleep_until(wake);
    }
    return false;
}

}  // namespace

int main() {
    std::string folder = (std::filesystem::temp_directory_path() / "tessarin-bench-XXXXXX").string();
    if (::mkdtemp(folder.data()) == nullptr || ::setenv("XDG_RUNTIME_DIR", folder.c_str(), 1) != 0) {
        std::fprintf(stderr, "cannot set up a serial-port list folder\n");
        return 1;
    }
    tessarin::sim::SimOptions options;
    options.pacing = true;
    tessarin::sim::SimulatedUnit unit(options);
    if (!unit.Start()) {
        std::fprintf(stderr, "simulator: %s\n", unit.LastError().c_str());
        return 1;
    }

    QuietLinkView lamps;
    TimerView view;
    tessarin::UnitLink link(lamps);
    tessarin::LogCollection collection(link.Data(), lamps, view);
    link.SetLogRecordHandler([&collection] { collection.RecordArrived(); });
    link.Discover();
    // The first poll must be out before the receive timer reads anything.
    RunTimers(link, collection, view, 3s, [&link] { return link.Data().TxStarted != 0; });

    const double wireLimit = 100 * kWireBytesPerExchange * kBitsPerByte / kBaud;
    std::vector<double> times;
    std::printf("log collection, 100 records, simulator at 9600 baud\n");
    for (int run = 1; run <= kRuns; ++run) {
        view.completedRecords = 0;
        view.failed = false;
        const auto start = Clock::now();
        collection.cmdLogInport_Click(tessarin::kTabMinorFault);
        const bool ended = RunTimers(link, collection, view, 60s, [&collection] { return !collection.Running(); });
        const double seconds = Seconds(Clock::now() - start).count();
        const char* outcome = !ended ? "did not end" : view.failed ? "failed" : "complete";
        std::printf("run %d: %.3f s (%s, %d records), wire limit %.2f s, ratio %.2f\n", run, seconds, outcome,
                    view.completedRecords, wireLimit, seconds / wireLimit);
        times.push_back(seconds);
    }
    std::sort(times.begin(), times.end());
    const double median = times[times.size() / 2];
    std::printf("median: %.3f s, wire limit %.2f s, ratio %.2f\n", median, wireLimit, median / wireLimit);

    link.SetLogRecordHandler({});
    link.ClosePort();
    unit.Stop();
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return 0;
}
