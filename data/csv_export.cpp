#include "data/csv_export.h"

#include <array>
#include <charconv>
#include <climits>
#include <cstddef>

#include "data/log_record_decoder.h"
#include "data/safe_write.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>

#include <cerrno>
#endif

namespace tessarin {
namespace {

constexpr std::string_view kNoData = "データ無し";

// Columns of the two measurement grids: how many, and which fields are the hidden spacer and OVGR.
struct GridColumns {
    std::size_t count;
    std::size_t spacer;
    std::size_t ovgr;
};
constexpr GridColumns kMinorFaultColumns{15, 11, 13};
constexpr GridColumns kOvgrColumns{14, 10, 12};

constexpr std::size_t kDeviceStateValues = 5;

// Reads a field the way the grid does: its leading number, 0 when it has none.
long leadingNumber(std::string_view field) {
    long value = 0;
    std::from_chars(field.data(), field.data() + field.size(), value);
    return value;
}

#ifdef _WIN32
std::optional<std::string> encodeWithCodePage(std::string_view utf8) {
    if (utf8.size() > static_cast<std::size_t>(INT_MAX / 2)) {
        return std::nullopt;
    }
    const int inLength = static_cast<int>(utf8.size());
    const int wideLength = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), inLength, nullptr, 0);
    if (wideLength <= 0) {
        return std::nullopt;
    }
    std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), inLength, wide.data(), wideLength) !=
        wideLength) {
        return std::nullopt;
    }
    // No best-fit mapping and no default character: a character 932 lacks must fail, not turn into "?".
    BOOL usedDefault = FALSE;
    const int outLength =
        WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, wide.data(), wideLength, nullptr, 0, nullptr, &usedDefault);
    if (outLength <= 0 || usedDefault) {
        return std::nullopt;
    }
    std::string out(static_cast<std::size_t>(outLength), '\0');
    usedDefault = FALSE;
    if (WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, wide.data(), wideLength, out.data(), outLength, nullptr,
                            &usedDefault) != outLength ||
        usedDefault) {
        return std::nullopt;
    }
    return out;
}
#else
// One whole conversion with glibc's iconv; nullopt when it fails or converts anything irreversibly.
std::optional<std::string> convert(const char* to, const char* from, std::string_view text) {
    iconv_t converter = iconv_open(to, from);
    if (converter == reinterpret_cast<iconv_t>(-1)) {  // NOLINT(performance-no-int-to-ptr): iconv's failure value
        return std::nullopt;
    }
    // Either way a character takes at most three times its bytes (a half-width kana is 1 byte in code page
    // 932 and 3 in UTF-8).
    std::string out(text.size() * 3 + 4, '\0');
    std::string in(text);
    char* inPtr = in.data();
    std::size_t inLeft = in.size();
    char* outPtr = out.data();
    std::size_t outLeft = out.size();
    const std::size_t converted = iconv(converter, &inPtr, &inLeft, &outPtr, &outLeft);
    const std::size_t flushed = iconv(converter, nullptr, nullptr, &outPtr, &outLeft);
    iconv_close(converter);
    // A non-zero count means something was converted irreversibly: that is a substitute, not the text.
    if (converted != 0 || flushed != 0 || inLeft != 0) {
        return std::nullopt;
    }
    out.resize(out.size() - outLeft);
    return out;
}

std::optional<std::string> encodeWithCodePage(std::string_view utf8) {
    // glibc's CP932 is Windows-31J (NEC and IBM extensions, "～" as 81 60), unlike its SHIFT_JIS.
    std::optional<std::string> out = convert("CP932", "UTF-8", utf8);
    // glibc quietly maps a few look-alikes ("〜" U+301C, "—" U+2014) onto other characters' bytes and does
    // not count them as irreversible: only bytes that read back as the same text are the text.
    if (!out || convert("UTF-8", "CP932", *out) != utf8) {
        return std::nullopt;
    }
    return out;
}
#endif

}  // namespace

std::vector<std::string> SplitLogLine(std::string_view line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = line.find(',', start);
        if (comma == std::string_view::npos) {
            fields.emplace_back(line.substr(start));
            return fields;
        }
        fields.emplace_back(line.substr(start, comma - start));
        start = comma + 1;
    }
}

std::string ExportLogLine(std::string_view storeLine, LogKind kind, bool ovgrColumnShown) {
    GridColumns columns{};
    if (kind == LogKind::MinorFault) {
        columns = kMinorFaultColumns;
    } else if (kind == LogKind::Ovgr) {
        columns = kOvgrColumns;
    } else {
        return std::string(storeLine);
    }

    const std::vector<std::string> fields = SplitLogLine(storeLine);
    std::string out;
    bool first = true;
    for (std::size_t j = 0; j < fields.size() && j < columns.count; ++j) {
        if (j == columns.spacer || (j == columns.ovgr && !ovgrColumnShown)) {
            continue;
        }
        if (!first) {
            out += ',';
        }
        out += fields[j];
        first = false;
        if (fields[j] == kNoData) {
            break;
        }
    }
    return out;
}

std::string_view DeviceStateText(std::string_view recordLine) {
    const std::vector<std::string> fields = SplitLogLine(recordLine);
    if (fields.size() < kDeviceStateValues || (fields.size() > 1 && fields[1] == kNoData)) {
        return {};
    }
    // Offsets from the last field, in the order the grid writes them; a later text replaces an earlier one,
    // so a CPU restart outweighs everything else.
    struct StateTest {
        std::size_t fromEnd;
        std::string_view text;
    };
    constexpr std::array<StateTest, kDeviceStateValues> kTests{{
        {2, "停電検出"},
        {3, "電源検出"},
        {0, "自己診断復帰"},
        {1, "自己診断異常"},
        {4, "ＣＰＵリスタート"},
    }};
    std::string_view text;
    const std::size_t last = fields.size() - 1;
    for (const StateTest& test : kTests) {
        if (leadingNumber(fields[last - test.fromEnd]) > 0) {
            text = test.text;
        }
    }
    return text;
}

std::optional<std::string> EncodeCp932(std::string_view utf8) {
    if (utf8.empty()) {
        return std::string();
    }
    return encodeWithCodePage(utf8);
}

CsvWriteStatus WriteCsvFile(const std::filesystem::path& target, const std::vector<std::string>& lines,
                            ReadOnlyTarget readOnly, SafeWriteStatus* cause) {
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += "\r\n";
    }
    const std::optional<std::string> encoded = EncodeCp932(text);
    if (!encoded) {
        return CsvWriteStatus::EncodingFailed;
    }

    const SafeWriteStatus written = WriteFileSafely(target, *encoded, readOnly);
    if (cause != nullptr) {
        *cause = written;
    }
    switch (written) {
        case SafeWriteStatus::Ok:
            return CsvWriteStatus::Ok;
        case SafeWriteStatus::CannotCreate:
        case SafeWriteStatus::PermissionDenied:
            return CsvWriteStatus::CannotCreate;
        case SafeWriteStatus::ReadOnly:
            return CsvWriteStatus::ReadOnly;
        default:
            break;
    }
    return CsvWriteStatus::WriteFailed;
}

}  // namespace tessarin
