// Turns an A1h-A3h log record into its comma-separated line.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "data/device_data.h"
#include "data/measured_values.h"

namespace tessarin {

// Log screen tabs, which are also the log kinds.
inline constexpr int kTabMinorFault = 0;   // "微地絡ログ", request 04h, 100 records, clear 01h
inline constexpr int kTabDeviceState = 1;  // "装置状態ログ", request 06h, 10 records
inline constexpr int kTabOvgr = 2;         // "ＯＶＧＲログ", request 05h, 10 records, clear 02h

// Header line (LogLines[0]) of the log shown on a tab.
std::string_view LogHeaderLine(int tab);

// A decoded record: its own number (1..100) and its line.
struct LogRecordLine {
    int number = 0;
    std::string line;
    // The record's values as numbers; nullopt for an empty slot ("データ無し").
    std::optional<LogRecordNumbers> numbers;
};

// The line of the record response in `frame` (from its start mark; fixed data positions, a position past
// the end reads as 0). `tab` says which log is being collected: the state field is written only for the
// first tab. A record number of 0 or above 100 has no line: nullopt.
std::optional<LogRecordLine> DecodeLogRecord(std::span<const std::uint8_t> frame, int tab);

}  // namespace tessarin
