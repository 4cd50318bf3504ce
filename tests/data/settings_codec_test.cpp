#include "data/settings_codec.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "data/now_value_decoder.h"

namespace tessarin {
namespace {

// The settings-write frame around 17 data bytes: FF 03 16, data, CC, XOR of bytes 1..20.
std::vector<std::uint8_t> settingsFrame(const SettingsRecord& record) {
    std::vector<std::uint8_t> frame{0xFF, 0x03, 0x16};
    frame.insert(frame.end(), record.begin(), record.end());
    frame.push_back(0xCC);
    std::uint8_t x = 0;
    for (std::size_t i = 1; i < frame.size(); ++i) {
        x ^= frame[i];
    }
    frame.push_back(x);
    return frame;
}

TEST(EncodeSettings, WorkedExample) {
    SettingPositions positions;
    positions.DetectMode = 1;    // "V0 & I0"
    positions.ConfirmCount = 2;  // " 3回"
    positions.DetectTime = 0;    // "0.04秒"
    positions.V0Level = 1;       // "2% (76.2V)"
    positions.I0Level = 11;      // "100mA"
    positions.PhaseRange = 0;    // "-60°～120°"
    positions.CyclicDisp = 1;    // "しない"
    positions.LogOverwrite = 0;  // "する"
    positions.AlarmOut1 = 0;     // "微地絡"
    positions.AlarmOut2 = 1;     // "ＧＲ自己診断異常"
    const ClockValue clock{2026, 12, 8, 5, 42, 10};

    const std::vector<std::uint8_t> expected{0xFF, 0x03, 0x16, 0x23, 0x02, 0x03, 0x00, 0x01, 0x0B, 0x00, 0x01,
                                             0x00, 0x1A, 0x0C, 0x08, 0x05, 0x2A, 0x0A, 0x00, 0x01, 0xCC, 0xCA};
    EXPECT_EQ(settingsFrame(EncodeSettings(positions, clock)), expected);
}

TEST(EncodeSettings, ConditionAndCountShareTheFirstByte) {
    struct Case {
        int condition;
        int countPosition;
        std::uint8_t byte0;
        std::uint8_t byte1;
        std::uint8_t byte2;
    };
    for (const Case& c :
         {Case{0, 0, 0x11, 3, 1}, Case{1, 4, 0x25, 2, 5}, Case{2, 8, 0x49, 1, 9}, Case{3, 9, 0x8A, 0, 10},
          // Positions the lists cannot hold are taken as the nearest valid one.
          Case{7, 12, 0x8A, 0, 10}, Case{-1, -1, 0x11, 3, 1}}) {
        SCOPED_TRACE(c.condition);
        SettingPositions positions;
        positions.DetectMode = c.condition;
        positions.ConfirmCount = c.countPosition;
        const SettingsRecord bytes = EncodeSettings(positions, ClockValue{});
        EXPECT_EQ(bytes[0], c.byte0);
        EXPECT_EQ(bytes[1], c.byte1);
        EXPECT_EQ(bytes[2], c.byte2);
    }
}

TEST(EncodeSettings, EveryPositionOfThePlainListsGoesToItsByte) {
    struct List {
        int SettingPositions::*member;
        int entries;
        std::size_t byte;
    };
    const std::vector<List> lists{{&SettingPositions::DetectTime, 15, 3}, {&SettingPositions::V0Level, 10, 4},
                                  {&SettingPositions::I0Level, 17, 5},    {&SettingPositions::PhaseRange, 2, 6},
                                  {&SettingPositions::CyclicDisp, 2, 7},  {&SettingPositions::LogOverwrite, 2, 8},
                                  {&SettingPositions::AlarmOut1, 3, 15},  {&SettingPositions::AlarmOut2, 3, 16}};
    for (const List& list : lists) {
        for (int position = 0; position < list.entries; ++position) {
            SCOPED_TRACE(testing::Message() << "byte " << list.byte << " position " << position);
            SettingPositions positions;
            positions.*list.member = position;
            const SettingsRecord bytes = EncodeSettings(positions, ClockValue{});
            for (std::size_t i = 3; i < bytes.size(); ++i) {
                if (i < 9 || i > 14) {
                    EXPECT_EQ(bytes[i], i == list.byte ? position : 0) << "byte " << i;
                }
            }
        }
        SettingPositions beyond;
        beyond.*list.member = list.entries;
        EXPECT_EQ(EncodeSettings(beyond, ClockValue{})[list.byte], list.entries - 1);
    }
}

TEST(EncodeSettings, ClockIsPlainBinary) {
    struct Case {
        ClockValue clock;
        std::vector<std::uint8_t> bytes;
    };
    // A time typed in by hand carries second 0.
    for (const Case& c : {Case{{2026, 12, 8, 5, 42, 0}, {0x1A, 0x0C, 0x08, 0x05, 0x2A, 0x00}},
                          Case{{24, 2, 29, 23, 59, 59}, {0x18, 0x02, 0x1D, 0x17, 0x3B, 0x3B}},
                          Case{{2100, 1, 1, 0, 0, 0}, {0x00, 0x01, 0x01, 0x00, 0x00, 0x00}}}) {
        const SettingsRecord bytes = EncodeSettings(SettingPositions{}, c.clock);
        EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + 9, bytes.begin() + 15), c.bytes);
    }
}

