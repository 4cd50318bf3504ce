// The 「通信診断」 window and the link panel's tooltip: the reason in both for a missing adapter and for a
// silent unit, then ON LINE against the simulated unit over a pseudo-terminal, where the monitor shows a poll
// and its answer in hex; pause, clear and save as a text file.
#include <gtest/gtest.h>

#include <QAction>
#include <QDateTime>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <memory>

#ifdef TESSARIN_TESTS_HAVE_SIM
#include "sim/simulated_unit.h"
#endif
#include "ui/frm_mid_main.h"
#include "ui/link_diagnosis_window.h"
#include "ui_test_support.h"

namespace tessarin::test {
namespace {

#ifdef TESSARIN_TESTS_HAVE_SIM
constexpr int kPatienceMs = 30000;

std::uint64_t lastNumberShown(const MonitorTableModel& model) { return model.FrameNumber(model.rowCount() - 1); }

class LinkDiagnosisWindowTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(m_runtime.Valid()); }
    void TearDown() override {
        m_window.reset();
        if (m_unit) {
            m_unit->Stop();
        }
    }

    void StartUnit(bool silent) {
        m_unit = std::make_unique<sim::SimulatedUnit>(sim::SimOptions{});
        m_unit->SetSilent(silent);
        ASSERT_TRUE(m_unit->Start()) << m_unit->LastError();
    }
    void OpenWindow() {
        m_window = std::make_unique<frmMidMain>(TestPictureFolder());
        m_window->SetQuitFunction([] {});
    }
    bool WaitForReason(LinkReason reason) {
        return QTest::qWaitFor([&] { return m_window->Diagnosis().reason == reason; }, kPatienceMs);
    }
    frmLinkDiagnosis* OpenDiagnosis() {
        m_window->findChild<QAction*>(QStringLiteral("mnuLinkDiagnosis"))->trigger();
        return m_window->LinkDiagnosisWindow();
    }
    QString Tooltip() const { return m_window->StatusPanel(kPanelLinkText)->toolTip(); }
    static QString Text(frmLinkDiagnosis* diagnosis, const char* name) {
        return diagnosis->findChild<QLabel*>(QString::fromLatin1(name))->text();
    }

    FreshRuntimeFolder m_runtime;
    std::unique_ptr<sim::SimulatedUnit> m_unit;
    std::unique_ptr<frmMidMain> m_window;
};

TEST_F(LinkDiagnosisWindowTest, ReasonInTooltipAndWindowFollowsTheLine) {
    OpenWindow();
    ASSERT_TRUE(WaitForReason(LinkReason::NoAdapter));
    EXPECT_EQ(Tooltip(), QStringLiteral("本体のUSBアダプタが見つかりません。ケーブルを差し込んでください。"));
    EXPECT_EQ(m_window->StatusPanel(kPanelLinkText)->text(), QStringLiteral("OFF LINE"));  // the text stays

    frmLinkDiagnosis* diagnosis = OpenDiagnosis();
    ASSERT_NE(diagnosis, nullptr);
    EXPECT_EQ(diagnosis->windowTitle(), QStringLiteral("通信診断"));
    EXPECT_EQ(Text(diagnosis, "lblLinkState"), QStringLiteral("OFF LINE"));
    EXPECT_TRUE(Text(diagnosis, "lblExplanation").contains(QStringLiteral("見つかりません")));
    EXPECT_TRUE(diagnosis->findChild<QLineEdit*>(QStringLiteral("txtFixCommand"))->isHidden());
    OpenDiagnosis();  // a second time brings the same window forward
    EXPECT_EQ(m_window->findChildren<frmLinkDiagnosis*>().size(), 1);

    // A unit plugged in that does not answer: the window follows without being reopened.
    StartUnit(true);
    ASSERT_TRUE(WaitForReason(LinkReason::NoAnswer));
    EXPECT_TRUE(Tooltip().startsWith(QStringLiteral("ポートは開いていますが、本体が応答しません")));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return Text(diagnosis, "lblExplanation").contains(QStringLiteral("応答がない時間")); }, kPatienceMs));
    EXPECT_EQ(Text(diagnosis, "lblLinkState"), QStringLiteral("ON LINE"));

    m_unit->SetSilent(false);
    ASSERT_TRUE(WaitForReason(LinkReason::OnLine));
    EXPECT_EQ(Tooltip(), QStringLiteral("本体と通信しています。"));
}

