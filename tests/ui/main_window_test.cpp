// The main window on a fake line: menus and shortcuts, the one-child rule, LogBusy, the guide bar, the
// status bar panels and lamps, and the two ways out.
#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QDate>
#include <QDateTime>
#include <QEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "ui/frm_about.h"
#include "ui/frm_log_disp.h"
#include "ui/frm_now_value.h"
#include "ui/frm_unit_setting.h"
#include "ui/twips.h"
#include "ui_test_support.h"

namespace tessarin::test {
namespace {

void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

QAction* action(QWidget& window, const char* name) { return window.findChild<QAction*>(QString::fromUtf8(name)); }

int childCount(frmMidMain& window) {
    return static_cast<int>(window.findChild<QMdiArea*>(QStringLiteral("mdiArea"))->subWindowList().size());
}

TEST(MainWindow, LoadsWithCaptionSizeTimersAndOfflineStatus) {
    auto window = MakeFakeWindow();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Tessarin"));
    EXPECT_EQ(TwipsToPixels(13100, 96), 873);
    EXPECT_EQ(TwipsToPixels(10650, 96), 710);
    EXPECT_EQ(window->size(), QSize(Twips(13100), Twips(10650)));

    auto* connectTimer = window->findChild<QTimer*>(QStringLiteral("tmrComConnect"));
    auto* receiveTimer = window->findChild<QTimer*>(QStringLiteral("tmrComRcv"));
    ASSERT_NE(connectTimer, nullptr);
    ASSERT_NE(receiveTimer, nullptr);
    EXPECT_TRUE(connectTimer->isActive());
    EXPECT_EQ(connectTimer->interval(), 100);
    EXPECT_FALSE(receiveTimer->isActive());  // nothing written yet, so nothing to receive
    EXPECT_EQ(receiveTimer->interval(), 10);
    EXPECT_EQ(receiveTimer->timerType(), Qt::PreciseTimer);
    window->Driver().ConnectIntervalChanged(std::chrono::milliseconds(10));
    EXPECT_EQ(connectTimer->interval(), 10);

    EXPECT_EQ(window->Data().PortNo, -1);  // nothing listed
    EXPECT_EQ(window->ActiveChild(), nullptr);
    EXPECT_TRUE(window->findChild<QStatusBar*>(QStringLiteral("stbShortCutKey"))->isHidden());

    QLabel* link = window->StatusPanel(1);
    EXPECT_EQ(link->text(), QStringLiteral("OFF LINE"));
    // The tooltip says why: nothing is listed.
    EXPECT_EQ(link->toolTip(), QStringLiteral("本体のUSBアダプタが見つかりません。ケーブルを差し込んでください。"));
    for (const int lamp : {2, 3}) {
        const QPixmap picture = window->StatusPanel(lamp)->pixmap();
        EXPECT_EQ(picture.size(), QSize(58, 24)) << "lamp panel " << lamp;
    }
    EXPECT_TRUE(window->StatusPanel(4)->text().isEmpty());
    EXPECT_EQ(window->StatusPanel(7)->pixmap().size(), QSize(76, 26));
    const QString today = QDate::currentDate().toString(QStringLiteral("yyyy/MM/dd"));
    const QString yesterday = QDate::currentDate().addDays(-1).toString(QStringLiteral("yyyy/MM/dd"));
    const QString date = window->StatusPanel(5)->text();
    EXPECT_TRUE(date == today || date == yesterday) << date.toStdString();
    EXPECT_FALSE(window->StatusPanel(6)->text().isEmpty());
}

TEST(MainWindow, TheConnectTimerRunsAtThePaceTheLinkSays) {
    auto window = MakeFakeWindow();
    auto* connectTimer = window->findChild<QTimer*>(QStringLiteral("tmrComConnect"));
    UnitCommands& commands = window->Link().Commands();
    ASSERT_EQ(commands.StartCollection(LogKind::DeviceState), CommandResult::Queued);
    EXPECT_EQ(connectTimer->interval(), 10);  // set from inside the start, before the next tick
    EXPECT_TRUE(connectTimer->isActive());
    ASSERT_EQ(commands.AbortCollection(), CommandResult::Queued);
    EXPECT_EQ(connectTimer->interval(), 100);
    EXPECT_EQ(window->Data().LogBusy, 0);
}

TEST(MainWindow, BlinkingLampsAndTheLinkTextLeaveTheStatusBarLayoutAlone) {
    auto window = MakeFakeWindow();
    window->show();
    QTest::qWait(50);
    // A layout request makes the status bar lay itself out and repaint whole: too much for a lamp's blink.
    struct LayoutRequests : QObject {
        int count = 0;
        bool eventFilter(QObject* /*watched*/, QEvent* event) override {
            count += event->type() == QEvent::LayoutRequest ? 1 : 0;
            return false;
        }
    } requests;
    window->findChild<QStatusBar*>(QStringLiteral("StatusBar1"))->installEventFilter(&requests);
    const QSize lampSize = window->StatusPanel(2)->size();
    for (int i = 0; i < 4; ++i) {
        window->ShowPanelPicture(kPanelSendLamp, i % 2 == 0 ? kLampOnRed : kLampOffRed);
        window->ShowPanelPicture(kPanelReceiveLamp, i % 2 == 0 ? kLampOnGreen : kLampOffGreen);
        window->ShowPanelText(kPanelLinkText, i % 2 == 0 ? "ON LINE" : "OFF LINE");
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(requests.count, 0);
    EXPECT_EQ(window->StatusPanel(2)->size(), lampSize);
    EXPECT_EQ(window->StatusPanel(1)->text(), QStringLiteral("OFF LINE"));
}

TEST(MainWindow, MenusCarryTheirCaptionsAndKeys) {
    auto window = MakeFakeWindow();
    struct Item {
        const char* name;
        const char* caption;
        QKeySequence key;
    };
    const Item items[] = {
        {"mnuVisitReport", "点検記録の作成...", QKeySequence()},
        {"mnuExit", "終了(&Q)", QKeySequence(Qt::CTRL | Qt::Key_F12)},
        {"mnuNowValue", "現在値表示(&N)...", QKeySequence(Qt::Key_F1)},
        {"mnuLogDisp", "ログ表示(&L)...", QKeySequence(Qt::Key_F2)},
        {"mnuPhasor", "ベクトル図(&P)...", QKeySequence()},
        {"mnuTrend", "トレンド(&T)...", QKeySequence()},
        {"mnuLinkDiagnosis", "通信診断(&D)...", QKeySequence()},
        {"mnuUnitSetting", "微地絡設定(&E)...", QKeySequence(Qt::CTRL | Qt::Key_F1)},
        {"mnuShortCutKey", "ｼｮｰﾄｶｯﾄｷｰｶﾞｲﾄﾞ(&S)...", QKeySequence()},
        {"mnuAbout", "ﾊﾞｰｼﾞｮﾝ情報(&A)...", QKeySequence()},
    };
    for (const Item& item : items) {
        QAction* found = action(*window, item.name);
        ASSERT_NE(found, nullptr) << item.name;
        EXPECT_EQ(found->text(), QString::fromUtf8(item.caption)) << item.name;
        EXPECT_EQ(found->shortcut(), item.key) << item.name;
    }
    QStringList titles;
    for (QAction* menu : window->menuBar()->actions()) {
        titles << menu->text();
    }
    EXPECT_EQ(titles, (QStringList{QStringLiteral("ﾌｧｲﾙ(&F)"), QStringLiteral("表示(&V)"), QStringLiteral("設定(&S)"),
                                   QStringLiteral("ﾍﾙﾌﾟ(&H)")}));
    const QList<QAction*> file = window->findChild<QMenu*>(QStringLiteral("mnuFile"))->actions();
    EXPECT_EQ(file, (QList<QAction*>{action(*window, "mnuVisitReport"), action(*window, "mnuExit")}));
    const QList<QAction*> view = window->findChild<QMenu*>(QStringLiteral("mnuView"))->actions();
    EXPECT_EQ(view, (QList<QAction*>{action(*window, "mnuNowValue"), action(*window, "mnuLogDisp"),
                                     action(*window, "mnuPhasor"), action(*window, "mnuTrend"),
                                     action(*window, "mnuLinkDiagnosis")}));
    const QList<QAction*> help = window->findChild<QMenu*>(QStringLiteral("mnuHelp"))->actions();
    ASSERT_EQ(help.size(), 3);
    EXPECT_TRUE(help[1]->isSeparator());
    EXPECT_EQ(help[2], action(*window, "mnuAbout"));
}

struct ShortcutCase {
    QKeyCombination key;
    const char* objectName;
    const char* caption;
};

class ChildShortcut : public ::testing::TestWithParam<ShortcutCase> {};

TEST_P(ChildShortcut, OpensTheWindowAndReopensItAfresh) {
    const ShortcutCase& c = GetParam();
    auto window = MakeFakeWindow();
    ASSERT_TRUE(ShowActive(*window));

    QTest::keyClick(window.get(), c.key.key(), c.key.keyboardModifiers());
    QPointer<QWidget> first = window->ActiveChild();
    ASSERT_FALSE(first.isNull());
    EXPECT_EQ(first->objectName(), QString::fromUtf8(c.objectName));
    EXPECT_EQ(first->windowTitle(), QString::fromUtf8(c.caption));
    EXPECT_EQ(childCount(*window), 1);

    QTest::keyClick(window.get(), c.key.key(), c.key.keyboardModifiers());
    QWidget* second = window->ActiveChild();
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, first.data()) << "the shown window is closed and a new one opened";
    EXPECT_EQ(second->objectName(), QString::fromUtf8(c.objectName));
    EXPECT_EQ(childCount(*window), 1);
    flushDeletes();
    EXPECT_TRUE(first.isNull()) << "the replaced window is gone";
}

INSTANTIATE_TEST_SUITE_P(Keys, ChildShortcut,
                         ::testing::Values(ShortcutCase{QKeyCombination(Qt::Key_F1), "frmNowValue", "現在値表示"},
                                           ShortcutCase{QKeyCombination(Qt::Key_F2), "frmLogDisp", "ログ表示"},
                                           ShortcutCase{QKeyCombination(Qt::ControlModifier, Qt::Key_F1),
                                                        "frmUnitSetting", "微地絡設定"}));

TEST(MainWindow, OpeningAnotherWindowClosesTheOneShown) {
    auto window = MakeFakeWindow();
    ASSERT_TRUE(ShowActive(*window));
    QTest::keyClick(window.get(), Qt::Key_F1);
    QPointer<QWidget> nowValue = window->ActiveChild();
    QTest::keyClick(window.get(), Qt::Key_F2);
    EXPECT_EQ(window->ActiveChild()->objectName(), QStringLiteral("frmLogDisp"));
    QTest::keyClick(window.get(), Qt::Key_F1, Qt::ControlModifier);
    EXPECT_EQ(window->ActiveChild()->objectName(), QStringLiteral("frmUnitSetting"));
    EXPECT_EQ(childCount(*window), 1);
    flushDeletes();
    EXPECT_TRUE(nowValue.isNull());
    EXPECT_EQ(window->findChildren<frmNowValue*>().size(), 0);
    EXPECT_EQ(window->findChildren<frmLogDisp*>().size(), 0);
}

TEST(MainWindow, AWindowWithAnotherCaptionIsNotClosed) {
    auto window = MakeFakeWindow();
    ASSERT_TRUE(ShowActive(*window));
    QTest::keyClick(window.get(), Qt::Key_F2);
    QPointer<QWidget> log = window->ActiveChild();
    log->setWindowTitle(QStringLiteral("別の窓"));
    window->CloseActiveChild();
    flushDeletes();
    EXPECT_FALSE(log.isNull());
    EXPECT_EQ(window->ActiveChild(), log.data());
}

TEST(MainWindow, ClosingTheChildItselfLeavesNoActiveChild) {
    auto window = MakeFakeWindow();
    ASSERT_TRUE(ShowActive(*window));
    QTest::keyClick(window.get(), Qt::Key_F1);
    QPointer<QWidget> child = window->ActiveChild();
    window->findChild<QMdiArea*>()->subWindowList().first()->close();
    flushDeletes();
    EXPECT_TRUE(child.isNull());
    EXPECT_EQ(window->ActiveChild(), nullptr);
    QTest::keyClick(window.get(), Qt::Key_F1);
    EXPECT_NE(window->ActiveChild(), nullptr);
}

// Each child window in a main window made small, or opened in one: the work area shows scroll bars where the
// child is larger than the visible area, and the child's far corner, where its buttons are, can be brought
// into view; made large again, the scroll bars go.
TEST(MainWindow, WorkAreaScrollsToAChildLargerThanItself) {
    struct Case {
        const char* child;
        void (frmMidMain::*open)();
    };
    const Case cases[] = {{"frmNowValue", &frmMidMain::mnuNowValue_Click},
                          {"frmLogDisp", &frmMidMain::mnuLogDisp_Click},
                          {"frmUnitSetting", &frmMidMain::mnuUnitSetting_Click}};
    for (const bool openFirst : {true, false}) {
        for (const Case& c : cases) {
            const std::string what = std::string(c.child) + (openFirst ? ", then made small" : " in a small window");
            auto window = MakeFakeWindow();
            ASSERT_TRUE(ShowActive(*window));
            auto* area = window->findChild<QMdiArea*>(QStringLiteral("mdiArea"));
            if (openFirst) {
                ((*window).*c.open)();
                QCoreApplication::processEvents();
                EXPECT_FALSE(area->verticalScrollBar()->isVisible()) << what << ": fits the full-size window";
            }
            window->resize(420, 300);
            QCoreApplication::processEvents();
            if (!openFirst) {
                ((*window).*c.open)();
            }
            QCoreApplication::processEvents();
            const QMdiSubWindow* sub = area->subWindowList().first();
            const QSize viewport = area->viewport()->size();
            EXPECT_EQ(area->horizontalScrollBar()->isVisible(), sub->width() > viewport.width()) << what;
            EXPECT_EQ(area->verticalScrollBar()->isVisible(), sub->height() > viewport.height()) << what;
            if (openFirst) {
                // The child kept the size it had in the full-size window; the frame cannot be that small.
                EXPECT_TRUE(area->verticalScrollBar()->isVisible()) << what;
            }
            area->verticalScrollBar()->setValue(area->verticalScrollBar()->maximum());
            area->horizontalScrollBar()->setValue(area->horizontalScrollBar()->maximum());
            QCoreApplication::processEvents();
            EXPECT_TRUE(area->viewport()->rect().contains(sub->geometry().bottomRight())) << what;

            window->resize(1600, 1200);
            QCoreApplication::processEvents();
            EXPECT_FALSE(area->verticalScrollBar()->isVisible()) << what;
            EXPECT_FALSE(area->horizontalScrollBar()->isVisible()) << what;
        }
    }
}

TEST(MainWindow, GuideBarTogglesAboveTheStatusBar) {
    auto window = MakeFakeWindow();
    ASSERT_TRUE(ShowActive(*window));
    auto* guide = window->findChild<QStatusBar*>(QStringLiteral("stbShortCutKey"));
    auto* status = window->findChild<QStatusBar*>(QStringLiteral("StatusBar1"));
    EXPECT_FALSE(guide->isVisible());
    action(*window, "mnuShortCutKey")->trigger();
    EXPECT_TRUE(guide->isVisible());
    QStringList texts;
    for (int i = 1; i <= 4; ++i) {
        texts << window->GuidePanel(i)->text();
    }
    EXPECT_EQ(texts, (QStringList{QStringLiteral("F1：現在値表示"), QStringLiteral("F2：ログ表示"),
                                  QStringLiteral("Ctrl+F1：微地絡設定"), QStringLiteral("Ctrl+F12：終了")}));
    QApplication::processEvents();
    const int guideBottom = guide->mapTo(window.get(), QPoint(0, guide->height())).y();
    const int statusTop = status->mapTo(window.get(), QPoint(0, 0)).y();
    EXPECT_LE(guideBottom, statusTop);
    EXPECT_GE(guideBottom, statusTop - 4) << "the guide sits right above StatusBar1";
    action(*window, "mnuShortCutKey")->trigger();
    EXPECT_FALSE(guide->isVisible());
}

TEST(MainWindow, LogBusyBlocksEveryCommandButExit) {
    FakeLine line;
    int quits = 0;
    auto window = MakeFakeWindow("COM3", &line, &quits);
    ASSERT_TRUE(ShowActive(*window));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->StatusPanel(1)->text() == QStringLiteral("ON LINE"); }, 5000));
    QTest::keyClick(window.get(), Qt::Key_F1);
    QWidget* shown = window->ActiveChild();
    ASSERT_NE(shown, nullptr);

    int reportDialogs = 0;
    window->SetVisitReportDialogs({[&reportDialogs](const QString&) {
                                       ++reportDialogs;
                                       return QString();
                                   },
                                   [](const QString&, const QString&) {}, [] { return QDateTime(); }});

    window->Link().Data().LogBusy = 1;
    QTest::keyClick(window.get(), Qt::Key_F1);
    QTest::keyClick(window.get(), Qt::Key_F2);
    QTest::keyClick(window.get(), Qt::Key_F1, Qt::ControlModifier);
    action(*window, "mnuShortCutKey")->trigger();
    action(*window, "mnuAbout")->trigger();
    action(*window, "mnuVisitReport")->trigger();
    EXPECT_EQ(reportDialogs, 0);
    EXPECT_EQ(window->ActiveChild(), shown);
    EXPECT_EQ(childCount(*window), 1);
    EXPECT_TRUE(window->findChild<QStatusBar*>(QStringLiteral("stbShortCutKey"))->isHidden());
    EXPECT_EQ(window->findChild<frmAbout*>(), nullptr);

    const int closesBefore = line.port->CloseCount();
    QSignalSpy ending(window.get(), &frmMidMain::programEnding);
    QTest::keyClick(window.get(), Qt::Key_F12, Qt::ControlModifier);
    EXPECT_GT(line.port->CloseCount(), closesBefore);
    EXPECT_FALSE(line.port->IsOpen());
    EXPECT_EQ(quits, 1);
    EXPECT_EQ(ending.count(), 1);
    EXPECT_FALSE(window->findChild<QTimer*>(QStringLiteral("tmrComConnect"))->isActive());
}

