#include "data/visit_archive.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <process.h>
#define getpid _getpid
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cstdlib>
#include <fstream>
#include <string>

namespace tessarin {
namespace {

namespace fs = std::filesystem;

std::string minor(int number, int minute) {
    return std::to_string(number) + ",検出,2026年09月01日10時" + std::to_string(minute) + "分,12.5V,0.100A";
}

VisitRecord visitAt(const std::string& startedAt, std::vector<int> minutes, const std::string& name = "北 盤1") {
    VisitRecord record;
    record.startedAt = startedAt;
    record.unitName = name;
    record.logs[0] = VisitLog{startedAt, {}};
    for (std::size_t i = 0; i < minutes.size(); ++i) {
        record.logs[0]->records.push_back(minor(static_cast<int>(i) + 1, minutes[i]));
    }
    return record;
}

class VisitArchiveFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        m_root = fs::temp_directory_path() /
                 ("tessarin-archive-" + std::to_string(getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name()) /
                 "archive";
        fs::remove_all(m_root.parent_path());
    }
    void TearDown() override {
        std::error_code ignored;
        fs::permissions(m_root, fs::perms::owner_all, ignored);
        fs::remove_all(m_root.parent_path());
    }
    fs::path m_root;
};

TEST_F(VisitArchiveFiles, KeepsEveryVisitAndMergesThemInTheOrderTheyStarted) {
    const auto unit = MakeUnitFolder(m_root);
    ASSERT_TRUE(unit);
    EXPECT_EQ(unit->filename(), "unit-001");
    EXPECT_EQ(MakeUnitFolder(m_root)->filename(), "unit-002");
    // Two visits of the same second get two folders; the later visit is written first.
    const auto second = MakeVisitFolder(*unit, "2026-10-01T09:00:00");
    const auto first = MakeVisitFolder(*unit, "2026-09-01T10:12:00");
    const auto again = MakeVisitFolder(*unit, "2026-09-01T10:12:00");
    ASSERT_TRUE(first && second && again);
    EXPECT_EQ(first->filename(), "20260901_101200");
    EXPECT_EQ(again->filename(), "20260901_101200_2");
    EXPECT_FALSE(MakeVisitFolder(*unit, "2026-09-01 10:12:00"));
    ASSERT_EQ(WriteVisitRecord(*second, visitAt("2026-10-01T09:00:00", {2, 3, 4}, "北 盤1（改）")),
              SafeWriteStatus::Ok);
    ASSERT_EQ(WriteVisitRecord(*first, visitAt("2026-09-01T10:12:00", {1, 2})), SafeWriteStatus::Ok);

    const ArchiveRead archive = ReadArchive(m_root);
    EXPECT_TRUE(archive.problems.empty());
    ASSERT_EQ(archive.units.size(), 1U);  // unit-002 holds no visit yet
    const ArchivedUnit& read = archive.units[0];
    ASSERT_EQ(read.visits.size(), 2U);  // the empty folder of the same second is no visit
    EXPECT_EQ(read.visits[0].folder, *first);
    EXPECT_EQ(read.Name(), "北 盤1（改）");
    const auto histories = read.Histories();
    ASSERT_EQ(histories[0].Records().size(), 4U);
    EXPECT_EQ(histories[0].Records()[3].firstVisit, 1);
    EXPECT_TRUE(histories[1].Records().empty());
    EXPECT_EQ(read.Evidence().lastRecords[0].size(), 3U);
    EXPECT_EQ(read.LastVisitWith(LogKind::Ovgr), nullptr);
}

TEST_F(VisitArchiveFiles, SkipsDamagedAndForeignFilesWithAMessage) {
    const auto unit = MakeUnitFolder(m_root);
    ASSERT_TRUE(unit);
    const auto good = MakeVisitFolder(*unit, "2026-09-01T10:12:00");
    ASSERT_EQ(WriteVisitRecord(*good, visitAt("2026-09-01T10:12:00", {1})), SafeWriteStatus::Ok);
    const auto damaged = MakeVisitFolder(*unit, "2026-09-02T10:12:00");
    std::ofstream(*damaged / "visit.json") << R"({"kind": "tessarin-visit", "formatVer)";
    const auto tooLarge = MakeVisitFolder(*unit, "2026-09-03T10:12:00");
    std::ofstream(*tooLarge / "visit.json") << std::string(kVisitRecordMaxBytes + 1, ' ');
#ifndef _WIN32
    const auto pipe = MakeVisitFolder(*unit, "2026-09-04T10:12:00");
    ASSERT_EQ(::mkfifo((*pipe / "visit.json").c_str(), 0600), 0);
#endif

    const ArchiveRead archive = ReadArchive(m_root);
    ASSERT_EQ(archive.units.size(), 1U);
    EXPECT_EQ(archive.units[0].visits.size(), 1U);
#ifdef _WIN32
    ASSERT_EQ(archive.problems.size(), 2U);
#else
    ASSERT_EQ(archive.problems.size(), 3U);
    EXPECT_NE(archive.problems[2].find("通常のファイルではありません"), std::string::npos);
#endif
    EXPECT_NE(archive.problems[0].find("20260902_101200"), std::string::npos);
    EXPECT_NE(archive.problems[0].find("壊れています"), std::string::npos);
    EXPECT_NE(archive.problems[1].find("大きすぎます"), std::string::npos);
}

#ifndef _WIN32
TEST_F(VisitArchiveFiles, AMissingOrUnwritableArchiveIsEmptyAndTakesNothing) {
    EXPECT_TRUE(ReadArchive(m_root).units.empty());
    fs::create_directories(m_root);
    fs::permissions(m_root, fs::perms::owner_read | fs::perms::owner_exec);
    if (::access(m_root.c_str(), W_OK) == 0) {
        GTEST_SKIP() << "this user writes into read-only folders (root)";
    }
    EXPECT_FALSE(MakeUnitFolder(m_root));
}

TEST(DefaultArchiveFolder, FollowsXdgDataHomeAndElseTheHome) {
    const char* data = std::getenv("XDG_DATA_HOME");
    const std::string saved = data != nullptr ? data : "";
    ::setenv("XDG_DATA_HOME", "/srv/data", 1);
    EXPECT_EQ(DefaultArchiveFolder(), fs::path("/srv/data/tessarin/archive"));
    // A relative value is not a base folder (the XDG rule), so the home's default applies.
    ::setenv("XDG_DATA_HOME", "relative", 1);
    EXPECT_EQ(DefaultArchiveFolder(), fs::path(std::getenv("HOME")) / ".local/share/tessarin/archive");
    if (data != nullptr) {
        ::setenv("XDG_DATA_HOME", saved.c_str(), 1);
    } else {
        ::unsetenv("XDG_DATA_HOME");
    }
}
#endif

}  // namespace
}  // namespace tessarin
