// The geometry of the phasor picture and the unit's detection conditions, as pure functions of the numbers
// of a current-value answer, so that the window only paints what these decide.
#pragma once

#include <optional>

#include "data/measured_values.h"

namespace tessarin {

// A point in the diagram's own coordinates: x to the right along V0 (0°), y up (90°).
struct PhasorPoint {
    double x = 0.0;
    double y = 0.0;
};

// The tip of an arrow of `length` at `degrees` (counter-clockwise from V0).
PhasorPoint PointAt(double degrees, double length);

// `degrees` brought into (-180, 180].
double NormalizedDegrees(double degrees);

// Whether `degrees` (any number of turns) lies in the operating range, its edges included.
bool InOperatingRange(double degrees, PhaseRange range);

// How far `degrees` lies inside the range, to its nearer edge (negative: outside, by that much).
double PhaseMarginDegrees(double degrees, PhaseRange range);

// Each condition of the unit's detection, whether it is met and whether the set mode asks for it.
struct ConditionState {
    bool v0Needed = false;
    bool i0Needed = false;
    bool phaseNeeded = false;
    bool v0Met = false;
    bool i0Met = false;
    bool phaseMet = false;
    // Every condition the mode asks for is met.
    [[nodiscard]] bool Operating() const {
        return (!v0Needed || v0Met) && (!i0Needed || i0Met) && (!phaseNeeded || phaseMet) &&
               (v0Needed || i0Needed || phaseNeeded);
    }
};

// The conditions of the answer under its detection mode (V0 & I0 & 位相, V0 & I0, I0のみ, V0のみ). A value
// shown as *OVER* is above its threshold; a phase that is not a number meets nothing. Without a known mode or
// threshold, nothing is needed (Operating() is false).
ConditionState EvaluateConditions(const NowValueNumbers& now);

// The phase of the answer in degrees, when the unit measured one.
std::optional<double> PhaseDegrees(const Measurement& measured);

// The I0 (mA) at the diagram's outer edge: a round 1-2-5 value that keeps the threshold circle well inside
// and, up to a point, the arrow of `i0Milliamps` too.
double PhasorScaleMilliamps(double i0Milliamps, double thresholdMilliamps);

}  // namespace tessarin
