// The simulated unit over a real pseudo-terminal: its entry in the serial-port list, its answers, its
// faults, unplugging and pacing. Each test has its own list folder; all but the pacing test run unpaced.
#include "sim/simulated_unit.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <thread>

#include "sim/sim_test_support.h"

namespace tessarin::sim {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using testing::LinePeer;
using testing::ReadTextFile;
using testing::Request;
using testing::ScopedRuntimeFolder;
using testing::XorOf;

constexpr auto kTimeout = 3s;

SimOptions unpaced() {
    SimOptions options;
    options.pacing = false;
    return options;
}

// A frame whose checksum is right, built from its parts here.
Bytes frame(std::uint8_t code, const Bytes& data) {
    Bytes f{0xFF, code, static_cast<std::uint8_t>(data.size() + 5)};
    f.insert(f.end(), data.begin(), data.end());
    f.push_back(0xCC);
    f.push_back(0);
    f.back() = XorOf(f);
    return f;
}

Bytes settingsWrite(const Bytes& data) {
    Bytes f = frame(0x03, data);
    return f;
}

class SimulatedUnitTest : public ::testing::Test {
  protected:
    // Starts the unit and opens the program's end of its line.
    void start(SimOptions options = unpaced()) {
        m_unit = std::make_unique<SimulatedUnit>(options);
        ASSERT_TRUE(m_unit->Start()) << m_unit->LastError();
        m_peer = std::make_unique<LinePeer>(m_unit->DevicePath());
        ASSERT_TRUE(m_peer->IsOpen());
    }

    // Writes the request and reads the answer of `size` bytes.
    Bytes exchange(const Bytes& request, std::size_t size) {
        m_peer->Write(request);
        return m_peer->ReadExactly(size, kTimeout);
    }

    Bytes poll() { return exchange(Request(0x00), 29); }

    // Writes requests that get no answer and waits until the unit has acted on them.
    void tell(const Bytes& request) {
        const auto before = m_unit->RequestCount();
        m_peer->Write(request);
        ASSERT_TRUE(m_unit->WaitForRequests(before + 1, kTimeout));
    }

    ScopedRuntimeFolder m_folder;
    std::unique_ptr<SimulatedUnit> m_unit;
    std::unique_ptr<LinePeer> m_peer;
};

TEST_F(SimulatedUnitTest, ListsItselfAndRemovesItsEntryOnStop) {
    start();
    const std::string entry = m_folder.ListFolder() + "/VCP0";
    EXPECT_EQ(m_unit->Index(), 0);
    EXPECT_EQ(m_unit->PortName(), "COM20");
    EXPECT_EQ(m_unit->EntryPath(), entry);
    EXPECT_THAT(m_unit->DevicePath(), ::testing::StartsWith("/dev/pts/"));
    EXPECT_EQ(ReadTextFile(entry), "COM20\n" + m_unit->DevicePath() + "\n");
    struct stat st {};
    ASSERT_EQ(::stat(m_folder.ListFolder().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700U);
    // Nothing but the entry is left in the folder (no temporary files).
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_folder.ListFolder()), {}), 1);

    m_unit->Stop();
    EXPECT_FALSE(std::filesystem::exists(entry));
    EXPECT_EQ(m_unit->Index(), -1);
    m_unit->Stop();
}

TEST_F(SimulatedUnitTest, TakesTheFirstFreeIndexOrTheOneAskedFor) {
    std::filesystem::create_directories(m_folder.ListFolder());
    std::ofstream(m_folder.ListFolder() + "/VCP0") << "COM3\n/dev/ttyS2\n";
    std::ofstream(m_folder.ListFolder() + "/VCP2") << "COM4\n/dev/ttyS3\n";
    SimulatedUnit first(unpaced());
    SimulatedUnit second(unpaced());
    ASSERT_TRUE(first.Start());
    ASSERT_TRUE(second.Start());
    EXPECT_EQ(first.Index(), 1);
    EXPECT_EQ(first.PortName(), "COM21");
    EXPECT_EQ(second.Index(), 3);
    EXPECT_EQ(second.PortName(), "COM23");

    SimOptions asked = unpaced();
    asked.index = 7;
    asked.comNumber = 5;
    SimulatedUnit third(asked);
    ASSERT_TRUE(third.Start());
    EXPECT_EQ(ReadTextFile(m_folder.ListFolder() + "/VCP7"), "COM5\n" + third.DevicePath() + "\n");
}

TEST(SerialListFolderTest, FollowsTheRuntimeFolder) {
    const ScopedRuntimeFolder folder;
    EXPECT_EQ(SerialListFolder(), folder.Path() + "/tessarin/serialcomm");
    const std::string fallback = "/tmp/tessarin-" + std::to_string(::getuid()) + "/serialcomm";
    ::setenv("XDG_RUNTIME_DIR", "", 1);
    EXPECT_EQ(SerialListFolder(), fallback);
    ::unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(SerialListFolder(), fallback);
}

