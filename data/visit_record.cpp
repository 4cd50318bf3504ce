#include "data/visit_record.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "data/json_document.h"
#include "data/settings_codec.h"
#include "data/unit_history.h"

namespace tessarin {
namespace {

using Json = nlohmann::json;

constexpr std::array<std::string_view, kLogKindCount> kLogKeys{"minorFault", "deviceState", "ovgr"};
constexpr std::size_t kRecordLineMaxBytes = 512;

// A read that stops at the first field at fault, naming it.
struct Reader {
    VisitRecordRead read;

    bool fail(std::string_view field) {
        if (read.Error == VisitRecordError::None) {
            read.Error = VisitRecordError::BadField;
            read.Field = field;
        }
        return false;
    }

    bool text(const Json& object, std::string_view key, std::string& out, bool time = false) {
        const auto found = object.find(key);
        if (found == object.end() || !found->is_string()) {
            return fail(key);
        }
        const auto& value = found->get_ref<const std::string&>();
        if (value.size() > kVisitTextMaxBytes || (time && !IsRecordTime(value))) {
            return fail(key);
        }
        out = value;
        return true;
    }

    bool texts(const Json& array, std::string_view key, std::size_t most, std::vector<std::string>& out) {
        if (!array.is_array() || array.size() > most) {
            return fail(key);
        }
        for (const Json& item : array) {
            if (!item.is_string() || item.get_ref<const std::string&>().size() > kRecordLineMaxBytes) {
                return fail(key);
            }
            out.push_back(item.get<std::string>());
        }
        return true;
    }

    bool log(const Json& object, LogKind kind, VisitLog& out) {
        const std::string_view key = kLogKeys[static_cast<std::size_t>(kind)];
        if (!object.is_object() || !text(object, "collectedAt", out.collectedAt, true)) {
            return fail(key);
        }
        const auto records = object.find("records");
        if (records == object.end() ||
            !texts(*records, "records", static_cast<std::size_t>(CodesOf(kind).records), out.records)) {
            return fail(key);
        }
        // Every line is a record of the log, numbered from 1 in order, as the collection stored them.
        for (std::size_t i = 0; i < out.records.size(); ++i) {
            const std::string& line = out.records[i];
            const std::string number = std::to_string(i + 1) + ",";
            if (line.compare(0, number.size(), number) != 0 || !RecordKey(line)) {
                return fail(key);
            }
        }
        return true;
    }

    bool journal(const Json& array, std::vector<JournalEntry>& out) {
        if (!array.is_array() || array.size() > kVisitJournalMaxEntries) {
            return fail("journal");
        }
        for (const Json& item : array) {
            JournalEntry entry;
            if (!item.is_object() || !text(item, "at", entry.at, true) || !text(item, "text", entry.text)) {
                return fail("journal");
            }
            out.push_back(std::move(entry));
        }
        return true;
    }
};

bool digits(std::string_view text) {
    return std::ranges::all_of(text, [](char c) { return c >= '0' && c <= '9'; });
}

int number(std::string_view text) {
    int value = 0;
    for (const char c : text) {
        value = value * 10 + (c - '0');
    }
    return value;
}

}  // namespace

bool IsRecordTime(std::string_view text) {
    // YYYY-MM-DDTHH:MM:SS
    if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' ||
        text[16] != ':') {
        return false;
    }
    for (const auto& [at, length] : {std::pair{0, 4}, {5, 2}, {8, 2}, {11, 2}, {14, 2}, {17, 2}}) {
        if (!digits(text.substr(static_cast<std::size_t>(at), static_cast<std::size_t>(length)))) {
            return false;
        }
    }
    const int month = number(text.substr(5, 2));
    const int day = number(text.substr(8, 2));
    return month >= 1 && month <= 12 && day >= 1 && day <= 31 && number(text.substr(11, 2)) <= 23 &&
           number(text.substr(14, 2)) <= 59 && number(text.substr(17, 2)) <= 59;
}

