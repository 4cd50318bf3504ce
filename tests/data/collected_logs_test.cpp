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
    LogKind kind;
    CollectedLog log;
    Rows rows;
};

class LogTable : public ::testing::TestWithParam<TableCase> {};

TEST_P(LogTable, RowsAsTheGridShowsThem) { EXPECT_EQ(LogTableRows(GetParam().log, GetParam().kind), GetParam().rows); }

INSTANTIATE_TEST_SUITE_P(
    Cases, LogTable,
    ::testing::Values(
        // The spacer column never shows; the OVGR column only while the grid showed it.
        TableCase{
            "MinorFaultWithOvgr",
            LogKind::MinorFault,
            logOf({"ログ№,状態,日時,a,b,c,d,e,f,g,h, ,Ｉ０レンジ,OVGR,位相設定",
                   "1,確定,2012年03月05日14時07分,1,2,3,4,5,6,7,8,2,1,無,-60°～120°,0,0,0,0,0", "2,検出,データ無し",
                   "3,確定,x"},
                  3),
            {{"ログ№", "状態", "日時", "a", "b", "c", "d", "e", "f", "g", "h", "Ｉ０レンジ", "OVGR", "位相設定"},
             {"1", "確定", "2012年03月05日14時07分", "1", "2", "3", "4", "5", "6", "7", "8", "1", "無", "-60°～120°"},
             {"2", "検出", "データ無し"},
             {"3", "確定", "x"}}},
        TableCase{"OvgrWithoutTheOvgrColumn",
                  LogKind::Ovgr,
                  logOf({"0,1,2,3,4,5,6,7,8,9,10,11,12,13", "1,データ無し", "2,データ無し"}, 1, false),
                  {{"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "11", "13"}, {"1", "データ無し"}}},
        // The third column is the state the five values give; an empty record and a short line have none.
        TableCase{"DeviceState",
                  LogKind::DeviceState,
                  logOf({std::string(LogHeaderLine(LogKind::DeviceState)), "1,2012年03月05日14時07分,0,0,1,0,0",
                         "2,データ無し", "3,2012年03月05日14時07分,1,0,1,0,0", "4,x"},
                        4),
                  {{"ログ№", "発生日時", "装置状態"},
                   {"1", "2012年03月05日14時07分", "停電検出"},
                   {"2", "データ無し", ""},
                   {"3", "2012年03月05日14時07分", "ＣＰＵリスタート"},
                   {"4", "x", ""}}},
        TableCase{"HeaderOnly",
                  LogKind::DeviceState,
                  logOf({"ログ№,発生日時,装置状態", "1,x"}, 0),
                  {{"ログ№", "発生日時", "装置状態"}}}),
    [](const ::testing::TestParamInfo<TableCase>& param) { return std::string(param.param.name); });

TEST(CollectedLogs, KeepsTheLastCollectionOfEachLogOnly) {
    CollectedLogs logs;
    std::array<std::string, kLogLineCount> lines{};
    lines[0] = "first";
    for (const LogKind kind : {LogKind::MinorFault, LogKind::DeviceState, LogKind::Ovgr}) {
        EXPECT_EQ(logs.Collected(kind), nullptr) << static_cast<int>(kind);
    }
    logs.Keep(LogKind::DeviceState, lines, 10, false);
    lines[0] = "second";
    logs.Keep(LogKind::DeviceState, lines, 500, true);
    ASSERT_NE(logs.Collected(LogKind::DeviceState), nullptr);
    EXPECT_EQ(logs.Collected(LogKind::DeviceState)->lines[0], "second");
    EXPECT_EQ(logs.Collected(LogKind::DeviceState)->recordCount, 100) << "no more records than lines";
    EXPECT_TRUE(logs.Collected(LogKind::DeviceState)->ovgrColumnShown);
    EXPECT_EQ(logs.Collected(LogKind::MinorFault), nullptr);
    EXPECT_EQ(logs.Collected(LogKind::Ovgr), nullptr);
}

}  // namespace
}  // namespace tessarin
