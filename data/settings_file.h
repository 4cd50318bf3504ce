// The settings file: the ten settings as the texts of their lists, so that a person can read them, with
// who saw what when it was saved. JSON in UTF-8; docs/settings-file.md describes the format. Reading checks
// everything that comes from outside and either returns a whole file or says why it returns none.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "data/settings_codec.h"

namespace tessarin {

inline constexpr std::string_view kSettingsFileKind = "tessarin-settings";
inline constexpr int kSettingsFileFormat = 1;
// A real file is well under 2 KB; anything far larger is not one of ours and is not parsed at all.
inline constexpr std::size_t kSettingsFileMaxBytes = std::size_t{64} * 1024;

struct SettingsFile {
    // The selected text of each list, indexed with SettingList.
    std::array<std::string, kSettingListCount> Texts;
    std::string OvgrFunction;    // the unit's OVGR function as the author saw it ("機能あり", "機能なし" or "")
    std::string SavedAt;         // local time of saving, "YYYY-MM-DDTHH:MM:SS"
    std::string Port;            // the port the unit was on ("" when none)
    std::string ProgramVersion;  // the version of the program that saved it
};

// The JSON key of each list in the file, indexed with SettingList.
std::string_view SettingKey(SettingList list);

// The file's bytes: pretty-printed UTF-8 JSON with a final line break.
std::string FormatSettingsFile(const SettingsFile& file);

enum class SettingsFileError {
    None,
    TooLarge,      // larger than kSettingsFileMaxBytes
    NotJson,       // not JSON, damaged or cut short
    NotOurs,       // JSON, but not a settings file of this program
    NewerFormat,   // a format version this program does not know yet
    MissingField,  // a required field is absent or not a text
    DuplicateKey,  // a key appears twice in one object (which of the two was meant is unknown)
    TrailingData,  // something other than white space (a NUL included) after the document
    BadVersion,    // formatVersion is a number, but not a whole one from 1 up to what fits an int
};

struct SettingsFileRead {
    SettingsFileError Error = SettingsFileError::None;
    std::string Field;  // the key at fault for MissingField and DuplicateKey
    SettingsFile File;  // valid only when Error is None
};

// Reads a settings file's bytes. Never throws. Refuses a duplicate key at any depth (naming it), anything but
// white space after the document, and a formatVersion that is not a whole number the program can hold.
SettingsFileRead ParseSettingsFile(std::string_view bytes);

// What loading a file selects: a position per list, and the lists whose text the list does not hold
// (they get the fallback, marked red, as an unmatched report does).
struct LoadedSelection {
    SettingMatches Matches{};
    std::vector<SettingList> Unknown;
};

// Matches the file's texts with the lists' entries; `alarmListsHaveOvgr` as for MatchReportedSettings.
LoadedSelection SelectFileTexts(const SettingsFile& file, bool alarmListsHaveOvgr);

}  // namespace tessarin
