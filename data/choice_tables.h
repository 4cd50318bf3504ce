// The setting choice tables: a setting's code is the position of its text (see the two exceptions in
// settings_codec.h). Constant, so they are ready before the first frame is decoded and never change.
#pragma once

#include <array>
#include <string_view>

namespace tessarin {

inline constexpr std::array<std::string_view, 4> DetectModeTable{"V0 & I0 & 位相", "V0 & I0", "I0のみ", "V0のみ"};

inline constexpr std::array<std::string_view, 10> V0LevelTable{
    "1% (38.1V)",  "2% (76.2V)",  "3% (114.3V)", "4% (152.4V)", "5% (190.5V)",
    "6% (228.6V)", "7% (266.7V)", "8% (304.8V)", "9% (342.9V)", "10% (381.0V)"};

inline constexpr std::array<std::string_view, 17> I0LevelTable{"15mA",  "20mA",  "25mA",  "30mA",  "35mA", "40mA",
                                                               "50mA",  "60mA",  "70mA",  "80mA",  "90mA", "100mA",
                                                               "200mA", "300mA", "400mA", "500mA", "600mA"};

inline constexpr std::array<std::string_view, 2> PhaseRangeTable{"-60°～120°", "-45°～135°"};

inline constexpr std::array<std::string_view, 15> DetectTimeTable{"0.04秒", "0.05秒", "0.06秒", "0.07秒", "0.08秒",
                                                                  "0.09秒", "0.10秒", "0.15秒", "0.20秒", "0.25秒",
                                                                  "0.30秒", "0.35秒", "0.40秒", "0.45秒", "0.50秒"};

// Count n (1..10) sits at position n - 1; one-digit counts are padded with one blank.
inline constexpr std::array<std::string_view, 10> ConfirmCountTable{" 1回", " 2回", " 3回", " 4回", " 5回",
                                                                    " 6回", " 7回", " 8回", " 9回", "10回"};

inline constexpr std::array<std::string_view, 2> CyclicDispTable{"する", "しない"};
inline constexpr std::array<std::string_view, 2> LogOverwriteTable{"する", "しない"};

// The unit reports alarm cause 2 as half-width "OVGR"; these lists carry the full-width "ＯＶＧＲ".
inline constexpr std::array<std::string_view, 2> AlarmCauseTable{"微地絡", "ＧＲ自己診断異常"};
inline constexpr std::array<std::string_view, 3> AlarmCauseOvgrTable{"微地絡", "ＧＲ自己診断異常", "ＯＶＧＲ"};

// The one program-wide test for whether the unit has the OVGR function.
inline constexpr std::string_view kOvgrPresent = "機能あり";
inline constexpr std::string_view kOvgrAbsent = "機能なし";

}  // namespace tessarin
