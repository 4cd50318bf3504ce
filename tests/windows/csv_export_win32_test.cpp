// The CSV save of the Windows build: wide file names end to end, and MoveFileExW putting the file in place.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "data/csv_export.h"

namespace tessarin {
namespace {

namespace fs = std::filesystem;

class CsvFilesWin32 : public ::testing::Test {
  protected:
    void SetUp() override {
        std::random_device random;
        m_dir = fs::temp_directory_path() / ("tessarin-csv-" + std::to_string(random()));
        fs::create_directories(m_dir);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(m_dir, ignored);
    }

    static std::string ReadAll(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    // The names in the folder as the system lists them.
    [[nodiscard]] std::vector<std::wstring> Names() const {
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW found{};
        const HANDLE search = FindFirstFileW((m_dir / L"*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) {
            return names;
        }
        do {
            const std::wstring name = found.cFileName;
            if (name != L"." && name != L"..") {
                names.push_back(name);
            }
        } while (FindNextFileW(search, &found) != 0);
        FindClose(search);
        return names;
    }

    fs::path m_dir;
};

TEST_F(CsvFilesWin32, JapaneseFileNameIsKeptAsWritten) {
    const fs::path target = m_dir / L"微地絡ログ_20240115.csv";
    ASSERT_EQ(WriteCsvFile(target, {"ログ№", "1,－"}), CsvWriteStatus::Ok);
    EXPECT_EQ(Names(), std::vector<std::wstring>{L"微地絡ログ_20240115.csv"});
    EXPECT_EQ(ReadAll(target), "\x83\x8D\x83\x4F\x87\x82\r\n1,\x81\x7C\r\n");
}

TEST_F(CsvFilesWin32, TargetHeldOpenByAnotherProgramStaysAsItWas) {
    const fs::path target = m_dir / "held.csv";
    {
        std::ofstream out(target, std::ios::binary);
        out << "1,2,3\r\n";
    }
    // Another program has the file open without sharing, as a spreadsheet does.
    const HANDLE held = CreateFileW(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(WriteCsvFile(target, {"a"}), CsvWriteStatus::WriteFailed);
    CloseHandle(held);
    EXPECT_EQ(ReadAll(target), "1,2,3\r\n");
    EXPECT_EQ(Names(), std::vector<std::wstring>{L"held.csv"});
}

}  // namespace
}  // namespace tessarin
