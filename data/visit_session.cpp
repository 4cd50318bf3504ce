#include "data/visit_session.h"

#include <algorithm>
#include <utility>

namespace tessarin {

std::string NewRecordsLine(std::string_view lastVisitStartedAt, std::size_t count) {
    if (!IsRecordTime(lastVisitStartedAt)) {
        return {};
    }
    // 2026-09-01T10:12:00 -> 2026/09/01 10:12
    std::string when(lastVisitStartedAt.substr(0, 16));
    when[4] = '/';
    when[7] = '/';
    when[10] = ' ';
    return "前回点検（" + when + "）以降の新しい記録：" + std::to_string(count) + "件";
}

VisitSession::VisitSession(std::filesystem::path root, VisitRecord start)
    : m_root(std::move(root)), m_archive(ReadArchive(m_root)), m_record(std::move(start)) {}

std::optional<std::size_t> VisitSession::Propose(const ConnectionEvidence& seen) const {
    std::vector<UnitEvidence> units;
    units.reserve(m_archive.units.size());
    for (const ArchivedUnit& unit : m_archive.units) {
        units.push_back(unit.Evidence());
    }
    return ProposeUnit(units, seen);
}

void VisitSession::ChooseUnit(std::optional<std::size_t> known, std::string name) {
    if (m_chosen) {
        return;  // the visit's folder may exist already: it stays with the unit first chosen
    }
    if (known && *known >= m_archive.units.size()) {
        known.reset();
    }
    m_chosen = true;
    m_unit = known;
    m_record.unitName = std::move(name);
    m_histories = known ? m_archive.units[*known].Histories() : std::array<LogHistory, kLogKindCount>{};
    m_unitFolder = known ? std::optional(m_archive.units[*known].folder) : std::nullopt;
    // What was kept before the choice goes into the visit's folder now.
    for (const auto& [fileName, bytes] : std::exchange(m_pending, {})) {
        write(fileName, bytes);
    }
    write(kVisitRecordFileName, FormatVisitRecord(m_record));
}

const ArchivedUnit* VisitSession::Unit() const { return m_unit ? &m_archive.units[*m_unit] : nullptr; }

VisitSession::Marks VisitSession::MarkNew(LogKind kind, std::span<const std::string> lines, int recordCount) const {
    Marks marks;
    marks.fresh = m_histories[static_cast<std::size_t>(kind)].NewRecordNumbers(lines, recordCount);
    if (const ArchivedUnit* unit = Unit()) {
        if (const ArchivedVisit* last = unit->LastVisitWith(kind)) {
            marks.lastVisitStartedAt = last->record.startedAt;
        }
    }
    return marks;
}

void VisitSession::KeepCollection(LogKind kind, std::span<const std::string> lines, int recordCount,
                                  const std::string& collectedAt, std::string_view csvName, std::string_view csvBytes) {
    VisitLog log{collectedAt, {}};
    const int last = std::min(recordCount, static_cast<int>(lines.size()) - 1);
    for (int number = 1; number <= last; ++number) {
        // Empty slots are not records; the lines before one are all the log holds.
        if (!RecordKey(lines[static_cast<std::size_t>(number)])) {
            break;
        }
        log.records.push_back(lines[static_cast<std::size_t>(number)]);
    }
    m_record.logs[static_cast<std::size_t>(kind)] = std::move(log);
    write(csvName, csvBytes);
    write(kVisitRecordFileName, FormatVisitRecord(m_record));
}

void VisitSession::KeepFile(std::string_view name, std::string_view bytes) { write(name, bytes); }

void VisitSession::KeepSettings(std::vector<std::string> texts) {
    m_record.settings = std::move(texts);
    write(kVisitRecordFileName, FormatVisitRecord(m_record));
}

void VisitSession::Journal(const std::string& at, std::string text) {
    if (m_record.journal.size() >= kVisitJournalMaxEntries || !IsRecordTime(at)) {
        return;
    }
    if (text.size() > kVisitTextMaxBytes) {
        text.resize(kVisitTextMaxBytes);
    }
    m_record.journal.push_back(JournalEntry{at, std::move(text)});
    write(kVisitRecordFileName, FormatVisitRecord(m_record));
}

std::optional<SafeWriteStatus> VisitSession::TakeWriteFailure() {
    if (!m_failure || m_failureSaid) {
        return std::nullopt;
    }
    m_failureSaid = true;
    return m_failure;
}

bool VisitSession::ensureFolder() {
    if (m_folder) {
        return true;
    }
    if (!m_unitFolder) {
        m_unitFolder = MakeUnitFolder(m_root);
    }
    if (m_unitFolder) {
        m_folder = MakeVisitFolder(*m_unitFolder, m_record.startedAt);
    }
    if (!m_folder) {
        failed(SafeWriteStatus::CannotCreate);
        return false;
    }
    return true;
}

void VisitSession::write(std::string_view name, std::string_view bytes) {
    if (!m_chosen) {
        // Held until the engineer has said which unit this is; a later version of a file replaces it.
        std::erase_if(m_pending, [name](const auto& file) { return file.first == name; });
        if (name != kVisitRecordFileName) {
            m_pending.emplace_back(name, bytes);
        }
        return;
    }
    if (!ensureFolder()) {
        return;
    }
    const SafeWriteStatus status =
        WriteFileSafely(*m_folder / std::filesystem::path(std::u8string(name.begin(), name.end())), bytes);
    if (status != SafeWriteStatus::Ok) {
        failed(status);
    }
}

void VisitSession::failed(SafeWriteStatus status) {
    if (!m_failure) {
        m_failure = status;
    }
}

}  // namespace tessarin
