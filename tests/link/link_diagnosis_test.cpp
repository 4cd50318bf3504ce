// The reason for the link's state as a pure function of what was observed, one row per situation a field
// engineer meets; and the sentences shown for it.
#include "link/link_diagnosis.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tessarin {
namespace {

LinkObservations listedPort() {
    LinkObservations seen;
    seen.listed = true;
    seen.portName = "COM5";
    seen.devicePath = "/dev/ttyUSB0";
    seen.deviceGroup = "dialout";
    seen.deviceGid = 20;
    seen.userName = "tanaka";
    seen.processGroups = {1000, 24};
    seen.databaseGroups = {1000, 24};
    return seen;
}

struct ReasonCase {
    const char* name;
    LinkObservations seen;
    LinkReason reason;
    bool onLine;
    bool addedSinceLogin;
    std::string fixCommand;
    std::string shortTextHas;
};

LinkObservations with(LinkObservations seen, void (*change)(LinkObservations&)) {
    change(seen);
    return seen;
}

class Reasons : public ::testing::TestWithParam<ReasonCase> {};

TEST_P(Reasons, FollowFromWhatWasSeen) {
    const ReasonCase& c = GetParam();
    const LinkDiagnosis d = DiagnoseLink(c.seen);
    EXPECT_EQ(d.reason, c.reason);
    EXPECT_EQ(IsOnLine(d.reason), c.onLine);
    EXPECT_EQ(d.groupAddedSinceLogin, c.addedSinceLogin);
    EXPECT_EQ(d.fixCommand, c.fixCommand);
    EXPECT_NE(ShortExplanation(d, c.seen).find(c.shortTextHas), std::string::npos) << ShortExplanation(d, c.seen);
}

INSTANTIATE_TEST_SUITE_P(
    Link, Reasons,
    ::testing::Values(
        ReasonCase{"NothingListed", LinkObservations{}, LinkReason::NoAdapter, false, false, "", "見つかりません"},
        ReasonCase{"DeviceGone", with(listedPort(), [](LinkObservations& s) { s.openFailure = OpenFailure::NotFound; }),
                   LinkReason::DeviceMissing, false, false, "", "/dev/ttyUSB0"},
        ReasonCase{"NotInTheGroup",
                   with(listedPort(), [](LinkObservations& s) { s.openFailure = OpenFailure::PermissionDenied; }),
                   LinkReason::PermissionDenied, false, false, "sudo usermod -aG dialout tanaka", "権限"},
        ReasonCase{"GroupAddedSinceLogin",
                   with(listedPort(),
                        [](LinkObservations& s) {
                            s.openFailure = OpenFailure::PermissionDenied;
                            s.databaseGroups.push_back(20);
                        }),
                   LinkReason::PermissionDenied, false, true, "", "ログインし直す"},
        ReasonCase{"AlreadyInTheGroup",
                   with(listedPort(),
                        [](LinkObservations& s) {
                            s.openFailure = OpenFailure::PermissionDenied;
                            s.processGroups.push_back(20);
                            s.databaseGroups.push_back(20);
                        }),
                   LinkReason::PermissionDenied, false, false, "", "権限"},
        ReasonCase{"OwnerOnlyDevice",
                   with(listedPort(),
                        [](LinkObservations& s) {
                            s.openFailure = OpenFailure::PermissionDenied;
                            s.groupMayOpen = false;
                            s.deviceGroup = "root";
                            s.deviceGid = 0;
                        }),
                   LinkReason::PermissionDenied, false, false, "", "権限"},
        ReasonCase{"HeldByAnotherProgram",
                   with(listedPort(),
                        [](LinkObservations& s) {
                            s.openFailure = OpenFailure::Busy;
                            s.holders = {{4242, "minicom"}};
                        }),
                   LinkReason::InUse, false, false, "", "minicom（PID 4242）"},
        ReasonCase{"HeldByAnUnknownProgram",
                   with(listedPort(), [](LinkObservations& s) { s.openFailure = OpenFailure::Busy; }),
                   LinkReason::InUse, false, false, "", "使用中"},
        ReasonCase{"OtherOpenFailure",
                   with(listedPort(), [](LinkObservations& s) { s.openFailure = OpenFailure::Other; }),
                   LinkReason::OpenFailed, false, false, "", "開けません"},
        ReasonCase{"JustOpened", with(listedPort(), [](LinkObservations& s) { s.linkUp = true; }), LinkReason::OnLine,
                   true, false, "", "通信しています"},
        ReasonCase{"OneMissedPollIsNoFault",
                   with(listedPort(),
                        [](LinkObservations& s) {
                            s.linkUp = true;
                            s.unansweredPolls = 1;
                        }),
                   LinkReason::OnLine, true, false, "", "通信しています"},
        ReasonCase{"Silent",
                   with(listedPort(),
                        [](LinkObservations& s) {
                            s.linkUp = true;
                            s.unansweredPolls = 7;
                        }),
                   LinkReason::NoAnswer, true, false, "", "7回連続"},
        ReasonCase{"Garbled",
                   with(listedPort(),
                        [](LinkObservations& s) {
                            s.linkUp = true;
                            s.unansweredPolls = 3;
                            s.badFramesSinceValid = 5;
                        }),
                   LinkReason::Garbled, true, false, "", "5件"},
        ReasonCase{"GarbledByItsShareBetweenGoodAnswers",
                   with(listedPort(),
                        [](LinkObservations& s) {
                            s.linkUp = true;
                            s.answered = true;
                            s.recentFrames = 20;
                            s.recentBadFrames = 3;
                        }),
                   LinkReason::Garbled, true, false, "", "直近20件中3件"},
        ReasonCase{"ARareBadAnswerBetweenGoodOnesIsNoFault",
                   with(listedPort(),
                        [](LinkObservations& s) {
                            s.linkUp = true;
                            s.answered = true;
                            s.recentFrames = 20;
                            s.recentBadFrames = 2;
                        }),
                   LinkReason::OnLine, true, false, "", "通信しています"}),
    [](const ::testing::TestParamInfo<ReasonCase>& p) { return std::string(p.param.name); });

TEST(LinkDiagnosis, ValuesAreStaleWhileDownBeforeTheFirstAnswerAndWhenPollsGoUnanswered) {
    LinkObservations seen = listedPort();
    EXPECT_TRUE(ValuesStale(seen));
    seen.linkUp = true;
    EXPECT_TRUE(ValuesStale(seen));
    seen.answered = true;
    seen.unansweredPolls = kSilentAfterPolls - 1;
    EXPECT_FALSE(ValuesStale(seen));
    seen.unansweredPolls = kSilentAfterPolls;
    EXPECT_TRUE(ValuesStale(seen));
}

TEST(LinkDiagnosisTexts, FullExplanationGivesTheFixAndTheTimeWithoutAnswer) {
    LinkObservations seen = listedPort();
    seen.openFailure = OpenFailure::PermissionDenied;
    const std::string full = FullExplanation(DiagnoseLink(seen), seen, 0);
    EXPECT_NE(full.find("sudo usermod -aG dialout tanaka"), std::string::npos);
    EXPECT_NE(full.find("所有グループ：dialout"), std::string::npos);

    seen = listedPort();
    seen.linkUp = true;
    seen.unansweredPolls = 4;
    seen.unansweredSinceMs = 1000;
    EXPECT_NE(FullExplanation(DiagnoseLink(seen), seen, 5500).find("4秒"), std::string::npos);

    seen = LinkObservations{};
    seen.untrustedListPart = "/tmp/tessarin-1000/serialcomm";
    EXPECT_EQ(FullExplanation(DiagnoseLink(seen), seen, 0),
              "本体のUSBアダプタが見つかりません。ケーブルを差し込んでください。\nポートの一覧の「/tmp/tessarin-1000/"
              "serialcomm」は、他のユーザーのものか他のユーザーも書き込めるため、読んでいません。");
}

}  // namespace
}  // namespace tessarin