std::string FormatVisitRecord(const VisitRecord& record) {
    Json logs = Json::object();
    for (std::size_t i = 0; i < kLogKeys.size(); ++i) {
        if (const auto& log = record.logs[i]) {
            logs[std::string(kLogKeys[i])] = Json{{"collectedAt", log->collectedAt}, {"records", log->records}};
        }
    }
    Json journal = Json::array();
    for (const JournalEntry& entry : record.journal) {
        journal.push_back(Json{{"at", entry.at}, {"text", entry.text}});
    }
    Json root = Json::object();
    root["kind"] = kVisitRecordKind;
    root["formatVersion"] = kVisitRecordFormat;
    root["startedAt"] = record.startedAt;
    root["unitName"] = record.unitName;
    root["port"] = record.port;
    root["programVersion"] = record.programVersion;
    root["logs"] = logs;
    root["settings"] = record.settings;
    root["journal"] = journal;
    return root.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

VisitRecordRead ParseVisitRecord(std::string_view bytes) {
    VisitRecordRead refused;
    if (bytes.size() > kVisitRecordMaxBytes) {
        refused.Error = VisitRecordError::TooLarge;
        return refused;
    }
    const JsonDocument document = ParseJsonDocument(bytes);
    if (document.error != JsonDocumentError::None) {
        refused.Error = VisitRecordError::NotJson;
        return refused;
    }
    const Json& root = document.root;
    const auto kind = root.is_object() ? root.find("kind") : root.end();
    if (!root.is_object() || kind == root.end() || *kind != kVisitRecordKind) {
        refused.Error = VisitRecordError::NotOurs;
        return refused;
    }
    const auto version = root.find("formatVersion");
    if (version == root.end() || !version->is_number_unsigned() || version->get<std::uint64_t>() < 1) {
        refused.Error = VisitRecordError::BadField;
        refused.Field = "formatVersion";
        return refused;
    }
    if (version->get<std::uint64_t>() > static_cast<std::uint64_t>(kVisitRecordFormat)) {
        refused.Error = VisitRecordError::NewerFormat;
        return refused;
    }

    Reader reader;
    VisitRecord& record = reader.read.Record;
    bool ok = reader.text(root, "startedAt", record.startedAt, true) &&
              reader.text(root, "unitName", record.unitName) && reader.text(root, "port", record.port) &&
              reader.text(root, "programVersion", record.programVersion);
    const auto logs = root.find("logs");
    ok = ok && (logs != root.end() && logs->is_object() ? true : reader.fail("logs"));
    for (std::size_t i = 0; ok && i < kLogKeys.size(); ++i) {
        const auto log = logs->find(kLogKeys[i]);
        if (log != logs->end()) {
            ok = reader.log(*log, static_cast<LogKind>(i), record.logs[i].emplace());
        }
    }
    // The settings are all ten texts or none (none read in the visit).
    const auto settings = root.find("settings");
    if (ok) {
        ok = settings != root.end() && reader.texts(*settings, "settings", kSettingListCount, record.settings) &&
             (record.settings.empty() || record.settings.size() == kSettingListCount);
        ok = ok || reader.fail("settings");
    }
    const auto journal = root.find("journal");
    if (ok) {
        ok = journal != root.end() ? reader.journal(*journal, record.journal) : reader.fail("journal");
    }
    if (!ok) {
        refused.Error = reader.read.Error;
        refused.Field = reader.read.Field;
        return refused;
    }
    return std::move(reader.read);
}

std::string VisitRecordErrorText(const VisitRecordRead& read) {
    switch (read.Error) {
        case VisitRecordError::None:
            return {};
        case VisitRecordError::TooLarge:
            return "点検の記録ファイルが大きすぎます。";
        case VisitRecordError::NotJson:
            return "点検の記録ファイルが壊れています。";
        case VisitRecordError::NotOurs:
            return "点検の記録ファイルではありません。";
        case VisitRecordError::NewerFormat:
            return "新しい版のプログラムで作られた点検の記録ファイルです。";
        case VisitRecordError::BadField:
            return "点検の記録ファイルの項目「" + read.Field + "」が正しくありません。";
    }
    return {};
}

}  // namespace tessarin
