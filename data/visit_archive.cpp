#include "data/visit_archive.h"

#include <algorithm>
#include <cstdlib>
#include <system_error>

#include "data/file_access.h"

namespace tessarin {
namespace {

namespace fs = std::filesystem;

constexpr int kMostFoldersOfOneName = 10000;

std::string utf8(const fs::path& path) {
    const auto text = path.u8string();
    return {text.begin(), text.end()};
}

// The folders directly in `folder`, by name; none when it cannot be listed.
std::vector<fs::path> subfolders(const fs::path& folder) {
    std::vector<fs::path> found;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::error_code typeError;
        if (it->is_directory(typeError) && !it->is_symlink(typeError)) {
            found.push_back(it->path());
        }
    }
    std::ranges::sort(found);
    return found;
}

std::optional<ArchivedVisit> readVisit(const fs::path& folder, std::vector<std::string>& problems) {
    const fs::path file = folder / kVisitRecordFileName;
    std::error_code error;
    if (!fs::exists(fs::symlink_status(file, error))) {
        return std::nullopt;  // a folder of the user's own, not a visit
    }
    // One byte beyond the limit tells a file that is too large from one that just fits.
    const FileRead bytes = ReadRegularFile(file, kVisitRecordMaxBytes + 1);
    if (bytes.Status != FileReadStatus::Ok) {
        problems.push_back(utf8(file) + ": " +
                           (bytes.Status == FileReadStatus::NotRegularFile ? "通常のファイルではありません。"
                                                                           : "読み込めませんでした。"));
        return std::nullopt;
    }
    VisitRecordRead read = ParseVisitRecord(bytes.Bytes);
    if (read.Error != VisitRecordError::None) {
        problems.push_back(utf8(file) + ": " + VisitRecordErrorText(read));
        return std::nullopt;
    }
    return ArchivedVisit{folder, std::move(read.Record)};
}

}  // namespace

fs::path DefaultArchiveFolder() {
#ifdef _WIN32
    if (const wchar_t* local = _wgetenv(L"LOCALAPPDATA"); local != nullptr && *local != L'\0') {
        return fs::path(local) / L"Tessarin" / L"archive";
    }
    return {};
#else
    if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && *data == '/') {
        return fs::path(data) / "tessarin" / "archive";
    }
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        return fs::path(home) / ".local" / "share" / "tessarin" / "archive";
    }
    return {};
#endif
}

std::string ArchivedUnit::Name() const { return visits.empty() ? std::string() : visits.back().record.unitName; }

std::array<LogHistory, kLogKindCount> ArchivedUnit::Histories() const {
    std::array<LogHistory, kLogKindCount> histories;
    for (std::size_t visit = 0; visit < visits.size(); ++visit) {
        for (std::size_t log = 0; log < histories.size(); ++log) {
            if (const auto& collected = visits[visit].record.logs[log]) {
                // The records as the collection stored them, with the header line the collection has first.
                std::vector<std::string> lines{std::string()};
                lines.insert(lines.end(), collected->records.begin(), collected->records.end());
                histories[log].Merge(lines, static_cast<int>(collected->records.size()), static_cast<int>(visit));
            }
        }
    }
    return histories;
}

const ArchivedVisit* ArchivedUnit::LastVisitWith(LogKind kind) const {
    const auto found = std::find_if(visits.rbegin(), visits.rend(), [kind](const ArchivedVisit& visit) {
        return visit.record.logs[static_cast<std::size_t>(kind)].has_value();
    });
    return found == visits.rend() ? nullptr : &*found;
}

UnitEvidence ArchivedUnit::Evidence() const {
    UnitEvidence evidence;
    for (std::size_t log = 0; log < kLogKindCount; ++log) {
        if (const ArchivedVisit* visit = LastVisitWith(static_cast<LogKind>(log))) {
            evidence.lastRecords[log] = visit->record.logs[log]->records;
        }
    }
    const auto withSettings = std::find_if(visits.rbegin(), visits.rend(),
                                           [](const ArchivedVisit& visit) { return !visit.record.settings.empty(); });
    if (withSettings != visits.rend()) {
        evidence.lastSettings = withSettings->record.settings;
    }
    return evidence;
}

ArchiveRead ReadArchive(const fs::path& root) {
    ArchiveRead archive;
    for (const fs::path& unitFolder : subfolders(root)) {
        ArchivedUnit unit{unitFolder, {}};
        for (const fs::path& visitFolder : subfolders(unitFolder)) {
            if (auto visit = readVisit(visitFolder, archive.problems)) {
                unit.visits.push_back(std::move(*visit));
            }
        }
        // Ordered by when they started; folders of the same second keep their names' order.
        std::ranges::stable_sort(unit.visits, {}, [](const ArchivedVisit& visit) { return visit.record.startedAt; });
        if (!unit.visits.empty()) {
            archive.units.push_back(std::move(unit));
        }
    }
    return archive;
}

std::optional<fs::path> MakeUnitFolder(const fs::path& root) {
    std::error_code error;
    fs::create_directories(root, error);
    for (int n = 1; n <= kMostFoldersOfOneName; ++n) {
        const std::string number = std::to_string(n);
        std::string name = "unit-";
        name.append(number.size() < 3 ? 3 - number.size() : 0, '0').append(number);
        if (fs::create_directory(root / name, error)) {
            return root / name;
        }
        if (error) {
            return std::nullopt;  // the root cannot take folders: no use trying other names
        }
    }
    return std::nullopt;
}

std::optional<fs::path> MakeVisitFolder(const fs::path& unitFolder, std::string_view startedAt) {
    if (!IsRecordTime(startedAt)) {
        return std::nullopt;
    }
    // 2026-09-01T10:12:00 -> 20260901_101200
    std::string base;
    for (const char c : startedAt) {
        if (c >= '0' && c <= '9') {
            base += c;
        }
    }
    base.insert(8, "_");
    std::error_code error;
    for (int n = 1; n <= kMostFoldersOfOneName; ++n) {
        const fs::path folder = unitFolder / (n == 1 ? base : base + "_" + std::to_string(n));
        if (fs::create_directory(folder, error)) {
            return folder;
        }
        if (error) {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

SafeWriteStatus WriteVisitRecord(const fs::path& visitFolder, const VisitRecord& record) {
    return WriteFileSafely(visitFolder / kVisitRecordFileName, FormatVisitRecord(record));
}

}  // namespace tessarin
