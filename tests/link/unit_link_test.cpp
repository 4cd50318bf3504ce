// The link as the main window drives it: connection supervision, request cycle and receive tick, tick by
// tick against a fake port and a fake serial-port list.
#include "link/unit_link.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "data/log_record_decoder.h"
#include "link/fake_comm_port.h"
#include "link/fake_port_listing.h"
#include "link/log_collection.h"
#include "link/recording_link_events.h"
#include "link/request_cycle.h"
#include "link/response_frames.h"

namespace tessarin {
namespace {

using Bytes = std::vector<std::uint8_t>;
using test::FakeCommPort;
using test::FakePortListing;
using test::RecordingLinkEvents;
using test::ResponseFrame;
using ::testing::ElementsAre;

class UnitLinkTest : public ::testing::Test {
  protected:
    UnitLinkTest() {
        auto listing = std::make_unique<FakePortListing>();
        auto port = std::make_unique<FakeCommPort>();
        m_listing = listing.get();
        m_port = port.get();
        m_link = std::make_unique<UnitLink>(m_view, std::move(listing), test::HandOver(std::move(port)));
    }

    // Lists the unit under VCP<index> as COM<com> and lets the fake port open that number.
    void PlugIn(int index, int com) {
        m_listing->SetVcp(index, "COM" + std::to_string(com));
        m_port->AddDevice(com);
    }
    void Unplug(int index, int com) {
        m_listing->RemoveVcp(index);
        m_port->RemoveDevice(com);
        m_port->Vanish();
    }
    // Runs n connect ticks; returns how many wrote to the port.
    std::size_t ConnectTicks(int n) {
        const std::size_t before = m_port->Writes().size();
        for (int i = 0; i < n; ++i) {
            m_link->ConnectTick();
        }
        return m_port->Writes().size() - before;
    }
    DeviceData& Data() { return m_link->Data(); }