TEST_F(SimulatedUnitTest, RefusesAListFolderThatIsNotPrivate) {
    std::filesystem::create_directories(m_folder.Path() + "/elsewhere");
    std::filesystem::create_directory_symlink(m_folder.Path() + "/elsewhere", m_folder.Path() + "/tessarin");
    SimulatedUnit unit(unpaced());
    EXPECT_FALSE(unit.Start());
    EXPECT_THAT(unit.LastError(), ::testing::HasSubstr("not a folder of this user"));
    EXPECT_TRUE(std::filesystem::is_empty(m_folder.Path() + "/elsewhere"));
}

TEST_F(SimulatedUnitTest, AnswersThePollWithItsCurrentValues) {
    start();
    m_unit->SetCurrentValues(456, 520, 635, 60);
    const Bytes poll{0xFF, 0x00, 0x14, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                     0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xCC, 0xD8, 0x00, 0x00};
    const Bytes expected{0xFF, 0xA0, 0x1D, 0x00, 0x23, 0x01, 0xC8, 0x02, 0x08, 0x02, 0x7B, 0x3C, 0x01, 0x0B, 0x00,
                         0x00, 0x01, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0xCC, 0xDF};
    EXPECT_EQ(exchange(poll, 29), expected);
    EXPECT_EQ(m_unit->LastCurrentValuePayload(), Bytes(expected.begin() + 3, expected.end() - 2));

    const auto requests = m_unit->Requests();
    ASSERT_EQ(requests.size(), 1U);
    EXPECT_EQ(requests[0].frame, Bytes(poll.begin(), poll.begin() + 20));
    EXPECT_EQ(m_unit->RequestCount(), 1U);
}

TEST_F(SimulatedUnitTest, WithoutTheOvgrFunctionReportsItAbsent) {
    start();
    m_unit->SetOvgrFunction(false);
    EXPECT_EQ(poll().at(3 + 15), 0x00);
}

TEST_F(SimulatedUnitTest, SettingsWriteShowsInLaterAnswersAndInitialiseRestoresThem) {
    start();
    const Bytes before = poll();
    // Condition 8h with count 10, time 14, V0 9, I0 16, range -45..135, cyclic off, overwrite off,
    // clock 2026-12-08 05:42:10, alarms OVGR and minor ground fault.
    const Bytes data{0x8A, 0x00, 0x0A, 14, 9, 16, 1, 1, 1, 26, 12, 8, 5, 42, 10, 2, 0};
    tell(settingsWrite(data));
    const Bytes after = poll();
    ASSERT_EQ(after.size(), 29U);
    EXPECT_EQ(after[3] & 0x01, 0x01);  // phase range
    EXPECT_EQ(after[4], 0x8A);
    EXPECT_EQ(Bytes(after.begin() + 12, after.begin() + 15), (Bytes{9, 16, 14}));
    EXPECT_EQ(after[16], 1);
    EXPECT_EQ(after[17], 1);
    EXPECT_EQ(Bytes(after.begin() + 25, after.begin() + 27), (Bytes{2, 0}));
    EXPECT_EQ(m_unit->Clock(), (Bytes{26, 12, 8, 5, 42, 10}));

    const Bytes initialise{0xFF, 0x07, 0x14, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                           0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xCC, 0xDF, 0xCC, 0x5C};
    tell(initialise);
    const Bytes restored = poll();
    ASSERT_EQ(restored.size(), 29U);
    EXPECT_EQ(restored[3] & 0x01, before[3] & 0x01);
    EXPECT_EQ(restored[4], before[4]);
    EXPECT_EQ(Bytes(restored.begin() + 12, restored.begin() + 15), Bytes(before.begin() + 12, before.begin() + 15));
    EXPECT_EQ(Bytes(restored.begin() + 16, restored.end() - 2), Bytes(before.begin() + 16, before.end() - 2));
    EXPECT_EQ(m_unit->Clock(), (Bytes{26, 12, 8, 5, 42, 10})) << "initialising keeps the clock";
}

