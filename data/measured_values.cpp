#include "data/measured_values.h"

#include <array>
#include <charconv>
#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

namespace tessarin {
namespace {

constexpr unsigned kV0StepTenths = 381;  // 1 % of the rated 3810 V
constexpr unsigned kV0LevelCount = 10;
constexpr std::array<unsigned, 17> kI0Milliamps{15, 20, 25,  30,  35,  40,  50,  60, 70,
                                                80, 90, 100, 200, 300, 400, 500, 600};
constexpr std::array<unsigned, 15> kDetectMilliseconds{40,  50,  60,  70,  80,  90,  100, 150,
                                                       200, 250, 300, 350, 400, 450, 500};

std::vector<std::string_view> splitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = line.find(',', start);
        fields.push_back(line.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
        if (comma == std::string_view::npos) {
            return fields;
        }
        start = comma + 1;
    }
}

std::optional<int> leadingInt(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end == text.data()) {
        return std::nullopt;
    }
    return value;
}

// "0.015A" → 15 mA; the log writes I0 as the shortest decimal of its thousandths.
std::optional<unsigned> milliampsOf(std::string_view text) {
    if (text.empty() || text.back() != 'A') {
        return std::nullopt;
    }
    text.remove_suffix(1);
    const std::size_t point = text.find('.');
    std::string_view whole = text.substr(0, point);
    std::string_view fraction = point == std::string_view::npos ? std::string_view{} : text.substr(point + 1);
    if (fraction.size() > 3) {
        return std::nullopt;
    }
    const auto amps = leadingInt(whole);
    unsigned thousandths = 0;
    unsigned scale = 100;
    for (const char c : fraction) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        thousandths += static_cast<unsigned>(c - '0') * scale;
        scale /= 10;
    }
    if (!amps || *amps < 0) {
        return std::nullopt;
    }
    return static_cast<unsigned>(*amps) * 1000 + thousandths;
}

}  // namespace

std::optional<unsigned> V0ThresholdTenths(unsigned code) {
    return code < kV0LevelCount ? std::optional<unsigned>(kV0StepTenths * (code + 1)) : std::nullopt;
}

std::optional<unsigned> I0ThresholdMilliamps(unsigned code) {
    return code < kI0Milliamps.size() ? std::optional<unsigned>(kI0Milliamps[code]) : std::nullopt;
}

std::optional<unsigned> DetectTimeMilliseconds(unsigned code) {
    return code < kDetectMilliseconds.size() ? std::optional<unsigned>(kDetectMilliseconds[code]) : std::nullopt;
}

PhaseRange PhaseRangeOf(unsigned code) { return code == 0 ? PhaseRange{-60, 120} : PhaseRange{-45, 135}; }

std::optional<LogLinePoint> MinorFaultLinePoint(std::string_view line) {
    // ログ№,状態,発生日時,Ｖ０,Ｉ０,位相,…
    const std::vector<std::string_view> fields = splitFields(line);
    constexpr std::size_t kPhaseField = 5;
    if (fields.size() <= kPhaseField) {
        return std::nullopt;
    }
    const auto number = leadingInt(fields[0]);
    if (!number || *number <= 0) {
        return std::nullopt;
    }
    LogLinePoint point;
    point.number = *number;
    point.state = fields[1] == "確定"   ? RecordState::Confirmed
                  : fields[1] == "検出" ? RecordState::Detected
                                        : RecordState::None;
    point.i0Milliamps = milliampsOf(fields[4]);
    const std::string_view phase = fields[kPhaseField];
    if (phase.ends_with("°")) {
        point.phaseDegrees = leadingInt(phase);
    }
    return point;
}

}  // namespace tessarin
