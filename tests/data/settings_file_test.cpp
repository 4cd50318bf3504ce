#include "data/settings_file.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "data/choice_tables.h"
#include "data/settings_check.h"

namespace tessarin {
namespace {

SettingsFile fileWith(std::size_t list, std::string_view text, bool ovgr) {
    SettingsFile file;
    for (std::size_t i = 0; i < kSettingListCount; ++i) {
        file.Texts[i] = std::string(SettingTable(static_cast<SettingList>(i), ovgr)[0]);
    }
    file.Texts[list] = text;
    file.OvgrFunction = ovgr ? std::string(kOvgrPresent) : std::string(kOvgrAbsent);
    file.SavedAt = "2026-12-09T06:40:00";
    file.Port = "COM3";
    file.ProgramVersion = "1.2.3";
    return file;
}

TEST(SettingsFile, EveryEntryOfEveryListSurvivesTheRoundTrip) {
    for (const bool ovgr : {false, true}) {
        for (std::size_t list = 0; list < kSettingListCount; ++list) {
            const auto table = SettingTable(static_cast<SettingList>(list), ovgr);
            for (std::size_t entry = 0; entry < table.size(); ++entry) {
                const SettingsFile file = fileWith(list, table[entry], ovgr);
                const SettingsFileRead read = ParseSettingsFile(FormatSettingsFile(file));
                ASSERT_EQ(read.Error, SettingsFileError::None) << list << " " << entry;
                EXPECT_EQ(read.File.Texts, file.Texts);
                EXPECT_EQ(read.File.OvgrFunction, file.OvgrFunction);
                EXPECT_EQ(read.File.SavedAt, file.SavedAt);
                EXPECT_EQ(read.File.Port, file.Port);
                EXPECT_EQ(read.File.ProgramVersion, file.ProgramVersion);
                const LoadedSelection selection = SelectFileTexts(read.File, ovgr);
                EXPECT_TRUE(selection.Unknown.empty());
                EXPECT_EQ(selection.Matches[list].Position, static_cast<int>(entry));
            }
        }
    }
}

TEST(SettingsFile, TheFileIsReadableUtf8Json) {
    const std::string bytes = FormatSettingsFile(fileWith(0, "I0のみ", false));
    EXPECT_NE(bytes.find("\"kind\": \"tessarin-settings\""), std::string::npos);
    EXPECT_NE(bytes.find("\"formatVersion\": 1"), std::string::npos);
    EXPECT_NE(bytes.find("\"detectMode\": \"I0のみ\""), std::string::npos);
    EXPECT_EQ(bytes.back(), '\n');
}

TEST(SettingsFile, BadFilesSayWhyAndCarryNothing) {
    const std::string good = FormatSettingsFile(fileWith(0, "V0のみ", true));
    std::string noise(10U * 1024U * 1024U, '\0');
    std::mt19937 random(7);
    for (char& c : noise) {
        c = static_cast<char>(random());
    }
    auto replaced = [&good](std::string_view from, std::string_view to) {
        std::string out = good;
        out.replace(out.find(from), from.size(), to);
        return out;
    };
    struct Case {
        const char* name;
        std::string bytes;
        SettingsFileError error;
        std::string field;
    };
    const Case cases[] = {
        {"empty", "", SettingsFileError::NotJson, ""},
        {"not JSON", "detectMode=V0のみ", SettingsFileError::NotJson, ""},
        {"truncated", good.substr(0, good.size() / 2), SettingsFileError::NotJson, ""},
        {"an array", "[1, 2, 3]", SettingsFileError::NotOurs, ""},
        {"another kind", replaced("tessarin-settings", "tessarin-report"), SettingsFileError::NotOurs, ""},
        {"no version", replaced("\"formatVersion\": 1", "\"formatVersio\": 1"), SettingsFileError::MissingField,
         "formatVersion"},
        {"version as text", replaced("\"formatVersion\": 1", "\"formatVersion\": \"1\""),
         SettingsFileError::MissingField, "formatVersion"},
        {"newer version", replaced("\"formatVersion\": 1", "\"formatVersion\": 2"), SettingsFileError::NewerFormat, ""},
        {"no settings", replaced("\"settings\"", "\"setting\""), SettingsFileError::MissingField, "settings"},
        {"a missing list", replaced("\"i0Level\"", "\"i0level\""), SettingsFileError::MissingField, "i0Level"},
        {"a list as number", replaced("\"confirmCount\": \" 1回\"", "\"confirmCount\": 1"),
         SettingsFileError::MissingField, "confirmCount"},
        {"10 MB of noise", noise, SettingsFileError::TooLarge, ""},
        {"large but JSON", "[" + std::string(kSettingsFileMaxBytes, ' ') + "]", SettingsFileError::TooLarge, ""},
        {"a list twice", replaced("\"i0Level\"", "\"i0Level\": \"200mA\", \"i0Level\""),
         SettingsFileError::DuplicateKey, "i0Level"},
        {"kind twice", replaced("\"kind\"", "\"kind\": \"x\", \"kind\""), SettingsFileError::DuplicateKey, "kind"},
        {"a key twice deep in an ignored field",
         replaced("\"port\"", "\"extra\": [{\"a\": {\"b\": 1, \"b\": 2}}], \"port\""), SettingsFileError::DuplicateKey,
         "b"},
        {"a second document", good + "{}", SettingsFileError::TrailingData, ""},
        {"a word after it", good + "  x", SettingsFileError::TrailingData, ""},
        {"a NUL after it", good + std::string(1, '\0') + "{\"kind\": 1}", SettingsFileError::TrailingData, ""},
        {"a lone NUL after it", good + std::string(1, '\0'), SettingsFileError::TrailingData, ""},
        {"a NUL inside", good.substr(0, 20) + std::string(1, '\0') + good.substr(20), SettingsFileError::NotJson, ""},
        {"version zero", replaced("\"formatVersion\": 1", "\"formatVersion\": 0"), SettingsFileError::BadVersion,
         "formatVersion"},
        {"version negative", replaced("\"formatVersion\": 1", "\"formatVersion\": -1"), SettingsFileError::BadVersion,
         "formatVersion"},
        {"version a fraction", replaced("\"formatVersion\": 1", "\"formatVersion\": 1.5"),
         SettingsFileError::BadVersion, "formatVersion"},
        {"version 1.0", replaced("\"formatVersion\": 1", "\"formatVersion\": 1.0"), SettingsFileError::BadVersion,
         "formatVersion"},
        {"version past an int", replaced("\"formatVersion\": 1", "\"formatVersion\": 4294967297"),
         SettingsFileError::BadVersion, "formatVersion"},
        {"version 2^64-1, -1 when wrapped", replaced("\"formatVersion\": 1", "\"formatVersion\": 18446744073709551615"),
         SettingsFileError::BadVersion, "formatVersion"},
        // The parser itself refuses a number beyond a double.
        {"version past a double", replaced("\"formatVersion\": 1", "\"formatVersion\": 1e400"),
         SettingsFileError::NotJson, ""},
        {"version the largest int", replaced("\"formatVersion\": 1", "\"formatVersion\": 2147483647"),
         SettingsFileError::NewerFormat, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const SettingsFileRead read = ParseSettingsFile(c.bytes);
        EXPECT_EQ(read.Error, c.error);
        EXPECT_EQ(read.Field, c.field);
        EXPECT_EQ(read.File.Texts, SettingsFile{}.Texts);
    }
}

TEST(SettingsFile, WhiteSpaceAfterTheDocumentIsFine) {
    const std::string good = FormatSettingsFile(fileWith(0, "V0のみ", true));
    for (const std::string tail : {"", "\n\n", " \t\r\n"}) {
        EXPECT_EQ(ParseSettingsFile(good + tail).Error, SettingsFileError::None) << testing::PrintToString(tail);
    }
}

TEST(SettingsFile, TextsTheListsDoNotHoldFallBackAndAreNamed) {
    SettingsFile file = fileWith(static_cast<std::size_t>(SettingList::AlarmOut2), "ＯＶＧＲ", true);
    file.Texts[static_cast<std::size_t>(SettingList::I0Level)] = "700mA";
    const LoadedSelection withOvgr = SelectFileTexts(file, true);
    EXPECT_EQ(withOvgr.Unknown, std::vector<SettingList>{SettingList::I0Level});
    EXPECT_EQ(withOvgr.Matches[static_cast<std::size_t>(SettingList::AlarmOut2)].Position, 2);

    const LoadedSelection withoutOvgr = SelectFileTexts(file, false);
    EXPECT_EQ(withoutOvgr.Unknown, (std::vector<SettingList>{SettingList::I0Level, SettingList::AlarmOut2}));
    const ListMatch& alarm = withoutOvgr.Matches[static_cast<std::size_t>(SettingList::AlarmOut2)];
    EXPECT_TRUE(alarm.Red);
    EXPECT_EQ(alarm.Position, FallbackPosition(SettingList::AlarmOut2));
    EXPECT_TRUE(withoutOvgr.Matches[static_cast<std::size_t>(SettingList::I0Level)].Red);
}

NowValueRecord reportOf(const SettingPositions& p) {
    NowValueRecord now;
    now.DetectModeText = DetectModeTable[static_cast<std::size_t>(p.DetectMode)];
    now.V0LevelText = V0LevelTable[static_cast<std::size_t>(p.V0Level)];
    now.I0LevelText = I0LevelTable[static_cast<std::size_t>(p.I0Level)];
    now.PhaseRangeText = PhaseRangeTable[static_cast<std::size_t>(p.PhaseRange)];
    now.DetectTimeText = DetectTimeTable[static_cast<std::size_t>(p.DetectTime)];
    now.ConfirmCount = static_cast<std::uint8_t>(p.ConfirmCount + 1);
    now.CyclicDispText = CyclicDispTable[static_cast<std::size_t>(p.CyclicDisp)];
    now.LogOverwriteText = LogOverwriteTable[static_cast<std::size_t>(p.LogOverwrite)];
    now.AlarmOut1Text = p.AlarmOut1 == 2 ? "OVGR" : std::string(AlarmCauseTable[static_cast<std::size_t>(p.AlarmOut1)]);
    now.AlarmOut2Text = p.AlarmOut2 == 2 ? "OVGR" : std::string(AlarmCauseTable[static_cast<std::size_t>(p.AlarmOut2)]);
    return now;
}

TEST(CompareWithReport, FindsTheDifferingListsAndTheUnitsValue) {
    SettingPositions selected = InitialSettings();
    NowValueRecord now = reportOf(selected);
    EXPECT_TRUE(DifferingLists(CompareWithReport(selected, now, true)).empty());

    selected.I0Level = 3;
    selected.AlarmOut1 = 2;
    now.ConfirmCount = 0;  // nothing reported: always a difference
    const SettingComparison comparison = CompareWithReport(selected, now, true);
    EXPECT_EQ(DifferingLists(comparison),
              (std::vector<SettingList>{SettingList::I0Level, SettingList::ConfirmCount, SettingList::AlarmOut1}));
    EXPECT_EQ(comparison[static_cast<std::size_t>(SettingList::I0Level)].UnitText, "100mA");
    EXPECT_EQ(comparison[static_cast<std::size_t>(SettingList::AlarmOut1)].UnitText, "微地絡");
    EXPECT_EQ(comparison[static_cast<std::size_t>(SettingList::ConfirmCount)].UnitText, "");
}

TEST(WriteCheck, DecidesFromTheAnswersAfterTheRequestWent) {
    const SettingPositions written = InitialSettings();
    SettingPositions other = written;
    other.V0Level = 5;
    other.CyclicDisp = 0;
    enum Step { Went, Same, Old, Up };
    struct Case {
        const char* name;
        std::vector<Step> steps;
        WriteCheckState state;
        std::vector<SettingList> differing;
    };
    const Case cases[] = {
        {"taken on the second answer", {Went, Same, Same}, WriteCheckState::Applied, {}},
        {"one answer is not enough yet", {Went, Same}, WriteCheckState::Watching, {}},
        {"answers before the request went do not count", {Old, Old, Went, Same}, WriteCheckState::Watching, {}},
        {"taken late", {Went, Old, Old, Same, Up}, WriteCheckState::Applied, {}},
        {"taken and then lost",
         {Went, Same, Old, Up},
         WriteCheckState::Differs,
         {SettingList::V0Level, SettingList::CyclicDisp}},
        {"never taken",
         {Went, Old, Old, Old, Up},
         WriteCheckState::Differs,
         {SettingList::V0Level, SettingList::CyclicDisp}},
        {"silent", {Went, Up}, WriteCheckState::NoAnswer, {}},
        {"never sent", {Old, Up}, WriteCheckState::NoAnswer, {}},
        {"decided stays", {Went, Same, Same, Old, Up}, WriteCheckState::Applied, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteCheck check(written, true);
        for (const Step step : c.steps) {
            switch (step) {
                case Went:
                    check.RequestWent();
                    break;
                case Same:
                    check.AnswerArrived(reportOf(written));
                    break;
                case Old:
                    check.AnswerArrived(reportOf(other));
                    break;
                case Up:
                    check.TimeUp();
                    break;
            }
        }
        EXPECT_EQ(check.State(), c.state);
        EXPECT_EQ(check.DifferingFields(), c.differing);
    }
}

}  // namespace
}  // namespace tessarin