TEST_F(SimulatedUnitTest, AnswersRecordRequestsFromTheRightLog) {
    start();
    const Bytes record1{0xFF, 0xA1, 0x15, 0x01, 0x01, 0xC8, 0x02, 0x08, 0x02, 0x7B, 0x3C,
                        0x0C, 0x03, 0x05, 0x0E, 0x07, 0xF0, 0x05, 0x00, 0xCC, 0x09};
    const Bytes request1{0xFF, 0x04, 0x14, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                         0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xCC, 0xDD, 0x00, 0x00};
    EXPECT_EQ(exchange(request1, 21), record1);

    struct Case {
        std::uint8_t code;
        std::uint8_t answer;
        int record;
    };
    for (const Case c : {Case{0x04, 0xA1, 100}, Case{0x04, 0xA1, 37}, Case{0x05, 0xA2, 1}, Case{0x05, 0xA2, 10},
                         Case{0x06, 0xA3, 6}, Case{0x06, 0xA3, 11}}) {
        const Bytes got = exchange(Request(c.code, static_cast<std::uint8_t>(c.record)), 21);
        ASSERT_EQ(got.size(), 21U);
        EXPECT_EQ(Bytes(got.begin(), got.begin() + 3), (Bytes{0xFF, c.answer, 0x15}));
        EXPECT_EQ(got[3], c.record);
        EXPECT_EQ(Bytes(got.begin() + 3, got.end() - 2), m_unit->LogRecordPayload(c.code, c.record));
        EXPECT_EQ(got[19], 0xCC);
        EXPECT_EQ(got[20], XorOf(got));
    }
}

TEST_F(SimulatedUnitTest, ClearRequestsEmptyTheirLogOnly) {
    start();
    const Bytes deviceBefore = m_unit->LogRecordPayload(0x06, 1);
    const Bytes ovgrBefore = m_unit->LogRecordPayload(0x05, 1);
    tell(Request(0x01));
    for (int n = 1; n <= 100; ++n) {
        EXPECT_EQ(m_unit->LogRecordPayload(0x04, n).at(8), 0xFF) << n;
    }
    EXPECT_EQ(exchange(Request(0x04, 1), 21).at(3 + 8), 0xFF);
    EXPECT_EQ(m_unit->LogRecordPayload(0x05, 1), ovgrBefore);

    tell(Request(0x02));
    for (int n = 1; n <= 10; ++n) {
        EXPECT_EQ(m_unit->LogRecordPayload(0x05, n).at(8), 0xFF) << n;
        EXPECT_EQ(m_unit->LogRecordPayload(0x05, n).at(0), n);
    }
    EXPECT_EQ(m_unit->LogRecordPayload(0x06, 1), deviceBefore);
}

TEST_F(SimulatedUnitTest, SilentUnitAnswersNothingButStillListens) {
    start();
    m_unit->SetSilent(true);
    tell(Request(0x00));
    tell(Request(0x04, 1));
    m_unit->SetSilent(false);
    // The first bytes to come are the answer to the request after the silence.
    EXPECT_EQ(exchange(Request(0x05, 2), 21).at(1), 0xA2);
    EXPECT_EQ(m_unit->RequestCount(), 3U);
}

TEST_F(SimulatedUnitTest, DropsTheAnswersToOneRecordAGivenNumberOfTimes) {
    start();
    m_unit->DropRecordAnswers(3, 2);
    tell(Request(0x04, 3));
    tell(Request(0x04, 3));
    const Bytes third = exchange(Request(0x04, 3), 21);
    EXPECT_EQ(third.at(3), 3);
    EXPECT_EQ(exchange(Request(0x04, 3), 21).at(3), 3);
}

TEST_F(SimulatedUnitTest, DropsAShareOfRecordAnswersButNotPolls) {
    start();
    m_unit->SetDropShare(1.0);
    tell(Request(0x04, 1));
    tell(Request(0x06, 1));
    EXPECT_EQ(poll().at(1), 0xA0);

    m_unit->SetDropShare(0.5);
    const auto before = m_unit->RequestCount();
    for (int n = 1; n <= 40; ++n) {
        m_peer->Write(Request(0x04, static_cast<std::uint8_t>(n)));
    }
    ASSERT_TRUE(m_unit->WaitForRequests(before + 40, kTimeout));
    const Bytes answers = m_peer->ReadFor(300ms);
    ASSERT_EQ(answers.size() % 21, 0U);
    EXPECT_THAT(answers.size() / 21, ::testing::AllOf(::testing::Ge(5U), ::testing::Le(35U)));
}

TEST_F(SimulatedUnitTest, CorruptsTheChecksumOnly) {
    start();
    m_unit->SetCorruptShare(1.0);
    const Bytes got = exchange(Request(0x04, 1), 21);
    ASSERT_EQ(got.size(), 21U);
    EXPECT_EQ(Bytes(got.begin() + 3, got.end() - 2), m_unit->LogRecordPayload(0x04, 1));
    EXPECT_EQ(got[19], 0xCC);
    EXPECT_NE(got[20], XorOf(got));
    const Bytes answer = poll();
    ASSERT_EQ(answer.size(), 29U);
    EXPECT_NE(answer[28], XorOf(answer));
}

