// The saved log file's bytes, pinned as hex. The same expectations hold for the Linux build (iconv "CP932")
// and the Windows build (WideCharToMultiByte with code page 932), which runs this file under Wine.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "data/csv_export.h"
#include "data/log_record_decoder.h"

namespace tessarin {
namespace {

namespace fs = std::filesystem;

// The 微地絡 log's header and one record as the grid stores them, and as the file holds them.
constexpr const char* kStoredRecord =
    "1,確定,2012年03月05日14時07分,45.6V,0.052A,63°,60Hz,有,有,有,動作,2,1,無,-60°～120°,0,0,0,0,0";
constexpr const char* kHeaderBytes =
    "83 8D 83 4F 87 82 2C 8F F3 91 D4 2C 94 AD 90 B6 93 FA 8E 9E 2C 82 75 82 4F 8C 76 91 AA 92 6C 2C "
    "82 68 82 4F 8C 76 91 AA 92 6C 2C 88 CA 91 8A 8C 76 91 AA 92 6C 2C 8E FC 94 67 90 94 2C 93 64 8C "
    "B9 93 64 88 B3 2C 82 75 82 4F 94 BB 92 E8 2C 82 68 82 6E 94 BB 92 E8 2C 88 CA 91 8A 94 BB 92 E8 "
    "2C 82 68 82 4F 83 8C 83 93 83 57 2C 4F 56 47 52 2C 88 CA 91 8A 90 DD 92 E8";
constexpr const char* kRecordBytes =
    "31 2C 8A 6D 92 E8 2C 32 30 31 32 94 4E 30 33 8C 8E 30 35 93 FA 31 34 8E 9E 30 37 95 AA 2C 34 35 "
    "2E 36 56 2C 30 2E 30 35 32 41 2C 36 33 81 8B 2C 36 30 48 7A 2C 97 4C 2C 97 4C 2C 97 4C 2C 93 AE "
    "8D EC 2C 31 2C 96 B3 2C 2D 36 30 81 8B 81 60 31 32 30 81 8B";

std::string hexOfBytes(std::string_view bytes) {
    std::string hex;
    for (const char byte : bytes) {
        std::array<char, 4> text{};
        std::snprintf(text.data(), text.size(), "%02X ", static_cast<unsigned char>(byte));
        hex += text.data();
    }
    if (!hex.empty()) {
        hex.pop_back();
    }
    return hex;
}

std::string hexOf(const std::optional<std::string>& bytes) { return bytes ? hexOfBytes(*bytes) : "(no encoding)"; }

TEST(Cp932GoldenBytes, SingleCharacters) {
    struct Case {
        const char* utf8;
        const char* hex;
    };
    for (const Case& c :
         {Case{"№", "87 82"}, Case{"～", "81 60"}, Case{"―", "81 5C"}, Case{"－", "81 7C"}, Case{"°", "81 8B"},
          Case{"ＣＰＵリスタート", "82 62 82 6F 82 74 83 8A 83 58 83 5E 81 5B 83 67"}}) {
        EXPECT_EQ(hexOf(EncodeCp932(c.utf8)), c.hex) << c.utf8;
    }
}

TEST(Cp932GoldenBytes, HeaderAndRecordLines) {
    const std::string header = ExportLogLine(LogHeaderLine(LogKind::MinorFault), LogKind::MinorFault, true);
    const std::string record = ExportLogLine(kStoredRecord, LogKind::MinorFault, true);
    EXPECT_EQ(hexOf(EncodeCp932(header)), kHeaderBytes);
    EXPECT_EQ(hexOf(EncodeCp932(record)), kRecordBytes);
}

TEST(Cp932GoldenBytes, SavedFileHoldsTheLinesWithCrLf) {
    std::random_device random;
    const fs::path dir = fs::temp_directory_path() / ("tessarin-golden-" + std::to_string(random()));
    fs::create_directories(dir);
    const fs::path target = dir / "20120305_bichiraku";
    const std::vector<std::string> lines{ExportLogLine(LogHeaderLine(LogKind::MinorFault), LogKind::MinorFault, true),
                                         ExportLogLine(kStoredRecord, LogKind::MinorFault, true)};
    EXPECT_EQ(WriteCsvFile(target, lines), CsvWriteStatus::Ok);
    std::string bytes;
    {
        std::ifstream in(target, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    EXPECT_EQ(hexOfBytes(bytes), std::string(kHeaderBytes) + " 0D 0A " + kRecordBytes + " 0D 0A");
    std::error_code ignored;
    fs::remove_all(dir, ignored);
}

}  // namespace
}  // namespace tessarin
