// Fault soak: the program's core (UnitLink with its log collection, no window) against the simulated unit over a
// pseudo-terminal, found through the serial-port list, with a loop standing in for the window's timers.
// Unplug and replug at random moments, during polls and during collections; collections under dropped
// answers, corrupted checksums, split frames, noise, renumbered and repeated answers. Afterwards no descriptor and no
// memory may have been left behind.
//
// The regular run is short (20 cycles, the 10-record OVGR log). TESSARIN_SOAK=long makes 200 cycles and
// collects the 100-record log as well; TESSARIN_SOAK_SEED=<n> repeats the random choices of a run.
#include <gtest/gtest.h>
#include <stdlib.h>  // mkdtemp, setenv
#include <unistd.h>  // sysconf

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "data/log_record_decoder.h"
#include "link/log_collection.h"
#include "link/recording_collection_view.h"
#include "link/recording_link_events.h"
#include "link/request_cycle.h"
#include "link/response_frames.h"
#include "link/unit_link.h"
#include "sim/command_line.h"
#include "sim/simulated_unit.h"
#include "ui/status_panels.h"

namespace tessarin {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;
using test::CollectionCounts;

constexpr auto kReceiveInterval = 10ms;

bool LongSoak() {
    const char* mode = std::getenv("TESSARIN_SOAK");  // NOLINT(concurrency-mt-unsafe): read on one thread
    return mode != nullptr && std::string(mode) == "long";
}

std::uint32_t SoakSeed() {
    if (const char* seed = std::getenv("TESSARIN_SOAK_SEED")) {  // NOLINT(concurrency-mt-unsafe)
        return static_cast<std::uint32_t>(std::stoul(seed));
    }
    return std::random_device{}();
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;  // freed memory is held in quarantine: resident size says nothing
#else
constexpr bool kAddressSanitizer = false;
#endif

std::size_t OpenDescriptors() {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        ++count;
    }
    return count;
}

long ResidentBytes() {
    std::ifstream statm("/proc/self/statm");
    long size = 0;
    long resident = 0;
    statm >> size >> resident;
    return resident * ::sysconf(_SC_PAGESIZE);
}

// The program's core with the window's three timers: tmrComConnect at the interval the link sets,
// tmrComRcv every 10 ms, tmrComLog every 100 ms while the collection supervises.
class Program {
  public:
    Program() : m_link(m_linkView), m_collection(m_link.Collection()) {
        m_collection.AttachView(m_view);
        m_link.Discover();
    }
    ~Program() {
        m_collection.DetachView(m_view);
        m_link.ClosePort();
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;
    Program(Program&&) = delete;
    Program& operator=(Program&&) = delete;

    // Runs the timers until `done` holds or `limit` has passed; true when `done` held.
    bool Run(Clock::duration limit, const std::function<bool()>& done = {}) {
        const auto end = Clock::now() + limit;
        for (;;) {
            const auto now = Clock::now();
            // A QTimer restarts when its interval changes.
            if (const std::chrono::milliseconds interval(m_linkView.ConnectInterval()); interval != m_interval) {
                m_interval = interval;
                m_nextConnect = now + m_interval;
            }
            if (now >= m_nextConnect) {
                ConnectTick();
            }
            if (now >= m_nextReceive) {
                while (m_link.ReceiveTick()) {
                }
                m_nextReceive = now + kReceiveInterval;
            }
            if (m_view.supervising && now >= m_nextSupervision) {
                m_collection.SupervisionTick();
                m_nextSupervision = now + kLogSupervisionInterval;
                m_collection.AcknowledgeFailure();  // a failure's message is closed as soon as it is up
            }
            if (done && done()) {
                return true;
            }
            if (now >= end) {
                return false;
            }
            auto wake = std::min({m_nextConnect, m_nextReceive, end});
            if (m_view.supervising) {
                wake = std::min(wake, m_nextSupervision);
            }
            std::this_thread::sleep_until(wake);
        }
    }

    // One tick of tmrComConnect now; the next follows one interval later.
    void ConnectTick() {
        m_link.ConnectTick();
        ++m_connectTicks;
        m_nextConnect = Clock::now() + m_interval;
    }

    // Runs until `count` more ticks of tmrComConnect have happened.
    void RunConnectTicks(int count) {
        const long target = m_connectTicks + count;
        ASSERT_TRUE(Run(10s, [&] { return m_connectTicks >= target; }));
    }

    void StartCollection(LogKind kind) {
        ASSERT_EQ(m_link.Commands().StartCollection(kind), CommandResult::Queued);
        m_nextSupervision = Clock::now() + kLogSupervisionInterval;
    }

    UnitLink& Link() { return m_link; }
    DeviceData& Data() { return m_link.Data(); }
    LogCollection& Collection() { return m_collection; }
    const test::RecordingCollectionView& View() const { return m_view; }
    std::chrono::milliseconds ConnectInterval() const {
        return std::chrono::milliseconds(m_linkView.ConnectInterval());
    }
    std::string LinkText() const { return m_linkView.ShownUp() ? kOnLine : kOffLine; }

  private:
    test::RecordingLinkEvents m_linkView;
    test::RecordingCollectionView m_view;
    UnitLink m_link;
    LogCollection& m_collection;
    std::chrono::milliseconds m_interval = kConnectIntervalNormal;
    Clock::time_point m_nextConnect = Clock::now();
    Clock::time_point m_nextReceive = Clock::now();
    Clock::time_point m_nextSupervision = Clock::now();
    long m_connectTicks = 0;
};

// The lines a collection of the log must end with: the unit's own records, decoded one by one.
std::vector<std::string> ExpectedLines(const sim::SimulatedUnit& unit, LogKind kind) {
    const std::uint8_t code = CodesOf(kind).request;
    std::vector<std::string> lines(1, std::string(LogHeaderLine(kind)));
    for (int n = 1; n <= CodesOf(kind).records; ++n) {
        DeviceData data;
        const Bytes frame = test::ResponseFrame(CodesOf(kind).answer, unit.LogRecordPayload(code, n));
        std::copy(frame.begin(), frame.end(), data.RcvFrame.begin());
        data.LogReqCode = code;
        data.LogState = kLogRunning;
        data.SendData[0] = static_cast<std::uint8_t>(n);
        TakeLogRecord(data, kind);
        lines.push_back(data.LogLines[static_cast<std::size_t>(n)]);
    }
    return lines;
}

// How often each record was asked for in a row: {record, sendings} in the order the requests left.
std::vector<std::pair<int, int>> RecordSendings(const sim::SimulatedUnit& unit, std::uint8_t code) {
    std::vector<std::pair<int, int>> runs;
    for (const auto& request : unit.Requests()) {
        if (request.frame.size() < 4 || request.frame[1] != code) {
            continue;
        }
        const int record = request.frame[3];
        if (!runs.empty() && runs.back().first == record) {
            ++runs.back().second;
        } else {
            runs.emplace_back(record, 1);
        }
    }
    return runs;
}

// How a collection under faults must end.
enum class Outcome { Either, Completes, Fails };

class Soak : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "tessarin-soak-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_runtimeDir = pattern;
        ASSERT_EQ(::setenv("XDG_RUNTIME_DIR", m_runtimeDir.c_str(), 1), 0);
        m_seed = SoakSeed();
        m_random.seed(m_seed);
        std::cout << "soak " << (LongSoak() ? "long" : "short") << ", seed " << m_seed << "\n";
        RecordProperty("seed", std::to_string(m_seed));
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(m_runtimeDir, ignored);
    }