// What the unit reports, decoded as the current-value screen sees it, selects the positions that write
// the same codes back.
TEST(MatchReportedSettings, DecodedReportsSelectTheirOwnCodes) {
    struct Report {
        std::uint8_t d0, d1, v0Level, i0Level, detectTime, cyclic, overwrite, alarm1, alarm2;
    };
    std::vector<Report> reports;
    const std::uint8_t conditions[] = {0x10, 0x20, 0x40, 0x80};
    for (int k = 0; k < 17; ++k) {
        const auto code = static_cast<std::uint8_t>(k);
        reports.push_back({static_cast<std::uint8_t>(k % 2),
                           static_cast<std::uint8_t>(conditions[k % 4] | (k % 10 + 1)),
                           static_cast<std::uint8_t>(k % 10), code, static_cast<std::uint8_t>(k % 15),
                           static_cast<std::uint8_t>(k % 2), static_cast<std::uint8_t>((k + 1) % 2),
                           static_cast<std::uint8_t>(k % 3), static_cast<std::uint8_t>((k + 1) % 3)});
    }
    for (const Report& r : reports) {
        SCOPED_TRACE(testing::Message() << "I0 code " << int(r.i0Level));
        DeviceData data;
        data.RcvFrame[3] = r.d0;
        data.RcvFrame[4] = r.d1;
        data.RcvFrame[3 + 9] = r.v0Level;
        data.RcvFrame[3 + 10] = r.i0Level;
        data.RcvFrame[3 + 11] = r.detectTime;
        data.RcvFrame[3 + 13] = r.cyclic;
        data.RcvFrame[3 + 14] = r.overwrite;
        data.RcvFrame[3 + 15] = 1;
        data.RcvFrame[3 + 22] = r.alarm1;
        data.RcvFrame[3 + 23] = r.alarm2;
        data.NowValue = DecodeNowValue(data.RcvFrame, data.NowValue);

        const SettingMatches matches = MatchReportedSettings(data.NowValue, true);
        for (const ListMatch& m : matches) {
            EXPECT_FALSE(m.Red);
        }
        const SettingsRecord bytes = EncodeSettings(PositionsOf(matches), ClockValue{});
        EXPECT_EQ(bytes[0], r.d1);
        EXPECT_EQ(bytes[2], r.d1 & 0x0F);
        EXPECT_EQ(bytes[3], r.detectTime);
        EXPECT_EQ(bytes[4], r.v0Level);
        EXPECT_EQ(bytes[5], r.i0Level);
        EXPECT_EQ(bytes[6], r.d0 & 0x01);
        EXPECT_EQ(bytes[7], r.cyclic);
        EXPECT_EQ(bytes[8], r.overwrite);
        EXPECT_EQ(bytes[15], r.alarm1);
        EXPECT_EQ(bytes[16], r.alarm2);
    }
}

TEST(MatchReportedSettings, EmptyReportFallsBackEverywhereInRed) {
    const SettingMatches matches = MatchReportedSettings(NowValueRecord{}, true);
    const int fallbacks[kSettingListCount] = {1, 1, 11, 0, 0, 0, 1, 0, 0, 1};
    for (std::size_t i = 0; i < kSettingListCount; ++i) {
        EXPECT_EQ(matches[i].Position, fallbacks[i]) << "list " << i;
        EXPECT_TRUE(matches[i].Red) << "list " << i;
    }
}

