// The visit-record reader on arbitrary bytes: it never throws or crashes; a refusal carries no fields and
// says why; what it accepts keeps to the limits (records numbered from 1 and each a record, times to the
// second, ten settings or none), is written again and reads back to the very same bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "data/settings_codec.h"
#include "data/unit_history.h"
#include "data/visit_record.h"
#include "fuzz/fuzz_support.h"

namespace {

using tessarin::fuzz::Require;

void checkLimits(const tessarin::VisitRecord& record) {
    Require(tessarin::IsRecordTime(record.startedAt), "the start is a time");
    Require(record.settings.empty() || record.settings.size() == tessarin::kSettingListCount, "ten settings or none");
    Require(record.journal.size() <= tessarin::kVisitJournalMaxEntries, "the journal is bounded");
    for (const auto& log : record.logs) {
        if (!log) {
            continue;
        }
        Require(tessarin::IsRecordTime(log->collectedAt), "a log's collection is a time");
        for (std::size_t i = 0; i < log->records.size(); ++i) {
            Require(log->records[i].starts_with(std::to_string(i + 1) + ","), "records numbered from 1");
            Require(tessarin::RecordKey(log->records[i]).has_value(), "every line a record");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const tessarin::VisitRecordRead read = tessarin::ParseVisitRecord(bytes);
    if (read.Error != tessarin::VisitRecordError::None) {
        Require(read.Record.unitName.empty() && read.Record.journal.empty(), "a refused record carries no fields");
        Require(!tessarin::VisitRecordErrorText(read).empty(), "a refusal says why");
        return 0;
    }
    checkLimits(read.Record);
    const std::string written = tessarin::FormatVisitRecord(read.Record);
    const tessarin::VisitRecordRead again = tessarin::ParseVisitRecord(written);
    Require(again.Error == tessarin::VisitRecordError::None, "a record read must be written back readable");
    Require(tessarin::FormatVisitRecord(again.Record) == written, "written back, it reads as the same record");
    return 0;
}
