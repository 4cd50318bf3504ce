#include "data/csv_export.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "data/log_record_decoder.h"

namespace tessarin {
namespace {

namespace fs = std::filesystem;

// A minor-ground-fault record with V0 range 2 and I0 range 1, so the spacer and the OVGR column differ.
constexpr const char* kMinorFaultRecord =
    "1,確定,2012年03月05日14時07分,45.6V,0.052A,63°,60Hz,有,有,有,動作,2,1,無,-60°～120°,0,0,0,0,0";
constexpr const char* kOvgrRecord =
    "3,2012年03月05日14時07分,45.6V,0.052A,63°,60Hz,有,無,有,動作,2,1,有,-45°～135°,128,0,0,0,8";

struct ExportCase {
    LogKind kind;
    bool ovgrShown;
    std::string store;
    const char* exported;
};

class ExportLines : public ::testing::TestWithParam<ExportCase> {};

TEST_P(ExportLines, ShownColumnsOnly) {
    const ExportCase& c = GetParam();
    EXPECT_EQ(ExportLogLine(c.store, c.kind, c.ovgrShown), c.exported);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExportLines,
    ::testing::Values(
        ExportCase{LogKind::MinorFault, true, kMinorFaultRecord,
                   "1,確定,2012年03月05日14時07分,45.6V,0.052A,63°,60Hz,有,有,有,動作,1,無,-60°～120°"},
        ExportCase{LogKind::MinorFault, false, kMinorFaultRecord,
                   "1,確定,2012年03月05日14時07分,45.6V,0.052A,63°,60Hz,有,有,有,動作,1,-60°～120°"},
        ExportCase{LogKind::Ovgr, true, kOvgrRecord,
                   "3,2012年03月05日14時07分,45.6V,0.052A,63°,60Hz,有,無,有,動作,1,有,-45°～135°"},
        ExportCase{LogKind::Ovgr, false, kOvgrRecord,
                   "3,2012年03月05日14時07分,45.6V,0.052A,63°,60Hz,有,無,有,動作,1,-45°～135°"},
        ExportCase{LogKind::MinorFault, true, std::string(LogHeaderLine(LogKind::MinorFault)),
                   "ログ№,状態,発生日時,Ｖ０計測値,Ｉ０計測値,位相計測値,周波数,電源電圧,Ｖ０判定,ＩＯ判定,位相判定,"
                   "Ｉ０レンジ,OVGR,位相設定"},
        ExportCase{LogKind::MinorFault, false, std::string(LogHeaderLine(LogKind::MinorFault)),
                   "ログ№,状態,発生日時,Ｖ０計測値,Ｉ０計測値,位相計測値,周波数,電源電圧,Ｖ０判定,ＩＯ判定,位相判定,"
                   "Ｉ０レンジ,位相設定"},
        ExportCase{LogKind::Ovgr, true, std::string(LogHeaderLine(LogKind::Ovgr)),
                   "ログ№,発生日時,Ｖ０計測値,Ｉ０計測値,位相計測値,周波数,電源電圧,Ｖ０判定,ＩＯ判定,位相判定,"
                   "Ｉ０レンジ,OVGR,位相設定"},
        ExportCase{LogKind::MinorFault, true, "5,検出,データ無し", "5,検出,データ無し"},
        ExportCase{LogKind::Ovgr, false, "5,データ無し", "5,データ無し"}, ExportCase{LogKind::Ovgr, true, "", ""},
        ExportCase{LogKind::MinorFault, true, "0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19",
                   "0,1,2,3,4,5,6,7,8,9,10,12,13,14"},
        ExportCase{LogKind::Ovgr, true, "0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18",
                   "0,1,2,3,4,5,6,7,8,9,11,12,13"},
        ExportCase{LogKind::Ovgr, false, "0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18", "0,1,2,3,4,5,6,7,8,9,11,13"},
        ExportCase{LogKind::DeviceState, true, "2,データ無し", "2,データ無し"}));

TEST(DeviceStateText, LaterTextsWin) {
    struct Case {
        const char* line;
        const char* text;
    };
    for (const Case& c :
         {Case{"1,2024年01月15日10時00分,0V,0A,**,60Hz,無,無,無,不動作域,1,1,無,-60°～120°,128,0,32,0,8",
               "ＣＰＵリスタート"},
          Case{"1,d,0,64,32,0,0", "電源検出"}, Case{"1,d,0,0,32,0,0", "停電検出"},
          Case{"1,d,0,0,0,0,8", "自己診断復帰"}, Case{"1,d,0,0,0,16,8", "自己診断異常"},
          Case{"1,d,0,64,32,16,8", "自己診断異常"}, Case{"1,d,128,64,32,16,8", "ＣＰＵリスタート"},
          Case{"1,d,0,0,0,0,0", ""}, Case{"4,データ無し", ""}, Case{"", ""}, Case{"ログ№,発生日時,装置状態", ""}}) {
        EXPECT_EQ(DeviceStateText(c.line), c.text) << c.line;
    }
}

TEST(SplitLogLine, KeepsEmptyFields) {
    EXPECT_EQ(SplitLogLine(""), std::vector<std::string>{""});
    EXPECT_EQ(SplitLogLine("a,,b,"), (std::vector<std::string>{"a", "", "b", ""}));
}

TEST(EncodeCp932, GoldenBytes) {
    struct Case {
        const char* utf8;
        std::string cp932;
    };
    for (const Case& c : {Case{"№", "\x87\x82"}, Case{"～", "\x81\x60"}, Case{"―", "\x81\x5C"}, Case{"－", "\x81\x7C"},
                          Case{"°", "\x81\x8B"}, Case{"A,1\r\n", "A,1\r\n"}, Case{"", ""},
                          Case{"計測不可", "\x8C\x76\x91\xAA\x95\x73\x89\xC2"}}) {
        EXPECT_EQ(EncodeCp932(c.utf8), c.cp932) << c.utf8;
    }
}

TEST(EncodeCp932, UnencodableTextFails) {
    // 〜 (U+301C) and — (U+2014) are look-alikes a converter may quietly write as ～ and ― instead.
    for (const char* text : {"€", "a😀b", "\xFF", "\xE3\x81", "-60°〜120°", "—"}) {
        EXPECT_EQ(EncodeCp932(text), std::nullopt) << text;
    }
}

// A fresh folder per test, removed afterwards.
class CsvFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_dir = fs::temp_directory_path() / ("tessarin-csv-" + std::to_string(::getpid()) + "-" + info->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(m_dir, ignored);
    }

