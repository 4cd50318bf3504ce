// The logs collected in this session, kept by the main window for as long as the program runs (the log
// screen's own copy goes when the screen closes), and the table of a collected log as its grid shows it.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "data/device_data.h"

namespace tessarin {

inline constexpr int kCollectedLogKinds = 3;  // one per log screen tab

// One complete collection: lines 0 (header) .. recordCount, as the collection stored them.
struct CollectedLog {
    std::array<std::string, kLogLineCount> lines;
    int recordCount = 0;
    bool ovgrColumnShown = true;  // whether the grid showed the OVGR column when it was filled
};

class CollectedLogs {
  public:
    // Keeps a complete collection of the log of `tab` (0..2), replacing an earlier one; other tabs are ignored.
    void Keep(int tab, const std::array<std::string, kLogLineCount>& lines, int recordCount, bool ovgrColumnShown);
    // The last complete collection of `tab`'s log in this session, nullptr when there has been none.
    [[nodiscard]] const CollectedLog* Collected(int tab) const;

  private:
    std::array<std::optional<CollectedLog>, kCollectedLogKinds> m_logs;
};

// The table of a collected log as the log screen's grid shows it and its CSV file holds it: the header row,
// then one row per record 1..recordCount, each a list of cell texts. The measurement logs lose the hidden
// spacer column (and the OVGR column when it was not shown); the device-state log has its three columns,
// the third the record's state text.
std::vector<std::vector<std::string>> LogTableRows(const CollectedLog& log, int tab);

}  // namespace tessarin
