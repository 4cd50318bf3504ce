// The log export: which fields of a stored log line go into the file, the text of a device-state
// record, and writing the lines as a code page 932 text file.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/protocol_codes.h"
#include "data/safe_write.h"

namespace tessarin {

// The fields of a log line, split at every ","; an empty line is one empty field.
std::vector<std::string> SplitLogLine(std::string_view line);

// The export line of a stored line of the 微地絡 log or the OVGR log: the fields of the
// grid's shown columns in column order, joined by ",". The hidden spacer column and the five device-state
// values are never written, the OVGR column only while `ovgrColumnShown`; a line ends after a
// "データ無し" field, and a shorter line gives the fields it has. A device-state line comes back as it is.
std::string ExportLogLine(std::string_view storeLine, LogKind kind, bool ovgrColumnShown);

// The "装置状態" text of a device-state record line, from its five last fields: the last of
// "停電検出", "電源検出", "自己診断復帰", "自己診断異常", "ＣＰＵリスタート" whose field is above 0.
// Empty when none is set, for a "データ無し" record and for a line too short to carry the five values.
std::string_view DeviceStateText(std::string_view recordLine);

// UTF-8 text in code page 932 (Windows-31J, "№" 87 82, "～" 81 60). nullopt when the text is not valid
// UTF-8 or holds a character that the code page lacks; nothing is ever replaced by a substitute.
std::optional<std::string> EncodeCp932(std::string_view utf8);

enum class CsvWriteStatus {
    Ok,
    CannotCreate,    // no file could be created in the target's folder
    WriteFailed,     // writing or putting the file in place failed
    EncodingFailed,  // a line holds a character code page 932 lacks; nothing was written
    ReadOnly,        // the target is read-only and replacing it was not allowed
};

// Writes the lines (UTF-8) to `target` in code page 932, each ended by CR LF, without byte-order mark.
// Written with WriteFileSafely: a failed save leaves an existing file as it was and never leaves a partial
// file under the target name; a symbolic link is written through and an existing file keeps its permissions.
// `cause`, when given, receives the safe write's own status, for a message that names the cause.
CsvWriteStatus WriteCsvFile(const std::filesystem::path& target, const std::vector<std::string>& lines,
                            ReadOnlyTarget readOnly = ReadOnlyTarget::Refuse, SafeWriteStatus* cause = nullptr);

}  // namespace tessarin