    int Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_random); }

    // Runs a collection of the log `kind` to its end and checks how it ended: complete with the unit's own lines
    // when no record needed more than three re-sends, otherwise exactly one failure after the fourth
    // sending of one record and nothing asked for afterwards. `expected` pins the outcome where the faults
    // decide it.
    void CollectAndCheck(Program& program, sim::SimulatedUnit& unit, LogKind kind, Outcome expected) {
        const CollectionCounts before = program.View().counts;
        unit.ClearRequests();
        program.StartCollection(kind);
        ASSERT_TRUE(program.Collection().Running());
        ASSERT_TRUE(program.Run(120s, [&] { return !program.Collection().Running(); })) << "the collection hangs";

        const auto& view = program.View();
        const CollectionCounts& now = view.counts;
        EXPECT_EQ(now.started, before.started + 1);
        EXPECT_EQ(now.ended, before.ended + 1);
        EXPECT_EQ(program.Data().LogBusy, 0);
        EXPECT_FALSE(view.supervising);
        EXPECT_EQ(program.ConnectInterval(), kConnectIntervalNormal);
        const std::size_t completions = now.completed.size() - before.completed.size();
        const int failures = now.failures - before.failures;
        ASSERT_EQ(completions + static_cast<std::size_t>(failures), 1U) << "a collection ends exactly once";

        const auto sendings = RecordSendings(unit, CodesOf(kind).request);
        ASSERT_FALSE(sendings.empty());
        for (const auto& [record, count] : sendings) {
            EXPECT_LE(count, 1 + kLogMaxResends) << "record " << record << " sent too often";
        }
        if (completions == 1) {
            EXPECT_NE(expected, Outcome::Fails);
            EXPECT_EQ(now.completed.back(), std::make_pair(kind, CodesOf(kind).records));
            const auto want = ExpectedLines(unit, kind);
            for (std::size_t n = 0; n < want.size(); ++n) {
                EXPECT_EQ(program.Data().LogLines[n], want[n]) << "line " << n;
            }
            // Each record asked for in turn, re-sends aside: none skipped, none asked for again later.
            std::vector<int> asked;
            std::vector<int> inTurn;
            for (const auto& run : sendings) {
                asked.push_back(run.first);
                inTurn.push_back(static_cast<int>(inTurn.size()) + 1);
            }
            EXPECT_EQ(asked, inTurn);
            EXPECT_EQ(sendings.back().first, CodesOf(kind).records);
        } else {
            EXPECT_NE(expected, Outcome::Completes);
            EXPECT_EQ(sendings.back().second, 1 + kLogMaxResends) << "failed before the fourth sending";
            // An ended collection asks for nothing more.
            program.Run(400ms);
            EXPECT_EQ(RecordSendings(unit, CodesOf(kind).request), sendings);
        }
    }

    std::filesystem::path m_runtimeDir;
    std::uint32_t m_seed = 0;
    std::mt19937 m_random;
};

