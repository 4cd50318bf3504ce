// Log record lines and their export on arbitrary bytes: DecodeLogRecord on any record payload for any log,
// then the CSV split, the export rebuild (the 微地絡 and OVGR logs, OVGR column shown and hidden), the device-state
// text and the code page 932 encoding of the results; and the same line operations on arbitrary text.
//
// Input: byte 0 the log the record is decoded for (its value mod 3 in LogKind's order), byte 1
// LogReqCode (low three bits), whether record 7 rather than d0 was asked for (bit 3), whether the answer
// code is A1h + (bits 5-6) mod 3 rather than the log's own (bit 4), then the data bytes of the record (d0
// the record number, d1..d15 as the unit sends them). The data bytes are also taken as a line of text of
// their own.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/csv_export.h"
#include "data/log_record_decoder.h"
#include "fuzz/fuzz_support.h"
#include "link/log_collection.h"

namespace {

using tessarin::fuzz::IsValidUtf8;
using tessarin::fuzz::Require;

constexpr std::string_view kNoData = "データ無し";
constexpr std::size_t kDataStart = 3;
constexpr std::size_t kRecordBytes = 16;

std::string Join(const std::vector<std::string>& fields) {
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        line += (i == 0 ? "" : ",") + fields[i];
    }
    return line;
}

// The device-state text from the event byte, by the grid's rule: the CPU restart outweighs the
// self-diagnosis fault, which outweighs the recovery, then supply detected, then power failure.
std::string_view ExpectedDeviceState(std::uint8_t events) {
    if ((events & 0x80) != 0) {
        return "ＣＰＵリスタート";
    }
    if ((events & 0x10) != 0) {
        return "自己診断異常";
    }
    if ((events & 0x08) != 0) {
        return "自己診断復帰";
    }
    if ((events & 0x40) != 0) {
        return "電源検出";
    }
    if ((events & 0x20) != 0) {
        return "停電検出";
    }
    return {};
}

bool KnownDeviceState(std::string_view text) {
    return text.empty() || text == "ＣＰＵリスタート" || text == "自己診断異常" || text == "自己診断復帰" ||
           text == "電源検出" || text == "停電検出";
}

// Properties of the line operations that hold for any text at all.
void CheckAnyLine(std::string_view line) {
    const std::vector<std::string> fields = tessarin::SplitLogLine(line);
    Require(!fields.empty(), "a line has at least one field");
    Require(Join(fields) == line, "split fields join back into the line");
    Require(tessarin::ExportLogLine(line, tessarin::LogKind::DeviceState, true) == line,
            "the device-state log exports the line as it is");
    for (const tessarin::LogKind kind : {tessarin::LogKind::MinorFault, tessarin::LogKind::Ovgr}) {
        for (const bool shown : {true, false}) {
            const std::size_t exported = tessarin::SplitLogLine(tessarin::ExportLogLine(line, kind, shown)).size();
            Require(exported <= fields.size(), "export never adds a field");
            Require(exported <= 14, "export writes at most the shown columns");
        }
    }
    Require(KnownDeviceState(tessarin::DeviceStateText(line)), "device-state text is one of the five or empty");
    const auto encoded = tessarin::EncodeCp932(line);
    if (!IsValidUtf8(line)) {
        Require(!encoded.has_value(), "text that is not UTF-8 is never encoded");
    }
}

