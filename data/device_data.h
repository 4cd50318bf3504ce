// The records through which the link, the decoders and the windows share what the control unit reported.
// One DeviceData is created by the program (tests build their own) and handed around by reference;
// everything is touched from the user-interface thread only, so nothing here is locked.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "data/measured_values.h"
#include "data/protocol_codes.h"

namespace tessarin {

// Booleans kept in the shared records are 16-bit numbers: -1 true, 0 false.
using Flag16 = std::int16_t;
inline constexpr Flag16 kTrue = -1;
inline constexpr Flag16 kFalse = 0;

// Display texts (UTF-8) and counts of the last current-value response.
struct NowValueRecord {
    std::string V0Text;
    std::string I0Text;
    std::string PhaseText;
    std::string FreqText;
    std::uint8_t DetectProgress = 0;
    std::uint8_t ConfirmCount = 0;
    std::string DetectModeText;
    std::string V0LevelText;
    std::string I0LevelText;
    std::string PhaseRangeText;
    std::string DetectTimeText;
    std::string OvgrStateText;
    std::string AlarmOut1Text;
    std::string AlarmOut2Text;
    std::string CyclicDispText;
    std::string LogOverwriteText;
    std::string OvgrModeText;
    // The same answer as numbers, for the pictures and the recording.
    NowValueNumbers Numbers;
};

inline constexpr std::size_t kRcvFrameSize = 1025;
inline constexpr std::size_t kLogLineCount = 101;  // header + records 1..100

// Values of ReqCode and PollPending that mean something beyond a request code.
inline constexpr std::uint8_t kReqNone = 0;
inline constexpr std::uint8_t kReqAwaitingRecord = 255;
inline constexpr std::uint8_t kPollOutstanding = 255;

// LogState values.
inline constexpr std::uint8_t kLogIdle = 0;
inline constexpr std::uint8_t kLogRunning = 1;
inline constexpr std::uint8_t kLogLastReceived = 2;

struct DeviceData {
    // Received frame: the dispatcher copies each valid frame here; bytes past RcvLast keep older data.
    std::array<std::uint8_t, kRcvFrameSize> RcvFrame{};
    std::int16_t RcvLast = 0;

    NowValueRecord NowValue;

    // Log lines of the log being collected: [0] header, [n] record n.
    std::array<std::string, kLogLineCount> LogLines;

    // Request mailbox: the request cycle sends ReqCode at its next tick, with SendData as its data bytes.
    std::uint8_t ReqCode = kReqNone;
    std::array<std::uint8_t, kSendDataSize> SendData{};

    std::uint8_t PollPending = 0;
    std::uint8_t LogReqCode = 0;
    std::uint8_t LogState = kLogIdle;

    // Link state.
    Flag16 LinkUp = kFalse;
    std::int16_t PortNo = -1;
    Flag16 TxStarted = kFalse;
    std::string PortDevName;
    std::int16_t OsPlatform = 0;

    // Log collection counters.
    std::int16_t LogWaitTicks = 0;
    std::int16_t LogRetryCount = 0;
    std::int16_t LogBusy = 0;

    // Request cycle state.
    std::uint8_t PollTick = 0;

    // Send buffer: every write sends all 22 bytes; a 20-byte request leaves positions 20 and 21 as they were.
    std::array<std::uint8_t, kSendFrameSize> SendFrame{};
};

}  // namespace tessarin