TEST_F(Soak, UnplugAndReplugAtRandomMomentsDuringPollsAndCollections) {
    const int cycles = LongSoak() ? 200 : 20;
    sim::SimulatedUnit unit;
    ASSERT_TRUE(unit.Start());
    Program program;

    // Warm-up: live values, one collection, one unplug and replug, so that what is measured afterwards is
    // the steady state.
    ASSERT_TRUE(program.Run(5s, [&] { return !program.Data().NowValue.FreqText.empty(); }));
    CollectAndCheck(program, unit, LogKind::Ovgr, Outcome::Completes);
    unit.Unplug();
    program.RunConnectTicks(1);
    ASSERT_TRUE(unit.Plug());
    program.ConnectTick();
    ASSERT_EQ(program.LinkText(), kOnLine);
    program.Run(600ms);
    const std::size_t descriptorsBefore = OpenDescriptors();
    const long residentBefore = ResidentBytes();

    int duringCollections = 0;
    int collectionsFailed = 0;
    int settingsWrites = 0;
    for (int cycle = 1; cycle <= cycles; ++cycle) {
        SCOPED_TRACE("cycle " + std::to_string(cycle) + ", seed " + std::to_string(m_seed));
        ASSERT_EQ(program.LinkText(), kOnLine);
        const bool duringCollection = Between(0, 2) == 0;
        const LogKind kind = LongSoak() && Between(0, 1) == 0 ? LogKind::MinorFault : LogKind::Ovgr;
        const CollectionCounts before = program.View().counts;
        if (duringCollection) {
            ++duringCollections;
            unit.ClearRequests();
            program.StartCollection(kind);
            // Somewhere within the time the whole log takes on the wire.
            program.Run(std::chrono::milliseconds(Between(0, kind == LogKind::MinorFault ? 5000 : 500)));
        } else {
            program.Run(std::chrono::milliseconds(Between(0, 600)));
        }

        unit.Unplug();
        program.RunConnectTicks(1);
        EXPECT_EQ(program.LinkText(), kOffLine) << "unplugging is noticed at the next tick";
        EXPECT_EQ(program.Data().LinkUp, kFalse);
        if (duringCollection) {
            // Sometimes back before the record's three re-sends are used up, sometimes not.
            program.Run(std::chrono::milliseconds(Between(0, 1000)));
        } else {
            program.RunConnectTicks(Between(0, 3));
        }

        std::uint8_t marker = 0;
        if (!duringCollection) {
            // A settings write placed while unplugged must leave once the unit is back.
            ++settingsWrites;
            marker = static_cast<std::uint8_t>(cycle);
            program.Data().SendData.fill(marker);
            program.Data().ReqCode = kReqWriteSettings;
            program.RunConnectTicks(Between(1, 3));
            EXPECT_EQ(program.Data().ReqCode, kReqWriteSettings) << "the request waits while unplugged";
            unit.ClearRequests();
        }
        EXPECT_EQ(program.LinkText(), kOffLine);

        ASSERT_TRUE(unit.Plug()) << unit.LastError();
        program.ConnectTick();
        ASSERT_EQ(program.LinkText(), kOnLine) << "back at the first tick after the port is listed again";

        if (!duringCollection) {
            EXPECT_EQ(program.Data().ReqCode, kReqNone);
            const bool arrived = program.Run(3s, [&] {
                const auto requests = unit.Requests();
                return std::any_of(requests.begin(), requests.end(), [&](const sim::ReceivedRequest& r) {
                    return r.frame.size() == 22 && r.frame[1] == kReqWriteSettings && r.frame[3] == marker;
                });
            });
            EXPECT_TRUE(arrived) << "the settings write placed while unplugged reached the unit";
        } else {
            ASSERT_TRUE(program.Run(60s, [&] { return !program.Collection().Running(); })) << "collection hangs";
            const CollectionCounts& now = program.View().counts;
            const std::size_t completions = now.completed.size() - before.completed.size();
            const int failures = now.failures - before.failures;
            EXPECT_EQ(completions + static_cast<std::size_t>(failures), 1U) << "a collection ends exactly once";
            EXPECT_EQ(program.Data().LogBusy, 0);
            EXPECT_EQ(program.ConnectInterval(), kConnectIntervalNormal);
            collectionsFailed += failures;
            if (completions == 1) {
                const auto want = ExpectedLines(unit, kind);
                for (std::size_t n = 0; n < want.size(); ++n) {
                    EXPECT_EQ(program.Data().LogLines[n], want[n]) << "line " << n;
                }
            }
        }
        // Live values again before the next cycle.
        program.Data().NowValue.FreqText.clear();
        EXPECT_TRUE(program.Run(3s, [&] { return !program.Data().NowValue.FreqText.empty(); }));
        if (HasFatalFailure()) {
            return;
        }
    }
    std::cout << cycles << " cycles: " << duringCollections << " during a collection (" << collectionsFailed
              << " failed, the others completed after the replug), " << settingsWrites
              << " with a settings write placed while unplugged\n";

    program.Run(300ms);
    EXPECT_EQ(OpenDescriptors(), descriptorsBefore) << "descriptors left open";
    const long grown = ResidentBytes() - residentBefore;
    std::cout << "resident memory: " << residentBefore / 1024 << " KiB before, grown by " << grown / 1024 << " KiB\n";
    if (!kAddressSanitizer) {
        EXPECT_LE(grown, 1024 * 1024) << "resident memory grew by more than 1 MB";
    }
}

