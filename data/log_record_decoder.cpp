#include "data/log_record_decoder.h"

#include <cstdint>
#include <string>

namespace tessarin {
namespace {

constexpr std::size_t kDataStart = 3;  // data byte k is frame byte 3 + k

constexpr unsigned kV0Limit = 1295;
constexpr unsigned kV0LimitRange2 = 4572;
constexpr unsigned kI0Limit = 1050;
constexpr unsigned kI0LimitRange2 = 7200;
constexpr unsigned kPhaseMinV0 = 300;            // 30.0 V
constexpr unsigned kPhaseMinI0Thousandths = 13;  // 0.013 A after rounding
constexpr int kPhaseUnmeasurable = 200;

constexpr std::uint8_t kEmptySlot = 0xFF;
constexpr std::uint8_t kStateDetected = 10;
constexpr std::uint8_t kStateConfirmed = 5;

constexpr std::string_view kMinorFaultHeader =
    "ログ№,状態,発生日時,Ｖ０計測値,Ｉ０計測値,位相計測値,周波数,電源電圧,Ｖ０判定,"
    "ＩＯ判定,位相判定, ,Ｉ０レンジ,OVGR,位相設定";
constexpr std::string_view kDeviceStateHeader = "ログ№,発生日時,装置状態";
constexpr std::string_view kOvgrHeader =
    "ログ№,発生日時,Ｖ０計測値,Ｉ０計測値,位相計測値,周波数,電源電圧,Ｖ０判定,"
    "ＩＯ判定,位相判定, ,Ｉ０レンジ,OVGR,位相設定";

using Frame = std::span<const std::uint8_t>;

// Data byte k; 0 past the end of what was handed in.
std::uint8_t dataByte(Frame data, std::size_t k) { return kDataStart + k < data.size() ? data[kDataStart + k] : 0; }

unsigned dataWord(Frame data, std::size_t k) {
    return (static_cast<unsigned>(dataByte(data, k)) << 8) | dataByte(data, k + 1);
}

std::string twoDigits(unsigned value) {
    std::string text = std::to_string(value);
    if (text.size() < 2) {
        text.insert(0, 1, '0');
    }
    return text;
}

// Shortest plain decimal of whole / 10^decimals: no trailing zeros, no lone point.
std::string shortestDecimal(unsigned scaled, unsigned decimals) {
    unsigned divisor = 1;
    for (unsigned i = 0; i < decimals; ++i) {
        divisor *= 10;
    }
    std::string text = std::to_string(scaled / divisor);
    std::string fraction = std::to_string(scaled % divisor);
    fraction.insert(0, decimals - fraction.size(), '0');
    while (!fraction.empty() && fraction.back() == '0') {
        fraction.pop_back();
    }
    if (!fraction.empty()) {
        text += "." + fraction;
    }
    return text;
}

const char* presence(bool set) { return set ? "有" : "無"; }

void appendMeasurements(std::string& line, LogRecordNumbers& numbers, Frame data) {
    const std::uint8_t flags = dataByte(data, 13);

    // Date and time; an all-zero month..minute is the unit's "never set" clock.
    const std::uint8_t year = dataByte(data, 8);
    const std::uint8_t month = dataByte(data, 9);
    const std::uint8_t day = dataByte(data, 10);
    const std::uint8_t hour = dataByte(data, 11);
    const std::uint8_t minute = dataByte(data, 12);
    numbers.dateSet = !(month == 0 && day == 0 && hour == 0 && minute == 0);
    if (numbers.dateSet) {
        numbers.year = 2000 + year;
        numbers.month = month;
        numbers.day = day;
        numbers.hour = hour;
        numbers.minute = minute;
    }
    if (!numbers.dateSet) {
        line += "20--/--/-- --:--,";
    } else {
        line += std::to_string(2000 + year) + "年" + twoDigits(month) + "月" + twoDigits(day) + "日" + twoDigits(hour) +
                "時" + twoDigits(minute) + "分,";
    }

    const unsigned v0Raw = dataWord(data, 1);
    const unsigned v0Limit = (flags & 0x08) ? kV0LimitRange2 : kV0Limit;
    Measurement& measured = numbers.measured;
    measured.v0Tenths = v0Raw;
    measured.v0Over = v0Raw >= v0Limit;
    if (v0Raw < v0Limit) {
        line += shortestDecimal(v0Raw, 1) + "V,";
    } else {
        line += "*OVER*,";
    }

    // The phase test of the log looks at I0 as rounded to thousandths, not at the raw count;
    // an over-range I0 always passes it.
    const unsigned i0Raw = dataWord(data, 3);
    const unsigned i0Limit = (flags & 0x04) ? kI0LimitRange2 : kI0Limit;
    bool i0PassesPhaseTest = true;
    measured.i0Tenths = i0Raw;
    measured.i0Over = i0Raw >= i0Limit;
    if (i0Raw < i0Limit) {
        const unsigned thousandths = (i0Raw + 5) / 10;
        line += shortestDecimal(thousandths, 3) + "A,";
        i0PassesPhaseTest = thousandths >= kPhaseMinI0Thousandths;
    } else {
        line += "*OVER*,";
    }

    const auto phaseRaw = static_cast<std::int16_t>(dataWord(data, 5));
    const int degrees = phaseRaw / 10;  // truncates toward zero
    if (v0Raw < kPhaseMinV0 || !i0PassesPhaseTest) {
        line += "**,";
        measured.phase = PhaseShown::NotShown;
    } else if (phaseRaw >= 0 && degrees == kPhaseUnmeasurable) {
        line += "計測不可,";
        measured.phase = PhaseShown::Unmeasurable;
    } else {
        line += std::to_string(degrees) + "°,";
        measured.phase = PhaseShown::Angle;
    }
    measured.phaseTenths = phaseRaw;
    numbers.v0Judged = (flags & 0x80) != 0;
    numbers.i0Judged = (flags & 0x40) != 0;
    numbers.phaseJudged = (flags & 0x20) != 0;

    line += std::to_string(dataByte(data, 7)) + "Hz,";

    line += presence(flags & 0x80);
    line += ",";
    line += presence(flags & 0x40);
    line += ",";
    line += presence(flags & 0x20);
    line += ",";
    line += (flags & 0x10) ? "動作," : "不動作域,";
    line += (flags & 0x08) ? "2," : "1,";
    line += (flags & 0x04) ? "2," : "1,";
    line += presence(flags & 0x02);
    line += ",";
    line += (flags & 0x01) ? "-45°～135°," : "-60°～120°,";

    const std::uint8_t events = dataByte(data, 15);
    line += std::to_string(events & 0x80) + "," + std::to_string(events & 0x40) + "," + std::to_string(events & 0x20) +
            "," + std::to_string(events & 0x10) + "," + std::to_string(events & 0x08);
}

}  // namespace

std::string_view LogHeaderLine(LogKind kind) {
    switch (kind) {
        case LogKind::MinorFault:
            return kMinorFaultHeader;
        case LogKind::DeviceState:
            return kDeviceStateHeader;
        case LogKind::Ovgr:
            return kOvgrHeader;
    }
    return {};
}

std::optional<LogRecordLine> DecodeLogRecord(std::span<const std::uint8_t> frame, LogKind kind) {
    const Frame data = frame;
    const std::uint8_t number = dataByte(data, 0);
    // The unit numbers its records from 1; a number with no line of its own (0 would overwrite the header)
    // is a garbled answer.
    if (number == 0 || number >= kLogLineCount) {
        return std::nullopt;
    }

    std::string line = std::to_string(number) + ",";
    LogRecordNumbers numbers;
    if (kind == LogKind::MinorFault) {
        const std::uint8_t state = dataByte(data, 14);
        line += state == kStateDetected ? "検出," : state == kStateConfirmed ? "確定," : "―,";
        numbers.state = state == kStateDetected    ? RecordState::Detected
                        : state == kStateConfirmed ? RecordState::Confirmed
                                                   : RecordState::None;
    }
    if (dataByte(data, 8) == kEmptySlot) {
        line += "データ無し";
        return LogRecordLine{number, std::move(line), std::nullopt};
    }
    appendMeasurements(line, numbers, data);
    return LogRecordLine{number, std::move(line), numbers};
}

}  // namespace tessarin
