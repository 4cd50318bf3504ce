#include "data/collected_logs.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/log_record_decoder.h"

namespace tessarin {
namespace {

using Rows = std::vector<std::vector<std::string>>;

CollectedLog logOf(const std::vector<std::string>& lines, int recordCount, bool ovgrShown = true) {
    CollectedLog log;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        log.lines[i] = lines[i];
    }
    log.recordCount = recordCount;
    log.ovgrColumnShown = ovgrShown;
    return log;
}

struct TableCase {
    const char* name;
    int tab;
    CollectedLog log;
    Rows rows;
};

class LogTable : public ::testing::TestWithParam<TableCase> {};

TEST_P(LogTable, RowsAsTheGridShowsThem) { EXPECT_EQ(LogTableRows(GetParam().log, GetParam().tab), GetParam().rows); }

INSTANTIATE_TEST_SUITE_P(
    Cases, LogTable,
    ::testing::Values(
        // The spacer column never shows; the OVGR column only while the grid showed it.
        TableCase{
            "MinorFaultWithOvgr",
            kTabMinorFault,
            logOf({"ログ№,状態,日時,a,b,c,d,e,f,g,h, ,Ｉ０レンジ,OVGR,位相設定",
                   "1,確定,2012年03月05日14時07分,1,2,3,4,5,6,7,8,2,1,無,-60°～120°,0,0,0,0,0", "2,検出,データ無し",
                   "3,確定,x"},
                  3),
            {{"ログ№", "状態", "日時", "a", "b", "c", "d", "e", "f", "g", "h", "Ｉ０レンジ", "OVGR", "位相設定"},
             {"1", "確定", "2012年03月05日14時07分", "1", "2", "3", "4", "5", "6", "7", "8", "1", "無", "-60°～120°"},
             {"2", "検出", "データ無し"},
             {"3", "確定", "x"}}},
        TableCase{"OvgrWithoutTheOvgrColumn",
                  kTabOvgr,
                  logOf({"0,1,2,3,4,5,6,7,8,9,10,11,12,13", "1,データ無し", "2,データ無し"}, 1, false),
                  {{"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "11", "13"}, {"1", "データ無し"}}},
        // The third column is the state the five values give; an empty record and a short line have none.
        TableCase{"DeviceState",
                  kTabDeviceState,
                  logOf({std::string(LogHeaderLine(kTabDeviceState)), "1,2012年03月05日14時07分,0,0,1,0,0",
                         "2,データ無し", "3,2012年03月05日14時07分,1,0,1,0,0", "4,x"},
                        4),
                  {{"ログ№", "発生日時", "装置状態"},
                   {"1", "2012年03月05日14時07分", "停電検出"},
                   {"2", "データ無し", ""},
                   {"3", "2012年03月05日14時07分", "ＣＰＵリスタート"},
                   {"4", "x", ""}}},
        TableCase{"HeaderOnly",
                  kTabDeviceState,
                  logOf({"ログ№,発生日時,装置状態", "1,x"}, 0),
                  {{"ログ№", "発生日時", "装置状態"}}}),
    [](const ::testing::TestParamInfo<TableCase>& param) { return std::string(param.param.name); });

TEST(CollectedLogs, KeepsTheLastCollectionOfEachLogOnly) {
    CollectedLogs logs;
    std::array<std::string, kLogLineCount> lines{};
    lines[0] = "first";
    for (const int tab : {0, 1, 2}) {
        EXPECT_EQ(logs.Collected(tab), nullptr) << tab;
    }
    logs.Keep(1, lines, 10, false);
    lines[0] = "second";
    logs.Keep(1, lines, 500, true);
    logs.Keep(3, lines, 10, true);
    logs.Keep(-1, lines, 10, true);
    ASSERT_NE(logs.Collected(1), nullptr);
    EXPECT_EQ(logs.Collected(1)->lines[0], "second");
    EXPECT_EQ(logs.Collected(1)->recordCount, 100) << "no more records than lines";
    EXPECT_TRUE(logs.Collected(1)->ovgrColumnShown);
    EXPECT_EQ(logs.Collected(0), nullptr);
    EXPECT_EQ(logs.Collected(2), nullptr);
    EXPECT_EQ(logs.Collected(3), nullptr);
}

}  // namespace
}  // namespace tessarin