TEST(MainWindow, ClosingTheWindowClosesThePortAndEndsOnce) {
    FakeLine line;
    int quits = 0;
    auto window = MakeFakeWindow("COM3", &line, &quits);
    window->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return line.port->IsOpen(); }, 5000));
    window->close();
    EXPECT_FALSE(line.port->IsOpen());
    EXPECT_EQ(quits, 1);
    window->mnuExit_Click();
    EXPECT_EQ(quits, 1);
}

TEST(MainWindow, LinkTextAndTooltipFollowTheLink) {
    FakeLine line;
    auto window = MakeFakeWindow("COM3", &line);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->StatusPanel(1)->text() == QStringLiteral("ON LINE"); }, 5000));
    EXPECT_EQ(window->StatusPanel(1)->toolTip(), QStringLiteral("本体と通信しています。"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->PanelPictureName(2).isEmpty(); }, 5000))
        << "the send lamp blinks with the polls";
    // The fake unit never answers: after two unanswered polls the tooltip says so, the text stays.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return window->StatusPanel(1)->toolTip().contains(QStringLiteral("本体が応答しません")); }, 5000));
    EXPECT_EQ(window->Diagnosis().reason, LinkReason::NoAnswer);
    EXPECT_EQ(window->StatusPanel(1)->text(), QStringLiteral("ON LINE"));
    line.listing->Clear();  // unplugged
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->StatusPanel(1)->text() == QStringLiteral("OFF LINE"); }, 5000));
    EXPECT_EQ(window->Diagnosis().reason, LinkReason::NoAdapter);
    EXPECT_TRUE(window->StatusPanel(1)->toolTip().contains(QStringLiteral("見つかりません")));
    EXPECT_EQ(window->PanelPictureName(2), QString::fromUtf8(kLampOffRed));
}

