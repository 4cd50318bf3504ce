#include "data/phasor_geometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>

namespace tessarin {
namespace {

constexpr double kFullTurn = 360.0;
constexpr double kHalfTurn = 180.0;
// The threshold circle stays at most at this share of the radius, so its line is never on the edge.
constexpr double kThresholdShare = 0.8;
// The scale follows I0 up to this many thresholds; beyond, the arrow is clipped at the edge.
constexpr double kMaxThresholds = 20.0;

}  // namespace

PhasorPoint PointAt(double degrees, double length) {
    const double radians = degrees * std::numbers::pi / kHalfTurn;
    return {length * std::cos(radians), length * std::sin(radians)};
}

double NormalizedDegrees(double degrees) {
    double d = std::fmod(degrees, kFullTurn);
    if (d <= -kHalfTurn) {
        d += kFullTurn;
    } else if (d > kHalfTurn) {
        d -= kFullTurn;
    }
    return d;
}

bool InOperatingRange(double degrees, PhaseRange range) { return PhaseMarginDegrees(degrees, range) >= 0.0; }

double PhaseMarginDegrees(double degrees, PhaseRange range) {
    // Measured from the middle of the range, so the wrap at ±180° falls on the far side, away from both edges.
    const double middle = (range.fromDegrees + range.toDegrees) / 2.0;
    const double halfWidth = (range.toDegrees - range.fromDegrees) / 2.0;
    return halfWidth - std::abs(NormalizedDegrees(degrees - middle));
}

std::optional<double> PhaseDegrees(const Measurement& measured) {
    if (measured.phase != PhaseShown::Angle) {
        return std::nullopt;
    }
    return measured.phaseTenths / 10.0;
}

ConditionState EvaluateConditions(const NowValueNumbers& now) {
    ConditionState state;
    if (!now.valid || !now.detectMode || !now.v0ThresholdTenths || !now.i0ThresholdMilliamps) {
        return state;
    }
    const int mode = *now.detectMode;
    state.v0Needed = mode == 0 || mode == 1 || mode == 3;
    state.i0Needed = mode == 0 || mode == 1 || mode == 2;
    state.phaseNeeded = mode == 0;
    const Measurement& m = now.measured;
    state.v0Met = m.v0Over || m.v0Tenths >= *now.v0ThresholdTenths;
    state.i0Met = m.i0Over || m.i0Tenths >= *now.i0ThresholdMilliamps * 10;
    const std::optional<double> phase = PhaseDegrees(m);
    state.phaseMet = phase && InOperatingRange(*phase, now.range);
    return state;
}

double PhasorScaleMilliamps(double i0Milliamps, double thresholdMilliamps) {
    const double threshold = std::max(thresholdMilliamps, 1.0);
    const double wanted = std::max(threshold / kThresholdShare, std::min(i0Milliamps, threshold * kMaxThresholds));
    // The smallest 1-2-5 value not below what is wanted.
    double decade = std::pow(10.0, std::floor(std::log10(wanted)));
    for (;;) {
        for (const double step : {1.0, 2.0, 5.0}) {
            if (step * decade >= wanted) {
                return step * decade;
            }
        }
        decade *= 10.0;
    }
}

}  // namespace tessarin
