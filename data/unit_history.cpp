#include "data/unit_history.h"

#include <algorithm>
#include <map>

#include "data/csv_export.h"

namespace tessarin {
namespace {

constexpr std::string_view kNoData = "データ無し";
constexpr std::string_view kUnsetDate = "20--/--/-- --:--";

// The date is the second field, the third in the 微地絡 log (after its state).
std::size_t dateField(LogKind kind) { return kind == LogKind::MinorFault ? 2 : 1; }

bool allDigits(std::string_view text) {
    return !text.empty() && std::ranges::all_of(text, [](char c) { return c >= '0' && c <= '9'; });
}

// How many times each identity occurs among the collection's records 1..recordCount.
std::vector<std::pair<int, std::string>> keyedRecords(std::span<const std::string> lines, int recordCount) {
    std::vector<std::pair<int, std::string>> keyed;
    const int last = std::min(recordCount, static_cast<int>(lines.size()) - 1);
    for (int number = 1; number <= last; ++number) {
        if (auto key = RecordKey(lines[static_cast<std::size_t>(number)])) {
            keyed.emplace_back(number, std::move(*key));
        }
    }
    return keyed;
}

}  // namespace

std::optional<std::string> RecordKey(std::string_view storeLine) {
    const std::size_t comma = storeLine.find(',');
    if (comma == std::string_view::npos || !allDigits(storeLine.substr(0, comma))) {
        return std::nullopt;
    }
    const std::string_view rest = storeLine.substr(comma + 1);
    const std::vector<std::string> fields = SplitLogLine(rest);
    if (rest.empty() || std::ranges::find(fields, kNoData) != fields.end()) {
        return std::nullopt;
    }
    return std::string(rest);
}

bool RecordDated(std::string_view storeLine, LogKind kind) {
    const std::vector<std::string> fields = SplitLogLine(storeLine);
    const std::size_t at = dateField(kind);
    return at < fields.size() && fields[at] != kUnsetDate && fields[at] != kNoData;
}

bool LogHistory::Holds(std::string_view key) const {
    return std::ranges::any_of(m_records, [key](const HistoryRecord& record) { return record.key == key; });
}

std::vector<int> LogHistory::NewRecordNumbers(std::span<const std::string> lines, int recordCount) const {
    // Matched one for one: a record held once in the history accounts for one equal record of the collection.
    std::map<std::string_view, int> held;
    for (const HistoryRecord& record : m_records) {
        ++held[record.key];
    }
    std::vector<int> fresh;
    for (const auto& [number, key] : keyedRecords(lines, recordCount)) {
        const auto found = held.find(key);
        if (found != held.end() && found->second > 0) {
            --found->second;
        } else {
            fresh.push_back(number);
        }
    }
    return fresh;
}

std::vector<int> LogHistory::Merge(std::span<const std::string> lines, int recordCount, int visit) {
    std::vector<int> fresh = NewRecordNumbers(lines, recordCount);
    for (const int number : fresh) {
        const std::string& line = lines[static_cast<std::size_t>(number)];
        m_records.push_back(HistoryRecord{*RecordKey(line), line, visit});
    }
    return fresh;
}

int MatchScore(const UnitEvidence& unit, const ConnectionEvidence& seen) {
    int score = 0;
    for (int log = 0; log < kLogKindCount; ++log) {
        const auto kind = static_cast<LogKind>(log);
        const auto& known = unit.lastRecords[static_cast<std::size_t>(log)];
        const auto& now = seen.records[static_cast<std::size_t>(log)];
        std::map<std::string, int> present;
        for (const std::string& line : now) {
            if (auto key = RecordKey(line)) {
                ++present[*key];
            }
        }
        for (const std::string& line : known) {
            const auto key = RecordKey(line);
            if (!key || !RecordDated(line, kind)) {
                continue;
            }
            const auto found = present.find(*key);
            if (found != present.end() && found->second > 0) {
                --found->second;
                score += 2;
            }
        }
    }
    if (!unit.lastSettings.empty() && unit.lastSettings == seen.settings) {
        score += 1;
    }
    return score;
}

std::optional<std::size_t> ProposeUnit(std::span<const UnitEvidence> units, const ConnectionEvidence& seen) {
    std::optional<std::size_t> best;
    int bestScore = 0;
    bool tied = false;
    for (std::size_t i = 0; i < units.size(); ++i) {
        const int score = MatchScore(units[i], seen);
        if (score > bestScore) {
            best = i;
            bestScore = score;
            tied = false;
        } else if (score == bestScore && score > 0) {
            tied = true;
        }
    }
    return tied ? std::nullopt : best;
}

}  // namespace tessarin