    RecordingLinkEvents m_view;
    FakePortListing* m_listing = nullptr;
    FakeCommPort* m_port = nullptr;
    std::unique_ptr<UnitLink> m_link;
};

TEST_F(UnitLinkTest, DiscoversOpensAndPolls) {
    PlugIn(0, 5);
    PlugIn(1, 6);
    m_link->Discover();
    EXPECT_EQ(Data().PortNo, 5);
    EXPECT_EQ(Data().PortDevName, "\\Device\\VCP0");
    EXPECT_EQ(m_link->Comm(), nullptr);

    m_link->ConnectTick();
    ASSERT_NE(m_link->Comm(), nullptr);
    EXPECT_TRUE(m_port->IsOpen());
    EXPECT_EQ(m_port->PortNumber(), 5);
    EXPECT_TRUE(m_view.ShownUp());
    EXPECT_EQ(ConnectTicks(4), 1U);  // the request cycle ran in the opening tick too
}

// The program's start sets the start-up values itself, whatever the records held, before the first tick:
// nothing is written or reported until that tick opens the port and polls.
TEST_F(UnitLinkTest, StartSetsTheStartUpValuesThenDiscovers) {
    PlugIn(0, 5);
    Data().LinkUp = kTrue;
    Data().LogBusy = 1;
    Data().TxStarted = kTrue;
    m_link->Start();
    EXPECT_EQ(Data().LinkUp, kFalse);
    EXPECT_EQ(Data().LogBusy, 0);
    EXPECT_EQ(Data().TxStarted, kFalse);
    EXPECT_EQ(Data().PortNo, 5);
    EXPECT_FALSE(m_link->ReceiveTicksWanted());
    EXPECT_EQ(m_port->Writes().size(), 0U);
    EXPECT_EQ(m_view.Count("LinkUp"), 0);
    EXPECT_EQ(ConnectTicks(5), 1U);  // the first poll
    EXPECT_EQ(Data().TxStarted, kTrue);
}

TEST_F(UnitLinkTest, NothingListedStaysOffLineAndSearchesEveryTick) {
    m_link->Discover();
    EXPECT_EQ(Data().PortNo, -1);
    m_listing->ResetCounts();
    EXPECT_EQ(ConnectTicks(3), 0U);
    EXPECT_EQ(m_listing->ReadCount(), 300);
    EXPECT_THAT(m_view.DownReasons(),
                ElementsAre(LinkDownReason::NotListed, LinkDownReason::NotListed, LinkDownReason::NotListed));
    EXPECT_EQ(m_view.Count("LinkUp"), 0);
    EXPECT_EQ(m_port->OpenCount(), 0);

    PlugIn(3, 12);
    m_link->ConnectTick();
    EXPECT_TRUE(m_view.ShownUp());
    EXPECT_EQ(m_port->PortNumber(), 12);
}

TEST_F(UnitLinkTest, LinkedTickChecksPresenceOnce) {
    PlugIn(0, 5);
    m_link->ConnectTick();
    m_listing->ResetCounts();
    ConnectTicks(10);
    EXPECT_EQ(m_listing->ReadCount(), 10);
    EXPECT_EQ(m_port->OpenCount(), 1);
}

TEST_F(UnitLinkTest, UnplugNoticedWithinOneTickAndReplugUnderAnotherIndex) {
    PlugIn(0, 5);
    ConnectTicks(5);  // opened, one poll out
    ASSERT_EQ(m_view.RequestCodes().size(), 1U);

    Unplug(0, 5);
    m_view.Clear();
    m_link->ConnectTick();
    EXPECT_FALSE(m_port->IsOpen());
    EXPECT_EQ(Data().PortNo, -1);
    EXPECT_THAT(m_view.Events(), ElementsAre("PortLost", "LinkDown"));
    EXPECT_THAT(m_view.DownReasons(), ElementsAre(LinkDownReason::Unplugged));

    EXPECT_EQ(ConnectTicks(5), 0U);
    EXPECT_TRUE(m_view.ShownDown());

    m_port->Reappear();
    PlugIn(2, 9);
    m_link->ConnectTick();
    EXPECT_TRUE(m_view.ShownUp());
    EXPECT_EQ(Data().PortNo, 9);
    EXPECT_EQ(Data().PortDevName, "\\Device\\VCP2");
    EXPECT_TRUE(m_port->IsOpen());
}

TEST_F(UnitLinkTest, MovedPortIsReopenedInTheTickThatNoticesTheLoss) {
    PlugIn(0, 5);
    m_link->ConnectTick();
    m_listing->RemoveVcp(0);
    PlugIn(1, 6);
    m_view.Clear();
    m_link->ConnectTick();
    EXPECT_EQ(m_port->CloseCount(), 1);
    EXPECT_EQ(m_port->PortNumber(), 6);
    EXPECT_THAT(m_view.Only({"LinkUp", "LinkDown", "PortLost"}), ElementsAre("PortLost", "LinkUp"));
}

TEST_F(UnitLinkTest, ListedButNotOpenableIsRetriedWithoutNewSearch) {
    PlugIn(0, 5);
    m_port->SetOpenFails(true);  // in use by another program
    m_link->Discover();
    m_listing->ResetCounts();
    EXPECT_EQ(ConnectTicks(3), 0U);
    EXPECT_EQ(m_port->OpenCount(), 3);
    EXPECT_TRUE(m_view.ShownDown());

    // It turns up under another index: not searched for while the old number is held.
    m_listing->RemoveVcp(0);
    PlugIn(1, 6);
    ConnectTicks(3);
    EXPECT_EQ(m_listing->ReadCount(), 0);
    EXPECT_EQ(Data().PortNo, 5);
    EXPECT_EQ(m_port->OpenCount(), 6);

    m_port->SetOpenFails(false);
    m_link->ConnectTick();
    EXPECT_TRUE(m_view.ShownUp());
    EXPECT_EQ(m_port->PortNumber(), 5);
}

TEST_F(UnitLinkTest, ListedDeviceThatDoesNotExist) {
    m_listing->SetVcp(0, "COM42");  // no such device behind it
    EXPECT_EQ(ConnectTicks(3), 0U);
    EXPECT_EQ(m_port->OpenCount(), 3);
    EXPECT_EQ(Data().PortNo, 42);
    EXPECT_TRUE(m_view.ShownDown());
    m_port->AddDevice(42);
    m_link->ConnectTick();
    EXPECT_TRUE(m_view.ShownUp());
}

TEST_F(UnitLinkTest, RequestPlacedWhileDownLeavesAtFirstTickUp) {
    PlugIn(0, 5);
    ConnectTicks(2);
    Unplug(0, 5);
    m_link->ConnectTick();
    Data().ReqCode = 0x07;
    EXPECT_EQ(ConnectTicks(4), 0U);
    m_port->Reappear();
    PlugIn(0, 5);
    EXPECT_EQ(ConnectTicks(1), 1U);
    EXPECT_EQ(m_port->Writes().back()[1], 0x07);
    EXPECT_EQ(Data().ReqCode, 0);
}

TEST_F(UnitLinkTest, CommandsAreDecidedWhenPlacedAndNeverLeaveAfterThePortWent) {
    const SettingsRecord settings{0x01, 0x02, 0x03};
    EXPECT_EQ(m_link->Commands().WriteSettings(settings), CommandResult::OffLine);
    EXPECT_EQ(m_link->Commands().Initialise(), CommandResult::OffLine);
    EXPECT_EQ(Data().ReqCode, kReqNone);

    PlugIn(0, 5);
    m_link->ConnectTick();
    // The last press before the tick wins, as it always did; a placed clear is never replaced.
    EXPECT_EQ(m_link->Commands().WriteSettings(settings), CommandResult::Queued);
    EXPECT_EQ(m_link->Commands().Initialise(), CommandResult::Queued);
    EXPECT_EQ(Data().ReqCode, kReqInitialise);
    Data().ReqCode = kReqClearMinorFaultLog;
    EXPECT_EQ(m_link->Commands().WriteSettings(settings), CommandResult::Busy);
    EXPECT_EQ(Data().ReqCode, kReqClearMinorFaultLog);
    Data().ReqCode = kReqNone;
    Data().LogBusy = 1;
    EXPECT_EQ(m_link->Commands().Initialise(), CommandResult::Busy);
    Data().LogBusy = 0;

    // Unplugged, and also moved to another port within one tick: taken back either way, never sent.
    for (const bool moved : {false, true}) {
        SCOPED_TRACE(moved ? "moved" : "unplugged");
        ASSERT_EQ(m_link->Commands().WriteSettings(settings), CommandResult::Queued);
        m_view.Clear();
        const std::size_t before = m_port->Writes().size();
        Unplug(0, 5);
        if (moved) {
            m_port->Reappear();
            PlugIn(1, 6);
        }
        m_link->ConnectTick();
        EXPECT_THAT(m_view.Only({"CommandTakenBack"}), ElementsAre("CommandTakenBack"));
        EXPECT_EQ(m_view.TakenBack().back(), kReqWriteSettings);
        m_port->Reappear();
        m_listing->RemoveVcp(1);
        PlugIn(0, 5);
        ConnectTicks(12);
        for (std::size_t i = before; i < m_port->Writes().size(); ++i) {
            EXPECT_EQ(m_port->Writes()[i][1], kReqPoll) << i;
        }
    }
}

// A current-value payload whose frequency byte reads 50.
Bytes NowValuePayload() {
    Bytes p(24, 0x00);
    p[8] = 50;
    return p;
}

TEST_F(UnitLinkTest, ReceiveTickRoutesOneFramePerCall) {
    PlugIn(0, 5);
    int records = 0;
    m_link->SetLogRecordHandler([&] { ++records; });
    ConnectTicks(5);
    ASSERT_EQ(Data().PollPending, kPollOutstanding);
    const Bytes nowValue = ResponseFrame(0xA0, NowValuePayload());
    m_port->Deliver({nowValue.begin(), nowValue.begin() + 2});
    m_port->Deliver({nowValue.begin() + 2, nowValue.end()});
    m_port->Deliver(ResponseFrame(0xA1, Bytes(16, 0x00)));

    // Half a frame: the pass ends without one.
    EXPECT_FALSE(m_link->ReceiveTick());
    EXPECT_EQ(Data().PollPending, kPollOutstanding);
    // The rest: the current values are decoded and the pass goes on, to the record and then to an empty read.
    EXPECT_TRUE(m_link->ReceiveTick());
    EXPECT_EQ(Data().NowValue.FreqText, "50Hz");
    EXPECT_EQ(Data().PollPending, 0);
    EXPECT_EQ(records, 0);
    EXPECT_TRUE(m_link->ReceiveTick());
    EXPECT_EQ(records, 1);
    EXPECT_EQ(Data().RcvFrame[1], 0xA1);
    EXPECT_FALSE(m_link->ReceiveTick());
    EXPECT_EQ(m_port->PendingChunks(), 0U);
    // The receive lamp blinks once for the pass.
    EXPECT_EQ(m_view.Count("PassEnded"), 1);
}

TEST_F(UnitLinkTest, ReceiveTickStoresOtherCodesAndDropsBadChecksums) {
    PlugIn(0, 5);
    int records = 0;
    m_link->SetLogRecordHandler([&] { ++records; });
    ConnectTicks(5);
    const Bytes longer = ResponseFrame(0xA4, {0x11, 0x22, 0x33});
    const Bytes shorter = ResponseFrame(0xA4, {0x01, 0x02});
    m_port->Deliver(longer);
    while (m_link->ReceiveTick()) {
    }
    Data().PollPending = kPollOutstanding;
    m_port->Deliver(shorter);
    while (m_link->ReceiveTick()) {
    }
    // Stored only; positions past the shorter frame keep the longer one's tail.
    EXPECT_EQ(Data().PollPending, 0);
    EXPECT_EQ(Data().RcvLast, 6);
    EXPECT_EQ(Data().RcvFrame[7], longer[7]);
    EXPECT_EQ(records, 0);
    EXPECT_TRUE(Data().NowValue.FreqText.empty());

    // A wrong checksum: nothing routed, the poll still awaited, and the pass ends at it.
    Bytes bad = ResponseFrame(0xA0, NowValuePayload());
    bad.back() ^= 0xFF;
    m_port->Deliver(bad);
    m_port->Deliver(shorter);
    Data().PollPending = kPollOutstanding;
    EXPECT_FALSE(m_link->ReceiveTick());
    EXPECT_EQ(Data().PollPending, kPollOutstanding);
    EXPECT_TRUE(Data().NowValue.FreqText.empty());
    EXPECT_EQ(m_port->PendingChunks(), 1U);
}

TEST_F(UnitLinkTest, ReceiveLampTogglesPerPassThatExtractedAFrame) {
    PlugIn(0, 5);
    ConnectTicks(5);
    const Bytes answer = ResponseFrame(0xA4, {0x01, 0x02});
    Bytes bad = answer;
    bad.back() ^= 0x01;
    for (const Bytes& chunk : {Bytes{}, answer, bad, Bytes{0xFF, 0xA4}}) {
        m_port->Deliver(chunk);  // nothing, a frame, one failing its checksum (still extracted), half a frame
        while (m_link->ReceiveTick()) {
        }
    }
    EXPECT_THAT(m_view.Only({"FrameReceived", "BadFrame", "PassEnded"}),
                ElementsAre("FrameReceived", "PassEnded", "BadFrame", "PassEnded"));
}

TEST_F(UnitLinkTest, ReceiveTickBeforeFirstPollAndWhileDown) {
    PlugIn(0, 5);
    m_link->ReceiveTick();  // nothing sent yet: nothing shown
    EXPECT_TRUE(m_view.Only({"PassEnded", "ReceiveStopped"}).empty());
    ConnectTicks(5);
    Unplug(0, 5);
    m_link->ConnectTick();
    m_link->ReceiveTick();
    EXPECT_EQ(m_view.Events().back(), "ReceiveStopped");
}

TEST_F(UnitLinkTest, ReceiveWakeReadsWhateverIsAwaited) {
    // A port with no descriptor to wake on is read every tick once the first poll is out; one with a
    // descriptor is watched instead. Neither depends on what is awaited.
    for (const int descriptor : {-1, 7}) {
        SCOPED_TRACE(descriptor);
        auto listing = std::make_unique<FakePortListing>();
        auto port = std::make_unique<FakeCommPort>();
        FakePortListing& list = *listing;
        FakeCommPort& fake = *port;
        UnitLink link(m_view, std::move(listing), test::HandOver(std::move(port)));
        list.SetVcp(0, "COM5");
        fake.AddDevice(5);
        fake.SetDescriptor(descriptor);
        EXPECT_FALSE(link.ReceiveTicksWanted());
        link.ConnectTick();  // opens; the first poll is four ticks away and nothing is read before it
        link.ReceiveTick();
        EXPECT_EQ(link.ReceiveDescriptor(), -1);
        EXPECT_EQ(link.ReceiveTicksWanted(), false);
        for (int i = 0; i < 4; ++i) {
            link.ConnectTick();
        }
        ASSERT_EQ(link.Data().TxStarted, kTrue);
        const bool ticks = descriptor < 0;
        EXPECT_EQ(link.ReceiveDescriptor(), descriptor);
        EXPECT_EQ(link.ReceiveTicksWanted(), ticks);
        // Answered: nothing is awaited, and the line is still read.
        fake.Deliver(ResponseFrame(0xA0, Bytes(17, 0x00)));
        link.ReceiveTick();
        EXPECT_EQ(link.Data().PollPending, 0);
        EXPECT_EQ(link.ReceiveDescriptor(), descriptor);
        EXPECT_EQ(link.ReceiveTicksWanted(), ticks);

        // Unplugged: one tick to put the receive lamp out, then nothing to read.
        list.RemoveVcp(0);
        fake.RemoveDevice(5);
        fake.Vanish();
        link.ConnectTick();
        EXPECT_EQ(link.ReceiveDescriptor(), -1);
        EXPECT_TRUE(link.ReceiveTicksWanted());
        link.ReceiveTick();
        EXPECT_EQ(m_view.Events().back(), "ReceiveStopped");
        EXPECT_FALSE(link.ReceiveTicksWanted());
        link.ConnectTick();
        EXPECT_FALSE(link.ReceiveTicksWanted());
    }
}

TEST_F(UnitLinkTest, RecordRequestsLeaveAtConnectTicks) {
    PlugIn(0, 5);
    ConnectTicks(5);
    m_link->SetLogRecordHandler([this] { TakeLogRecord(Data(), LogKind::DeviceState); });
    Data().LogReqCode = kReqDeviceStateRecord;
    Data().LogState = kLogRunning;
    Data().SendData[0] = 1;
    Data().ReqCode = kReqDeviceStateRecord;
    m_port->ClearWrites();
    ASSERT_EQ(ConnectTicks(1), 1U);
    EXPECT_EQ(Data().ReqCode, kReqAwaitingRecord);

    // Record 1 comes in: nothing is written in the receive pass, however many follow; record 2 leaves at
    // the next connect tick, and nothing more while it is awaited.
    Bytes payload(16, 0x00);
    payload[0] = 1;
    m_port->Deliver(ResponseFrame(0xA3, payload));
    for (int i = 0; i < 3; ++i) {
        m_link->ReceiveTick();
    }
    EXPECT_EQ(m_port->Writes().size(), 1U) << "only the request cycle writes";
    EXPECT_EQ(Data().ReqCode, kReqDeviceStateRecord);
    ASSERT_EQ(ConnectTicks(1), 1U);
    EXPECT_EQ(m_port->Writes()[1][1], kReqDeviceStateRecord);
    EXPECT_EQ(m_port->Writes()[1][3], 2);
    EXPECT_EQ(ConnectTicks(3), 0U);
}

TEST_F(UnitLinkTest, CountersAndObservationsFollowTheLine) {
    std::int64_t now = 0;
    m_link->SetClock([&] { return now; });
    PlugIn(0, 5);
    m_port->SetOpenFails(true);
    ConnectTicks(2);
    EXPECT_EQ(DiagnoseLink(m_link->Observations()).reason, LinkReason::OpenFailed);
    // Still tried under its number, but no longer listed.
    m_listing->RemoveVcp(0);
    ConnectTicks(1);
    EXPECT_EQ(DiagnoseLink(m_link->Observations()).reason, LinkReason::NoAdapter);
    m_listing->SetVcp(0, "COM5");
    m_port->SetOpenFails(false);
    for (int i = 0; i < 35; ++i) {  // open, polls once a second, each next slot finding the poll unanswered
        now += 100;
        m_link->ConnectTick();
    }
    EXPECT_EQ(DiagnoseLink(m_link->Observations()).reason, LinkReason::NoAnswer);
    ASSERT_GT(m_link->Monitor().Size(), 0U);
    const std::int64_t firstPollMs = m_link->Monitor().At(0).ms;
    EXPECT_EQ(m_link->Observations().unansweredSinceMs, firstPollMs);
    EXPECT_EQ(m_link->Monitor().Size(), m_link->Counters().requestsSent);
    const std::span<const std::uint8_t> kept = m_link->Monitor().At(0).Kept();
    EXPECT_EQ(Bytes(kept.begin(), kept.end()), m_port->Writes().front());
    Bytes bad = ResponseFrame(0xA0, NowValuePayload());
    bad.back() ^= 0x01;
    m_port->Deliver(bad);
    while (m_link->ReceiveTick()) {
    }
    EXPECT_EQ(DiagnoseLink(m_link->Observations()).reason, LinkReason::Garbled);
    now += 25;
    m_port->Deliver(ResponseFrame(0xA0, NowValuePayload()));
    while (m_link->ReceiveTick()) {
    }
    EXPECT_EQ(DiagnoseLink(m_link->Observations()).reason, LinkReason::OnLine);
    const LinkMonitor& monitor = m_link->Monitor();
    EXPECT_EQ(monitor.PollRoundTrip().count, 1U);  // the last poll's; the earlier ones were overdue
    EXPECT_EQ(monitor.PollRoundTrip().lastMs, 25);
    EXPECT_FALSE(monitor.At(monitor.Size() - 2).ok);  // the bad frame, kept as it came
    EXPECT_TRUE(monitor.At(monitor.Size() - 3).sent);
    const LinkCounters counters = m_link->Counters();
    EXPECT_EQ(counters.linksUp, 1U);
    EXPECT_GE(counters.pollsSent, 2U);
    EXPECT_GE(counters.pollsUnanswered, 2U);
    EXPECT_EQ(counters.badChecksums, 1U);
    EXPECT_EQ(counters.framesValid, 1U);
}

TEST_F(UnitLinkTest, BadAnswersAreGarbledByTheirShareAndNeverAlsoTimeOuts) {
    PlugIn(0, 5);
    Bytes bad = ResponseFrame(0xA0, NowValuePayload());
    bad.back() ^= 0x01;
    // Three answers in ten fail their checksum: each poll is answered, well or badly, before the next.
    for (int round = 0; round < 20; ++round) {
        int ticks = 0;
        while (ConnectTicks(1) == 0U && ++ticks < 50) {
        }
        m_port->Deliver(round % 10 < 3 ? bad : ResponseFrame(0xA0, NowValuePayload()));
        while (m_link->ReceiveTick()) {
        }
    }
    const LinkObservations seen = m_link->Observations();
    EXPECT_EQ(seen.badFramesSinceValid, 0U);  // the last answer was good
    EXPECT_EQ(seen.recentBadFrames, 6U);
    EXPECT_EQ(DiagnoseLink(seen).reason, LinkReason::Garbled);
    EXPECT_NE(ShortExplanation(DiagnoseLink(seen), seen).find("直近20件中6件"), std::string::npos);
    EXPECT_FALSE(ValuesStale(seen));
    const LinkCounters counters = m_link->Counters();
    EXPECT_EQ(counters.badChecksums, 6U);
    EXPECT_EQ(counters.pollsUnanswered, 0U);
}

TEST_F(UnitLinkTest, FailedReadsAndWritesAreCountedAndAddNothing) {
    PlugIn(0, 5);
    ConnectTicks(5);
    const Bytes answer = ResponseFrame(0xA0, NowValuePayload());
    m_port->Deliver({answer.begin(), answer.begin() + 9});
    m_link->ReceiveTick();
    // A failed read between the halves: had it passed for a 00h byte, the frame would come out broken.
    m_port->FailNextReads(1);
    m_port->Deliver({answer.begin() + 9, answer.end()});
    m_link->ReceiveTick();
    EXPECT_TRUE(m_link->ReceiveTick());
    EXPECT_THAT(m_view.Only({"FrameReceived", "BadFrame"}), ElementsAre("FrameReceived"));
    EXPECT_EQ(Data().NowValue.FreqText, "50Hz");

    m_port->SetWriteFails(true);
    ConnectTicks(5);
    const LinkCounters counters = m_link->Counters();
    EXPECT_EQ(counters.readsFailed, 1U);
    EXPECT_EQ(counters.writesRefused, 1U);
    EXPECT_EQ(counters.badChecksums, 0U);
    EXPECT_EQ(counters.discardedBytes, 0U);
}

TEST_F(UnitLinkTest, ClosePortClosesTheOpenPort) {
    m_link->ClosePort();  // no port object yet: harmless
    PlugIn(0, 5);
    m_link->ConnectTick();
    m_link->ClosePort();
    EXPECT_FALSE(m_port->IsOpen());
}

TEST(UnitLink, FactoryWithoutPortStaysOffLine) {
    RecordingLinkEvents view;
    auto listing = std::make_unique<FakePortListing>();
    listing->SetVcp(0, "COM5");
    UnitLink link(view, std::move(listing), [] { return std::unique_ptr<CommPort>{}; });
    link.ConnectTick();
    link.ConnectTick();
    EXPECT_TRUE(view.ShownDown());
}

}  // namespace
}  // namespace tessarin
