#include "data/log_record_decoder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "link/response_frames.h"

namespace tessarin {
namespace {

// Decodes a log record response (command A1h, data bytes d0..d15) and stores its line as a collection would.
void receiveRecord(DeviceData& data, const std::vector<std::uint8_t>& payload, LogKind kind) {
    if (std::optional<LogRecordLine> record = DecodeLogRecord(test::ResponseFrame(0xA1, payload), kind)) {
        data.LogLines[static_cast<std::size_t>(record->number)] = record->line;
    }
}

// The record of the worked example: d0 = number, d1..d15 as given there.
std::vector<std::uint8_t> exampleRecord(std::uint8_t number) {
    return {number, 0x01, 0xC8, 0x02, 0x08, 0x02, 0x7B, 60, 12, 3, 5, 14, 7, 0xF0, 5, 0x00};
}

TEST(LogRecordDecoder, WorkedExample) {
    DeviceData data;
    data.LogReqCode = 4;
    receiveRecord(data, exampleRecord(1), LogKind::MinorFault);
    EXPECT_EQ(data.LogLines[1],
              "1,確定,2012年03月05日14時07分,45.6V,0.052A,63°,60Hz,有,有,有,動作,1,1,無,-60°～120°,0,0,0,0,0");
}

TEST(LogRecordDecoder, WorkedExampleNumbers) {
    const std::optional<LogRecordLine> record =
        DecodeLogRecord(test::ResponseFrame(0xA1, exampleRecord(1)), LogKind::MinorFault);
    ASSERT_TRUE(record && record->numbers);
    const LogRecordNumbers& n = *record->numbers;
    EXPECT_EQ(n.measured.v0Tenths, 456U);
    EXPECT_FALSE(n.measured.v0Over);
    EXPECT_EQ(n.measured.i0Tenths, 520U);
    EXPECT_EQ(n.measured.phaseTenths, 635);
    EXPECT_EQ(n.measured.phase, PhaseShown::Angle);
    EXPECT_EQ(n.state, RecordState::Confirmed);
    EXPECT_TRUE(n.v0Judged && n.i0Judged && n.phaseJudged);
    EXPECT_TRUE(n.dateSet);
    EXPECT_EQ((std::vector<int>{n.year, n.month, n.day, n.hour, n.minute}), (std::vector<int>{2012, 3, 5, 14, 7}));

    // The picture reads the same record back from the line the log screen keeps.
    const std::optional<LogLinePoint> point = MinorFaultLinePoint(record->line);
    ASSERT_TRUE(point);
    EXPECT_EQ(point->number, 1);
    EXPECT_EQ(point->state, RecordState::Confirmed);
    EXPECT_EQ(point->i0Milliamps, 52U);
    EXPECT_EQ(point->phaseDegrees, 63);
}

struct LineCase {
    const char* name;
    LogKind kind;
    std::vector<std::uint8_t> payload;
    const char* line;
};

class LogRecordLines : public ::testing::TestWithParam<LineCase> {};

TEST_P(LogRecordLines, Line) {
    const LineCase& c = GetParam();
    DeviceData data;
    data.LogReqCode = 4;
    receiveRecord(data, c.payload, c.kind);
    EXPECT_EQ(data.LogLines[c.payload[0]], c.line);

    // The numbers agree with the line: present exactly when it has measurements, the same *OVER* and phase.
    const std::optional<LogRecordLine> record = DecodeLogRecord(test::ResponseFrame(0xA1, c.payload), c.kind);
    ASSERT_TRUE(record);
    const std::string line = c.line;
    ASSERT_EQ(record->numbers.has_value(), line.find("データ無し") == std::string::npos);
    if (record->numbers) {
        const Measurement& m = record->numbers->measured;
        EXPECT_EQ(line.find("*OVER*") != std::string::npos, m.v0Over || m.i0Over);
        EXPECT_EQ(line.find(",**,") != std::string::npos, m.phase == PhaseShown::NotShown);
        EXPECT_EQ(line.find("計測不可") != std::string::npos, m.phase == PhaseShown::Unmeasurable);
        EXPECT_EQ(line.find("20--/--/--") == std::string::npos, record->numbers->dateSet);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LogRecordLines,
    ::testing::Values(
        LineCase{"EmptySlotKeepsState",
                 LogKind::MinorFault,
                 {7, 1, 2, 3, 4, 5, 6, 60, 0xFF, 1, 1, 1, 1, 0xFF, 10, 0xFF},
                 "7,検出,データ無し"},
        LineCase{"EmptySlotOtherLog",
                 LogKind::DeviceState,
                 {7, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0, 0, 0, 0, 0, 10, 0},
                 "7,データ無し"},
        LineCase{"PlaceholderDateAndRanges",
                 LogKind::MinorFault,
                 {13, 0x04, 0xD2, 0x03, 0xE8, 0x01, 0xC7, 50, 13, 0, 0, 0, 0, 0x0F, 0, 0x00},
                 "13,―,20--/--/-- --:--,123.4V,0.1A,45°,50Hz,無,無,無,不動作域,2,2,有,-45°～135°,0,0,0,0,0"},
        LineCase{"Over",
                 LogKind::Ovgr,
                 {2, 0x05, 0x0F, 0x04, 0x1A, 0x00, 0x64, 60, 26, 12, 31, 23, 59, 0x00, 5, 0x00},
                 "2,2026年12月31日23時59分,*OVER*,*OVER*,10°,60Hz,無,無,無,不動作域,1,1,無,-60°～120°,0,0,0,0,0"},
        LineCase{"ShortestForms",
                 LogKind::Ovgr,
                 {3, 0x00, 0x78, 0x00, 0x00, 0x07, 0xD5, 60, 0, 1, 2, 3, 4, 0x00, 0, 0x00},
                 "3,2000年01月02日03時04分,12V,0A,**,60Hz,無,無,無,不動作域,1,1,無,-60°～120°,0,0,0,0,0"},
        LineCase{"I0Raw125PassesThePhaseTest",
                 LogKind::Ovgr,
                 {4, 0x01, 0x2C, 0x00, 0x7D, 0x07, 0xD5, 60, 1, 1, 1, 1, 1, 0x00, 0, 0x00},
                 "4,2001年01月01日01時01分,30V,0.013A,計測不可,60Hz,無,無,無,不動作域,1,1,無,-60°～120°,0,0,0,0,0"},
        LineCase{"I0Raw124FailsIt",
                 LogKind::Ovgr,
                 {4, 0x01, 0x2C, 0x00, 0x7C, 0xFE, 0x0C, 60, 1, 1, 1, 1, 1, 0x00, 0, 0x00},
                 "4,2001年01月01日01時01分,30V,0.012A,**,60Hz,無,無,無,不動作域,1,1,無,-60°～120°,0,0,0,0,0"},
        LineCase{"NegativePhaseAndV0Below300",
                 LogKind::Ovgr,
                 {5, 0x01, 0x2B, 0x00, 0x82, 0xFE, 0x0C, 60, 1, 1, 1, 1, 1, 0x00, 0, 0x00},
                 "5,2001年01月01日01時01分,29.9V,0.013A,**,60Hz,無,無,無,不動作域,1,1,無,-60°～120°,0,0,0,0,0"},
        LineCase{"DeviceStateValues",
                 LogKind::DeviceState,
                 {6, 0x01, 0x2C, 0x00, 0x82, 0xFE, 0x0C, 60, 1, 1, 1, 1, 1, 0x00, 0, 0xA8},
                 "6,2001年01月01日01時01分,30V,0.013A,-50°,60Hz,無,無,無,不動作域,1,1,無,-60°～120°,128,0,32,0,8"},
        LineCase{"AllStateValues",
                 LogKind::DeviceState,
                 {8, 0, 0, 0, 0, 0, 0, 60, 1, 1, 1, 1, 1, 0x00, 0, 0xFF},
                 "8,2001年01月01日01時01分,0V,0A,**,60Hz,無,無,無,不動作域,1,1,無,-60°～120°,128,64,32,16,8"}),
    [](const ::testing::TestParamInfo<LineCase>& param) { return std::string(param.param.name); });

TEST(LogRecordDecoder, RecordNumbersWithoutALineHaveNone) {
    for (const std::uint8_t number : {std::uint8_t{0}, std::uint8_t{101}, std::uint8_t{255}}) {
        EXPECT_FALSE(DecodeLogRecord(test::ResponseFrame(0xA1, exampleRecord(number)), LogKind::MinorFault).has_value())
            << int{number};
    }
}

TEST(LogRecordDecoder, HeaderLinesMatchTheirLogs) {
    EXPECT_EQ(LogHeaderLine(LogKind::DeviceState), "ログ№,発生日時,装置状態");
    EXPECT_EQ(LogHeaderLine(LogKind::MinorFault),
              "ログ№,状態,発生日時,Ｖ０計測値,Ｉ０計測値,位相計測値,周波数,電源電圧,Ｖ０判定,ＩＯ判定,位相判定, "
              ",Ｉ０レンジ,OVGR,位相設定");
    EXPECT_EQ(LogHeaderLine(LogKind::Ovgr),
              "ログ№,発生日時,Ｖ０計測値,Ｉ０計測値,位相計測値,周波数,電源電圧,Ｖ０判定,ＩＯ判定,位相判定, "
              ",Ｉ０レンジ,OVGR,位相設定");
}

// The protocol's numbers of each log, written out once more by hand: the record answer each request is
// answered in, as the unit sends it, and the requests that name no log.
TEST(LogCodes, RequestAnswerClearAndRecordsOfEachLog) {
    struct Expected {
        LogKind kind;
        std::uint8_t request, answer, clear;
        int records;
    };
    for (const Expected& e :
         {Expected{LogKind::MinorFault, 0x04, 0xA1, 0x01, 100}, Expected{LogKind::DeviceState, 0x06, 0xA3, 0x00, 10},
          Expected{LogKind::Ovgr, 0x05, 0xA2, 0x02, 10}}) {
        const LogCodes& codes = CodesOf(e.kind);
        EXPECT_EQ(codes.kind, e.kind);
        EXPECT_EQ(codes.request, e.request);
        EXPECT_EQ(codes.answer, e.answer);
        EXPECT_EQ(codes.clear, e.clear);
        EXPECT_EQ(codes.records, e.records);
        EXPECT_EQ(LogKindOfRequest(e.request), e.kind);
    }
    for (const std::uint8_t other : {0x00, 0x01, 0x02, 0x03, 0x07, 0xA1, 0xFF}) {
        EXPECT_EQ(LogKindOfRequest(other), std::nullopt) << int{other};
    }
}

}  // namespace
}  // namespace tessarin