    static std::string readAll(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    static void writeAll(const fs::path& path, const std::string& bytes) {
        std::ofstream out(path, std::ios::binary);
        out << bytes;
    }
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(m_dir)) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }

    fs::path m_dir;
};

// Runs Debian's python3 (or the one on PATH) to encode a UTF-8 file as cp932; empty when there is none.
std::string pythonCp932Hex(const fs::path& utf8File) {
    const std::string python = fs::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
    const std::string command = python +
                                " -c \"import sys; print(open(sys.argv[1], encoding='utf-8', newline='').read()"
                                ".encode('cp932').hex())\" '" +
                                utf8File.string() + "' 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return {};
    }
    std::string out;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
        out += buffer;
    }
    ::pclose(pipe);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) {
        out.pop_back();
    }
    return out;
}

TEST_F(CsvFiles, AgreesWithAnIndependentCp932Codec) {
    const std::string text = std::string("№～―－°,") + std::string(LogHeaderLine(LogKind::MinorFault)) + "\r\n" +
                             std::string(LogHeaderLine(LogKind::DeviceState)) + "," +
                             std::string(LogHeaderLine(LogKind::Ovgr)) +
                             ",データ無し,検出,確定,計測不可,有,無,動作,不動作域,停電検出,電源検出,自己診断復帰,"
                             "自己診断異常,ＣＰＵリスタート,2012年03月05日14時07分,20--/--/-- --:--,*OVER*\r\n";
    writeAll(m_dir / "utf8.txt", text);
    const std::string expectedHex = pythonCp932Hex(m_dir / "utf8.txt");
    if (expectedHex.empty()) {
        GTEST_SKIP() << "python3 with the cp932 codec is not available";
    }
    const std::optional<std::string> encoded = EncodeCp932(text);
    ASSERT_TRUE(encoded.has_value());
    std::string hex;
    for (const char byte : *encoded) {
        static constexpr char kDigits[] = "0123456789abcdef";
        hex += kDigits[static_cast<unsigned char>(byte) >> 4];
        hex += kDigits[static_cast<unsigned char>(byte) & 0x0F];
    }
    EXPECT_EQ(hex, expectedHex);
}

TEST_F(CsvFiles, WritesCrLfLinesWithoutBom) {
    const fs::path target = m_dir / "20240115_ovgr";
    writeAll(target, "an older, longer file that must be replaced entirely\r\n");
    ASSERT_EQ(WriteCsvFile(target, {"ログ№,発生日時", "1,－", ""}), CsvWriteStatus::Ok);
    EXPECT_EQ(readAll(target), "\x83\x8D\x83\x4F\x87\x82,\x94\xAD\x90\xB6\x93\xFA\x8E\x9E\r\n1,\x81\x7C\r\n\r\n");
    EXPECT_EQ(entries(), std::vector<std::string>{"20240115_ovgr"});
}

TEST_F(CsvFiles, FailedSavesLeaveNothingBehind) {
    const fs::path existing = m_dir / "kept.csv";
    const std::string before = "1,2,3\r\n";
    writeAll(existing, before);
    fs::create_directory(m_dir / "folder");

    struct Case {
        const char* name;
        fs::path target;
        std::vector<std::string> lines;
        CsvWriteStatus status;
    };
    // Tests may run as root, so a read-only folder would not stop them: use paths that cannot exist.
    const std::vector<Case> cases{
        {"ParentIsAFile", existing / "x.csv", {"a"}, CsvWriteStatus::CannotCreate},
        {"NoSuchFolder", m_dir / "missing" / "x.csv", {"a"}, CsvWriteStatus::CannotCreate},
        {"Unencodable", existing, {"ok", "€"}, CsvWriteStatus::EncodingFailed},
        {"TargetIsAFolder", m_dir / "folder", {"a"}, CsvWriteStatus::WriteFailed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(WriteCsvFile(c.target, c.lines), c.status);
        EXPECT_EQ(readAll(existing), before);
        std::vector<std::string> names = entries();
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, (std::vector<std::string>{"folder", "kept.csv"}));
        EXPECT_TRUE(fs::is_empty(m_dir / "folder"));
    }
}

#ifndef _WIN32
TEST_F(CsvFiles, SaveThroughALinkKeepsTheLinkAndThePermissions) {
    const fs::path real = m_dir / "real.csv";
    const fs::path link = m_dir / "link.csv";
    writeAll(real, "old\r\n");
    fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink("real.csv", link);
    ASSERT_EQ(WriteCsvFile(link, {"new"}), CsvWriteStatus::Ok);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(readAll(real), "new\r\n");
    EXPECT_EQ(fs::status(real).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    std::vector<std::string> names = entries();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"link.csv", "real.csv"}));
}
#endif

}  // namespace
}  // namespace tessarin