void CheckDecodedLine(const std::string& line, tessarin::LogKind kind, const std::uint8_t* record) {
    const bool empty = record[8] == 0xFF;
    const std::size_t fields = tessarin::SplitLogLine(line).size();
    const std::size_t stateField = kind == tessarin::LogKind::MinorFault ? 1 : 0;
    Require(fields == (empty ? 2 : 19) + stateField, "a record line has its fields");
    Require(IsValidUtf8(line), "a record line is UTF-8");
    Require(tessarin::EncodeCp932(line).has_value(), "a record line can be saved in code page 932");
    Require(line.starts_with(std::to_string(record[0]) + ","), "a record line starts with its number");

    if (kind == tessarin::LogKind::MinorFault || kind == tessarin::LogKind::Ovgr) {
        for (const bool shown : {true, false}) {
            const std::string exported = tessarin::ExportLogLine(line, kind, shown);
            // The grid's columns less the hidden spacer (and OVGR when hidden); an empty slot ends early.
            const std::size_t columns = empty ? 2 + stateField : 13 + stateField - (shown ? 0 : 1);
            Require(tessarin::SplitLogLine(exported).size() == columns, "an exported line has the grid's columns");
            Require(empty == exported.ends_with(kNoData), "an empty slot's export ends with データ無し");
            Require(tessarin::EncodeCp932(exported).has_value(), "an exported line can be saved");
        }
    }
    if (kind == tessarin::LogKind::DeviceState) {
        const std::string_view state = tessarin::DeviceStateText(line);
        Require(state == (empty ? std::string_view{} : ExpectedDeviceState(record[15])),
                "the device-state text follows the event byte");
        Require(tessarin::EncodeCp932(state).has_value(), "the device-state text can be saved");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const auto kind = static_cast<tessarin::LogKind>(input[0] % tessarin::kLogKindCount);
    const std::uint8_t logReqCode = input[1] & 0x07;
    const bool ownLog = logReqCode >= 4 && logReqCode <= 6;
    // Any of the three record answer codes, whatever the log: they are decoded alike.
    const auto code = static_cast<std::uint8_t>(0xA1 + ((input[1] >> 5) & 0x03) % 3);
    const std::uint8_t* payload = input + 2;
    const std::size_t payloadSize = size - 2;

    CheckAnyLine(std::string_view(reinterpret_cast<const char*>(payload), payloadSize));

    tessarin::DeviceData data;
    data.LogReqCode = logReqCode;
    data.LogState = tessarin::kLogRunning;
    const std::uint8_t asked = (input[1] & 0x08) != 0 || payloadSize == 0 ? 7 : payload[0];
    data.SendData[0] = asked;
    data.LogLines[0] = std::string(tessarin::LogHeaderLine(kind));
    data.RcvFrame[0] = 0xFF;
    data.RcvFrame[1] = code;
    for (std::size_t i = 0; i < payloadSize && kDataStart + i < data.RcvFrame.size(); ++i) {
        data.RcvFrame[kDataStart + i] = payload[i];
    }
    std::uint8_t record[kRecordBytes] = {};
    for (std::size_t i = 0; i < kRecordBytes && i < payloadSize; ++i) {
        record[i] = payload[i];
    }
    const auto before = data.LogLines;
    const bool taken = tessarin::TakeLogRecord(data, kind);

    const std::uint8_t number = record[0];
    const bool hasLine = number >= 1 && number <= 100;
    Require(taken == (hasLine && number == asked && ownLog), "only the record asked for is taken");
    if (!taken) {
        Require(data.LogLines == before && data.SendData[0] == asked && data.LogState == tessarin::kLogRunning,
                "a record without a line of its own, or not the one asked for, changes nothing");
        const std::optional<tessarin::LogRecordLine> decoded = tessarin::DecodeLogRecord(data.RcvFrame, kind);
        Require(decoded.has_value() == hasLine, "a record has a line when its number has one");
        if (decoded) {
            CheckDecodedLine(decoded->line, kind, record);
            CheckAnyLine(decoded->line);
        }
        return 0;
    }
    for (std::size_t n = 0; n < before.size(); ++n) {
        Require(n == number || data.LogLines[n] == before[n], "only the record's own line is written");
    }
    const unsigned last = logReqCode == 4 ? 100 : 10;
    if (number < last) {
        Require(data.SendData[0] == asked + 1 && data.ReqCode == logReqCode && data.LogState == tessarin::kLogRunning,
                "a record before the last asks for the next");
    } else {
        Require(data.ReqCode == 0 && data.LogState == tessarin::kLogLastReceived, "the last record ends the log");
    }
    CheckDecodedLine(data.LogLines[number], kind, record);
    CheckAnyLine(data.LogLines[number]);
    return 0;
}
