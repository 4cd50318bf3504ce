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

void CollectedLogs::Keep(int tab, const std::array<std::string, kLogLineCount>& lines, int recordCount,
                         bool ovgrColumnShown) {
    if (tab < 0 || tab >= kCollectedLogKinds) {
        return;
    }
    const int last = static_cast<int>(kLogLineCount) - 1;
    m_logs[static_cast<std::size_t>(tab)] = CollectedLog{lines, std::clamp(recordCount, 0, last), ovgrColumnShown};
}

const CollectedLog* CollectedLogs::Collected(int tab) const {
    if (tab < 0 || tab >= kCollectedLogKinds || !m_logs[static_cast<std::size_t>(tab)]) {
        return nullptr;
    }
    return &*m_logs[static_cast<std::size_t>(tab)];
}

std::vector<std::vector<std::string>> LogTableRows(const CollectedLog& log, int tab) {
    std::vector<std::vector<std::string>> rows;
    const int last = std::clamp(log.recordCount, 0, static_cast<int>(kLogLineCount) - 1);
    for (int i = 0; i <= last; ++i) {
        const std::string& line = log.lines[static_cast<std::size_t>(i)];
        if (tab == kTabDeviceState) {
            rows.push_back(deviceStateRow(line, i == 0));
        } else {
            rows.push_back(SplitLogLine(ExportLogLine(line, tab, log.ovgrColumnShown)));
        }
    }
    return rows;
}

}  // namespace tessarin
