#include "data/settings_file.h"

#include <algorithm>
#include <climits>
#include <nlohmann/json.hpp>

#include "data/json_document.h"

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

SettingsFileRead failed(SettingsFileError error, std::string_view key = {}) {
    SettingsFileRead read;
    read.Error = error;
    read.Field = key;
    return read;
}

SettingsFileRead missing(std::string_view key) { return failed(SettingsFileError::MissingField, key); }

// The parsed document, or the reason there is none.
SettingsFileRead parseDocument(std::string_view bytes, Json& root) {
    JsonDocument document = ParseJsonDocument(bytes);
    switch (document.error) {
        case JsonDocumentError::None:
            root = std::move(document.root);
            return {};
        case JsonDocumentError::NotJson:
            return failed(SettingsFileError::NotJson);
        case JsonDocumentError::TrailingData:
            return failed(SettingsFileError::TrailingData);
        case JsonDocumentError::DuplicateKey:
            return failed(SettingsFileError::DuplicateKey, document.duplicateKey);
    }
    return failed(SettingsFileError::NotJson);
}

// The format version: a whole number from 1 up to what an int holds, taken as it stands (a large one is not
// wrapped, a fraction not truncated). The parser gives every whole number from 0 up the unsigned type, so
// a signed one is negative.
SettingsFileRead checkVersion(const Json& root) {
    const auto version = root.find("formatVersion");
    if (version == root.end() || !version->is_number()) {
        return missing("formatVersion");
    }
    if (!version->is_number_unsigned() || version->get<Json::number_unsigned_t>() < 1 ||
        version->get<Json::number_unsigned_t>() > static_cast<Json::number_unsigned_t>(INT_MAX)) {
        return failed(SettingsFileError::BadVersion, "formatVersion");
    }
    if (version->get<Json::number_unsigned_t>() > static_cast<Json::number_unsigned_t>(kSettingsFileFormat)) {
        return failed(SettingsFileError::NewerFormat);
    }
    return {};
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
    Json root;
    if (SettingsFileRead refused = parseDocument(bytes, root); refused.Error != SettingsFileError::None) {
        return refused;
    }
    const std::string* kind = root.is_object() ? textAt(root, "kind") : nullptr;
    if (kind == nullptr || *kind != kSettingsFileKind) {
        read.Error = SettingsFileError::NotOurs;
        return read;
    }
    if (SettingsFileRead refused = checkVersion(root); refused.Error != SettingsFileError::None) {
        return refused;
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