TEST_F(LinkDiagnosisWindowTest, MonitorShowsAPollAndItsAnswerAndSavesThem) {
    StartUnit(false);
    OpenWindow();
    ASSERT_TRUE(WaitForReason(LinkReason::OnLine));
    frmLinkDiagnosis* diagnosis = OpenDiagnosis();
    const MonitorTableModel& model = diagnosis->Model();
    auto rowWith = [&](const QString& meaning) {
        for (int row = model.rowCount() - 1; row >= 0; --row) {
            if (model.data(model.index(row, MonitorTableModel::ColMeaning), Qt::DisplayRole).toString() == meaning) {
                return row;
            }
        }
        return -1;
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return rowWith(QStringLiteral("A0h 現在値")) >= 0; }, kPatienceMs));
    const int poll = rowWith(QStringLiteral("00h 現在値要求"));
    const int answer = rowWith(QStringLiteral("A0h 現在値"));
    ASSERT_GE(poll, 0);
    auto cell = [&](int row, int column) { return model.data(model.index(row, column), Qt::DisplayRole).toString(); };
    EXPECT_EQ(cell(poll, MonitorTableModel::ColDirection), QStringLiteral("送信 →"));
    EXPECT_TRUE(cell(poll, MonitorTableModel::ColBytes).startsWith(QStringLiteral("FF 00 14 00")));
    EXPECT_EQ(cell(answer, MonitorTableModel::ColDirection), QStringLiteral("← 受信"));
    EXPECT_TRUE(cell(answer, MonitorTableModel::ColBytes).startsWith(QStringLiteral("FF A0 ")));
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return !Text(diagnosis, "lblRoundTrip").contains(QStringLiteral("―")); }, kPatienceMs));

    // The list follows the newest frame; scrolled up by the user, it stays where they put it.
    auto* grid = diagnosis->findChild<QTableView*>(QStringLiteral("grdFrames"));
    QScrollBar* bar = grid->verticalScrollBar();
    ASSERT_TRUE(QTest::qWaitFor([&] { return bar->maximum() > 0; }, kPatienceMs));
    EXPECT_EQ(bar->value(), bar->maximum());
    bar->setValue(0);
    const std::uint64_t before = m_window->Link().Monitor().Seen();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return model.rowCount() > 0 && lastNumberShown(model) >= before + 1; }, kPatienceMs));
    EXPECT_EQ(bar->value(), 0);
    bar->setValue(bar->maximum());
    const std::uint64_t after = m_window->Link().Monitor().Seen();
    ASSERT_TRUE(QTest::qWaitFor([&] { return lastNumberShown(model) >= after + 1; }, kPatienceMs));
    EXPECT_EQ(bar->value(), bar->maximum());

    // Paused, the rows stay as they are while frames go on; resumed, they catch up.
    auto* pause = diagnosis->findChild<QPushButton*>(QStringLiteral("cmdPause"));
    QTest::mouseClick(pause, Qt::LeftButton);
    EXPECT_EQ(pause->text(), QStringLiteral("再開"));
    auto lastNumber = [&] { return model.FrameNumber(model.rowCount() - 1); };
    const std::uint64_t last = lastNumber();
    const std::uint64_t seen = m_window->Link().Monitor().Seen();
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_window->Link().Monitor().Seen() >= seen + 2; }, kPatienceMs));
    QTest::qWait(400);
    EXPECT_EQ(lastNumber(), last);
    QTest::mouseClick(pause, Qt::LeftButton);
    EXPECT_GT(lastNumber(), last);

    // Cleared, only frames that came after show.
    QTest::mouseClick(diagnosis->findChild<QPushButton*>(QStringLiteral("cmdClear")), Qt::LeftButton);
    EXPECT_EQ(model.rowCount(), 0);

    // Saved through the safe write, as UTF-8 text with a header line.
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.rowCount() >= 2; }, kPatienceMs));
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("通信記録.txt"));
    diagnosis->SetFileChooser([&] { return path; });
    QTest::mouseClick(diagnosis->findChild<QPushButton*>(QStringLiteral("cmdSaveFrames")), Qt::LeftButton);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines[0], QStringLiteral("時刻\t方向\t長さ\t内容（16進）\t意味"));
    EXPECT_EQ(lines.size() - 1, model.rowCount());
    EXPECT_EQ(lines[1].split(QLatin1Char('\t')).size(), 5);
}

#endif  // TESSARIN_TESTS_HAVE_SIM

// A name that looks like markup is shown as written, not rendered.
TEST(PlainToolTipTest, MarkupInNamesIsShownAsWritten) {
    EXPECT_EQ(PlainToolTip("本体と通信しています。"), QStringLiteral("本体と通信しています。"));
    const QString tip = PlainToolTip("COM7は他のプログラムが使用中です：<b>x</b>&y（PID 12）。");
    QTextDocument shown;
    shown.setHtml(tip);
    EXPECT_EQ(shown.toPlainText(), QStringLiteral("COM7は他のプログラムが使用中です：<b>x</b>&y（PID 12）。"));
}

// The rows follow the ring as it wraps, a clear hides what came before, and rows already shown keep their
// texts (made once, when they came).
TEST(MonitorTableModelTest, RowsFollowTheRingAcrossWrapsAndClears) {
    std::int64_t now = 0;
    LinkMonitor monitor(4, [&] { return now; });
    MonitorTableModel model(0);
    auto numbers = [&] {
        std::vector<std::uint64_t> shown;
        for (int row = 0; row < model.rowCount(); ++row) {
            shown.push_back(model.FrameNumber(row));
        }
        return shown;
    };
    auto send = [&](int count) {
        for (int i = 0; i < count; ++i) {
            monitor.FrameSent(std::vector<std::uint8_t>{0xFF, 0x00, 0x14}, true, true);
        }
    };
    model.Follow(monitor, 0);
    EXPECT_EQ(model.rowCount(), 0);
    send(3);
    model.Follow(monitor, 0);
    EXPECT_EQ(numbers(), (std::vector<std::uint64_t>{0, 1, 2}));
    send(3);  // wraps: 0 and 1 are gone
    model.Follow(monitor, 0);
    EXPECT_EQ(numbers(), (std::vector<std::uint64_t>{2, 3, 4, 5}));
    send(9);  // more than the ring holds between two looks
    model.Follow(monitor, 0);
    EXPECT_EQ(numbers(), (std::vector<std::uint64_t>{11, 12, 13, 14}));
    model.Follow(monitor, 15);  // cleared
    EXPECT_EQ(model.rowCount(), 0);
    send(1);
    model.Follow(monitor, 15);
    EXPECT_EQ(numbers(), (std::vector<std::uint64_t>{15}));
    EXPECT_EQ(model.RowText(0), QStringLiteral("09:00:00.000\t送信 →\t3\tFF 00 14\t00h 現在値要求")
                                    .replace(QStringLiteral("09:00:00.000"), QDateTime::fromMSecsSinceEpoch(0).toString(
                                                                                 QStringLiteral("HH:mm:ss.zzz"))));
}

}  // namespace
}  // namespace tessarin::test
