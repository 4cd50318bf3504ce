// The logs collected in this session, kept by the main window for as long as the program runs (the log
// screen's own copy goes when the screen closes), and the table of a collected log as its grid shows it.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "data/device_data.h"
#include "data/protocol_codes.h"

namespace tessarin {

// One complete collection: lines 0 (header) .. recordCount, as the collection stored them.
struct CollectedLog {
    std::array<std::string, kLogLineCount> lines;
    int recordCount = 0;
    bool ovgrColumnShown = true;  // whether the grid showed the OVGR column when it was filled
};

class CollectedLogs {
  public:
    // Keeps a complete collection of a log, replacing an earlier one.
    void Keep(LogKind kind, const std::array<std::string, kLogLineCount>& lines, int recordCount, bool ovgrColumnShown);
    // The last complete collection of the log in this session, nullptr when there has been none.
    [[nodiscard]] const CollectedLog* Collected(LogKind kind) const;

  private:
    std::array<std::optional<CollectedLog>, kLogKindCount> m_logs;
};

// The table of a collected log as the log screen's grid shows it and its CSV file holds it: the header row,
// then one row per record 1..recordCount, each a list of cell texts. The measurement logs lose the hidden
// spacer column (and the OVGR column when it was not shown); the device-state log has its three columns,
// the third the record's state text.
std::vector<std::vector<std::string>> LogTableRows(const CollectedLog& log, LogKind kind);

}  // namespace tessarin