struct LineFault {
    const char* name;
    double drop = 0.0;
    double corrupt = 0.0;
    int split = 1;
    int noise = 0;
    int dropRecord = 0;  // drop the answers to this record...
    int dropTimes = 0;   // ...this many times
    // More faults as tessarin-sim's command line orders them; answers for another record than asked are
    // expected to be ignored and counted.
    std::vector<std::string> simArgs = {};
    Outcome outcome = Outcome::Either;
};

TEST_F(Soak, CollectionsUnderLineFaults) {
    const std::vector<LineFault> faults = {
        {"dropped 10 %", 0.10},
        {"dropped 30 %", 0.30},
        {"dropped 100 %", 1.00},
        {"corrupted checksums 30 %", 0.0, 0.30},
        {"split frames", 0.0, 0.0, 4},
        {"noise", 0.0, 0.0, 1, 7},
        {"all at once", 0.10, 0.10, 3, 5},
        {"record 3 dropped three times", 0.0, 0.0, 1, 0, 3, 3},
        {"record 3 dropped four times", 0.0, 0.0, 1, 0, 3, 4},
        // Never "complete" with a line missing or under another number: the record is asked for again and
        // the collection fails as for a silent record.
        {"record 3 renumbered 100", 0.0, 0.0, 1, 0, 0, 0, {"--renumber", "3:100"}, Outcome::Fails},
        {"record 5 renumbered 2", 0.0, 0.0, 1, 0, 0, 0, {"--renumber=5:2"}, Outcome::Fails},
        // The second answer to record 4 comes while record 5 is asked: ignored, and record 5's own is taken.
        {"record 4 answered twice", 0.0, 0.0, 1, 0, 0, 0, {"--duplicate", "4"}, Outcome::Completes},
        {"records 1 and 10 answered twice",
         0.0,
         0.0,
         2,
         3,
         0,
         0,
         {"--duplicate", "1", "--duplicate", "10"},
         Outcome::Completes},
    };
    const std::vector<LogKind> kinds =
        LongSoak() ? std::vector<LogKind>{LogKind::Ovgr, LogKind::DeviceState, LogKind::MinorFault}
                   : std::vector<LogKind>{LogKind::Ovgr};
    const int rounds = LongSoak() ? 3 : 1;

    sim::SimulatedUnit unit;
    ASSERT_TRUE(unit.Start());
    Program program;
    ASSERT_TRUE(program.Run(5s, [&] { return !program.Data().NowValue.FreqText.empty(); }));
    CollectAndCheck(program, unit, LogKind::Ovgr, Outcome::Completes);
    const std::size_t descriptorsBefore = OpenDescriptors();
    const long residentBefore = ResidentBytes();

    for (int round = 0; round < rounds; ++round) {
        for (const LogKind kind : kinds) {
            for (const LineFault& fault : faults) {
                SCOPED_TRACE(std::string(fault.name) + ", log " + std::to_string(static_cast<int>(kind)) + ", seed " +
                             std::to_string(m_seed));
                // The command line first: it sets every fault it knows, the row's own among them.
                sim::CommandLine line;
                std::string error;
                ASSERT_TRUE(sim::ParseCommandLine(fault.simArgs, line, error)) << error;
                sim::ApplyCommandLine(line, unit);
                unit.SetDropShare(fault.drop);
                unit.SetCorruptShare(fault.corrupt);
                unit.SetSplitWrites(fault.split);
                unit.SetNoiseBytes(fault.noise);
                if (fault.dropTimes > 0) {
                    unit.DropRecordAnswers(fault.dropRecord, fault.dropTimes);
                }
                const std::uint64_t strayBefore = program.Link().Counters().recordsStray;
                Outcome expected = fault.outcome;
                if (fault.drop >= 1.0 || fault.dropTimes > kLogMaxResends) {
                    expected = Outcome::Fails;
                } else if (fault.drop == 0.0 && fault.corrupt == 0.0 && fault.simArgs.empty()) {
                    expected = Outcome::Completes;
                }
                CollectAndCheck(program, unit, kind, expected);
                if (!fault.simArgs.empty()) {
                    EXPECT_GT(program.Link().Counters().recordsStray, strayBefore) << "the other answers are counted";
                }
                for (const auto& [requested, sent] : line.renumber) {
                    unit.SetRecordNumberOverride(requested, -1);
                }
                for (const int record : line.duplicates) {
                    unit.SetDuplicateAnswers(record, false);
                }
                unit.DropRecordAnswers(fault.dropRecord, 0);
                unit.SetDropShare(0.0);
                unit.SetCorruptShare(0.0);
                unit.SetSplitWrites(1);
                unit.SetNoiseBytes(0);
                if (HasFatalFailure()) {
                    return;
                }
                // The link goes on polling after every collection, however it ended.
                program.Data().NowValue.FreqText.clear();
                EXPECT_TRUE(program.Run(3s, [&] { return !program.Data().NowValue.FreqText.empty(); }));
            }
        }
    }
    EXPECT_EQ(program.LinkText(), kOnLine);
    EXPECT_EQ(OpenDescriptors(), descriptorsBefore) << "descriptors left open";
    const long grown = ResidentBytes() - residentBefore;
    if (!kAddressSanitizer) {
        EXPECT_LE(grown, 1024 * 1024) << "resident memory grew by more than 1 MB";
    }
}

}  // namespace
}  // namespace tessarin
