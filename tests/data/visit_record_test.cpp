#include "data/visit_record.h"

#include <gtest/gtest.h>

#include <functional>
#include <nlohmann/json.hpp>
#include <string>

namespace tessarin {
namespace {

using Json = nlohmann::json;

VisitRecord fullRecord() {
    VisitRecord record;
    record.startedAt = "2026-09-01T10:12:00";
    record.unitName = "北変電所 ６号線 盤3";
    record.port = "/dev/ttyUSB0";
    record.programVersion = "Tessarin 1.0.0";
    record.logs[0] =
        VisitLog{"2026-09-01T10:15:30", {"1,検出,2026年09月01日10時12分,12.5V", "2,確定,20--/--/-- --:--,1V"}};
    record.logs[2] = VisitLog{"2026-09-01T10:16:00", {}};
    record.settings.assign(10, "0.5V");
    record.journal = {{"2026-09-01T10:20:00", "微地絡ログを消去しました（2件、保存済み）"}};
    return record;
}

TEST(VisitRecord, ReadsBackWhatItWrote) {
    const VisitRecord record = fullRecord();
    const std::string bytes = FormatVisitRecord(record);
    const VisitRecordRead read = ParseVisitRecord(bytes);
    ASSERT_EQ(read.Error, VisitRecordError::None) << read.Field;
    EXPECT_EQ(read.Record.startedAt, record.startedAt);
    EXPECT_EQ(read.Record.unitName, record.unitName);
    ASSERT_TRUE(read.Record.logs[0]);
    EXPECT_EQ(read.Record.logs[0]->records, record.logs[0]->records);
    EXPECT_FALSE(read.Record.logs[1]);
    ASSERT_TRUE(read.Record.logs[2]);
    EXPECT_TRUE(read.Record.logs[2]->records.empty());
    EXPECT_EQ(read.Record.settings, record.settings);
    ASSERT_EQ(read.Record.journal.size(), 1U);
    EXPECT_EQ(read.Record.journal[0].text, record.journal[0].text);
    EXPECT_EQ(FormatVisitRecord(read.Record), bytes);
}

struct Refusal {
    const char* name;
    std::function<void(Json&)> edit;
    VisitRecordError error;
    const char* field;
};

class VisitRecordRefusal : public testing::TestWithParam<Refusal> {};

TEST_P(VisitRecordRefusal, NamesWhatIsWrongAndCarriesNothing) {
    Json root = Json::parse(FormatVisitRecord(fullRecord()));
    GetParam().edit(root);
    const VisitRecordRead read = ParseVisitRecord(root.dump());
    EXPECT_EQ(read.Error, GetParam().error);
    EXPECT_EQ(read.Field, GetParam().field);
    EXPECT_TRUE(read.Record.unitName.empty());
    EXPECT_FALSE(VisitRecordErrorText(read).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Fields, VisitRecordRefusal,
    testing::Values(
        Refusal{"not_ours", [](Json& r) { r["kind"] = "tessarin-settings"; }, VisitRecordError::NotOurs, ""},
        Refusal{"not_an_object", [](Json& r) { r = Json::array(); }, VisitRecordError::NotOurs, ""},
        Refusal{"newer", [](Json& r) { r["formatVersion"] = 2; }, VisitRecordError::NewerFormat, ""},
        Refusal{"version_zero", [](Json& r) { r["formatVersion"] = 0; }, VisitRecordError::BadField, "formatVersion"},
        Refusal{"version_text", [](Json& r) { r["formatVersion"] = "1"; }, VisitRecordError::BadField, "formatVersion"},
        Refusal{"bad_time", [](Json& r) { r["startedAt"] = "2026-13-01T10:12:00"; }, VisitRecordError::BadField,
                "startedAt"},
        Refusal{"name_not_text", [](Json& r) { r["unitName"] = 5; }, VisitRecordError::BadField, "unitName"},
        Refusal{"name_too_long", [](Json& r) { r["unitName"] = std::string(5000, 'a'); }, VisitRecordError::BadField,
                "unitName"},
        Refusal{"no_logs", [](Json& r) { r.erase("logs"); }, VisitRecordError::BadField, "logs"},
        Refusal{"misnumbered", [](Json& r) { r["logs"]["minorFault"]["records"][1] = "3,確定,x"; },
                VisitRecordError::BadField, "minorFault"},
        Refusal{"empty_slot", [](Json& r) { r["logs"]["minorFault"]["records"][1] = "2,―,データ無し"; },
                VisitRecordError::BadField, "minorFault"},
        Refusal{"too_many_records",
                [](Json& r) {
                    for (int i = 1; i <= 11; ++i) {
                        r["logs"]["ovgr"]["records"].push_back(std::to_string(i) + ",x");
                    }
                },
                VisitRecordError::BadField, "records"},
        Refusal{"collected_at_missing", [](Json& r) { r["logs"]["ovgr"].erase("collectedAt"); },
                VisitRecordError::BadField, "collectedAt"},
        Refusal{"three_settings",
                [](Json& r) {
                    r["settings"] = {"a", "b", "c"};
                },
                VisitRecordError::BadField, "settings"},
        Refusal{"journal_entry", [](Json& r) { r["journal"][0]["at"] = "yesterday"; }, VisitRecordError::BadField,
                "at"},
        Refusal{"no_journal", [](Json& r) { r.erase("journal"); }, VisitRecordError::BadField, "journal"}),
    [](const testing::TestParamInfo<Refusal>& param) { return std::string(param.param.name); });

TEST(VisitRecord, RefusesWhatIsNoWholeDocument) {
    const std::string bytes = FormatVisitRecord(fullRecord());
    EXPECT_EQ(ParseVisitRecord(bytes.substr(0, bytes.size() / 2)).Error, VisitRecordError::NotJson);
    EXPECT_EQ(ParseVisitRecord(bytes + std::string(1, '\0')).Error, VisitRecordError::NotJson);
    EXPECT_EQ(ParseVisitRecord(R"({"kind":"tessarin-visit","kind":"tessarin-visit"})").Error,
              VisitRecordError::NotJson);
    EXPECT_EQ(ParseVisitRecord(std::string(kVisitRecordMaxBytes + 1, ' ')).Error, VisitRecordError::TooLarge);
}

TEST(IsRecordTime, TakesOnlyALocalTimeToTheSecond) {
    EXPECT_TRUE(IsRecordTime("2026-12-31T23:59:59"));
    for (const char* bad :
         {"", "2026-12-31 23:59:59", "2026-00-10T10:00:00", "2026-12-32T10:00:00", "2026-12-10T24:00:00",
          "2026-12-10T10:60:00", "2026-12-10T10:00:0x", "2026-12-10T10:00:00Z"}) {
        EXPECT_FALSE(IsRecordTime(bad)) << bad;
    }
}

}  // namespace
}  // namespace tessarin
