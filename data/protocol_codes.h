// The unit's protocol numbers, defined once: request and response codes, frame sizes and record counts.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace tessarin {

// Request codes (ReqCode and the command byte of a request).
inline constexpr std::uint8_t kReqPoll = 0x00;
inline constexpr std::uint8_t kReqClearMinorFaultLog = 0x01;
inline constexpr std::uint8_t kReqClearOvgrLog = 0x02;
inline constexpr std::uint8_t kReqWriteSettings = 0x03;
inline constexpr std::uint8_t kReqMinorFaultRecord = 0x04;
inline constexpr std::uint8_t kReqOvgrRecord = 0x05;
inline constexpr std::uint8_t kReqDeviceStateRecord = 0x06;
inline constexpr std::uint8_t kReqInitialise = 0x07;

// Response codes: current values, and the record answers (all three decoded alike).
inline constexpr std::uint8_t kRespNowValue = 0xA0;
inline constexpr std::uint8_t kRespRecordFirst = 0xA1;
inline constexpr std::uint8_t kRespRecordLast = 0xA3;

// Frame sizes: every write sends the whole send buffer; requests are 20 bytes, the settings write 22.
inline constexpr std::size_t kSendFrameSize = 22;
inline constexpr std::size_t kSendDataSize = 17;
inline constexpr std::uint8_t kShortRequestLength = 0x14;     // 20 bytes, 15 data bytes
inline constexpr std::uint8_t kSettingsRequestLength = 0x16;  // 22 bytes, 17 data bytes

// Records per log: the 微地絡 log holds 100, the device-state and OVGR logs 10 each.
inline constexpr int kMinorFaultRecords = 100;
inline constexpr int kShortLogRecords = 10;

// The unit's three logs.
enum class LogKind { MinorFault, DeviceState, Ovgr };
inline constexpr int kLogKindCount = 3;

// What the protocol says of one log: the request for one of its records, the answer that carries one, the
// request that clears it (0: the device-state log cannot be cleared), how many records it holds, and the
// name its export files carry.
struct LogCodes {
    LogKind kind;
    std::uint8_t request;
    std::uint8_t answer;
    std::uint8_t clear;
    int records;
    const char* fileName;
};

// Indexed by LogKind.
inline constexpr std::array<LogCodes, kLogKindCount> kLogCodes = {{
    {LogKind::MinorFault, kReqMinorFaultRecord, kRespRecordFirst, kReqClearMinorFaultLog, kMinorFaultRecords,
     "bichiraku"},
    {LogKind::DeviceState, kReqDeviceStateRecord, kRespRecordLast, 0, kShortLogRecords, "jotai"},
    {LogKind::Ovgr, kReqOvgrRecord, kRespRecordFirst + 1, kReqClearOvgrLog, kShortLogRecords, "ovgr"},
}};
static_assert(
    [] {
        for (std::size_t i = 0; i < kLogCodes.size(); ++i) {
            if (static_cast<std::size_t>(kLogCodes[i].kind) != i) {
                return false;
            }
        }
        return true;
    }(),
    "kLogCodes is in LogKind's order");

constexpr const LogCodes& CodesOf(LogKind kind) { return kLogCodes[static_cast<std::size_t>(kind)]; }

// The log whose records `code` requests; nullopt for any other request.
constexpr std::optional<LogKind> LogKindOfRequest(std::uint8_t code) {
    for (const LogCodes& log : kLogCodes) {
        if (log.request == code) {
            return log.kind;
        }
    }
    return std::nullopt;
}

}  // namespace tessarin
