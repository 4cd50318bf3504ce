#include "data/unit_history.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tessarin {
namespace {

// A 微地絡 record line as the collection stores it, numbered `number`, of the minute `minute` and V0 `v0`.
std::string minor(int number, int minute, const std::string& v0 = "12.5V") {
    const std::string date = minute < 0 ? "20--/--/-- --:--" : "2026年09月01日10時" + std::to_string(minute) + "分";
    return std::to_string(number) + ",検出," + date + "," + v0 +
           ",0.100A,30°,60Hz,有,有,有,動作,1,1,無,-60°～120°,0,0,0,0,0";
}

// A collection of lines 1.. (line 0 is the header and never a record).
std::vector<std::string> collection(std::vector<std::string> records) {
    records.insert(records.begin(), "ログ№,状態,発生日時");
    return records;
}

// Renumbers records 1.. in their order, as the unit does when the log moves on.
std::vector<std::string> numbered(const std::vector<int>& minutes, const std::string& v0 = "12.5V") {
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < minutes.size(); ++i) {
        lines.push_back(minor(static_cast<int>(i) + 1, minutes[i], v0));
    }
    return collection(lines);
}

TEST(RecordKey, IsTheLineWithoutItsNumberAndNothingForNoRecord) {
    EXPECT_EQ(RecordKey("7,a,b"), "a,b");
    EXPECT_EQ(RecordKey(minor(3, 5)), RecordKey(minor(90, 5)));
    EXPECT_NE(RecordKey(minor(3, 5, "12.5V")), RecordKey(minor(3, 5, "12.6V")));
    for (const char* none : {"", "7", "x,a,b", ",a,b", "7,", "7,検出,データ無し", "7,データ無し"}) {
        EXPECT_FALSE(RecordKey(none)) << none;
    }
}

TEST(RecordDated, ReadsTheDateFieldOfEachLog) {
    EXPECT_TRUE(RecordDated(minor(1, 5), LogKind::MinorFault));
    EXPECT_FALSE(RecordDated(minor(1, -1), LogKind::MinorFault));
    EXPECT_TRUE(RecordDated("1,2026年09月01日10時12分,0,0,0,0,1", LogKind::DeviceState));
    EXPECT_FALSE(RecordDated("1,20--/--/-- --:--,0,0,0,0,1", LogKind::Ovgr));
    EXPECT_FALSE(RecordDated("1", LogKind::Ovgr));
}

struct MergeCase {
    const char* name;
    std::vector<std::vector<std::string>> earlier;  // collections of earlier visits, merged in order
    std::vector<std::string> now;
    int recordCount;  // of `now`
    std::vector<int> fresh;
    std::size_t heldAfter;  // records in the history once `now` is merged
};

class MergeTest : public testing::TestWithParam<MergeCase> {};

TEST_P(MergeTest, MarksExactlyTheRecordsTheHistoryDoesNotHold) {
    const MergeCase& c = GetParam();
    LogHistory history;
    int visit = 0;
    for (const auto& lines : c.earlier) {
        history.Merge(lines, static_cast<int>(lines.size()) - 1, visit++);
    }
    EXPECT_EQ(history.NewRecordNumbers(c.now, c.recordCount), c.fresh);
    EXPECT_EQ(history.Merge(c.now, c.recordCount, visit), c.fresh);
    EXPECT_EQ(history.Records().size(), c.heldAfter);
    // Merged again, the same collection brings nothing new.
    EXPECT_TRUE(history.NewRecordNumbers(c.now, c.recordCount).empty());
}

