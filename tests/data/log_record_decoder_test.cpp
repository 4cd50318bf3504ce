#include "data/log_record_decoder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tessarin {
namespace {

// Puts a log record response (command A1h, data bytes d0..d15) into RcvFrame and decodes it.
void receiveRecord(DeviceData& data, const std::vector<std::uint8_t>& payload, int tab) {
    data.RcvFrame[0] = 0xFF;
    data.RcvFrame[1] = 0xA1;
    data.RcvFrame[2] = static_cast<std::uint8_t>(payload.size() + 5);
    for (std::size_t k = 0; k < payload.size(); ++k) {
        data.RcvFrame[3 + k] = payload[k];
    }
    data.RcvFrame[3 + payload.size()] = 0xCC;
    data.RcvLast = static_cast<std::int16_t>(payload.size() + 4);
    DecodeLogRecord(data, tab);
}

// The record of the worked example: d0 = number, d1..d15 as given there.
std::vector<std::uint8_t> exampleRecord(std::uint8_t number) {
    return {number, 0x01, 0xC8, 0x02, 0x08, 0x02, 0x7B, 60, 12, 3, 5, 14, 7, 0xF0, 5, 0x00};
}

TEST(LogRecordDecoder, WorkedExample) {
    DeviceData data;
    data.LogReqCode = 4;
    receiveRecord(data, exampleRecord(1), kTabMinorFault);
    EXPECT_EQ(data.LogLines[1],
              "1,確定,2012年03月05日14時07分,45.6V,0.052A,63°,60Hz,有,有,有,動作,1,1,無,-60°～120°,0,0,0,0,0");
}

struct LineCase {
    const char* name;
    int tab;
    std::vector<std::uint8_t> payload;
    const char* line;
};

class LogRecordLines : public ::testing::TestWithParam<LineCase> {};

TEST_P(LogRecordLines, Line) {
    const LineCase& c = GetParam();
    DeviceData data;
    data.LogReqCode = 4;
    receiveRecord(data, c.payload, c.tab);
    EXPECT_EQ(data.LogLines[c.payload[0]], c.line);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LogRecordLines,
    ::testing::Values(
        LineCase{"EmptySlotKeepsState",
                 kTabMinorFault,
                 {7, 1, 2, 3, 4, 5, 6, 60, 0xFF, 1, 1, 1, 1, 0xFF, 10, 0xFF},
                 "7,検出,データ無し"},
        LineCase{
            "EmptySlotOtherLog", kTabDeviceState, {7, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0, 0, 0, 0, 0, 10, 0}, "7,データ無し"},
        LineCase{"PlaceholderDateAndRanges",
                 kTabMinorFault,
                 {13, 0x04, 0xD2, 0x03, 0xE8, 0x01, 0xC7, 50, 13, 0, 0, 0, 0, 0x0F, 0, 0x00},
                 "13,―,20--/--/-- --:--,123.4V,0.1A,45°,50Hz,無,無,無,不動作域,2,2,有,-45°～135°,0,0,0,0,0"},
        LineCase{"Over",
                 kTabOvgr,
                 {2, 0x05, 0x0F, 0x04, 0x1A, 0x00, 0x64, 60, 26, 12, 31, 23, 59, 0x00, 5, 0x00},
                 "2,2026年12月31日23時59分,*OVER*,*OVER*,10°,60Hz,無,無,無,不動作域,1,1,無,-60°～120°,0,0,0,0,0"},
        LineCase{"ShortestForms",
                 kTabOvgr,
                 {3, 0x00, 0x78, 0x00, 0x00, 0x07, 0xD5, 60, 0, 1, 2, 3, 4, 0x00, 0, 0x00},
                 "3,2000年01月02日03時04分,12V,0A,**,60Hz,無,無,無,不動作域,1,1,無,-60°～120°,0,0,0,0,0"},
        LineCase{"I0Raw125PassesThePhaseTest",
                 kTabOvgr,
                 {4, 0x01, 0x2C, 0x00, 0x7D, 0x07, 0xD5, 60, 1, 1, 1, 1, 1, 0x00, 0, 0x00},
                 "4,2001年01月01日01時01分,30V,0.013A,計測不可,60Hz,無,無,無,不動作域,1,1,無,-60°～120°,0,0,0,0,0"},
        LineCase{"I0Raw124FailsIt",
                 kTabOvgr,
                 {4, 0x01, 0x2C, 0x00, 0x7C, 0xFE, 0x0C, 60, 1, 1, 1, 1, 1, 0x00, 0, 0x00},
                 "4,2001年01月01日01時01分,30V,0.012A,**,60Hz,無,無,無,不動作域,1,1,無,-60°～120°,0,0,0,0,0"},
        LineCase{"NegativePhaseAndV0Below300",
                 kTabOvgr,
                 {5, 0x01, 0x2B, 0x00, 0x82, 0xFE, 0x0C, 60, 1, 1, 1, 1, 1, 0x00, 0, 0x00},
                 "5,2001年01月01日01時01分,29.9V,0.013A,**,60Hz,無,無,無,不動作域,1,1,無,-60°～120°,0,0,0,0,0"},
        LineCase{"DeviceStateValues",
                 kTabDeviceState,
                 {6, 0x01, 0x2C, 0x00, 0x82, 0xFE, 0x0C, 60, 1, 1, 1, 1, 1, 0x00, 0, 0xA8},
                 "6,2001年01月01日01時01分,30V,0.013A,-50°,60Hz,無,無,無,不動作域,1,1,無,-60°～120°,128,0,32,0,8"},
        LineCase{"AllStateValues",
                 kTabDeviceState,
                 {8, 0, 0, 0, 0, 0, 0, 60, 1, 1, 1, 1, 1, 0x00, 0, 0xFF},
                 "8,2001年01月01日01時01分,0V,0A,**,60Hz,無,無,無,不動作域,1,1,無,-60°～120°,128,64,32,16,8"}),
    [](const ::testing::TestParamInfo<LineCase>& param) { return std::string(param.param.name); });

struct StepCase {
    std::uint8_t logReqCode;
    std::uint8_t number;
    std::uint8_t requested;  // SendData[0] before the answer
    std::uint8_t reqCode;    // ReqCode after
    std::uint8_t logState;
    std::uint8_t nextRequested;
};

class LogRecordCollection : public ::testing::TestWithParam<StepCase> {};

TEST_P(LogRecordCollection, AdvancesOrEnds) {
    const StepCase& c = GetParam();
    DeviceData data;
    data.LogReqCode = c.logReqCode;
    data.LogState = kLogRunning;
    data.ReqCode = kReqAwaitingRecord;
    data.SendData[0] = c.requested;
    data.LogWaitTicks = 1;
    data.LogRetryCount = 2;
    receiveRecord(data, exampleRecord(c.number), kTabMinorFault);
    EXPECT_EQ(data.ReqCode, c.reqCode);
    EXPECT_EQ(data.LogState, c.logState);
    EXPECT_EQ(data.SendData[0], c.nextRequested);
    EXPECT_EQ(data.LogWaitTicks, 0);
    EXPECT_EQ(data.LogRetryCount, 0);
}

INSTANTIATE_TEST_SUITE_P(Steps, LogRecordCollection,
                         ::testing::Values(StepCase{4, 1, 1, 4, kLogRunning, 2},
                                           StepCase{4, 99, 99, 4, kLogRunning, 100},
                                           StepCase{4, 100, 100, kReqNone, kLogLastReceived, 100},
                                           StepCase{5, 9, 9, 5, kLogRunning, 10},
                                           StepCase{5, 10, 10, kReqNone, kLogLastReceived, 10},
                                           StepCase{6, 10, 10, kReqNone, kLogLastReceived, 10},
                                           StepCase{6, 11, 10, kReqNone, kLogLastReceived, 10},
                                           // The next number follows the request, not the answer.
                                           StepCase{4, 7, 3, 4, kLogRunning, 4},
                                           // No collection named: any record ends it.
                                           StepCase{0, 1, 1, kReqNone, kLogLastReceived, 1}));

TEST(LogRecordDecoder, RecordNumbersWithoutALineAreDropped) {
    for (const std::uint8_t number : {std::uint8_t{0}, std::uint8_t{101}, std::uint8_t{255}}) {
        SCOPED_TRACE(number);
        DeviceData data;
        data.LogReqCode = 4;
        data.LogState = kLogRunning;
        data.ReqCode = kReqAwaitingRecord;
        data.SendData[0] = 5;
        data.LogWaitTicks = 1;
        data.LogRetryCount = 2;
        data.LogLines[0] = std::string(LogHeaderLine(kTabMinorFault));
        receiveRecord(data, exampleRecord(number), kTabMinorFault);
        EXPECT_EQ(data.LogLines[0], LogHeaderLine(kTabMinorFault));
        for (std::size_t i = 1; i < kLogLineCount; ++i) {
            EXPECT_EQ(data.LogLines[i], "");
        }
        EXPECT_EQ(data.ReqCode, kReqAwaitingRecord);
        EXPECT_EQ(data.LogState, kLogRunning);
        EXPECT_EQ(data.SendData[0], 5);
        EXPECT_EQ(data.LogWaitTicks, 1);
        EXPECT_EQ(data.LogRetryCount, 2);
    }
}

TEST(LogRecordDecoder, HeaderLinesMatchTheirLogs) {
    EXPECT_EQ(LogHeaderLine(kTabDeviceState), "ログ№,発生日時,装置状態");
    EXPECT_EQ(LogHeaderLine(kTabMinorFault),
              "ログ№,状態,発生日時,Ｖ０計測値,Ｉ０計測値,位相計測値,周波数,電源電圧,Ｖ０判定,ＩＯ判定,位相判定, "
              ",Ｉ０レンジ,OVGR,位相設定");
    EXPECT_EQ(LogHeaderLine(kTabOvgr),
              "ログ№,発生日時,Ｖ０計測値,Ｉ０計測値,位相計測値,周波数,電源電圧,Ｖ０判定,ＩＯ判定,位相判定, "
              ",Ｉ０レンジ,OVGR,位相設定");
    EXPECT_EQ(LogHeaderLine(3), "");
}

}  // namespace
}  // namespace tessarin
