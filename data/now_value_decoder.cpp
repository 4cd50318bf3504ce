#include "data/now_value_decoder.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "data/choice_tables.h"
#include "data/measured_values.h"

namespace tessarin {
namespace {

constexpr std::size_t kDataStart = 3;  // data byte k is frame byte 3 + k

constexpr unsigned kV0Limit = 1295;
constexpr unsigned kV0LimitRange2 = 4572;
constexpr unsigned kI0Limit = 1050;
constexpr unsigned kI0LimitRange2 = 7200;
constexpr unsigned kPhaseMinV0 = 300;  // 30.0 V
constexpr unsigned kPhaseMinI0 = 130;  // 13.0 mA
constexpr int kPhaseUnmeasurable = 200;

constexpr std::string_view kOver = "*OVER*";

using Frame = std::span<const std::uint8_t>;

// Data byte k; 0 past the end of what was handed in.
std::uint8_t dataByte(Frame data, std::size_t k) { return kDataStart + k < data.size() ? data[kDataStart + k] : 0; }

unsigned dataWord(Frame data, std::size_t k) {
    return (static_cast<unsigned>(dataByte(data, k)) << 8) | dataByte(data, k + 1);
}

// raw tenths as "0.0": exact in integers, no rounding involved.
std::string tenthsText(unsigned raw) { return std::to_string(raw / 10) + "." + std::to_string(raw % 10); }

// raw ten-thousandths as "0.000", half up: thousandths = round(raw / 10).
std::string thousandthsText(unsigned raw) {
    const unsigned thousandths = (raw + 5) / 10;
    std::string fraction = std::to_string(thousandths % 1000);
    fraction.insert(0, 3 - fraction.size(), '0');
    return std::to_string(thousandths / 1000) + "." + fraction;
}

template <typename Table>
void setFromTable(std::string& field, const Table& table, std::uint8_t code) {
    // A code the table does not know leaves what was shown before.
    if (code < table.size()) {
        field = table[code];
    }
}

void setAlarmCause(std::string& field, std::uint8_t code) {
    switch (code) {
        case 0:
            field = "微地絡";
            break;
        case 1:
            field = "ＧＲ自己診断異常";
            break;
        case 2:
            field = "OVGR";  // the unit's own half-width spelling
            break;
        default:
            break;
    }
}

std::optional<int> detectModeOf(std::uint8_t d1) {
    switch (d1 & 0xF0) {
        case 0x10:
            return 0;
        case 0x20:
            return 1;
        case 0x40:
            return 2;
        case 0x80:
            return 3;
        default:
            return std::nullopt;
    }
}

// The numbers of the settings, kept like their texts: an unknown code leaves the previous number.
void setNumbers(NowValueNumbers& numbers, std::uint8_t d0, Frame data) {
    if (const auto v0 = V0ThresholdTenths(dataByte(data, 9))) {
        numbers.v0ThresholdTenths = v0;
    }
    if (const auto i0 = I0ThresholdMilliamps(dataByte(data, 10))) {
        numbers.i0ThresholdMilliamps = i0;
    }
    if (const auto time = DetectTimeMilliseconds(dataByte(data, 11))) {
        numbers.detectTimeMilliseconds = time;
    }
    numbers.range = PhaseRangeOf(d0 & 0x01);
}

}  // namespace

NowValueRecord DecodeNowValue(std::span<const std::uint8_t> frame, const NowValueRecord& previous) {
    const Frame data = frame;
    NowValueRecord now = previous;
    const std::uint8_t d0 = dataByte(data, 0);
    const std::uint8_t d1 = dataByte(data, 1);

    const unsigned v0Raw = dataWord(data, 2);
    const unsigned v0Limit = (d0 & 0x08) ? kV0LimitRange2 : kV0Limit;
    now.V0Text = v0Raw < v0Limit ? tenthsText(v0Raw) + "V" : std::string(kOver);
    Measurement& measured = now.Numbers.measured;
    measured.v0Tenths = v0Raw;
    measured.v0Over = v0Raw >= v0Limit;

    const unsigned i0Raw = dataWord(data, 4);
    const unsigned i0Limit = (d0 & 0x04) ? kI0LimitRange2 : kI0Limit;
    now.I0Text = i0Raw < i0Limit ? thousandthsText(i0Raw) + "A" : std::string(kOver);
    measured.i0Tenths = i0Raw;
    measured.i0Over = i0Raw >= i0Limit;

    now.OvgrStateText = (d0 & 0x02) ? "検出中" : "－";

    // The raw counts decide, so a value shown as *OVER* still lets the phase through.
    const auto phaseRaw = static_cast<std::int16_t>(dataWord(data, 6));
    const int degrees = phaseRaw / 10;  // truncates toward zero
    if (v0Raw < kPhaseMinV0 || i0Raw < kPhaseMinI0) {
        now.PhaseText = "**";
        measured.phase = PhaseShown::NotShown;
    } else if (phaseRaw >= 0 && degrees == kPhaseUnmeasurable) {
        now.PhaseText = "計測不可";
        measured.phase = PhaseShown::Unmeasurable;
    } else {
        now.PhaseText = std::to_string(degrees) + "°";
        measured.phase = PhaseShown::Angle;
    }
    measured.phaseTenths = phaseRaw;

    now.FreqText = std::to_string(dataByte(data, 8)) + "Hz";
    now.Numbers.frequencyHz = dataByte(data, 8);
    now.Numbers.valid = true;
    now.ConfirmCount = d1 & 0x0F;
    now.DetectProgress = dataByte(data, 12);

    // One bit per mode; anything else leaves what was shown before.
    if (const auto mode = detectModeOf(d1)) {
        now.DetectModeText = DetectModeTable[static_cast<std::size_t>(*mode)];
        now.Numbers.detectMode = mode;
    }
    setNumbers(now.Numbers, d0, data);

    setFromTable(now.V0LevelText, V0LevelTable, dataByte(data, 9));
    setFromTable(now.I0LevelText, I0LevelTable, dataByte(data, 10));
    now.PhaseRangeText = PhaseRangeTable[(d0 & 0x01) ? 1 : 0];
    setFromTable(now.DetectTimeText, DetectTimeTable, dataByte(data, 11));

    now.CyclicDispText = dataByte(data, 13) == 0 ? "する" : "しない";
    now.LogOverwriteText = dataByte(data, 14) == 0 ? "する" : "しない";
    now.OvgrModeText = dataByte(data, 15) == 0 ? kOvgrAbsent : kOvgrPresent;

    setAlarmCause(now.AlarmOut1Text, dataByte(data, 22));
    setAlarmCause(now.AlarmOut2Text, dataByte(data, 23));
    return now;
}

}  // namespace tessarin
