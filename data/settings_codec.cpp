#include "data/settings_codec.h"

#include <algorithm>
#include <charconv>
#include <string_view>

#include "data/choice_tables.h"

namespace tessarin {
namespace {

constexpr std::array<std::uint8_t, DetectModeTable.size()> kDetectModeNibble{0x10, 0x20, 0x40, 0x80};
constexpr std::string_view kAlarmOvgrReported = "OVGR";  // the unit's half-width spelling

std::uint8_t positionIn(int position, std::size_t entries) {
    return static_cast<std::uint8_t>(std::clamp(position, 0, static_cast<int>(entries) - 1));
}

std::uint8_t clockByte(int value) { return static_cast<std::uint8_t>(value); }

template <typename Table>
ListMatch matchText(const std::string& reported, const Table& table, int fallback) {
    for (std::size_t k = 0; k < table.size(); ++k) {
        if (reported == table[k]) {
            return {static_cast<int>(k), false};
        }
    }
    return {fallback, true};
}

ListMatch matchAlarmCause(const std::string& reported, bool listsHaveOvgr, int fallback) {
    // The lists hold "ＯＶＧＲ" but the unit reports "OVGR"; that entry only exists in the three-entry list.
    if (reported == kAlarmOvgrReported) {
        return listsHaveOvgr ? ListMatch{2, false} : ListMatch{fallback, true};
    }
    return matchText(reported, AlarmCauseTable, fallback);
}

bool isLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int parseEntry(std::string_view text) {
    int value = -1;
    if (text.empty() || text.size() > 4) {
        return -1;
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size()) {
        return -1;
    }
    return value;
}

}  // namespace

SettingsRecord EncodeSettings(const SettingPositions& positions, const ClockValue& clock) {
    const std::uint8_t condition = positionIn(positions.DetectMode, DetectModeTable.size());
    const auto count = static_cast<std::uint8_t>(positionIn(positions.ConfirmCount, ConfirmCountTable.size()) + 1);

    SettingsRecord bytes{};
    bytes[0] = kDetectModeNibble[condition] | count;
    bytes[1] = static_cast<std::uint8_t>(3 - condition);
    bytes[2] = count;
    bytes[3] = positionIn(positions.DetectTime, DetectTimeTable.size());
    bytes[4] = positionIn(positions.V0Level, V0LevelTable.size());
    bytes[5] = positionIn(positions.I0Level, I0LevelTable.size());
    bytes[6] = positionIn(positions.PhaseRange, PhaseRangeTable.size());
    bytes[7] = positionIn(positions.CyclicDisp, CyclicDispTable.size());
    bytes[8] = positionIn(positions.LogOverwrite, LogOverwriteTable.size());
    bytes[9] = clockByte(((clock.Year % 100) + 100) % 100);
    bytes[10] = clockByte(clock.Month);
    bytes[11] = clockByte(clock.Day);
    bytes[12] = clockByte(clock.Hour);
    bytes[13] = clockByte(clock.Minute);
    bytes[14] = clockByte(clock.Second);
    bytes[15] = positionIn(positions.AlarmOut1, AlarmCauseOvgrTable.size());
    bytes[16] = positionIn(positions.AlarmOut2, AlarmCauseOvgrTable.size());
    return bytes;
}

SettingMatches MatchReportedSettings(const NowValueRecord& now, bool alarmListsHaveOvgr) {
    SettingMatches matches{};
    auto at = [&matches](SettingList list) -> ListMatch& { return matches[static_cast<std::size_t>(list)]; };

    auto fallback = [](SettingList list) { return FallbackPosition(list); };

    at(SettingList::DetectMode) = matchText(now.DetectModeText, DetectModeTable, fallback(SettingList::DetectMode));
    at(SettingList::V0Level) = matchText(now.V0LevelText, V0LevelTable, fallback(SettingList::V0Level));
    at(SettingList::I0Level) = matchText(now.I0LevelText, I0LevelTable, fallback(SettingList::I0Level));
    at(SettingList::PhaseRange) = matchText(now.PhaseRangeText, PhaseRangeTable, fallback(SettingList::PhaseRange));
    at(SettingList::DetectTime) = matchText(now.DetectTimeText, DetectTimeTable, fallback(SettingList::DetectTime));
    if (now.ConfirmCount >= 1 && now.ConfirmCount <= ConfirmCountTable.size()) {
        at(SettingList::ConfirmCount) = {now.ConfirmCount - 1, false};
    } else {
        at(SettingList::ConfirmCount) = {fallback(SettingList::ConfirmCount), true};
    }
    at(SettingList::CyclicDisp) = matchText(now.CyclicDispText, CyclicDispTable, fallback(SettingList::CyclicDisp));
    at(SettingList::LogOverwrite) =
        matchText(now.LogOverwriteText, LogOverwriteTable, fallback(SettingList::LogOverwrite));
    at(SettingList::AlarmOut1) =
        matchAlarmCause(now.AlarmOut1Text, alarmListsHaveOvgr, fallback(SettingList::AlarmOut1));
    at(SettingList::AlarmOut2) =
        matchAlarmCause(now.AlarmOut2Text, alarmListsHaveOvgr, fallback(SettingList::AlarmOut2));
    return matches;
}

std::span<const std::string_view> SettingTable(SettingList list, bool alarmListsHaveOvgr) {
    switch (list) {
        case SettingList::DetectMode:
            return DetectModeTable;
        case SettingList::V0Level:
            return V0LevelTable;
        case SettingList::I0Level:
            return I0LevelTable;
        case SettingList::PhaseRange:
            return PhaseRangeTable;
        case SettingList::DetectTime:
            return DetectTimeTable;
        case SettingList::ConfirmCount:
            return ConfirmCountTable;
        case SettingList::CyclicDisp:
            return CyclicDispTable;
        case SettingList::LogOverwrite:
            return LogOverwriteTable;
        case SettingList::AlarmOut1:
        case SettingList::AlarmOut2:
            break;
    }
    if (alarmListsHaveOvgr) {
        return AlarmCauseOvgrTable;
    }
    return AlarmCauseTable;
}

int FallbackPosition(SettingList list) {
    static constexpr std::array<int, kSettingListCount> kFallbacks{1, 1, 11, 0, 0, 0, 1, 0, 0, 1};
    return kFallbacks[static_cast<std::size_t>(list)];
}

SettingPositions PositionsOf(const SettingMatches& matches) {
    return PositionsFrom([&matches](SettingList list) { return matches[static_cast<std::size_t>(list)].Position; });
}

SettingPositions PositionsFrom(const std::function<int(SettingList)>& positionOf) {
    SettingPositions positions;
    positions.DetectMode = positionOf(SettingList::DetectMode);
    positions.V0Level = positionOf(SettingList::V0Level);
    positions.I0Level = positionOf(SettingList::I0Level);
    positions.PhaseRange = positionOf(SettingList::PhaseRange);
    positions.DetectTime = positionOf(SettingList::DetectTime);
    positions.ConfirmCount = positionOf(SettingList::ConfirmCount);
    positions.CyclicDisp = positionOf(SettingList::CyclicDisp);
    positions.LogOverwrite = positionOf(SettingList::LogOverwrite);
    positions.AlarmOut1 = positionOf(SettingList::AlarmOut1);
    positions.AlarmOut2 = positionOf(SettingList::AlarmOut2);
    return positions;
}

int DaysInMonth(int yearTwoDigitsEntry, int month) {
    switch (month) {
        case 1:
        case 3:
        case 5:
        case 7:
        case 8:
        case 10:
        case 12:
            return 31;
        case 4:
        case 6:
        case 9:
        case 11:
            return 30;
        case 2: {
            const bool formsDate = yearTwoDigitsEntry >= 0 && yearTwoDigitsEntry <= 99;
            return formsDate && isLeapYear(2000 + yearTwoDigitsEntry) ? 29 : 28;
        }
        default:
            return 30;
    }
}

int DaysInMonth(std::string_view yearEntry, std::string_view monthEntry) {
    return DaysInMonth(parseEntry(yearEntry), parseEntry(monthEntry));
}

}  // namespace tessarin
