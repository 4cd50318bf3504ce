#include "data/recording_writer.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace tessarin {
namespace {

std::string readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

#ifndef _WIN32
// Whether the header's write fails and ends the recording; the limit is the calling process's for good.
bool recordsIntoAFileThatMayNotGrow(const std::filesystem::path& target) {
    static_cast<void>(std::signal(SIGXFSZ, SIG_IGN));
    const rlimit none{0, 0};
    if (::setrlimit(RLIMIT_FSIZE, &none) != 0) {
        return false;
    }
    RecordingWriter writer;
    return writer.Start(target, "h") == RecordingStatus::WriteFailed && !writer.Recording();
}
#endif

class RecordingWriterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_folder = std::filesystem::temp_directory_path() /
                   ("tessarin-recording-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                    ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(m_folder);
    }
    void TearDown() override { std::filesystem::remove_all(m_folder); }
    std::filesystem::path m_folder;
};

TEST_F(RecordingWriterTest, EachLineIsOnDiskInCodePage932AsSoonAsItIsWritten) {
    RecordingWriter writer;
    const auto target = m_folder / "rec.csv";
    ASSERT_EQ(writer.Start(target, "日時,V0"), RecordingStatus::Ok);
    EXPECT_TRUE(writer.Recording());
    ASSERT_EQ(writer.Write(RecordingLine("2026/12/09 06:55:05.123", {"45.6V", "63°", "-60°～120°"})),
              RecordingStatus::Ok);
    // Still open: the bytes are already in the file.
    EXPECT_EQ(readBytes(target),
              "\x93\xfa\x8e\x9e,V0\r\n2026/12/09 06:55:05.123,45.6V,63\x81\x8b,-60\x81\x8b\x81\x60"
              "120\x81\x8b\r\n");
    writer.Stop();
    EXPECT_FALSE(writer.Recording());
    EXPECT_EQ(writer.Write("x"), RecordingStatus::NotOpen);
}

TEST_F(RecordingWriterTest, FailuresEndTheRecording) {
    RecordingWriter writer;
    EXPECT_EQ(writer.Start(m_folder / "missing" / "rec.csv", "h"), RecordingStatus::CannotCreate);
    EXPECT_FALSE(writer.Recording());

    ASSERT_EQ(writer.Start(m_folder / "rec.csv", "h"), RecordingStatus::Ok);
    EXPECT_EQ(writer.Write("\xF0\x9F\x98\x80"), RecordingStatus::EncodingFailed);  // no such character in 932
    EXPECT_FALSE(writer.Recording());
    EXPECT_EQ(readBytes(m_folder / "rec.csv"), "h\r\n");

#ifndef _WIN32
    // A file that may not grow, as on a full disk: the header already fails.
    EXPECT_EXIT(std::_Exit(recordsIntoAFileThatMayNotGrow(m_folder / "full.csv") ? 0 : 1), ::testing::ExitedWithCode(0),
                "");
    // A device is no recording, not even one that swallows every line.
    if (std::filesystem::exists("/dev/null")) {
        EXPECT_EQ(writer.Start("/dev/null", "h"), RecordingStatus::CannotCreate);
        EXPECT_EQ(writer.Cause(), SafeWriteStatus::NotRegularFile);
        EXPECT_FALSE(writer.Recording());
    }
#endif
}

}  // namespace
}  // namespace tessarin
