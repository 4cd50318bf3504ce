// A record answer taken into a running collection: its line stored under its own number, and the collection
// stepped on to the next record or ended after the log's last.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "data/log_record_decoder.h"
#include "link/log_collection.h"

namespace tessarin {
namespace {

// Puts a log record response (command A1h, data bytes d0..d15) into RcvFrame and takes it in.
void receiveRecord(DeviceData& data, const std::vector<std::uint8_t>& payload, int tab) {
    data.RcvFrame[0] = 0xFF;
    data.RcvFrame[1] = 0xA1;
    data.RcvFrame[2] = static_cast<std::uint8_t>(payload.size() + 5);
    for (std::size_t k = 0; k < payload.size(); ++k) {
        data.RcvFrame[3 + k] = payload[k];
    }
    data.RcvFrame[3 + payload.size()] = 0xCC;
    data.RcvLast = static_cast<std::int16_t>(payload.size() + 4);
    TakeLogRecord(data, tab);
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

INSTANTIATE_TEST_SUITE_P(Steps, LogRecordSteps,
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

TEST(LogRecordSteps, RecordNumbersWithoutALineChangeNothing) {
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

}  // namespace
}  // namespace tessarin
