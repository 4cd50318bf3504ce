#include "data/value_history.h"

#include <gtest/gtest.h>

#include <chrono>

namespace tessarin {
namespace {

using std::chrono::seconds;
using Clock = std::chrono::system_clock;

HistorySample sampleAt(int second) {
    HistorySample s;
    s.at = Clock::time_point(seconds(second));
    s.v0Volts = second;
    return s;
}

TEST(ValueHistory, KeepsTheNewestInOrderOnceFull) {
    ValueHistory history(3);
    for (int i = 1; i <= 5; ++i) {
        history.Add(sampleAt(i));
    }
    ASSERT_EQ(history.Size(), 3U);
    EXPECT_EQ(history.At(0).v0Volts, 3.0);
    EXPECT_EQ(history.At(2).v0Volts, 5.0);
    history.Clear();
    EXPECT_EQ(history.Size(), 0U);
    EXPECT_EQ(history.Nearest(Clock::time_point(seconds(4))), nullptr);
}

TEST(ValueHistory, NearestSampleInTime) {
    ValueHistory history(10);
    for (const int s : {10, 20, 30}) {
        history.Add(sampleAt(s));
    }
    struct Case {
        int at;
        double v0;
    };
    for (const Case c : {Case{0, 10}, Case{14, 10}, Case{16, 20}, Case{30, 30}, Case{99, 30}}) {
        const HistorySample* nearest = history.Nearest(Clock::time_point(seconds(c.at)));
        ASSERT_NE(nearest, nullptr);
        EXPECT_EQ(nearest->v0Volts, c.v0) << c.at;
    }
}

TEST(ValueHistory, OverRangeAndHiddenPhaseBecomeGaps) {
    NowValueNumbers now;
    now.measured = {1234, false, 180, true, -455, PhaseShown::Angle};
    HistorySample s = SampleOf(now);
    EXPECT_EQ(s.v0Volts, 123.4);
    EXPECT_FALSE(s.i0Milliamps);
    EXPECT_EQ(s.phaseDegrees, -45.5);
    now.measured.phase = PhaseShown::NotShown;
    now.measured.v0Over = true;
    s = SampleOf(now);
    EXPECT_FALSE(s.v0Volts);
    EXPECT_FALSE(s.phaseDegrees);
}

}  // namespace
}  // namespace tessarin
