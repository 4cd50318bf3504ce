// The measured values of a current-value answer and of a minor-fault log record as numbers, kept beside the
// texts the screens show, so that pictures and records can be drawn from them without reading texts back.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string_view>

namespace tessarin {

// How the phase came out: a number, "**" (V0 or I0 too small for the unit to measure), or "計測不可".
enum class PhaseShown : std::uint8_t { Angle, NotShown, Unmeasurable };

// One measurement of V0, I0 and their phase, in the unit's own counts.
struct Measurement {
    unsigned v0Tenths = 0;  // 0.1 V counts
    bool v0Over = false;    // shown as *OVER*
    unsigned i0Tenths = 0;  // 0.1 mA counts
    bool i0Over = false;    // shown as *OVER*
    int phaseTenths = 0;    // 0.1° counts, as the unit sent them
    PhaseShown phase = PhaseShown::NotShown;
};

// The unit's operating range of the phase of I0 against V0, in whole degrees.
struct PhaseRange {
    int fromDegrees = -60;
    int toDegrees = 120;
};

// The numbers of a current-value answer. A setting whose code the unit sent unknown keeps its previous
// number, as its text does; `valid` is false until a first answer was decoded.
struct NowValueNumbers {
    bool valid = false;
    Measurement measured;
    unsigned frequencyHz = 0;
    std::optional<int> detectMode;              // position in DetectModeTable
    std::optional<unsigned> v0ThresholdTenths;  // 0.1 V counts
    std::optional<unsigned> i0ThresholdMilliamps;
    std::optional<unsigned> detectTimeMilliseconds;
    PhaseRange range;
    // When the answer arrived; the window that received it fills this in (the decoder reads no clock).
    std::chrono::system_clock::time_point receivedAt{};
};

// The state of a minor-fault record.
enum class RecordState : std::uint8_t { None, Detected, Confirmed };  // "―", "検出", "確定"

// The numbers of a decoded minor-fault record (the other logs fill what they have; state stays None).
struct LogRecordNumbers {
    Measurement measured;
    RecordState state = RecordState::None;
    bool v0Judged = false;
    bool i0Judged = false;
    bool phaseJudged = false;
    bool dateSet = false;  // false for the unit's "never set" clock
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
};

// The threshold numbers behind the setting choice texts; nullopt for a code outside the table.
std::optional<unsigned> V0ThresholdTenths(unsigned code);
std::optional<unsigned> I0ThresholdMilliamps(unsigned code);
std::optional<unsigned> DetectTimeMilliseconds(unsigned code);
// The operating range of the phase-range setting (0 or 1).
PhaseRange PhaseRangeOf(unsigned code);

// The I0, phase and state of a minor-fault log line as the log screen holds it ("1,確定,…,0.015A,45°,…");
// nullopt for a line without measurements ("データ無し", header, empty).
struct LogLinePoint {
    int number = 0;
    RecordState state = RecordState::None;
    std::optional<unsigned> i0Milliamps;  // nullopt for *OVER*
    std::optional<int> phaseDegrees;      // nullopt for "**" and "計測不可"
};
std::optional<LogLinePoint> MinorFaultLinePoint(std::string_view line);

}  // namespace tessarin