TEST(MatchReportedSettings, NearMissesFallBackInRed) {
    struct Case {
        const char* name;
        void (*set)(NowValueRecord&);
        bool ovgrLists;
        SettingList list;
        int position;
        bool red;
    };
    const std::vector<Case> cases{
        {"HalfWidthOvgr", [](NowValueRecord& n) { n.AlarmOut1Text = "OVGR"; }, true, SettingList::AlarmOut1, 2, false},
        {"HalfWidthOvgrTwoEntryList", [](NowValueRecord& n) { n.AlarmOut1Text = "OVGR"; }, false,
         SettingList::AlarmOut1, 0, true},
        {"FullWidthOvgr", [](NowValueRecord& n) { n.AlarmOut1Text = "ＯＶＧＲ"; }, true, SettingList::AlarmOut1, 0,
         true},
        {"Alarm2OvgrTwoEntryList", [](NowValueRecord& n) { n.AlarmOut2Text = "OVGR"; }, false, SettingList::AlarmOut2,
         1, true},
        {"Alarm2Fault", [](NowValueRecord& n) { n.AlarmOut2Text = "微地絡"; }, false, SettingList::AlarmOut2, 0, false},
        {"CountZero", [](NowValueRecord& n) { n.ConfirmCount = 0; }, true, SettingList::ConfirmCount, 0, true},
        {"CountTen", [](NowValueRecord& n) { n.ConfirmCount = 10; }, true, SettingList::ConfirmCount, 9, false},
        {"CountEleven", [](NowValueRecord& n) { n.ConfirmCount = 11; }, true, SettingList::ConfirmCount, 0, true},
        {"CountFifteen", [](NowValueRecord& n) { n.ConfirmCount = 15; }, true, SettingList::ConfirmCount, 0, true},
        {"ConditionCaseMatters", [](NowValueRecord& n) { n.DetectModeText = "v0のみ"; }, true, SettingList::DetectMode,
         1, true},
        {"V0LevelWithoutPoint", [](NowValueRecord& n) { n.V0LevelText = "10% (381V)"; }, true, SettingList::V0Level, 1,
         true},
        {"PhaseRangeWaveDash", [](NowValueRecord& n) { n.PhaseRangeText = "-45°〜135°"; }, true,
         SettingList::PhaseRange, 0, true},
        {"DetectTimeOneDecimal", [](NowValueRecord& n) { n.DetectTimeText = "0.5秒"; }, true, SettingList::DetectTime,
         0, true},
        {"CyclicOff", [](NowValueRecord& n) { n.CyclicDispText = "しない"; }, true, SettingList::CyclicDisp, 1, false},
        {"OverwriteOff", [](NowValueRecord& n) { n.LogOverwriteText = "しない"; }, true, SettingList::LogOverwrite, 1,
         false},
        {"I0LevelLast", [](NowValueRecord& n) { n.I0LevelText = "600mA"; }, true, SettingList::I0Level, 16, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        NowValueRecord now;
        c.set(now);
        const ListMatch m = MatchReportedSettings(now, c.ovgrLists)[static_cast<std::size_t>(c.list)];
        EXPECT_EQ(m.Position, c.position);
        EXPECT_EQ(m.Red, c.red);
    }
}

TEST(DaysInMonth, GregorianWithFallback) {
    struct Case {
        int year;
        int month;
        int days;
    };
    for (const Case& c : {Case{24, 2, 29}, Case{25, 2, 28}, Case{0, 2, 29}, Case{28, 2, 29}, Case{50, 2, 28},
                          Case{25, 1, 31}, Case{25, 4, 30}, Case{25, 12, 31}, Case{25, 11, 30},
                          // Not a date: the month alone decides.
                          Case{-1, 2, 28}, Case{124, 2, 28}, Case{124, 8, 31}, Case{25, 0, 30}, Case{25, 13, 30}}) {
        EXPECT_EQ(DaysInMonth(c.year, c.month), c.days) << c.year << "-" << c.month;
    }
    struct TextCase {
        const char* year;
        const char* month;
        int days;
    };
    for (const TextCase& c :
         {TextCase{"24", "2", 29}, TextCase{"25", "2", 28}, TextCase{"", "2", 28}, TextCase{"2x", "2", 28},
          TextCase{"24", "", 30}, TextCase{"24", "7", 31}, TextCase{"24", "x", 30}}) {
        EXPECT_EQ(DaysInMonth(std::string(c.year), std::string(c.month)), c.days) << c.year << "-" << c.month;
    }
}

}  // namespace
}  // namespace tessarin