INSTANTIATE_TEST_SUITE_P(
    UnitHistory, MergeTest,
    testing::Values(
        MergeCase{"first_visit", {}, numbered({1, 2, 3}), 3, {1, 2, 3}, 3},
        // The log moved on: records 1..2 are the old 2..3 renumbered.
        MergeCase{"overlap", {numbered({1, 2, 3})}, numbered({2, 3, 4, 5}), 4, {3, 4}, 5},
        // Records 1 and 2 were overwritten in the unit; the history keeps them.
        MergeCase{"overwritten", {numbered({1, 2, 3})}, numbered({3, 4}), 2, {2}, 4},
        // Undated records are known by their values like any other.
        MergeCase{"all_zero_date", {numbered({-1})}, collection({minor(1, -1), minor(2, -1, "13.0V")}), 2, {2}, 2},
        // Cleared since: an empty log brings nothing, its new records all count.
        MergeCase{"cleared_empty", {numbered({1, 2})}, collection({}), 0, {}, 2},
        MergeCase{"cleared_refilled", {numbered({1, 2})}, numbered({7}), 1, {1}, 3},
        // Two equal records in one collection are two; one of them was known.
        MergeCase{"same_record_twice", {numbered({4})}, numbered({4, 4}), 2, {2}, 2},
        MergeCase{"same_record_twice_first_visit", {}, numbered({4, 4}), 2, {1, 2}, 2},
        // Seen in two visits, a record is one.
        MergeCase{"seen_in_two_visits", {numbered({4}), numbered({4})}, numbered({4}), 1, {}, 1},
        MergeCase{"one_byte_differs", {numbered({4}, "12.5V")}, numbered({4}, "12.6V"), 1, {1}, 2},
        // Only records 1..recordCount count; empty slots are no records.
        MergeCase{"beyond_count", {}, numbered({1, 2, 3}), 2, {1, 2}, 2},
        MergeCase{"empty_slots", {}, collection({minor(1, 1), "2,―,データ無し"}), 2, {1}, 1}),
    [](const testing::TestParamInfo<MergeCase>& param) { return std::string(param.param.name); });

TEST(LogHistory, KeepsTheLineAndTheVisitThatFirstHeldARecord) {
    LogHistory history;
    history.Merge(numbered({1}), 1, 0);
    history.Merge(numbered({1, 2}), 2, 1);
    ASSERT_EQ(history.Records().size(), 2U);
    EXPECT_EQ(history.Records()[0].firstVisit, 0);
    EXPECT_EQ(history.Records()[1].firstVisit, 1);
    EXPECT_EQ(history.Records()[1].line, minor(2, 2));
    EXPECT_TRUE(history.Holds(*RecordKey(minor(9, 1))));
}

UnitEvidence unitWith(const std::vector<int>& minutes, std::vector<std::string> settings) {
    UnitEvidence unit;
    const auto lines = numbered(minutes);
    unit.lastRecords[0].assign(lines.begin() + 1, lines.end());
    unit.lastSettings = std::move(settings);
    return unit;
}

ConnectionEvidence seenWith(const std::vector<int>& minutes, std::vector<std::string> settings) {
    ConnectionEvidence seen;
    const auto lines = numbered(minutes);
    seen.records[0].assign(lines.begin() + 1, lines.end());
    seen.settings = std::move(settings);
    return seen;
}

TEST(ProposeUnit, NamesTheUnitWhoseRecordsAreFoundAgainAndNeverGuessesBetweenEquals) {
    const std::vector<std::string> settings{"0.5V", "2", "有"};
    const std::vector<std::string> other{"0.6V", "2", "有"};
    // Two units with equal settings: the records decide.
    const std::vector<UnitEvidence> units{unitWith({1, 2}, settings), unitWith({30, 31}, settings)};
    EXPECT_EQ(ProposeUnit(units, seenWith({31, 32}, settings)), 1U);
    EXPECT_EQ(ProposeUnit(units, seenWith({}, settings)), std::nullopt);
    // Settings alone speak for a unit when only one has them.
    const std::vector<UnitEvidence> distinct{unitWith({}, settings), unitWith({}, other)};
    EXPECT_EQ(ProposeUnit(distinct, seenWith({}, other)), 1U);
    // Nothing in common: a new unit.
    EXPECT_EQ(ProposeUnit(units, seenWith({50}, other)), std::nullopt);
    EXPECT_EQ(ProposeUnit({}, seenWith({1}, settings)), std::nullopt);
    // Undated records are no evidence: every unit with an unset clock could have them.
    EXPECT_EQ(MatchScore(unitWith({-1}, {}), seenWith({-1}, {})), 0);
    EXPECT_EQ(MatchScore(unitWith({1, 2}, settings), seenWith({1, 2}, settings)), 5);
}

}  // namespace
}  // namespace tessarin
