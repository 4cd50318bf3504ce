// The visit archive: plain files people can read and copy. Per unit a folder, per visit a folder named by the
// visit's start, holding the visit record (visit.json) beside the files of the visit (the logs as their CSV,
// the settings file, the report). An earlier visit is never written again; a damaged or foreign file is
// skipped with a message and never stops the rest from being read.
#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/safe_write.h"
#include "data/unit_history.h"
#include "data/visit_record.h"

namespace tessarin {

inline constexpr std::string_view kVisitRecordFileName = "visit.json";

// The archive's folder: $XDG_DATA_HOME/tessarin/archive (by default ~/.local/share/tessarin/archive);
// on Windows %LOCALAPPDATA%\Tessarin\archive. Empty when neither the variables nor a home are known.
std::filesystem::path DefaultArchiveFolder();

struct ArchivedVisit {
    std::filesystem::path folder;
    VisitRecord record;
};

struct ArchivedUnit {
    std::filesystem::path folder;
    std::vector<ArchivedVisit> visits;  // oldest first

    // The name the engineer gave the unit, as its newest visit has it.
    [[nodiscard]] std::string Name() const;
    // The merged history of each log over all visits (visit indexes as in `visits`).
    [[nodiscard]] std::array<LogHistory, kLogKindCount> Histories() const;
    // What its last visits say about it, for matching a new connection.
    [[nodiscard]] UnitEvidence Evidence() const;
    // The newest visit that collected `kind`, nullptr when none did.
    [[nodiscard]] const ArchivedVisit* LastVisitWith(LogKind kind) const;
};

struct ArchiveRead {
    std::vector<ArchivedUnit> units;    // in the order of their folders' names
    std::vector<std::string> problems;  // one line per file skipped (UTF-8)
};

// Reads every unit and visit under `root`. A missing root reads as an empty archive.
ArchiveRead ReadArchive(const std::filesystem::path& root);

// Makes a new unit's folder under `root` (the root too, when missing); nullopt when it could not be made.
std::optional<std::filesystem::path> MakeUnitFolder(const std::filesystem::path& root);

// Makes the folder of a visit that started at `startedAt` (a record time) in `unitFolder`, named by the time
// (20260901_101200), with _2, _3 ... when a visit of that second exists: an existing folder is never reused.
std::optional<std::filesystem::path> MakeVisitFolder(const std::filesystem::path& unitFolder,
                                                     std::string_view startedAt);

// Writes the visit record into its folder through the safe write.
SafeWriteStatus WriteVisitRecord(const std::filesystem::path& visitFolder, const VisitRecord& record);

}  // namespace tessarin
