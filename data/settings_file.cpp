#include "data/settings_file.h"

#include <algorithm>
#include <nlohmann/json.hpp>

namespace tessarin {
namespace {

using Json = nlohmann::json;

constexpr std::array<std::string_view, kSettingListCount> kKeys{
    "detectMode",   "v0Level",    "i0Level",      "phaseRange", "detectTime",
    "confirmCount", "cyclicDisp", "logOverwrite", "alarmOut1",  "alarmOut2"};

// The text at `key` of `object`, or nothing when it is absent or not a text.
const std::string* textAt(const Json& object, std::string_view key) {
    const auto found = object.find(key);
    if (found == object.end() || !found->is_string()) {
        return nullptr;
    }
    return found->get_ptr<const std::string*>();
}

SettingsFileRead missing(std::string_view key) {
    SettingsFileRead read;
    read.Error = SettingsFileError::MissingField;
    read.Field = key;
    return read;
}

}  // namespace

std::string_view SettingKey(SettingList list) { return kKeys[static_cast<std::size_t>(list)]; }

std::string FormatSettingsFile(const SettingsFile& file) {
    Json settings = Json::object();
    for (std::size_t list = 0; list < kSettingListCount; ++list) {
        settings[std::string(kKeys[list])] = file.Texts[list];
    }
    Json root = Json::object();
    root["kind"] = kSettingsFileKind;
    root["formatVersion"] = kSettingsFileFormat;
    root["programVersion"] = file.ProgramVersion;
    root["savedAt"] = file.SavedAt;
    root["port"] = file.Port;
    root["ovgrFunction"] = file.OvgrFunction;
    root["settings"] = settings;
    // Texts that are not valid UTF-8 are replaced rather than thrown on: the lists only ever hold UTF-8.
    return root.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

SettingsFileRead ParseSettingsFile(std::string_view bytes) {
    SettingsFileRead read;
    if (bytes.size() > kSettingsFileMaxBytes) {
        read.Error = SettingsFileError::TooLarge;
        return read;
    }
    const Json root = Json::parse(bytes.begin(), bytes.end(), nullptr, false);
    if (root.is_discarded()) {
        read.Error = SettingsFileError::NotJson;
        return read;
    }
    const std::string* kind = root.is_object() ? textAt(root, "kind") : nullptr;
    if (kind == nullptr || *kind != kSettingsFileKind) {
        read.Error = SettingsFileError::NotOurs;
        return read;
    }
    const auto version = root.find("formatVersion");
    if (version == root.end() || !version->is_number_integer()) {
        return missing("formatVersion");
    }
    if (version->get<std::int64_t>() > kSettingsFileFormat || version->get<std::int64_t>() < 1) {
        read.Error = SettingsFileError::NewerFormat;
        return read;
    }
    const auto settings = root.find("settings");
    if (settings == root.end() || !settings->is_object()) {
        return missing("settings");
    }
    for (std::size_t list = 0; list < kSettingListCount; ++list) {
        const std::string* text = textAt(*settings, kKeys[list]);
        if (text == nullptr) {
            return missing(kKeys[list]);
        }
        read.File.Texts[list] = *text;
    }
    // What the author saw is for people; a file without it still carries its settings.
    for (const auto& [key, field] :
         {std::pair{"ovgrFunction", &SettingsFile::OvgrFunction}, std::pair{"savedAt", &SettingsFile::SavedAt},
          std::pair{"port", &SettingsFile::Port}, std::pair{"programVersion", &SettingsFile::ProgramVersion}}) {
        if (const std::string* text = textAt(root, key)) {
            read.File.*field = *text;
        }
    }
    return read;
}

LoadedSelection SelectFileTexts(const SettingsFile& file, bool alarmListsHaveOvgr) {
    LoadedSelection selection;
    for (std::size_t list = 0; list < kSettingListCount; ++list) {
        const auto which = static_cast<SettingList>(list);
        const auto table = SettingTable(which, alarmListsHaveOvgr);
        const auto found = std::find(table.begin(), table.end(), file.Texts[list]);
        if (found == table.end()) {
            selection.Matches[list] = {FallbackPosition(which), true};
            selection.Unknown.push_back(which);
        } else {
            selection.Matches[list] = {static_cast<int>(found - table.begin()), false};
        }
    }
    return selection;
}

}  // namespace tessarin
