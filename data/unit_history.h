// A unit's event history across visits: which records of a new collection are new, the merged log of all
// visits, and which of the units already known a newly connected unit most likely is. The protocol carries
// no identity of the unit and the record numbers shift as a log fills and overwrites, so a record is known by
// its content: its stored line without the number the unit gave it.
#pragma once

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "data/protocol_codes.h"

namespace tessarin {

// The record's identity: its stored line without the leading record number. nullopt for a line that is no
// record: empty, without a number, or an empty slot ("データ無し").
std::optional<std::string> RecordKey(std::string_view storeLine);

// Whether the record carries a date (an unset clock writes "20--/--/-- --:--"): undated records say little
// about which unit they came from.
bool RecordDated(std::string_view storeLine, LogKind kind);

// One record of the merged history: its identity, the line as first seen, and the visit that first held it.
struct HistoryRecord {
    std::string key;
    std::string line;
    int firstVisit = 0;  // index of the visit in the order they were merged
};

// The merged history of one log. The same record seen in several visits is one record; two equal records in
// one collection (the unit logged the same values in the same minute) are two, and are matched one for one.
class LogHistory {
  public:
    // Which of the collection's records 1..recordCount the history does not hold, by record number.
    [[nodiscard]] std::vector<int> NewRecordNumbers(std::span<const std::string> lines, int recordCount) const;
    // Adds the collection's new records as seen in visit `visit`; returns their record numbers.
    std::vector<int> Merge(std::span<const std::string> lines, int recordCount, int visit);
    // The records in the order they were first seen, oldest visit first.
    [[nodiscard]] const std::vector<HistoryRecord>& Records() const { return m_records; }
    [[nodiscard]] bool Holds(std::string_view key) const;

  private:
    std::vector<HistoryRecord> m_records;
};

// What is known of a unit when a new connection is to be matched with it.
struct UnitEvidence {
    // The records of each log at the unit's last visit that carried that log (store lines, 1.. in order).
    std::array<std::vector<std::string>, kLogKindCount> lastRecords;
    // The settings' texts at the last visit, empty when none were read.
    std::vector<std::string> lastSettings;
};

// What the new connection has read so far.
struct ConnectionEvidence {
    // Collected records per log (store lines), empty for a log not collected.
    std::array<std::vector<std::string>, kLogKindCount> records;
    std::vector<std::string> settings;  // empty when not read
};

// How well a known unit matches: two points for every dated record of its last visit found again, one for
// equal settings. 0: nothing speaks for it.
int MatchScore(const UnitEvidence& unit, const ConnectionEvidence& seen);

// The unit to propose, by index in `units`: the one with the highest score, when it has one above zero and
// no other unit has as much. Equal evidence proposes nobody: two units are never merged by a guess.
std::optional<std::size_t> ProposeUnit(std::span<const UnitEvidence> units, const ConnectionEvidence& seen);

}  // namespace tessarin
