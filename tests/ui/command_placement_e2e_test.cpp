// The adapter pulled while a confirmation of the settings screen is open: when OK is pressed the link is
// down, so nothing is placed, and nothing reaches the unit when it is plugged in again; the screen says why.
// The whole program (main window, its timers, the link) against the simulated unit over a pseudo-terminal;
// the Windows build of the window tests has no simulated unit.
#ifdef TESSARIN_TESTS_HAVE_SIM
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "data/protocol_codes.h"
#include "sim/simulated_unit.h"
#include "ui/dlg_msg_box.h"
#include "ui/frm_unit_setting.h"
#include "ui_test_support.h"

namespace tessarin::test {
namespace {

constexpr int kPatienceMs = 20000;

bool onLine(frmMidMain& window) { return window.StatusPanel(1)->text() == QStringLiteral("ON LINE"); }

std::size_t requestsWithCode(const sim::SimulatedUnit& unit, std::uint8_t code) {
    std::size_t count = 0;
    for (const sim::ReceivedRequest& request : unit.Requests()) {
        count += request.frame.size() > 1 && request.frame[1] == code ? 1 : 0;
    }
    return count;
}

TEST(CommandPlacementE2e, UnpluggedWhileTheConfirmationIsOpenNothingIsSentLater) {
    struct Case {
        const char* button;
        std::uint8_t code;
    };
    for (const Case& c : {Case{"cmdSetting", kReqWriteSettings}, Case{"cmdInit", kReqInitialise}}) {
        SCOPED_TRACE(c.button);
        sim::SimOptions options;
        options.pacing = false;
        sim::SimulatedUnit unit(options);
        ASSERT_TRUE(unit.Start()) << unit.LastError();
        // Silent until the screen is open: no setting is reported, so the write asks first as well.
        unit.SetSilent(true);

        frmMidMain window(TestPictureFolder());
        window.SetQuitFunction([] {});
        ASSERT_TRUE(QTest::qWaitFor([&] { return onLine(window); }, kPatienceMs));
        window.mnuUnitSetting_Click();
        auto* screen = window.findChild<frmUnitSetting*>();
        ASSERT_NE(screen, nullptr);

        bool asked = false;
        bool wentOffLine = false;
        WhenModalShows<dlgMsgBox>([&](dlgMsgBox* dialog) {
            asked = true;
            unit.Unplug();
            wentOffLine = QTest::qWaitFor([&] { return !onLine(window); }, kPatienceMs);
            dialog->findChild<QPushButton*>(QStringLiteral("cmdButton0"))->setFocus();
            QTest::keyClick(dialog->focusWidget() != nullptr ? dialog->focusWidget() : dialog, Qt::Key_Space);
        });
        screen->findChild<QPushButton*>(QString::fromUtf8(c.button))->click();
        ASSERT_TRUE(asked);
        ASSERT_TRUE(wentOffLine);
        EXPECT_TRUE(screen->CheckText().contains(QStringLiteral("OFF LINE"))) << screen->CheckText().toStdString();

        unit.SetSilent(false);
        ASSERT_TRUE(unit.Plug());
        ASSERT_TRUE(QTest::qWaitFor([&] { return onLine(window); }, kPatienceMs));
        ASSERT_TRUE(QTest::qWaitFor([&] { return requestsWithCode(unit, kReqPoll) >= 3; }, kPatienceMs));
        EXPECT_EQ(requestsWithCode(unit, c.code), 0U);
        EXPECT_EQ(requestsWithCode(unit, kReqWriteSettings) + requestsWithCode(unit, kReqInitialise), 0U);
        unit.Stop();
    }
}

}  // namespace
}  // namespace tessarin::test
#endif  // TESSARIN_TESTS_HAVE_SIM
