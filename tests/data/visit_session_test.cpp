#include "data/visit_session.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "data/file_access.h"

namespace tessarin {
namespace {

namespace fs = std::filesystem;

// A 微地絡 collection as stored: the header, then records of the given minutes numbered from 1.
std::vector<std::string> collection(const std::vector<int>& minutes) {
    std::vector<std::string> lines{"ログ№,状態,発生日時"};
    for (std::size_t i = 0; i < minutes.size(); ++i) {
        lines.push_back(std::to_string(i + 1) + ",検出,2026年09月01日10時" + std::to_string(minutes[i]) +
                        "分,12.5V,0.100A");
    }
    return lines;
}

VisitRecord startAt(const std::string& when) {
    VisitRecord start;
    start.startedAt = when;
    start.port = "/dev/ttyUSB0";
    start.programVersion = "Tessarin test";
    return start;
}

std::string fileBytes(const fs::path& path) { return ReadRegularFile(path, 1 << 20).Bytes; }

class VisitSessionFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        m_base = fs::temp_directory_path() /
                 ("tessarin-session-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(m_base);
        fs::create_directories(m_base);
    }
    void TearDown() override { fs::remove_all(m_base); }
    fs::path m_base;
};

TEST_F(VisitSessionFiles, ASecondVisitMarksExactlyTheNewRecordsAndTheArchiveHoldsTheExportsBytes) {
    const fs::path root = m_base / "archive";
    const std::string csv = "ログ№,状態\r\n1,\x8C\x9F\x8Fo\r\n";  // bytes as the export writes them
    {
        VisitSession first(root, startAt("2026-09-01T10:12:00"));
        EXPECT_FALSE(first.Propose({}));
        const auto lines = collection({1, 2, 3});
        // Kept before the unit is named, the collection waits for the choice.
        first.KeepCollection(LogKind::MinorFault, lines, 3, "2026-09-01T10:15:00", "20260901_bichiraku.csv", csv);
        EXPECT_FALSE(first.Folder());
        const VisitSession::Marks marks = first.MarkNew(LogKind::MinorFault, lines, 3);
        EXPECT_EQ(marks.fresh, (std::vector<int>{1, 2, 3}));
        EXPECT_EQ(marks.lastVisitStartedAt, "");
        first.ChooseUnit(std::nullopt, "北変電所 ６号線");
        first.Journal("2026-09-01T10:20:00", "微地絡ログを消去しました（3件、保存済み）");
        ASSERT_TRUE(first.Folder());
        EXPECT_EQ(fileBytes(*first.Folder() / "20260901_bichiraku.csv"), csv);
        EXPECT_FALSE(first.TakeWriteFailure());
    }
    VisitSession second(root, startAt("2026-10-01T09:00:00"));
    ASSERT_EQ(second.Archive().units.size(), 1U);
    ConnectionEvidence seen;
    const auto now = collection({2, 3, 4, 5});
    seen.records[0].assign(now.begin() + 1, now.end());
    EXPECT_EQ(second.Propose(seen), 0U);
    second.ChooseUnit(0, second.Archive().units[0].Name());
    const VisitSession::Marks marks = second.MarkNew(LogKind::MinorFault, now, 4);
    EXPECT_EQ(marks.fresh, (std::vector<int>{3, 4}));
    EXPECT_EQ(NewRecordsLine(marks.lastVisitStartedAt, marks.fresh.size()),
              "前回点検（2026/09/01 10:12）以降の新しい記録：2件");
    second.KeepCollection(LogKind::MinorFault, now, 4, "2026-10-01T09:05:00", "20261001_bichiraku.csv", csv);
    // Collected again in the same visit, the same records are new.
    EXPECT_EQ(second.MarkNew(LogKind::MinorFault, now, 4).fresh, (std::vector<int>{3, 4}));

    const ArchiveRead archive = ReadArchive(root);
    ASSERT_EQ(archive.units.size(), 1U);
    ASSERT_EQ(archive.units[0].visits.size(), 2U);
    EXPECT_EQ(archive.units[0].visits[0].record.journal.size(), 1U);
    EXPECT_EQ(archive.units[0].visits[1].record.unitName, "北変電所 ６号線");
    EXPECT_EQ(archive.units[0].Histories()[0].Records().size(), 5U);
}

TEST_F(VisitSessionFiles, AnArchiveThatCannotBeWrittenIsSaidOnceAndLosesNothingShown) {
    std::ofstream(m_base / "file") << "not a folder";
    VisitSession session(m_base / "file" / "archive", startAt("2026-09-01T10:12:00"));
    session.ChooseUnit(std::nullopt, "盤");
    const auto lines = collection({1});
    session.KeepCollection(LogKind::MinorFault, lines, 1, "2026-09-01T10:15:00", "a.csv", "x");
    EXPECT_EQ(session.TakeWriteFailure(), SafeWriteStatus::CannotCreate);
    EXPECT_FALSE(session.TakeWriteFailure());
    session.Journal("2026-09-01T10:16:00", "記録");
    EXPECT_FALSE(session.TakeWriteFailure());
    // The visit still knows what it collected.
    ASSERT_TRUE(session.Record().logs[0]);
    EXPECT_EQ(session.Record().logs[0]->records.size(), 1U);
    EXPECT_EQ(session.Record().journal.size(), 1U);
}

TEST(NewRecordsLine, NeedsAnEarlierVisit) {
    EXPECT_EQ(NewRecordsLine("", 3), "");
    EXPECT_EQ(NewRecordsLine("2026-12-10T08:05:59", 0), "前回点検（2026/12/10 08:05）以降の新しい記録：0件");
}

}  // namespace
}  // namespace tessarin