TEST_F(SimulatedUnitTest, SplitsAnswersOverSeveralWrites) {
    start();
    m_unit->SetSplitWrites(4);
    int mostReads = 0;
    for (int attempt = 0; attempt < 5 && mostReads < 2; ++attempt) {
        m_peer->Write(Request(0x04, 1));
        int reads = 0;
        const Bytes got = m_peer->ReadExactly(21, kTimeout, &reads);
        EXPECT_EQ(Bytes(got.begin() + 3, got.end() - 2), m_unit->LogRecordPayload(0x04, 1));
        mostReads = std::max(mostReads, reads);
    }
    EXPECT_GE(mostReads, 2);
}

TEST_F(SimulatedUnitTest, SendsNoiseWithoutStartMarksBeforeAnswers) {
    start();
    m_unit->SetNoiseBytes(7);
    const Bytes got = exchange(Request(0x04, 1), 7 + 21);
    ASSERT_EQ(got.size(), 28U);
    EXPECT_THAT(Bytes(got.begin(), got.begin() + 7), ::testing::Each(::testing::Ne(0xFF)));
    EXPECT_EQ(Bytes(got.begin() + 7 + 3, got.end() - 2), m_unit->LogRecordPayload(0x04, 1));
}

TEST_F(SimulatedUnitTest, AnswersARecordUnderAnotherNumber) {
    start();
    m_unit->SetRecordNumberOverride(2, 10);
    const Bytes got = exchange(Request(0x06, 2), 21);
    ASSERT_EQ(got.size(), 21U);
    Bytes expected = m_unit->LogRecordPayload(0x06, 2);
    expected[0] = 10;
    EXPECT_EQ(Bytes(got.begin() + 3, got.end() - 2), expected);
    EXPECT_EQ(got[20], XorOf(got));
    m_unit->SetRecordNumberOverride(2, -1);
    EXPECT_EQ(exchange(Request(0x06, 2), 21).at(3), 2);
}

TEST_F(SimulatedUnitTest, AnswersARecordTwiceWhenToldTo) {
    start();
    m_unit->SetDuplicateAnswers(3, true);
    const Bytes got = exchange(Request(0x05, 3), 42);
    ASSERT_EQ(got.size(), 42U);
    const Bytes first(got.begin(), got.begin() + 21);
    EXPECT_EQ(Bytes(first.begin() + 3, first.end() - 2), m_unit->LogRecordPayload(0x05, 3));
    EXPECT_EQ(Bytes(got.begin() + 21, got.end()), first);
    EXPECT_EQ(exchange(Request(0x05, 4), 21).at(3), 4) << "other records once";
    m_unit->SetDuplicateAnswers(3, false);
    EXPECT_EQ(exchange(Request(0x05, 3), 21).at(3), 3);
    EXPECT_EQ(poll().at(1), 0xA0) << "nothing more of record 3 was on the line";
}

TEST_F(SimulatedUnitTest, UnplugHangsUpAndRemovesTheEntryPlugComesBackElsewhere) {
    start();
    const std::string oldPath = m_unit->DevicePath();
    const std::string oldEntry = m_unit->EntryPath();
    m_unit->Unplug();
    EXPECT_FALSE(std::filesystem::exists(oldEntry));
    EXPECT_EQ(m_unit->Index(), -1);
    EXPECT_EQ(m_unit->DevicePath(), "");
    int error = 0;
    const long result = m_peer->ReadOnce(kTimeout, error);
    EXPECT_TRUE(result == 0 || (result < 0 && error == EIO)) << result << " " << error;

    ASSERT_TRUE(m_unit->Plug(3));
    EXPECT_EQ(m_unit->Index(), 3);
    EXPECT_NE(m_unit->DevicePath(), oldPath);
    EXPECT_EQ(ReadTextFile(m_folder.ListFolder() + "/VCP3"), "COM23\n" + m_unit->DevicePath() + "\n");
    m_peer = std::make_unique<LinePeer>(m_unit->DevicePath());
    EXPECT_EQ(poll().at(1), 0xA0);
}

TEST_F(SimulatedUnitTest, PacedLikeA9600BaudLine) {
    SimOptions options;
    options.pacing = true;
    start(options);
    const auto sent = std::chrono::steady_clock::now();
    const Bytes got = exchange(Request(0x04, 5), 21);
    const auto took = std::chrono::steady_clock::now() - sent;
    EXPECT_EQ(got.size(), 21U);
    // 22 bytes in and 21 out at 11 bits per byte: about 49 ms.
    EXPECT_GE(took, 45ms);
    EXPECT_LT(took, 2s);
}

TEST_F(SimulatedUnitTest, StopsPromptlyWithAnAnswerPending) {
    SimOptions options;
    options.pacing = true;
    start(options);
    m_peer->Write(Request(0x04, 1));
    m_unit->Stop();
    EXPECT_EQ(m_unit->Index(), -1);
}

}  // namespace
}  // namespace tessarin::sim
