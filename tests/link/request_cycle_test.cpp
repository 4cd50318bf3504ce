#include "link/request_cycle.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/fake_comm_port.h"
#include "link/recording_link_events.h"

namespace tessarin {
namespace {

using Bytes = std::vector<std::uint8_t>;
using test::FakeCommPort;
using test::RecordingLinkEvents;
using ::testing::ElementsAre;

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) {
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

struct Rig {
    Rig() {
        port.OpenAnything();
        EXPECT_TRUE(port.Open(1, {}));
        data.LinkUp = kTrue;
    }
    // Runs ticks first..last of tmrComConnect (numbered from 1) and returns the tick numbers that wrote.
    std::vector<int> Ticks(int first, int last) {
        std::vector<int> wrote;
        for (int t = first; t <= last; ++t) {
            const std::size_t before = port.Writes().size();
            SendRequest(data, port, view);
            if (port.Writes().size() != before) {
                wrote.push_back(t);
            }
        }
        return wrote;
    }

    DeviceData data;
    FakeCommPort port;
    RecordingLinkEvents view;
};

TEST(SendRequest, PollOnTheWireAtStart) {
    Rig rig;
    EXPECT_TRUE(rig.Ticks(1, 4).empty());
    EXPECT_EQ(rig.data.TxStarted, kFalse);
    EXPECT_EQ(rig.Ticks(5, 5), std::vector<int>{5});
    ASSERT_EQ(rig.port.Writes().size(), 1U);
    EXPECT_EQ(rig.port.Writes()[0], Cat({{0xFF, 0x00, 0x14}, Bytes(15, 0x00), {0xCC, 0xD8, 0x00, 0x00}}));
    EXPECT_EQ(rig.data.TxStarted, kTrue);
    EXPECT_EQ(rig.data.PollPending, kPollOutstanding);
}

struct CatalogueCase {
    std::uint8_t reqCode;
    std::uint8_t record;
    Bytes wire;
    std::uint8_t reqCodeAfter;
};

TEST(SendRequest, CatalogueFramesAtStart) {
    const std::vector<CatalogueCase> cases = {
        {0x01, 0, Cat({{0xFF, 0x01, 0x14}, Bytes(15, 0x00), {0xCC, 0xD9, 0x00, 0x00}}), 0},
        {0x02, 0, Cat({{0xFF, 0x02, 0x14}, Bytes(15, 0x00), {0xCC, 0xDA, 0x00, 0x00}}), 0},
        {0x07, 0, Cat({{0xFF, 0x07, 0x14}, Bytes(15, 0x00), {0xCC, 0xDF, 0x00, 0x00}}), 0},
        {0x04, 1, Cat({{0xFF, 0x04, 0x14, 0x01}, Bytes(14, 0x00), {0xCC, 0xDD, 0x00, 0x00}}), 255},
        {0x05, 9, Cat({{0xFF, 0x05, 0x14, 0x09}, Bytes(14, 0x00), {0xCC, 0xD4, 0x00, 0x00}}), 255},
        {0x06, 10, Cat({{0xFF, 0x06, 0x14, 0x0A}, Bytes(14, 0x00), {0xCC, 0xD4, 0x00, 0x00}}), 255},
    };
    for (const auto& c : cases) {
        Rig rig;
        rig.data.SendData.fill(0x77);  // only element 0 may travel with a record request
        rig.data.SendData[0] = c.record;
        rig.data.ReqCode = c.reqCode;
        EXPECT_EQ(rig.Ticks(1, 1), std::vector<int>{1}) << int{c.reqCode};
        ASSERT_EQ(rig.port.Writes().size(), 1U);
        EXPECT_EQ(rig.port.Writes()[0], c.wire) << int{c.reqCode};
        EXPECT_EQ(rig.data.ReqCode, c.reqCodeAfter) << int{c.reqCode};
        EXPECT_EQ(rig.data.PollTick, 0) << int{c.reqCode};
        EXPECT_EQ(rig.data.TxStarted, kFalse) << "only a poll starts the receive side";
    }
}

TEST(SendRequest, SettingsWriteLeavesItsTailBehindLaterRequests) {
    Rig rig;
    rig.data.SendData[0] = 0x20;
    rig.data.ReqCode = kReqWriteSettings;
    rig.Ticks(1, 1);
    ASSERT_EQ(rig.port.Writes().size(), 1U);
    EXPECT_EQ(rig.port.Writes()[0], Cat({{0xFF, 0x03, 0x16, 0x20}, Bytes(16, 0x00), {0xCC, 0xF9}}));
    EXPECT_EQ(rig.data.ReqCode, 0);

    rig.Ticks(2, 6);  // the fifth counted tick polls
    rig.data.ReqCode = 0x01;
    rig.Ticks(7, 7);
    ASSERT_EQ(rig.port.Writes().size(), 3U);
    EXPECT_EQ(rig.port.Writes()[1], Cat({{0xFF, 0x00, 0x14}, Bytes(15, 0x00), {0xCC, 0xD8, 0xCC, 0xF9}}));
    EXPECT_EQ(rig.port.Writes()[2], Cat({{0xFF, 0x01, 0x14}, Bytes(15, 0x00), {0xCC, 0xD9, 0xCC, 0xF9}}));
}

TEST(SendRequest, SilentUnitIsPolledOnceASecond) {
    Rig rig;
    EXPECT_EQ(rig.Ticks(1, 40), (std::vector<int>{5, 15, 25, 35}));
    // A request is reported only with a write; the skipped slots report the unanswered poll.
    EXPECT_EQ(rig.view.Count("RequestSent"), 4);
    EXPECT_EQ(rig.view.OverdueCodes(), Bytes(4, kReqPoll));
}

TEST(SendRequest, AnsweringUnitIsPolledEveryFifthTick) {
    Rig rig;
    // The unit answers at once: any valid frame clears PollPending.
    rig.port.OnWrite([&](const Bytes&) { rig.data.PollPending = 0; });
    EXPECT_EQ(rig.Ticks(1, 20), (std::vector<int>{5, 10, 15, 20}));
    EXPECT_EQ(rig.view.RequestCodes(), Bytes(4, kReqPoll));
    EXPECT_EQ(rig.view.Count("AnswerOverdue"), 0);
}

TEST(SendRequest, PlacedRequestDuringOutstandingPollKeepsPollSlots) {
    Rig rig;
    EXPECT_EQ(rig.Ticks(1, 6), std::vector<int>{5});
    rig.data.ReqCode = kReqWriteSettings;
    EXPECT_EQ(rig.Ticks(7, 7), std::vector<int>{7});
    EXPECT_EQ(rig.data.PollPending, kPollOutstanding);
    // Tick 11 is the unanswered poll's slot (tick 7 was not counted); the next poll follows at 16.
    EXPECT_EQ(rig.Ticks(8, 16), std::vector<int>{16});
}

TEST(SendRequest, LaterPlacedRequestReplacesTheWaitingOne) {
    Rig rig;
    rig.data.ReqCode = 0x01;
    rig.data.ReqCode = 0x02;
    rig.Ticks(1, 3);
    ASSERT_EQ(rig.port.Writes().size(), 1U);
    EXPECT_EQ(rig.port.Writes()[0][1], 0x02);
}

TEST(SendRequest, NothingAtAllWhileRecordAwaitedOrCodeUnknown) {
    for (const std::uint8_t code : {std::uint8_t{255}, std::uint8_t{8}, std::uint8_t{0x80}}) {
        Rig rig;
        rig.data.PollTick = 3;
        rig.data.ReqCode = code;
        EXPECT_TRUE(rig.Ticks(1, 20).empty()) << int{code};
        EXPECT_EQ(rig.data.PollTick, 3) << int{code};
        EXPECT_EQ(rig.data.ReqCode, code);
        EXPECT_TRUE(rig.view.Events().empty());
    }
}

TEST(SendRequest, FailedWriteIsIgnored) {
    Rig rig;
    rig.port.SetWriteFails(true);
    rig.data.ReqCode = 0x07;
    rig.Ticks(1, 1);
    EXPECT_EQ(rig.data.ReqCode, 0);
    EXPECT_THAT(rig.view.Events(), ElementsAre("RequestSent"));
}

}  // namespace
}  // namespace tessarin
