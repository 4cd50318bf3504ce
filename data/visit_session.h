// This visit in the archive: the unit it is to (chosen by the engineer, proposed from what the unit holds),
// the visit's folder and record, which records of a collection are new since the unit's last visit, and the
// journal of what was done. Every write goes through the safe write; a write that fails is said once and
// never touches what is shown on screen, which stays as it is.
#pragma once

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "data/visit_archive.h"

namespace tessarin {

// "前回点検（2026/09/01 10:12）以降の新しい記録：3件", from a record time and a count.
std::string NewRecordsLine(std::string_view lastVisitStartedAt, std::size_t count);

class VisitSession {
  public:
    // Reads the archive under `root`; `start` gives the visit's start, port and program version.
    VisitSession(std::filesystem::path root, VisitRecord start);

    [[nodiscard]] const ArchiveRead& Archive() const { return m_archive; }

    // The known unit that best matches what has been read, nullopt when none stands out.
    [[nodiscard]] std::optional<std::size_t> Propose(const ConnectionEvidence& seen) const;
    // The visit is to unit `known` of the archive, or to a new unit when nullopt; `name` is the unit's name.
    // Once: a later call changes nothing.
    void ChooseUnit(std::optional<std::size_t> known, std::string name);
    [[nodiscard]] bool UnitChosen() const { return m_chosen; }
    // The chosen unit as archived before this visit (nullptr for a new unit or before the choice).
    [[nodiscard]] const ArchivedUnit* Unit() const;

    struct Marks {
        std::vector<int> fresh;          // record numbers the unit's history did not hold
        std::string lastVisitStartedAt;  // the unit's last visit that collected this log, "" when none
    };
    // Which records of a collection (lines 0..recordCount as the collection stored them) are new since the
    // unit's earlier visits. Collected again in this visit, a log gets the same marks.
    [[nodiscard]] Marks MarkNew(LogKind kind, std::span<const std::string> lines, int recordCount) const;

    // Keeps a complete collection in the visit: its CSV file (the export's bytes, under `csvName`) and the
    // records in the visit record.
    void KeepCollection(LogKind kind, std::span<const std::string> lines, int recordCount,
                        const std::string& collectedAt, std::string_view csvName, std::string_view csvBytes);
    // Keeps a file of the visit (the settings file, the report) under `name`.
    void KeepFile(std::string_view name, std::string_view bytes);
    // Keeps the settings read from the unit.
    void KeepSettings(std::vector<std::string> texts);
    // Adds a line to the journal and keeps the record.
    void Journal(const std::string& at, std::string text);

    [[nodiscard]] const VisitRecord& Record() const { return m_record; }
    [[nodiscard]] const std::optional<std::filesystem::path>& Folder() const { return m_folder; }
    // Set by the first write that failed, for the one message that says so; taken once.
    [[nodiscard]] std::optional<SafeWriteStatus> TakeWriteFailure();

  private:
    // The visit's folder, made at the first thing to keep once the unit is chosen.
    bool ensureFolder();
    void write(std::string_view name, std::string_view bytes);
    void failed(SafeWriteStatus status);

    std::filesystem::path m_root;
    ArchiveRead m_archive;
    VisitRecord m_record;
    bool m_chosen = false;
    std::optional<std::size_t> m_unit;  // index in m_archive.units
    std::array<LogHistory, kLogKindCount> m_histories;
    std::optional<std::filesystem::path> m_unitFolder;
    std::optional<std::filesystem::path> m_folder;
    std::vector<std::pair<std::string, std::string>> m_pending;  // files kept before the unit was chosen
    bool m_failureSaid = false;
    std::optional<SafeWriteStatus> m_failure;
};

}  // namespace tessarin
