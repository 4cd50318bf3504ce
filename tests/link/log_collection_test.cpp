// The log collection tick by tick: a UnitLink on a fake port, a scripted unit answering record requests,
// and a loop standing in for the three timers (tmrComConnect at the interval the collection sets,
// tmrComRcv every 10 ms, tmrComLog every 100 ms while enabled).
#include "link/log_collection.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "data/log_record_decoder.h"
#include "link/fake_comm_port.h"
#include "link/fake_port_listing.h"
#include "link/recording_collection_view.h"
#include "link/recording_link_events.h"
#include "link/scripted_log_unit.h"
#include "link/unit_commands.h"
#include "link/unit_link.h"

namespace tessarin {
namespace {

using Bytes = std::vector<std::uint8_t>;
using test::RecordingCollectionView;
using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::StartsWith;

class LogCollectionTest : public ::testing::Test {
  protected:
    LogCollectionTest() : m_view(m_now) {
        auto listing = std::make_unique<test::FakePortListing>();
        auto port = std::make_unique<test::FakeCommPort>();
        listing->SetVcp(0, "COM5");
        port->AddDevice(5);
        m_port = port.get();
        m_listing = listing.get();
        m_unit.Attach(*m_port, m_now);
        m_link = std::make_unique<UnitLink>(m_links, std::move(listing), test::HandOver(std::move(port)));
        m_collection = &m_link->Collection();
        m_collection->AttachView(m_view);
        m_link->Discover();
        // The program has been polling for a while before anyone collects a log.
        Run(1000);
    }

    DeviceData& Data() { return m_link->Data(); }

    // One 10 ms step of the event loop. A failure is acknowledged at the step after the tick that told it,
    // as the screen does once the user has closed its message (unless the test keeps the message up).
    void Step() {
        if (m_acknowledges && m_collection->Failed()) {
            m_collection->AcknowledgeFailure();
        }
        m_now += 10;
        m_unit.DeliverDue(*m_port, m_now);
        if (m_links.ConnectInterval() != m_connectInterval) {  // QTimer::setInterval restarts the timer
            m_connectInterval = m_links.ConnectInterval();
            m_connectDue = m_now + m_connectInterval - 10;
        }
        if (m_now >= m_connectDue) {
            m_link->ConnectTick();
            m_connectDue = m_now + m_connectInterval;
        }
        while (m_link->ReceiveTick()) {
        }
        if (m_view.supervising && (m_now - m_view.supervisionSince) % 100 == 0) {
            m_collection->SupervisionTick();
            m_labels.push_back(m_view.label);
        }
    }
    void Run(int ms) {
        for (int t = 0; t < ms; t += 10) {
            Step();
        }
    }
    // Steps until the collection has ended (or `limitMs` passed); true when it ended.
    bool RunToEnd(int limitMs = 60000) {
        return RunUntil([this] { return !m_collection->Running() && !m_collection->Failed(); }, limitMs);
    }
    bool RunUntil(const std::function<bool()>& done, int limitMs = 60000) {
        for (int t = 0; t < limitMs; t += 10) {
            Step();
            if (done()) {
                return true;
            }
        }
        return false;
    }
    // A silent unit's collection of `tab`, run until it has failed; the message stays up.
    bool FailSilently(LogKind kind) {
        m_unit.answers = [](int, int) { return false; };
        m_acknowledges = false;
        Start(kind);
        return RunUntil([this] { return m_collection->Failed(); });
    }
    void Start(LogKind kind) {
        m_unit.requests.clear();
        m_labels.clear();
        ASSERT_EQ(m_link->Commands().StartCollection(kind), CommandResult::Queued);
    }
    std::vector<test::ScriptedLogUnit::Request> FirstRequests(std::size_t count) const {
        const auto& all = m_unit.requests;
        return {all.begin(), all.begin() + static_cast<std::ptrdiff_t>(std::min(count, all.size()))};
    }
    // Expects the idle state every ending leaves behind.
    void ExpectIdle() {
        EXPECT_FALSE(m_collection->Running());
        EXPECT_EQ(Data().LogBusy, 0);
        EXPECT_EQ(Data().LogState, kLogIdle);
        EXPECT_EQ(Data().LogRetryCount, 0);
        EXPECT_EQ(Data().LogWaitTicks, 0);
        EXPECT_FALSE(m_view.supervising);
        EXPECT_FALSE(m_view.collecting);
        EXPECT_EQ(m_links.ConnectInterval(), 100);
    }

