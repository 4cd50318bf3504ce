// The record of one visit to a unit, kept in the unit's archive beside the visit's CSV, settings and report
// files: when and through which port, what was collected (the records as the collection stored them, so that
// later visits can tell which records are new), the settings read and the journal of what was done.
// JSON in UTF-8. Reading checks everything, since the archive is plain files anyone may have edited.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/protocol_codes.h"

namespace tessarin {

inline constexpr std::string_view kVisitRecordKind = "tessarin-visit";
inline constexpr int kVisitRecordFormat = 1;
// A visit with full logs and a long journal stays far below this; a larger file is not read at all.
inline constexpr std::size_t kVisitRecordMaxBytes = std::size_t{1024} * 1024;
inline constexpr std::size_t kVisitJournalMaxEntries = 10000;
inline constexpr std::size_t kVisitTextMaxBytes = 4096;

// One log as collected in the visit.
struct VisitLog {
    std::string collectedAt;           // local time, "YYYY-MM-DDTHH:MM:SS"
    std::vector<std::string> records;  // the stored lines of records 1..n, in order
};

struct JournalEntry {
    std::string at;  // local time, "YYYY-MM-DDTHH:MM:SS"
    std::string text;
};

struct VisitRecord {
    std::string startedAt;  // local time, "YYYY-MM-DDTHH:MM:SS"
    std::string unitName;
    std::string port;
    std::string programVersion;
    std::array<std::optional<VisitLog>, kLogKindCount> logs;  // indexed by LogKind
    std::vector<std::string> settings;                        // the settings' texts, empty when none were read
    std::vector<JournalEntry> journal;
};

// Whether `text` is a local time as the records write it.
bool IsRecordTime(std::string_view text);

// The file's bytes: pretty-printed UTF-8 JSON with a final line break.
std::string FormatVisitRecord(const VisitRecord& record);

enum class VisitRecordError {
    None,
    TooLarge,     // larger than kVisitRecordMaxBytes
    NotJson,      // not JSON, damaged, cut short, a key twice or something after the document
    NotOurs,      // JSON, but not a visit record of this program
    NewerFormat,  // a format version this program does not know yet
    BadField,     // a field is missing, of the wrong type, too long or out of range
};

struct VisitRecordRead {
    VisitRecordError Error = VisitRecordError::None;
    std::string Field;   // the field at fault for BadField
    VisitRecord Record;  // valid only when Error is None
};

// Reads a visit record's bytes. Never throws; either the whole record or why there is none.
VisitRecordRead ParseVisitRecord(std::string_view bytes);

// The reason a record was skipped, as the user reads it (UTF-8), one sentence.
std::string VisitRecordErrorText(const VisitRecordRead& read);

}  // namespace tessarin
