// Turns an A1h-A3h log record into its comma-separated line.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "data/device_data.h"
#include "data/measured_values.h"
#include "data/protocol_codes.h"

namespace tessarin {

// Header line (LogLines[0]) of a log.
std::string_view LogHeaderLine(LogKind kind);

// A decoded record: its own number (1..100) and its line.
struct LogRecordLine {
    int number = 0;
    std::string line;
    // The record's values as numbers; nullopt for an empty slot ("データ無し").
    std::optional<LogRecordNumbers> numbers;
};

// The line of the record response in `frame` (from its start mark; fixed data positions, a position past
// the end reads as 0). `kind` says which log is being collected: the state field is written only for the
// 微地絡 log. A record number of 0 or above 100 has no line: nullopt.
std::optional<LogRecordLine> DecodeLogRecord(std::span<const std::uint8_t> frame, LogKind kind);

}  // namespace tessarin