    int m_now = 0;
    int m_connectInterval = 100;
    int m_connectDue = 100;
    test::RecordingLinkEvents m_links;
    RecordingCollectionView m_view;
    test::ScriptedLogUnit m_unit;
    test::FakeCommPort* m_port = nullptr;
    test::FakePortListing* m_listing = nullptr;
    std::unique_ptr<UnitLink> m_link;
    LogCollection* m_collection = nullptr;
    std::vector<std::string> m_labels;  // the progress shown after each supervision tick
    bool m_acknowledges = true;
};

TEST_F(LogCollectionTest, PromptUnitGivesAllHundredRecordsInOrder) {
    Start(LogKind::MinorFault);
    EXPECT_EQ(Data().LogBusy, 1);
    EXPECT_EQ(m_links.Intervals(), (std::vector<int>{10}));
    EXPECT_THAT(Data().LogLines[0], StartsWith("ログ№,状態,"));
    ASSERT_TRUE(RunToEnd());

    std::vector<int> expected(100);
    for (int i = 0; i < 100; ++i) {
        expected[i] = i + 1;
    }
    EXPECT_EQ(m_unit.RecordRequests(), expected);
    // No poll in between; one may follow the last record before the supervision tick notices it.
    EXPECT_THAT(FirstRequests(100), Each(::testing::Field(&test::ScriptedLogUnit::Request::code, 4)));
    EXPECT_THAT(m_view.counts.completed, ElementsAre(std::pair{LogKind::MinorFault, 100}));
    EXPECT_EQ(m_view.counts.failures, 0);
    EXPECT_EQ(Data().LogLines[1],
              "1,確定,2012年03月05日14時07分,45.6V,0.052A,63°,60Hz,有,有,有,動作,1,1,無,-60°～120°,0,0,0,0,0");
    EXPECT_THAT(Data().LogLines[100], StartsWith("100,確定,"));
    EXPECT_EQ(m_links.Intervals(), (std::vector<int>{10, 100}));
    ExpectIdle();

    // Progress shows the record now requested, never a re-send; the completing tick leaves it empty.
    ASSERT_GE(m_labels.size(), 2U);
    EXPECT_EQ(m_labels.back(), "");
    int last = 0;
    for (std::size_t i = 0; i + 1 < m_labels.size(); ++i) {
        const std::string& number = m_labels[i];
        ASSERT_FALSE(number.empty());
        ASSERT_EQ(number.find('-'), std::string::npos) << m_labels[i];
        EXPECT_GT(std::stoi(number), last);
        last = std::stoi(number);
    }

    // Polls resume at their usual pace afterwards.
    m_unit.requests.clear();
    Run(1000);
    EXPECT_FALSE(m_unit.requests.empty());
    EXPECT_TRUE(m_unit.RecordRequests().empty());
}

TEST_F(LogCollectionTest, SilentUnitFailsOnceAfterFourSendings) {
    m_links.Clear();
    ASSERT_TRUE(FailSilently(LogKind::MinorFault));
    EXPECT_EQ(m_unit.RecordRequests(), (std::vector<int>{1, 1, 1, 1}));
    EXPECT_THAT(m_labels, ElementsAre("1", "", "1-1", "", "1-2", "", "1-3", ""));
    // Told from the tick that found it, which has returned: the supervision stopped first, the collection
    // still looks busy, and nothing has wound down yet.
    EXPECT_EQ(m_view.counts.failures, 1);
    EXPECT_EQ(m_view.failuresWhileSupervising, 0);
    EXPECT_TRUE(m_view.collectingAtFailure);
    EXPECT_TRUE(m_view.collecting);
    EXPECT_EQ(m_view.counts.ended, 0);
    EXPECT_FALSE(m_collection->Running());
    EXPECT_EQ(Data().ReqCode, kReqAwaitingRecord);
    EXPECT_EQ(Data().LogBusy, 1);
    EXPECT_EQ(m_links.Intervals(), (std::vector<int>{10}));
    EXPECT_EQ(m_links.Count("CollectionStopped"), 0);

    // While the message is up the timers go on: nothing is sent, nothing is told again, and a click on
    // the start button (the message is modal: only a program could) starts nothing.
    const std::size_t writesAtFailure = m_port->Writes().size();
    Run(1000);
    EXPECT_EQ(m_link->Commands().StartCollection(LogKind::MinorFault), CommandResult::Busy);
    EXPECT_EQ(m_link->Commands().AbortCollection(), CommandResult::Busy);
    Run(1000);
    EXPECT_EQ(m_port->Writes().size(), writesAtFailure) << "nothing is written while the message is up";
    EXPECT_EQ(m_view.counts.failures, 1);
    EXPECT_EQ(m_view.counts.started, 1);
    EXPECT_TRUE(m_collection->Failed());
    EXPECT_EQ(Data().LogBusy, 1);

    // Closed: the collection winds down once.
    m_collection->AcknowledgeFailure();
    m_collection->AcknowledgeFailure();
    EXPECT_FALSE(m_collection->Failed());
    EXPECT_TRUE(m_view.counts.completed.empty());
    EXPECT_EQ(m_view.counts.ended, 1);
    EXPECT_EQ(Data().ReqCode, kReqNone);
    // Each time-out was reported, then the stop, once.
    EXPECT_EQ(m_links.OverdueCodes(), Bytes(4, kReqMinorFaultRecord));
    EXPECT_EQ(m_links.Count("CollectionStopped"), 1);
    EXPECT_EQ(m_links.Intervals(), (std::vector<int>{10, 100}));
    ExpectIdle();

    Run(2000);  // no further report, no further record request; the polls are back
    EXPECT_EQ(m_view.counts.failures, 1);
    EXPECT_EQ(m_unit.RecordRequests().size(), 4U);
    EXPECT_GT(m_port->Writes().size(), writesAtFailure);
}

TEST_F(LogCollectionTest, ResendDiscardsAPartlyReceivedAnswer) {
    m_unit.answers = [](int, int sending) { return sending > 1; };
    Start(LogKind::MinorFault);
    while (m_unit.RecordRequests().empty()) {
        Step();
    }
    const Bytes partial{0xFF, 0xA1, 0x15, 0x01, 0x00};
    m_port->Deliver(partial);
    const auto held = [this] { return Bytes(m_link->Assembler().Held().begin(), m_link->Assembler().Held().end()); };
    while (m_unit.RecordRequests().size() < 2) {
        Step();
        if (Data().LogRetryCount == 0) {
            EXPECT_EQ(held(), partial);  // nothing new arrived, nothing was looked at
        }
    }
    EXPECT_TRUE(held().empty());
    ASSERT_TRUE(RunToEnd());
    EXPECT_THAT(m_view.counts.completed, ElementsAre(std::pair{LogKind::MinorFault, 100}));
}

struct FaultCase {
    const char* name;
    LogKind kind;
    std::function<bool(int, int)> answers;
    std::function<int(int)> numberFor;
    std::vector<int> sendings;  // expected record numbers requested, in order
    std::vector<std::pair<LogKind, int>> completions;
    std::uint64_t stray = 0;  // answers for another record or log than the one asked
    std::function<std::uint8_t(std::uint8_t, int, int)> answerCodeFor = {};
    std::function<int(int, int)> copiesOf = {};
    int delayMs = 0;
    int copyGapMs = 0;
};

// Data bytes d1..d15 that tell the records apart: V0 follows the record asked for.
Bytes DistinctPayload(std::uint8_t /*code*/, int record) {
    Bytes payload = test::ScriptedLogUnit::WorkedExample();
    payload[1] = static_cast<std::uint8_t>(record);
    return payload;
}

// The line record `record` of the log must end with.
std::string RecordLine(LogKind kind, int record) {
    const std::uint8_t code = CodesOf(kind).request;
    Bytes data{static_cast<std::uint8_t>(record)};
    const Bytes rest = DistinctPayload(code, record);
    data.insert(data.end(), rest.begin(), rest.end());
    return DecodeLogRecord(test::ResponseFrame(test::ScriptedLogUnit::OwnAnswerCode(code), data), kind)->line;
}

class LogCollectionFaults : public LogCollectionTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(LogCollectionFaults, Sendings) {
    const FaultCase& c = GetParam();
    if (c.answers) {
        m_unit.answers = c.answers;
    }
    if (c.numberFor) {
        m_unit.numberFor = c.numberFor;
    }
    if (c.answerCodeFor) {
        m_unit.answerCodeFor = c.answerCodeFor;
    }
    if (c.copiesOf) {
        m_unit.copiesOf = c.copiesOf;
    }
    m_unit.payload = DistinctPayload;
    m_unit.delayMs = c.delayMs;
    m_unit.copyGapMs = c.copyGapMs;
    Start(c.kind);
    ASSERT_TRUE(RunToEnd());
    EXPECT_EQ(m_unit.RecordRequests(), c.sendings);
    EXPECT_EQ(m_view.counts.completed, c.completions);
    EXPECT_EQ(m_view.counts.failures, c.completions.empty() ? 1 : 0);
    EXPECT_EQ(m_link->Counters().recordsStray, c.stray);
    // A line holds its own record or nothing, and a complete log holds every record.
    const int last = CodesOf(c.kind).records;
    for (int n = 1; n < static_cast<int>(kLogLineCount); ++n) {
        const std::string& line = Data().LogLines[static_cast<std::size_t>(n)];
        if (n > last || (line.empty() && c.completions.empty())) {
            EXPECT_EQ(line, "") << n;
        } else {
            EXPECT_EQ(line, RecordLine(c.kind, n)) << n;
        }
    }
    ExpectIdle();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LogCollectionFaults,
    ::testing::Values(
        // Record 3 answered on its third sending; record 4 starts again with no re-sends counted,
        // so three silent sendings of it are still survived.
        FaultCase{"AnsweredOnThirdSending",
                  LogKind::Ovgr,
                  [](int record, int sending) { return (record != 3 && record != 4) || sending >= 3; },
                  {},
                  {1, 2, 3, 3, 3, 4, 4, 4, 5, 6, 7, 8, 9, 10},
                  {{LogKind::Ovgr, 10}}},
        FaultCase{"AnsweredOnFourthSending",
                  LogKind::DeviceState,
                  [](int record, int sending) { return record != 2 || sending >= 4; },
                  {},
                  {1, 2, 2, 2, 2, 3, 4, 5, 6, 7, 8, 9, 10},
                  {{LogKind::DeviceState, 10}}},
        FaultCase{"SilentFromRecordFive",
                  LogKind::DeviceState,
                  [](int record, int) { return record < 5; },
                  {},
                  {1, 2, 3, 4, 5, 5, 5, 5},
                  {}},
        // Record 1 always answered as the log's last: never taken, so it fails as a silent
        // record does instead of ending the collection with one line.
        FaultCase{"FirstAnswerNumberedTen",
                  LogKind::DeviceState,
                  {},
                  [](int record) { return record == 1 ? 10 : record; },
                  {1, 1, 1, 1},
                  {},
                  4},
        // Numbers the log has no line for are dropped; the record is asked for again.
        FaultCase{"NumberZeroDropped",
                  LogKind::Ovgr,
                  {},
                  [seen = std::make_shared<bool>(false)](int record) {
                      return record == 4 && !std::exchange(*seen, true) ? 0 : record;
                  },
                  {1, 2, 3, 4, 4, 5, 6, 7, 8, 9, 10},
                  {{LogKind::Ovgr, 10}},
                  1},
        // Record 3 answered as 100: never "complete" with record 3's data as line 100.
        FaultCase{"RenumberedHigher",
                  LogKind::MinorFault,
                  {},
                  [](int record) { return record == 3 ? 100 : record; },
                  {1, 2, 3, 3, 3, 3},
                  {},
                  4},
        // Record 5 answered as 2: line 2 keeps record 2, and record 5 is not lost silently.
        FaultCase{"RenumberedEarlier",
                  LogKind::DeviceState,
                  {},
                  [](int record) { return record == 5 ? 2 : record; },
                  {1, 2, 3, 4, 5, 5, 5, 5},
                  {},
                  4},
        // A wrong number once: the re-send brings the record.
        FaultCase{"RenumberedOnce",
                  LogKind::Ovgr,
                  {},
                  [seen = std::make_shared<bool>(false)](int record) {
                      return record == 5 && !std::exchange(*seen, true) ? 2 : record;
                  },
                  {1, 2, 3, 4, 5, 5, 6, 7, 8, 9, 10},
                  {{LogKind::Ovgr, 10}},
                  1},
        // Record 4 answered twice at once: the second copy comes while record 5 is placed
        // and is neither taken as record 4 again nor moves the collection past 5.
        FaultCase{"DuplicateAtOnce",
                  LogKind::Ovgr,
                  {},
                  {},
                  {1, 2, 3, 4, 5, 6, 7, 8, 9, 10},
                  {{LogKind::Ovgr, 10}},
                  1,
                  {},
                  [](int record, int) { return record == 4 ? 2 : 1; }},
        // The late copy of record 4 comes while record 5 is on the wire; record 5's own
        // answer after it is taken.
        FaultCase{"DuplicateWhileTheNextIsAsked",
                  LogKind::DeviceState,
                  {},
                  {},
                  {1, 2, 3, 4, 5, 6, 7, 8, 9, 10},
                  {{LogKind::DeviceState, 10}},
                  1,
                  {},
                  [](int record, int) { return record == 4 ? 2 : 1; },
                  30,
                  10},
        // The last record twice: the collection is complete, the copy changes nothing.
        FaultCase{"DuplicateOfTheLast",
                  LogKind::Ovgr,
                  {},
                  {},
                  {1, 2, 3, 4, 5, 6, 7, 8, 9, 10},
                  {{LogKind::Ovgr, 10}},
                  0,
                  {},
                  [](int record, int) { return record == 10 ? 2 : 1; }},
        // The answer's code is not the log's: any of A1h-A3h is a record answer.
        FaultCase{"AnswersInAnotherLogsCode",
                  LogKind::Ovgr,
                  {},
                  {},
                  {1, 2, 3, 4, 5, 6, 7, 8, 9, 10},
                  {{LogKind::Ovgr, 10}},
                  0,
                  [](std::uint8_t, int record, int) { return static_cast<std::uint8_t>(0xA1 + record % 3); }}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST_F(LogCollectionTest, RetryCountRestartsForTheNextRecord) {
    m_unit.answers = [](int record, int sending) { return record != 2 || sending >= 3; };
    m_unit.delayMs = 150;  // slow enough for progress ticks of every record
    Start(LogKind::DeviceState);
    ASSERT_TRUE(RunToEnd());
    EXPECT_THAT(m_labels, ::testing::Contains("2-2"));
    EXPECT_THAT(m_labels, ::testing::Contains("3"));
    for (const std::string& label : m_labels) {
        EXPECT_FALSE(label.starts_with("3-")) << label;
    }
}

TEST_F(LogCollectionTest, AbortMidwayRestoresIdleAndIgnoresTheLateAnswer) {
    m_unit.delayMs = 40;
    Start(LogKind::MinorFault);
    while (m_unit.RecordRequests().size() < 20) {
        Step();
    }
    ASSERT_EQ(Data().ReqCode, kReqAwaitingRecord);  // record 20 is on the wire
    const std::string line19 = Data().LogLines[19];
    ASSERT_FALSE(line19.empty());
    m_view.label = "20";
    ASSERT_EQ(m_link->Commands().AbortCollection(), CommandResult::Queued);

    EXPECT_EQ(m_view.label, "");
    EXPECT_EQ(Data().ReqCode, kReqNone);
    EXPECT_EQ(m_links.Count("CollectionStopped"), 1);  // the lamps blink from dark again
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(Data().LogLines[i], "") << i;
    }
    ExpectIdle();

    const std::uint8_t nextRecord = Data().SendData[0];
    Run(1000);  // record 20's answer arrives now
    EXPECT_TRUE(m_unit.pending.empty());
    EXPECT_EQ(Data().LogLines[20], "");
    EXPECT_EQ(Data().SendData[0], nextRecord);
    EXPECT_EQ(m_unit.RecordRequests().size(), 20U);
    EXPECT_TRUE(m_view.counts.completed.empty());
    EXPECT_EQ(m_view.counts.failures, 0);
    ExpectIdle();
}

TEST_F(LogCollectionTest, AnswerAfterTheFailureChangesNothing) {
    m_unit.answers = [](int, int sending) { return sending == 4; };
    m_unit.delayMs = 500;  // the fourth sending's answer comes after the failure
    Start(LogKind::Ovgr);
    ASSERT_TRUE(RunToEnd());
    ASSERT_EQ(m_view.counts.failures, 1);
    ASSERT_FALSE(m_unit.pending.empty());
    Run(1000);
    EXPECT_TRUE(m_unit.pending.empty());
    EXPECT_EQ(Data().LogLines[1], "");
    EXPECT_EQ(Data().ReqCode, kReqNone);
    EXPECT_EQ(m_unit.RecordRequests().size(), 4U);
    EXPECT_EQ(m_view.counts.failures, 1);
    ExpectIdle();
}

TEST_F(LogCollectionTest, SecondCollectionAfterAbortStartsFromRecordOne) {
    Start(LogKind::DeviceState);
    Run(50);
    ASSERT_EQ(m_link->Commands().AbortCollection(), CommandResult::Queued);
    Run(300);  // the answer that was on the wire comes in and is ignored
    Start(LogKind::Ovgr);
    EXPECT_EQ(m_view.startedKinds, (std::vector<LogKind>{LogKind::DeviceState, LogKind::Ovgr}));
    ASSERT_TRUE(RunToEnd());
    EXPECT_EQ(m_unit.RecordRequests(), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_THAT(FirstRequests(10), Each(::testing::Field(&test::ScriptedLogUnit::Request::code, 5)));
    EXPECT_THAT(m_view.counts.completed, ElementsAre(std::pair{LogKind::Ovgr, 10}));
}

TEST_F(LogCollectionTest, WindowClosingEndsTheCollection) {
    Start(LogKind::MinorFault);
    Run(200);
    EXPECT_EQ(m_link->Commands().AbortCollection(), CommandResult::Queued);
    ExpectIdle();
    EXPECT_EQ(m_link->Commands().AbortCollection(), CommandResult::NotApplicable);  // idle: nothing happens
    EXPECT_EQ(m_links.Intervals(), (std::vector<int>{10, 100}));

    Start(LogKind::MinorFault);
    Run(200);
    m_collection->DetachView(m_view);  // going without being told still frees the main window's menus
    EXPECT_EQ(Data().LogBusy, 0);
    EXPECT_EQ(Data().ReqCode, kReqNone);
}

TEST_F(LogCollectionTest, ScreenGoingWhileItsFailureIsShownEndsTheCollectionQuietly) {
    ASSERT_TRUE(FailSilently(LogKind::Ovgr));
    m_collection->DetachView(m_view);
    m_collection->AcknowledgeFailure();  // nothing is left to acknowledge
    // Wound down in the shared records; the screen is not called again, and the lamps are left as they are.
    EXPECT_EQ(m_view.counts.failures, 1);
    EXPECT_TRUE(m_view.collecting);
    EXPECT_EQ(m_view.counts.ended, 0);
    EXPECT_FALSE(m_collection->Failed());
    EXPECT_EQ(m_links.Count("CollectionStopped"), 0);
    EXPECT_EQ(Data().LogBusy, 0);
    EXPECT_EQ(Data().ReqCode, kReqNone);
    EXPECT_EQ(Data().LogState, kLogIdle);
    // The pace is the usual one again, and the polls go out at it.
    EXPECT_EQ(m_links.Intervals(), (std::vector<int>{10, 100}));
    EXPECT_EQ(m_link->ConnectInterval(), kConnectIntervalNormal);
    m_port->ClearWrites();
    Run(1000);
    EXPECT_FALSE(m_port->Writes().empty());
    EXPECT_EQ(m_unit.RecordRequests().size(), 4U);
}

TEST_F(LogCollectionTest, ANewerScreenTakesOverAndNoneNeedWatch) {
    // The link's timers and a supervision tick every 100 ms, whoever watches.
    const auto runSupervised = [this] {
        for (int t = 0; t < 60000 && m_collection->Running(); t += 10) {
            Step();
            if (m_now % 100 == 0) {
                m_collection->SupervisionTick();
            }
        }
        return !m_collection->Running();
    };
    RecordingCollectionView newer(m_now);
    m_collection->AttachView(newer);
    Start(LogKind::DeviceState);
    m_collection->DetachView(m_view);  // the older screen goes last: the newer one's collection goes on
    ASSERT_TRUE(m_collection->Running());
    ASSERT_TRUE(runSupervised());
    EXPECT_EQ(newer.startedKinds, std::vector<LogKind>{LogKind::DeviceState});
    EXPECT_THAT(newer.counts.completed, ElementsAre(std::pair{LogKind::DeviceState, 10}));
    EXPECT_TRUE(m_view.startedKinds.empty());
    EXPECT_TRUE(m_view.counts.completed.empty());

    // Unwatched, a collection runs as well and says its pace all the same.
    m_collection->DetachView(newer);
    Start(LogKind::Ovgr);
    ASSERT_TRUE(runSupervised());
    EXPECT_THAT(Data().LogLines[10], StartsWith("10,"));
    EXPECT_EQ(Data().LogBusy, 0);
    EXPECT_EQ(m_links.Intervals(), (std::vector<int>{10, 100, 10, 100}));
    EXPECT_EQ(newer.counts.completed.size(), 1U);  // the screens that went are shown nothing
    EXPECT_TRUE(m_view.counts.completed.empty());
}

TEST_F(LogCollectionTest, ClearRequests) {
    const Bytes zeros(15, 0x00);
    struct Case {
        LogKind kind;
        std::optional<std::pair<std::uint8_t, std::uint8_t>> codeAndChecksum;
    };
    const std::vector<Case> cases = {
        {LogKind::MinorFault, std::pair<std::uint8_t, std::uint8_t>{0x01, 0xD9}},
        {LogKind::DeviceState, std::nullopt},
        {LogKind::Ovgr, std::pair<std::uint8_t, std::uint8_t>{0x02, 0xDA}},
    };
    for (const Case& c : cases) {
        m_port->ClearWrites();
        EXPECT_EQ(m_link->Commands().ClearLog(c.kind),
                  c.codeAndChecksum ? CommandResult::Queued : CommandResult::NotApplicable);
        Run(100);
        if (!c.codeAndChecksum) {
            EXPECT_EQ(Data().ReqCode, kReqNone);
            for (const Bytes& w : m_port->Writes()) {
                EXPECT_EQ(w[1], 0x00) << "only polls";
            }
            continue;
        }
        ASSERT_FALSE(m_port->Writes().empty());
        Bytes expected{0xFF, c.codeAndChecksum->first, 0x14};
        expected.insert(expected.end(), zeros.begin(), zeros.end());
        expected.push_back(0xCC);
        expected.push_back(c.codeAndChecksum->second);
        const Bytes& sent = m_port->Writes().front();
        ASSERT_EQ(sent.size(), 22U);
        EXPECT_EQ(Bytes(sent.begin(), sent.begin() + 20), expected) << static_cast<int>(c.kind);
        EXPECT_EQ(Data().ReqCode, kReqNone);
    }
    // A clear changes nothing of the collection.
    EXPECT_EQ(m_view.startedKinds.size(), 0U);
    EXPECT_EQ(Data().LogBusy, 0);
}

// The log commands decided when placed, in the states the log screen can place them in: the result, and
// whether a clear then reaches the wire.
enum class Before { OffLine, Idle, Collecting, FailureShown, WritePlaced };
enum class LogCommand { ClearMinorFault, ClearDeviceState, Start, Abort };

struct LogCommandCase {
    const char* name;
    Before before;
    LogCommand command;
    CommandResult result;
};

class LogCommands : public LogCollectionTest, public ::testing::WithParamInterface<LogCommandCase> {};

TEST_P(LogCommands, DecidedWhenPlaced) {
    const LogCommandCase& c = GetParam();
    switch (c.before) {
        case Before::OffLine:
            m_listing->RemoveVcp(0);
            m_port->RemoveDevice(5);
            m_port->Vanish();
            Run(300);
            break;
        case Before::Idle:
            break;
        case Before::Collecting:
            Start(LogKind::Ovgr);
            break;
        case Before::FailureShown:
            ASSERT_TRUE(FailSilently(LogKind::Ovgr));
            break;
        case Before::WritePlaced:
            ASSERT_EQ(m_link->Commands().WriteSettings(SettingsRecord{}), CommandResult::Queued);
            break;
    }
    m_port->ClearWrites();
    UnitCommands& commands = m_link->Commands();
    CommandResult result = CommandResult::Busy;
    switch (c.command) {
        case LogCommand::ClearMinorFault:
            result = commands.ClearLog(LogKind::MinorFault);
            break;
        case LogCommand::ClearDeviceState:
            result = commands.ClearLog(LogKind::DeviceState);
            break;
        case LogCommand::Start:
            result = commands.StartCollection(LogKind::MinorFault);
            break;
        case LogCommand::Abort:
            result = commands.AbortCollection();
            break;
    }
    EXPECT_EQ(result, c.result);
    Run(300);
    const auto clears = std::ranges::count_if(m_port->Writes(), [](const Bytes& w) { return w[1] == 0x01; });
    const bool leaves =
        c.command == LogCommand::ClearMinorFault && c.result == CommandResult::Queued && c.before != Before::OffLine;
    EXPECT_EQ(clears, leaves ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LogCommands,
    ::testing::Values(
        // OFF LINE the screen has always placed a clear and started a collection (which then fails).
        LogCommandCase{"OffLineClear", Before::OffLine, LogCommand::ClearMinorFault, CommandResult::Queued},
        LogCommandCase{"OffLineStart", Before::OffLine, LogCommand::Start, CommandResult::Queued},
        LogCommandCase{"OffLineAbort", Before::OffLine, LogCommand::Abort, CommandResult::NotApplicable},
        LogCommandCase{"IdleClear", Before::Idle, LogCommand::ClearMinorFault, CommandResult::Queued},
        LogCommandCase{"IdleClearWithoutAClear", Before::Idle, LogCommand::ClearDeviceState,
                       CommandResult::NotApplicable},
        LogCommandCase{"IdleStart", Before::Idle, LogCommand::Start, CommandResult::Queued},
        LogCommandCase{"IdleAbort", Before::Idle, LogCommand::Abort, CommandResult::NotApplicable},
        LogCommandCase{"CollectingClear", Before::Collecting, LogCommand::ClearMinorFault, CommandResult::Busy},
        LogCommandCase{"CollectingStart", Before::Collecting, LogCommand::Start, CommandResult::Busy},
        LogCommandCase{"CollectingAbort", Before::Collecting, LogCommand::Abort, CommandResult::Queued},
        // The failure's ReqCode 255 holds until the user has closed the message.
        LogCommandCase{"FailureShownClear", Before::FailureShown, LogCommand::ClearMinorFault, CommandResult::Busy},
        LogCommandCase{"FailureShownStart", Before::FailureShown, LogCommand::Start, CommandResult::Busy},
        LogCommandCase{"FailureShownAbort", Before::FailureShown, LogCommand::Abort, CommandResult::Busy},
        // A clear replaces a write not yet sent, as it always has.
        LogCommandCase{"WritePlacedClear", Before::WritePlaced, LogCommand::ClearMinorFault, CommandResult::Queued},
        LogCommandCase{"WritePlacedStart", Before::WritePlaced, LogCommand::Start, CommandResult::Queued}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

}  // namespace
}  // namespace tessarin