TEST(MainWindow, LampsAreNeverBlankWhateverThePictureFolderHolds) {
    QTemporaryDir broken;
    ASSERT_TRUE(broken.isValid());
    // One unreadable picture; the other three are missing.
    QFile garbage(QDir(broken.path()).filePath(QString::fromUtf8(kLampOnRed)));
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write("not a bitmap");
    garbage.close();

    for (const QString& folder : {TestPictureFolder(), broken.path(), QStringLiteral("/nonexistent/画像")}) {
        auto window = MakeFakeWindow({}, nullptr, nullptr, folder);
        for (const auto& [panel, name] : {std::pair{2, kLampOnRed}, std::pair{2, kLampOffRed},
                                          std::pair{3, kLampOnGreen}, std::pair{3, kLampOffGreen}}) {
            window->ShowPanelPicture(panel, name);
            EXPECT_EQ(window->StatusPanel(panel)->pixmap().size(), QSize(58, 24))
                << folder.toStdString() << " " << name;
        }
        window->ShowPanelPicture(2, "NO_SUCH.bmp");
        EXPECT_TRUE(window->StatusPanel(2)->pixmap().isNull());
    }
}

// The main window hands the settings screen the requests written and the current-value answers, so that a
// write is checked; once the screen has gone, the same events reach nothing and break nothing.
TEST(MainWindow, TheSettingsScreenWatchesTheAnswersAfterAWriteUntilItCloses) {
    auto window = MakeFakeWindow();
    ASSERT_TRUE(ShowActive(*window));
    NowValueRecord& now = window->Link().Data().NowValue;
    now = WorkedExampleReport();
    window->Link().Data().LinkUp = kTrue;
    const std::vector<std::uint8_t> answer{0xFF, kRespNowValue, 0x1E};

    window->mnuUnitSetting_Click();
    auto* screen = window->findChild<frmUnitSetting*>();
    ASSERT_NE(screen, nullptr);
    screen->cmdSetting_Click();
    window->Driver().RequestSent(kReqWriteSettings, true);
    window->Driver().FrameReceived(answer, false);  // a spoiled frame is no answer
    window->Driver().FrameReceived(answer, true);
    window->Driver().FrameReceived(answer, true);
    EXPECT_EQ(screen->CheckText(), QString::fromUtf8("設定が反映されました"));

    screen->cmdSetting_Click();
    window->CloseActiveChild();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(window->findChild<frmUnitSetting*>(), nullptr);
    window->Driver().RequestSent(kReqWriteSettings, true);
    window->Driver().FrameReceived(answer, true);
    window->Driver().FrameReceived(answer, true);
}

TEST(MainWindow, AboutBoxIsModelessAndComesForwardOnASecondCommand) {
    auto window = MakeFakeWindow();
    ASSERT_TRUE(ShowActive(*window));
    action(*window, "mnuAbout")->trigger();
    QPointer<frmAbout> about = window->findChild<frmAbout*>();
    ASSERT_FALSE(about.isNull());
    EXPECT_FALSE(about->isModal());
    EXPECT_TRUE(about->isVisible());
    action(*window, "mnuAbout")->trigger();
    EXPECT_EQ(window->findChildren<frmAbout*>().size(), 1);
    EXPECT_EQ(window->findChild<frmAbout*>(), about.data());
    // The frame stays usable while the box is open.
    window->mnuLogDisp_Click();
    EXPECT_EQ(window->ActiveChild()->objectName(), QStringLiteral("frmLogDisp"));
}

}  // namespace
}  // namespace tessarin::test
