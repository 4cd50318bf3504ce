#include "data/collected_logs.h"

#include <algorithm>

#include "data/csv_export.h"
#include "data/log_record_decoder.h"

namespace tessarin {
namespace {

constexpr std::string_view kNoData = "データ無し";

std::vector<std::string> deviceStateRow(const std::string& line, bool header) {
    std::vector<std::string> fields = SplitLogLine(line);
    fields.resize(std::max<std::size_t>(fields.size(), 3));
    std::vector<std::string> row{fields[0], fields[1], std::string()};
    if (header) {
        row[2] = fields[2];
    } else if (fields[1] != kNoData) {
        row[2] = std::string(DeviceStateText(line));
    }
    return row;
}

}  // namespace

void CollectedLogs::Keep(LogKind kind, const std::array<std::string, kLogLineCount>& lines, int recordCount,
                         bool ovgrColumnShown) {
    const int last = static_cast<int>(kLogLineCount) - 1;
    m_logs.at(static_cast<std::size_t>(kind)) = CollectedLog{lines, std::clamp(recordCount, 0, last), ovgrColumnShown};
}

const CollectedLog* CollectedLogs::Collected(LogKind kind) const {
    const std::optional<CollectedLog>& log = m_logs.at(static_cast<std::size_t>(kind));
    return log ? &*log : nullptr;
}

std::vector<std::vector<std::string>> LogTableRows(const CollectedLog& log, LogKind kind) {
    std::vector<std::vector<std::string>> rows;
    const int last = std::clamp(log.recordCount, 0, static_cast<int>(kLogLineCount) - 1);
    for (int i = 0; i <= last; ++i) {
        const std::string& line = log.lines[static_cast<std::size_t>(i)];
        if (kind == LogKind::DeviceState) {
            rows.push_back(deviceStateRow(line, i == 0));
        } else {
            rows.push_back(SplitLogLine(ExportLogLine(line, kind, log.ovgrColumnShown)));
        }
    }
    return rows;
}

}  // namespace tessarin
