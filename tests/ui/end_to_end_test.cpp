// The program's link and main window against the simulated unit over a real pseudo-terminal, offscreen:
// the unit is found, its values reach the current-value screen, and unplugging and plugging it in again
// show in the status bar. The test program runs in a private runtime folder (see ui_test_main.cpp), so
// the simulator's serial-port list entry is seen only here.
#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>

#include "data/choice_tables.h"
#include "sim/simulated_unit.h"
#include "ui/frm_now_value.h"
#include "ui_test_support.h"

namespace tessarin::test {
namespace {

constexpr int kPatienceMs = 20000;

QString labelText(frmMidMain& window, const char* name) {
    QWidget* child = window.ActiveChild();
    const auto* label = child == nullptr ? nullptr : child->findChild<QLabel*>(QString::fromUtf8(name));
    return label == nullptr ? QString() : label->text();
}

bool labelShown(frmMidMain& window, const char* name) {
    QWidget* child = window.ActiveChild();
    const auto* label = child == nullptr ? nullptr : child->findChild<QLabel*>(QString::fromUtf8(name));
    return label != nullptr && label->isVisibleTo(child);
}

TEST(EndToEnd, LiveValuesThenUnplugAndPlugIn) {
    sim::SimOptions options;
    options.pacing = true;
    sim::SimulatedUnit unit(options);
    ASSERT_TRUE(unit.Start());
    unit.SetOvgrFunction(true);
    unit.SetFrozenValues(true);

    frmMidMain window(TestPictureFolder());
    int quits = 0;
    window.SetQuitFunction([&] { ++quits; });
    window.mnuNowValue_Click();

    ASSERT_TRUE(
        QTest::qWaitFor([&] { return window.StatusPanel(1)->text() == QStringLiteral("ON LINE"); }, kPatienceMs));
    EXPECT_EQ(window.StatusPanel(1)->toolTip(), QStringLiteral("本体と通信しています。"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !labelText(window, "lblFreq").isEmpty(); }, kPatienceMs))
        << "no current values reached the screen";

    const std::vector<std::uint8_t> payload = unit.LastCurrentValuePayload();
    ASSERT_GE(payload.size(), 24U);
    EXPECT_EQ(labelText(window, "lblFreq"), QStringLiteral("%1Hz").arg(payload[8]));
    ASSERT_LT(payload[9], V0LevelTable.size());
    EXPECT_EQ(labelText(window, "lblV0Level"), QString::fromUtf8(V0LevelTable[payload[9]].data()));
    EXPECT_EQ(labelText(window, "lblOvgrMode"), QStringLiteral("機能あり"));
    EXPECT_TRUE(labelShown(window, "lblOvgrState"));
    EXPECT_FALSE(labelText(window, "lblV0").isEmpty());
    EXPECT_TRUE(labelText(window, "lblDetectProgress").endsWith(QStringLiteral("回")));
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return window.PanelPictureName(3) == QString::fromUtf8(kLampOnGreen); }, kPatienceMs))
        << "the receive lamp blinks";

    unit.SetOvgrFunction(false);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !labelShown(window, "lblOvgrState"); }, kPatienceMs));
    EXPECT_EQ(labelText(window, "lblOvgrMode"), QStringLiteral("機能なし"));

    unit.Unplug();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return window.StatusPanel(1)->text() == QStringLiteral("OFF LINE"); }, kPatienceMs));
    EXPECT_EQ(window.PanelPictureName(2), QString::fromUtf8(kLampOffRed));
    EXPECT_EQ(window.StatusPanel(2)->pixmap().toImage(),
              LampPictures(TestPictureFolder()).Picture(QString::fromUtf8(kLampOffRed)).toImage());
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return window.PanelPictureName(3) == QString::fromUtf8(kLampOffGreen); }, kPatienceMs));
    EXPECT_EQ(labelText(window, "lblFreq"), QStringLiteral("%1Hz").arg(payload[8]))
        << "the last values stay while the link is down";

    ASSERT_TRUE(unit.Plug());
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return window.StatusPanel(1)->text() == QStringLiteral("ON LINE"); }, kPatienceMs));
    const std::size_t before = unit.RequestCount();
    EXPECT_TRUE(QTest::qWaitFor([&] { return unit.RequestCount() > before; }, kPatienceMs)) << "polls go out again";

    window.mnuExit_Click();
    EXPECT_EQ(quits, 1);
    unit.Stop();
}

}  // namespace
}  // namespace tessarin::test
