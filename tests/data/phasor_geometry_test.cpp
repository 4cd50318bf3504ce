#include "data/phasor_geometry.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>

#include "data/choice_tables.h"
#include "data/measured_values.h"

namespace tessarin {
namespace {

TEST(PhasorGeometry, AngleToPoint) {
    struct Case {
        double degrees;
        double x;
        double y;
    };
    for (const Case c : {Case{0, 2, 0}, Case{90, 0, 2}, Case{180, -2, 0}, Case{-90, 0, -2}, Case{450, 0, 2}}) {
        const PhasorPoint p = PointAt(c.degrees, 2.0);
        EXPECT_NEAR(p.x, c.x, 1e-9) << c.degrees;
        EXPECT_NEAR(p.y, c.y, 1e-9) << c.degrees;
    }
}

TEST(PhasorGeometry, ZoneTestWithBothRangesAndTheWrap) {
    struct Case {
        double degrees;
        unsigned rangeCode;
        bool inside;
        double margin;
    };
    const Case cases[] = {
        {0, 0, true, 60},        {-60, 0, true, 0},        {120, 0, true, 0},         {120.1, 0, false, -0.1},
        {-60.5, 0, false, -0.5}, {180, 0, false, -60},     {-180, 0, false, -60},     {-170, 0, false, -70},
        {300, 0, true, 0},       {-240, 0, true, 0},       {-200, 0, false, -40},     {201, 0, false, -81},
        {-45, 1, true, 0},       {-50, 1, false, -5},      {135, 1, true, 0},         {125, 1, true, 10},
        {-60, 1, false, -15},    {179.9, 1, false, -44.9}, {-179.9, 1, false, -45.1}, {45, 1, true, 90},
    };
    for (const Case& c : cases) {
        const PhaseRange range = PhaseRangeOf(c.rangeCode);
        EXPECT_EQ(InOperatingRange(c.degrees, range), c.inside) << c.degrees << " range " << c.rangeCode;
        EXPECT_NEAR(PhaseMarginDegrees(c.degrees, range), c.margin, 1e-9) << c.degrees << " range " << c.rangeCode;
    }
}

NowValueNumbers answer(int mode, unsigned v0, unsigned i0, PhaseShown phase, int phaseTenths) {
    NowValueNumbers now;
    now.valid = true;
    now.detectMode = mode;
    now.v0ThresholdTenths = 381;  // 38.1 V
    now.i0ThresholdMilliamps = 15;
    now.measured.v0Tenths = v0;
    now.measured.i0Tenths = i0;
    now.measured.phase = phase;
    now.measured.phaseTenths = phaseTenths;
    return now;
}

TEST(PhasorGeometry, ConditionsPerDetectionMode) {
    struct Case {
        int mode;
        unsigned v0;
        unsigned i0;
        PhaseShown phase;
        int phaseTenths;
        bool operating;
    };
    const Case cases[] = {
        {0, 381, 150, PhaseShown::Angle, 450, true},    // all three at their thresholds
        {0, 380, 150, PhaseShown::Angle, 450, false},   // V0 just below
        {0, 381, 149, PhaseShown::Angle, 450, false},   // I0 just below
        {0, 381, 150, PhaseShown::Angle, 1500, false},  // phase outside
        {0, 381, 150, PhaseShown::Unmeasurable, 2000, false},
        {1, 381, 150, PhaseShown::Angle, 1500, true},  // V0 & I0 ignores the phase
        {1, 381, 149, PhaseShown::NotShown, 0, false},
        {2, 0, 150, PhaseShown::NotShown, 0, true},  // I0のみ
        {2, 5000, 149, PhaseShown::Angle, 0, false},
        {3, 381, 0, PhaseShown::NotShown, 0, true},  // V0のみ
        {3, 380, 9000, PhaseShown::Angle, 0, false},
    };
    for (const Case& c : cases) {
        const ConditionState state = EvaluateConditions(answer(c.mode, c.v0, c.i0, c.phase, c.phaseTenths));
        EXPECT_EQ(state.Operating(), c.operating)
            << DetectModeTable[static_cast<std::size_t>(c.mode)] << " " << c.v0 << " " << c.i0 << " " << c.phaseTenths;
    }

    // *OVER* is above any threshold; an unknown mode asks for nothing and never operates.
    NowValueNumbers over = answer(1, 0, 0, PhaseShown::NotShown, 0);
    over.measured.v0Over = true;
    over.measured.i0Over = true;
    EXPECT_TRUE(EvaluateConditions(over).Operating());
    over.detectMode.reset();
    EXPECT_FALSE(EvaluateConditions(over).Operating());
}

TEST(PhasorGeometry, ScaleKeepsTheThresholdCircleInside) {
    struct Case {
        double i0;
        double threshold;
        double scale;
    };
    for (const Case c : {Case{0, 15, 20}, Case{19, 15, 20}, Case{21, 15, 50}, Case{120, 100, 200}, Case{250, 100, 500},
                         Case{100000, 15, 500}, Case{0, 600, 1000}}) {
        const double scale = PhasorScaleMilliamps(c.i0, c.threshold);
        EXPECT_DOUBLE_EQ(scale, c.scale) << c.i0 << " " << c.threshold;
        EXPECT_LE(c.threshold, 0.8 * scale);
    }
}

TEST(MeasuredValues, ThresholdNumbersMatchTheChoiceTexts) {
    for (unsigned code = 0; code < V0LevelTable.size(); ++code) {
        const unsigned tenths = V0ThresholdTenths(code).value();
        const std::string volts = std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + "V)";
        EXPECT_TRUE(std::string(V0LevelTable[code]).ends_with(volts)) << V0LevelTable[code];
    }
    for (unsigned code = 0; code < I0LevelTable.size(); ++code) {
        EXPECT_EQ(std::to_string(I0ThresholdMilliamps(code).value()) + "mA", I0LevelTable[code]);
    }
    for (unsigned code = 0; code < DetectTimeTable.size(); ++code) {
        const unsigned ms = DetectTimeMilliseconds(code).value();
        EXPECT_EQ("0." + std::to_string(ms / 10 + 100).substr(1) + "秒", DetectTimeTable[code]);
    }
    EXPECT_FALSE(V0ThresholdTenths(V0LevelTable.size()));
    EXPECT_FALSE(I0ThresholdMilliamps(I0LevelTable.size()));
    EXPECT_FALSE(DetectTimeMilliseconds(DetectTimeTable.size()));
}

TEST(MeasuredValues, LinePointsOfTheLogScreen) {
    const auto point = MinorFaultLinePoint("13,検出,20--/--/-- --:--,123.4V,*OVER*,計測不可,50Hz");
    ASSERT_TRUE(point);
    EXPECT_EQ(point->number, 13);
    EXPECT_EQ(point->state, RecordState::Detected);
    EXPECT_FALSE(point->i0Milliamps);
    EXPECT_FALSE(point->phaseDegrees);

    const auto negative = MinorFaultLinePoint("2,―,2001年01月01日01時01分,30V,0.1A,-50°,60Hz");
    ASSERT_TRUE(negative);
    EXPECT_EQ(negative->state, RecordState::None);
    EXPECT_EQ(negative->i0Milliamps, 100U);
    EXPECT_EQ(negative->phaseDegrees, -50);

    for (const char* none : {"", "7,検出,データ無し", "ログ№,状態,発生日時,Ｖ０計測値,Ｉ０計測値,位相計測値"}) {
        EXPECT_FALSE(MinorFaultLinePoint(none)) << none;
    }
}

}  // namespace
}  // namespace tessarin
