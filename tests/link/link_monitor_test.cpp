// The link monitor's ring and round trip: bounded, oldest first, numbered across wraps, and timing only a
// poll's own answer.
#include "link/link_monitor.h"

#include <gtest/gtest.h>

#include <vector>

namespace tessarin {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(LinkMonitorTest, RingKeepsTheLastFramesOldestFirstWithoutGrowing) {
    std::int64_t now = 0;
    LinkMonitor monitor(3, [&] { return now; });
    for (std::uint8_t i = 0; i < 5; ++i) {
        now = 10 * i;
        monitor.FrameSent(Bytes{0xFF, i, 0x05}, true, false);
    }
    ASSERT_EQ(monitor.Size(), 3U);
    EXPECT_EQ(monitor.Seen(), 5U);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(monitor.At(i).number, i + 2);
        EXPECT_EQ(monitor.At(i).ms, static_cast<std::int64_t>(10 * (i + 2)));
        EXPECT_EQ(monitor.At(i).Kept()[1], i + 2);
    }
    monitor.Clear();
    EXPECT_EQ(monitor.Size(), 0U);
    monitor.FrameSent(Bytes{0xFF, 9}, false, false);
    ASSERT_EQ(monitor.Size(), 1U);
    EXPECT_EQ(monitor.At(0).number, 5U);  // numbering goes on across a clear
    EXPECT_FALSE(monitor.At(0).ok);

    // A frame longer than a slot keeps its length and is cut.
    monitor.FrameReceived(Bytes(kMonitorFrameBytes + 10, 0x11), true, false);
    EXPECT_EQ(monitor.At(1).length, kMonitorFrameBytes + 10);
    EXPECT_EQ(monitor.At(1).Kept().size(), kMonitorFrameBytes);
}

TEST(LinkMonitorTest, RoundTripTimesOnlyAPollsOwnAnswer) {
    std::int64_t now = 1000;
    LinkMonitor monitor(8, [&] { return now; });
    const Bytes poll{0xFF, 0x00, 0x14};
    const Bytes answer{0xFF, 0xA0, 0x1E};
    monitor.FrameReceived(answer, true, true);  // unasked: nothing to time
    EXPECT_EQ(monitor.PollRoundTrip().count, 0U);

    monitor.FrameSent(poll, true, true);
    now += 40;
    monitor.FrameReceived(answer, false, true);  // a bad checksum is no answer
    now += 20;
    monitor.FrameReceived(answer, true, true);
    monitor.FrameSent(poll, true, true);
    now += 30;
    monitor.FrameReceived(answer, true, true);
    now += 5;
    monitor.FrameReceived(answer, true, true);  // a second answer to the same poll is not timed

    const RoundTrip& rtt = monitor.PollRoundTrip();
    EXPECT_EQ(rtt.count, 2U);
    EXPECT_EQ(rtt.lastMs, 30);
    EXPECT_EQ(rtt.worstMs, 60);
    EXPECT_DOUBLE_EQ(rtt.MeanMs(), 45.0);

    monitor.FrameSent(poll, true, true);
    monitor.ForgetPoll();  // overdue: a late answer is not timed against it
    now += 900;
    monitor.FrameReceived(answer, true, true);
    monitor.FrameSent(poll, false, true);  // refused by the port: nothing to time either
    monitor.FrameReceived(answer, true, true);
    EXPECT_EQ(monitor.PollRoundTrip().count, 2U);
}

TEST(LinkMonitorTest, MeaningNamesTheCommandAndTheRecord) {
    EXPECT_EQ(FrameMeaning(Bytes{0xFF, 0xA0, 0x1E}), "A0h 現在値");
    EXPECT_EQ(FrameMeaning(Bytes{0xFF, 0x00, 0x14, 0x00}), "00h 現在値要求");
    EXPECT_EQ(FrameMeaning(Bytes{0xFF, 0x05, 0x14, 0x07}), "05h ＯＶＧＲログ要求 No.7");
    EXPECT_EQ(FrameMeaning(Bytes{0xFF, 0xA3, 0x15, 0x0A}), "A3h 装置状態ログ No.10");
    EXPECT_EQ(FrameMeaning(Bytes{0xFF, 0x5B}), "5Bh 不明");
    EXPECT_EQ(FrameMeaning(Bytes{0xFF}), "不明");
}

}  // namespace
}  // namespace tessarin
