#include "data/safe_write.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include "data/file_access.h"
#include "data/recording_writer.h"

#ifndef _WIN32
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tessarin {
namespace {

namespace fs = std::filesystem;

constexpr uid_t kOtherUser = 65534;  // nobody
// A regression that blocks on a named pipe ends the test program instead of hanging it.
constexpr unsigned kBlockedSeconds = 30;

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeAll(const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

fs::perms permsOf(const fs::path& path) { return fs::status(path).permissions() & fs::perms::all; }

// What another local user does, in a child running as that user; whether all of it succeeded.
bool asOtherUser(const std::function<bool()>& act) {
    const pid_t child = ::fork();
    if (child == 0) {
        const bool dropped = ::setgroups(0, nullptr) == 0 && ::setgid(kOtherUser) == 0 && ::setuid(kOtherUser) == 0;
        ::_exit(dropped && act() ? 0 : 1);
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

class SafeWriteFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("tessarin-safe-write-" + std::to_string(::getpid()) + "-" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(m_dir);
        ::alarm(kBlockedSeconds);
    }
    void TearDown() override {
        ::alarm(0);
        std::error_code ignored;
        fs::remove_all(m_dir, ignored);
    }
    // A folder as /tmp is: everybody may create files in it, and only remove his own.
    fs::path sharedFolder() {
        const fs::path shared = m_dir / "shared";
        fs::create_directory(shared);
        fs::permissions(shared, fs::perms::all | fs::perms::sticky_bit);
        return shared;
    }
    fs::path m_dir;
};

// Where a second local user takes part, which only root can play.
class SharedFolder : public SafeWriteFiles {
  protected:
    void SetUp() override {
        if (::geteuid() != 0) {
            GTEST_SKIP() << "needs root to act as a second user";
        }
        SafeWriteFiles::SetUp();
    }
};

TEST_F(SharedFolder, AnotherUsersLinkInASharedFolderIsNeverFollowed) {
    const fs::path shared = sharedFolder();
    const fs::path victim = m_dir / "important.txt";
    writeAll(victim, "the user's own\n");
    const fs::path planted = shared / "report.pdf";
    ASSERT_TRUE(asOtherUser([&] { return ::symlink(victim.c_str(), planted.c_str()) == 0; }));

    EXPECT_EQ(WriteFileSafely(planted, "report"), SafeWriteStatus::UnsafeLink);
    EXPECT_EQ(WriteFileSafely(planted, "report", ReadOnlyTarget::Replace), SafeWriteStatus::UnsafeLink);
    RecordingWriter recording;
    EXPECT_EQ(recording.Start(planted, "h"), RecordingStatus::CannotCreate);
    EXPECT_EQ(recording.Cause(), SafeWriteStatus::UnsafeLink);
    EXPECT_EQ(readAll(victim), "the user's own\n");
    EXPECT_TRUE(fs::is_symlink(planted));

    // The user's own link in the same folder is his to follow.
    const fs::path own = shared / "own.pdf";
    fs::create_symlink(victim, own);
    EXPECT_EQ(WriteFileSafely(own, "new"), SafeWriteStatus::Ok);
    EXPECT_EQ(readAll(victim), "new");
}

TEST_F(SharedFolder, NamesPlantedAheadOfASaveCatchNothing) {
    const fs::path shared = sharedFolder();
    const fs::path target = shared / "private.txt";
    writeAll(target, "old secret");
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write);
    // Whatever name the temporary file would take after the target's own, it leads to the other user.
    const fs::path loot = shared / "loot";
    ASSERT_TRUE(asOtherUser([&] {
        bool planted = true;
        for (const char* suffix : {".part0", ".part1", ".tmp", "~", ".new"}) {
            planted = planted && ::symlink(loot.c_str(), (target.string() + suffix).c_str()) == 0;
        }
        return planted;
    }));

    ASSERT_EQ(WriteFileSafely(target, "new secret"), SafeWriteStatus::Ok);
    EXPECT_FALSE(fs::is_symlink(target));
    EXPECT_EQ(readAll(target), "new secret");
    EXPECT_EQ(permsOf(target), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_FALSE(fs::exists(fs::symlink_status(loot)));
}

TEST_F(SafeWriteFiles, NamedPipesAndFoldersAreRefusedAtOnce) {
    const fs::path pipe = m_dir / "pipe";
    ASSERT_EQ(::mkfifo(pipe.c_str(), S_IRUSR | S_IWUSR), 0);
    const fs::path link = m_dir / "link-to-pipe";
    fs::create_symlink(pipe, link);
    for (const fs::path& target : {pipe, link, m_dir}) {
        SCOPED_TRACE(target);
        EXPECT_EQ(WriteFileSafely(target, "x"), SafeWriteStatus::NotRegularFile);
        RecordingWriter recording;
        EXPECT_EQ(recording.Start(target, "h"), RecordingStatus::CannotCreate);
        EXPECT_EQ(recording.Cause(), SafeWriteStatus::NotRegularFile);
        EXPECT_EQ(ReadRegularFile(target, 10).Status, FileReadStatus::NotRegularFile);
    }
    EXPECT_EQ(ReadRegularFile(m_dir / "missing", 10).Status, FileReadStatus::CannotOpen);
    writeAll(m_dir / "settings.json", "0123456789");
    const FileRead read = ReadRegularFile(m_dir / "settings.json", 4);
    EXPECT_EQ(read.Status, FileReadStatus::Ok);
    EXPECT_EQ(read.Bytes, "0123");
}

TEST_F(SafeWriteFiles, ALongNameSavesAndLeavesNothingElse) {
    const fs::path target = m_dir / std::string(250, 'n');
    ASSERT_EQ(WriteFileSafely(target, "long"), SafeWriteStatus::Ok);
    ASSERT_EQ(WriteFileSafely(target, "longer"), SafeWriteStatus::Ok);
    EXPECT_EQ(readAll(target), "longer");
    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir), fs::directory_iterator()), 1);
}

TEST_F(SafeWriteFiles, AReadOnlyTargetIsReplacedOnlyWhenAllowed) {
    const fs::path target = m_dir / "kept.json";
    writeAll(target, "old");
    const fs::perms readOnly = fs::perms::owner_read | fs::perms::group_read;
    fs::permissions(target, readOnly);
    EXPECT_EQ(WriteFileSafely(target, "new"), SafeWriteStatus::ReadOnly);
    EXPECT_EQ(readAll(target), "old");
    EXPECT_EQ(WriteFileSafely(target, "new", ReadOnlyTarget::Replace), SafeWriteStatus::Ok);
    EXPECT_EQ(readAll(target), "new");
    EXPECT_EQ(permsOf(target), readOnly);
    EXPECT_FALSE(SafeWriteCauseText(SafeWriteStatus::ReadOnly).empty());
}

}  // namespace
}  // namespace tessarin

#endif
