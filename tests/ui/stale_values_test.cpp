// Values that stop being refreshed must not look live: the current-value screen, the phasor and the trend
// grey them with the time of the last answer, the trend breaks its lines and the recording marks the gap.
#include <gtest/gtest.h>

#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <fstream>
#include <iterator>
#include <string>

#include "data/csv_export.h"
#include "ui/frm_now_value.h"
#include "ui/phasor_window.h"
#include "ui/stale_values.h"
#include "ui/trend_window.h"
#include "ui_test_support.h"
#ifdef TESSARIN_TESTS_HAVE_SIM
#include "sim/simulated_unit.h"
#endif

namespace tessarin {
namespace {

constexpr int kPatienceMs = 20000;

QLabel* label(QWidget* window, const char* name) { return window->findChild<QLabel*>(QString::fromUtf8(name)); }

TEST(StaleValues, ATrendGapBreaksTheLinesAndTheRecordingMarksIt) {
    frmTrend trend;
    QTemporaryDir folder;
    const QString target = folder.filePath(QStringLiteral("rec.csv"));
    trend.SetFileChooser([&] { return target; });
    trend.cmdRecord_Click();
    ASSERT_TRUE(trend.Recording());
    NowValueRecord now;
    now.Numbers.valid = true;
    now.Numbers.measured = {456, false, 120, false, 450, PhaseShown::Angle};
    now.Numbers.receivedAt = std::chrono::system_clock::now();
    trend.ShowAnswer(now);
    const QDateTime last = QDateTime::fromMSecsSinceEpoch(
        std::chrono::duration_cast<std::chrono::milliseconds>(now.Numbers.receivedAt.time_since_epoch()).count());
    trend.ShowStale(true, last);
    trend.ShowStale(true, last);  // said again: one marker only
    EXPECT_TRUE(label(&trend, "lblStale")->isVisibleTo(&trend));
    EXPECT_NE(label(&trend, "lblStale")->text().indexOf(last.toString(QStringLiteral("HH:mm:ss"))), -1);
    trend.ShowStale(false, last);
    EXPECT_FALSE(label(&trend, "lblStale")->isVisibleTo(&trend));
    trend.cmdRecord_Click();

    std::ifstream in(target.toStdString(), std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const std::string marker =
        EncodeCp932("―― 更新停止（最終応答 " + last.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss.zzz")).toStdString() +
                    "）")
            .value();
    std::size_t at = bytes.find(marker);
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(bytes.find(marker, at + 1), std::string::npos);
    // Header, the answer, the marker: each a CR LF line.
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 3);
}

#ifdef TESSARIN_TESTS_HAVE_SIM
TEST(StaleValues, SilenceGreysTheValuesWithTheLastAnswerAndAnswersBringThemBack) {
    sim::SimOptions options;
    options.pacing = false;
    sim::SimulatedUnit unit(options);
    ASSERT_TRUE(unit.Start());
    frmMidMain window(test::TestPictureFolder());
    window.SetQuitFunction([] {});
    EXPECT_TRUE(window.ValuesStale());  // nothing came yet
    window.mnuNowValue_Click();
    auto* now = window.findChild<frmNowValue*>();
    ASSERT_NE(now, nullptr);
    window.mnuPhasor_Click();
    window.mnuTrend_Click();
    QLabel* v0 = label(now, "lblV0");
    ASSERT_NE(v0, nullptr);
    EXPECT_FALSE(v0->isEnabled());

    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.ValuesStale(); }, kPatienceMs));
    EXPECT_TRUE(v0->isEnabled());
    EXPECT_FALSE(label(now, "lblStale")->isVisibleTo(now));
    EXPECT_FALSE(window.PhasorWindow()->Diagram()->Stale());

    unit.SetSilent(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.ValuesStale(); }, kPatienceMs));
    EXPECT_EQ(window.StatusPanel(1)->text(), QStringLiteral("ON LINE"));  // the port is still open
    EXPECT_FALSE(v0->isEnabled());
    EXPECT_FALSE(v0->text().isEmpty());  // the last values stay, greyed
    EXPECT_TRUE(label(now, "lblStale")->isVisibleTo(now));
    EXPECT_EQ(label(now, "lblStale")->text(), StaleValuesText(window.LastAnswerTime()));
    EXPECT_TRUE(window.PhasorWindow()->Diagram()->Stale());
    EXPECT_TRUE(label(window.TrendWindow(), "lblStale")->isVisibleTo(window.TrendWindow()));

    unit.SetSilent(false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.ValuesStale(); }, kPatienceMs));
    EXPECT_TRUE(v0->isEnabled());
    EXPECT_FALSE(window.PhasorWindow()->Diagram()->Stale());
}
#endif

}  // namespace
}  // namespace tessarin
