// A record answer taken into a running collection: the answer to the record asked for has its line stored and
// steps the collection on to the next record or ends it after the log's last; any other answer changes
// nothing.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "data/log_record_decoder.h"
#include "link/log_collection.h"

namespace tessarin {
namespace {

// The answer code of the log asked for with `logReqCode` (A1h-A3h for 04h-06h).
std::uint8_t ownCode(std::uint8_t logReqCode) { return static_cast<std::uint8_t>(0xA0 + logReqCode - 3); }

// Puts a log record response (command `code`, data bytes d0..d15) into RcvFrame and takes it in; true when
// it was taken.
bool receiveRecord(DeviceData& data, const std::vector<std::uint8_t>& payload, LogKind kind, std::uint8_t code) {
    data.RcvFrame[0] = 0xFF;
    data.RcvFrame[1] = code;
    data.RcvFrame[2] = static_cast<std::uint8_t>(payload.size() + 5);
    for (std::size_t k = 0; k < payload.size(); ++k) {
        data.RcvFrame[3 + k] = payload[k];
    }
    data.RcvFrame[3 + payload.size()] = 0xCC;
    data.RcvLast = static_cast<std::int16_t>(payload.size() + 4);
    return TakeLogRecord(data, kind);
}

// A running collection of the log `logReqCode` names, with record `requested` on the wire and a wait and
// re-send count of its own.
DeviceData awaiting(std::uint8_t logReqCode, std::uint8_t requested) {
    DeviceData data;
    data.LogReqCode = logReqCode;
    data.LogState = kLogRunning;
    data.ReqCode = kReqAwaitingRecord;
    data.SendData[0] = requested;
    data.LogWaitTicks = 1;
    data.LogRetryCount = 2;
    return data;
}

// The record of the worked example: d0 = number, d1..d15 as given there.
std::vector<std::uint8_t> exampleRecord(std::uint8_t number) {
    return {number, 0x01, 0xC8, 0x02, 0x08, 0x02, 0x7B, 60, 12, 3, 5, 14, 7, 0xF0, 5, 0x00};
}

struct StepCase {
    std::uint8_t logReqCode;
    std::uint8_t number;
    std::uint8_t requested;  // SendData[0] before the answer
    std::uint8_t reqCode;    // ReqCode after
    std::uint8_t logState;
    std::uint8_t nextRequested;
};

class LogRecordSteps : public ::testing::TestWithParam<StepCase> {};

TEST_P(LogRecordSteps, AdvancesOrEnds) {
    const StepCase& c = GetParam();
    DeviceData data = awaiting(c.logReqCode, c.requested);
    EXPECT_TRUE(receiveRecord(data, exampleRecord(c.number), LogKind::MinorFault, ownCode(c.logReqCode)));
    EXPECT_THAT(data.LogLines[c.number], ::testing::StartsWith(std::to_string(c.number) + ","));
    EXPECT_EQ(data.ReqCode, c.reqCode);
    EXPECT_EQ(data.LogState, c.logState);
    EXPECT_EQ(data.SendData[0], c.nextRequested);
    EXPECT_EQ(data.LogWaitTicks, 0);
    EXPECT_EQ(data.LogRetryCount, 0);
}

INSTANTIATE_TEST_SUITE_P(Steps, LogRecordSteps,
                         ::testing::Values(StepCase{4, 1, 1, 4, kLogRunning, 2},
                                           StepCase{4, 99, 99, 4, kLogRunning, 100},
                                           StepCase{4, 100, 100, kReqNone, kLogLastReceived, 100},
                                           StepCase{5, 9, 9, 5, kLogRunning, 10},
                                           StepCase{5, 10, 10, kReqNone, kLogLastReceived, 10},
                                           StepCase{6, 10, 10, kReqNone, kLogLastReceived, 10}));

struct StrayCase {
    const char* name;
    std::uint8_t logReqCode;
    std::uint8_t code;  // the answer's command code
    std::uint8_t number;
    std::uint8_t requested;  // SendData[0]
};

class StrayAnswers : public ::testing::TestWithParam<StrayCase> {};

// An answer that is not the one awaited is no answer: nothing stored, nothing stepped, and the wait goes on
// counting towards the re-send of the record asked for.
TEST_P(StrayAnswers, ChangeNothing) {
    const StrayCase& c = GetParam();
    DeviceData data = awaiting(c.logReqCode, c.requested);
    data.LogLines[0] = std::string(LogHeaderLine(LogKind::MinorFault));
    data.LogLines[3] = "3,earlier";
    EXPECT_FALSE(receiveRecord(data, exampleRecord(c.number), LogKind::MinorFault, c.code));
    EXPECT_EQ(data.LogLines[0], LogHeaderLine(LogKind::MinorFault));
    for (std::size_t i = 1; i < kLogLineCount; ++i) {
        EXPECT_EQ(data.LogLines[i], i == 3 ? "3,earlier" : "") << i;
    }
    EXPECT_EQ(data.ReqCode, kReqAwaitingRecord);
    EXPECT_EQ(data.LogState, kLogRunning);
    EXPECT_EQ(data.SendData[0], c.requested);
    EXPECT_EQ(data.LogWaitTicks, 1);
    EXPECT_EQ(data.LogRetryCount, 2);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StrayAnswers,
    ::testing::Values(StrayCase{"NumberZero", 4, 0xA1, 0, 5}, StrayCase{"Number101", 4, 0xA1, 101, 5},
                      StrayCase{"Number255", 4, 0xA1, 255, 5}, StrayCase{"LaterRecord", 4, 0xA1, 7, 5},
                      StrayCase{"EarlierRecord", 4, 0xA1, 3, 5}, StrayCase{"LastNumberEarly", 4, 0xA1, 100, 5},
                      StrayCase{"PastTheLast", 6, 0xA3, 11, 10}, StrayCase{"LaterRecordInAnotherCode", 5, 0xA3, 6, 5},
                      StrayCase{"NoLogNamed", 0, 0xA1, 5, 5}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

}  // namespace
}  // namespace tessarin
