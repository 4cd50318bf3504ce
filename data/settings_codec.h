// Between the unit's settings and the positions of the settings screen's lists: matching what the unit
// reported to list positions, and encoding the chosen positions with a clock time into the 17 data bytes
// of the settings-write request (03h). Positions count from 0 as in choice_tables.h; two settings do not
// travel as their position: the detection condition goes as the nibble 1h, 2h, 4h or 8h (and once more as
// 3 - position), the confirmation count as the count itself, position + 1.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string_view>

#include "data/device_data.h"

namespace tessarin {

// The ten setting lists, in the order the screen matches them.
enum class SettingList : std::size_t {
    DetectMode,    // "微地絡検出条件"
    V0Level,       // "Ｖｏしきい値"
    I0Level,       // "Ｉｏしきい値"
    PhaseRange,    // "動作位相範囲"
    DetectTime,    // "微地絡検出時間"
    ConfirmCount,  // "微地絡確定回数"
    CyclicDisp,    // "サイクリック表示"
    LogOverwrite,  // "ログ上書き"
    AlarmOut1,     // "a11-a1c警報出力"
    AlarmOut2,     // "a12-a2c警報出力"
};
inline constexpr std::size_t kSettingListCount = 10;

// The selected position of each setting list.
struct SettingPositions {
    int DetectMode = 0;
    int V0Level = 0;
    int I0Level = 0;
    int PhaseRange = 0;
    int DetectTime = 0;
    int ConfirmCount = 0;
    int CyclicDisp = 0;
    int LogOverwrite = 0;
    int AlarmOut1 = 0;
    int AlarmOut2 = 0;
};

// The time written to the unit's clock. The year may be given in full (2026) or as its last two digits.
struct ClockValue {
    int Year = 0;
    int Month = 1;
    int Day = 1;
    int Hour = 0;
    int Minute = 0;
    int Second = 0;
};

using SettingsRecord = std::array<std::uint8_t, kSendDataSize>;

// The data bytes 0..16 of the settings-write request (SendData elements 0..16). A position outside its
// list is taken as the nearest valid one, so every byte stays in its range; the clock numbers are sent as
// given (the year modulo 100), as plain binary.
SettingsRecord EncodeSettings(const SettingPositions& positions, const ClockValue& clock);

// One list's selection after matching: the position to select and whether the list is marked red
// (the report matched none of its entries, so the fallback position was chosen).
struct ListMatch {
    int Position = 0;
    bool Red = false;
};
using SettingMatches = std::array<ListMatch, kSettingListCount>;

// Matches the settings that NowValue reports with the list entries, by exact text (ConfirmCount by number).
// Index the result with SettingList. `alarmListsHaveOvgr` says whether the alarm lists hold the
// three-entry table; only then does the reported "OVGR" select position 2, otherwise it falls back in red.
SettingMatches MatchReportedSettings(const NowValueRecord& now, bool alarmListsHaveOvgr);

// The entries of a list: the alarm lists hold the three-entry table only when `alarmListsHaveOvgr`.
std::span<const std::string_view> SettingTable(SettingList list, bool alarmListsHaveOvgr);
// The position a list falls back to when what it should show is none of its entries.
int FallbackPosition(SettingList list);

// The positions a set of matches selects.
SettingPositions PositionsOf(const SettingMatches& matches);
// The positions as `positionOf` gives them, list by list (the settings screen reads its lists' selections).
SettingPositions PositionsFrom(const std::function<int(SettingList)>& positionOf);

// Number of days of the day list for a year entry (the two digits after "20") and a month entry:
// the Gregorian length of that month, leap years counted. When the two do not form a date (month outside
// 1..12, year entry outside 0..99) the month alone decides: 31, 30 or 28 for February, else 30.
int DaysInMonth(int yearTwoDigitsEntry, int month);

// The same for the list entries as texts; an entry that is not a plain decimal number does not form a date.
int DaysInMonth(std::string_view yearEntry, std::string_view monthEntry);

}  // namespace tessarin
