// The confirmation dialog and the About box, driven by keys and clicks on the real widgets.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "ui/dlg_msg_box.h"
#include "ui/frm_about.h"
#include "ui/trend_window.h"
#include "ui_test_support.h"

namespace tessarin::test {
namespace {

const QString kMessage = QStringLiteral("微地絡ログを消去します。\r\nよろしいですか？");
const QString kTitle = QStringLiteral("確認");

struct AnswerCase {
    const char* action;
    std::function<void(dlgMsgBox*)> act;
    std::int16_t expected;
};

TEST(MsgDialog, AnswersByTheWayItIsClosed) {
    const AnswerCase cases[] = {
        {"OK button", [](dlgMsgBox* d) { QTest::mouseClick(d->findChild<QPushButton*>("cmdButton0"), Qt::LeftButton); },
         kDlgOk},
        {"Cancel button",
         [](dlgMsgBox* d) { QTest::mouseClick(d->findChild<QPushButton*>("cmdButton1"), Qt::LeftButton); }, kDlgCancel},
        {"Esc", [](dlgMsgBox* d) { QTest::keyClick(d, Qt::Key_Escape); }, kDlgCancel},
        {"close box", [](dlgMsgBox* d) { d->close(); }, kDlgCancel},
        {"Enter at once", [](dlgMsgBox* d) { QTest::keyClick(d->focusWidget(), Qt::Key_Return); }, kDlgCancel},
        {"Tab to OK, Enter",
         [](dlgMsgBox* d) {
             d->findChild<QPushButton*>("cmdButton0")->setFocus();
             QTest::keyClick(d->focusWidget(), Qt::Key_Return);
         },
         kDlgOk},
        {"keypad Enter at once",
         [](dlgMsgBox* d) { QTest::keyClick(d->focusWidget(), Qt::Key_Enter, Qt::KeypadModifier); }, kDlgCancel},
        {"Tab to OK, keypad Enter",
         [](dlgMsgBox* d) {
             d->findChild<QPushButton*>("cmdButton0")->setFocus();
             QTest::keyClick(d->focusWidget(), Qt::Key_Enter, Qt::KeypadModifier);
         },
         kDlgOk},
    };
    for (const AnswerCase& c : cases) {
        WhenModalShows<dlgMsgBox>(c.act);
        EXPECT_EQ(ShowMsgDialog(kMessage, kTitle), c.expected) << c.action;
        EXPECT_EQ(QApplication::overrideCursor(), nullptr) << c.action << ": no pointer left behind";
    }
}

TEST(MsgDialog, ShowsItsTextsCentredWithTheFocusOnCancel) {
    QString message;
    QString caption;
    QString okText;
    QString cancelText;
    QString focused;
    Qt::CursorShape cursorWhileShown = Qt::BusyCursor;
    QPoint centreOffset;
    bool messageRightOfIcon = false;
    WhenModalShows<dlgMsgBox>([&](dlgMsgBox* d) {
        message = d->findChild<QLabel*>("lblMsg")->text();
        caption = d->windowTitle();
        okText = d->findChild<QPushButton*>("cmdButton0")->text();
        cancelText = d->findChild<QPushButton*>("cmdButton1")->text();
        focused = d->focusWidget() != nullptr ? d->focusWidget()->objectName() : QString();
        if (const QCursor* cursor = QApplication::overrideCursor()) {
            cursorWhileShown = cursor->shape();
        }
        centreOffset = d->frameGeometry().center() - d->screen()->geometry().center();
        const QLabel* icon = d->findChild<QLabel*>("imgIcon");
        messageRightOfIcon =
            !icon->pixmap().isNull() && icon->geometry().right() < d->findChild<QLabel*>("lblMsg")->x();
        d->reject();
    });
    ShowMsgDialog(kMessage, kTitle);
    EXPECT_EQ(message, QStringLiteral("微地絡ログを消去します。\nよろしいですか？"));
    EXPECT_EQ(caption, kTitle);
    EXPECT_EQ(okText, QStringLiteral("ＯＫ"));
    EXPECT_EQ(cancelText, QStringLiteral("キャンセル"));
    EXPECT_EQ(focused, QStringLiteral("cmdButton1"));
    EXPECT_EQ(cursorWhileShown, Qt::ArrowCursor);
    EXPECT_LE(std::abs(centreOffset.x()), 2);
    EXPECT_LE(std::abs(centreOffset.y()), 2);
    EXPECT_TRUE(messageRightOfIcon);
}

TEST(MsgDialog, KeepsTheCallersPointerAfterClosing) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    WhenModalShows<dlgMsgBox>([](dlgMsgBox* d) { d->reject(); });
    ShowMsgDialog(kMessage, kTitle);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    QApplication::restoreOverrideCursor();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// A file name with tags in an error box: shown as typed, never as a live link.
TEST(WarningBox, APathWithTagsIsShownAsItIs) {
    frmTrend trend;
    const QString name = QStringLiteral("/nonexistent/<a href=\"http://example.invalid\">x</a><b>y</b>.csv");
    trend.SetFileChooser([&] { return name; });
    Qt::TextFormat format = Qt::AutoText;
    QString shown;
    QTimer::singleShot(0, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            format = box->textFormat();
            shown = box->text();
            box->accept();
        }
    });
    trend.cmdRecord_Click();
    EXPECT_EQ(format, Qt::PlainText);
    EXPECT_TRUE(shown.contains(name)) << shown.toStdString();
}

TEST(About, ShowsNameVersionAndDescription) {
    QPointer<frmAbout> about = new frmAbout;
    EXPECT_EQ(about->windowTitle(), QStringLiteral("Tessarinのﾊﾞｰｼﾞｮﾝ情報"));
    EXPECT_EQ(about->findChild<QLabel*>("lblTitle")->text(), QStringLiteral("Tessarin"));
    const QString version = about->findChild<QLabel*>("lblVersion")->text();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^ﾊﾞｰｼﾞｮﾝ \\d+\\.\\d+\\.\\d+$")).match(version).hasMatch())
        << version.toStdString();
    EXPECT_FALSE(about->findChild<QLabel*>("lblDescription")->text().isEmpty());
    EXPECT_FALSE(about->findChild<QLabel*>("picIcon")->pixmap().isNull());
    EXPECT_EQ(about->findChild<QPushButton*>("cmdOK")->text(), QStringLiteral("OK"));
    EXPECT_EQ(about->findChild<QPushButton*>("cmdSysInfo")->text(), QStringLiteral("ｼｽﾃﾑ情報(&S)..."));
    delete about.data();
}

TEST(About, EnterEscAndOkCloseIt) {
    const std::pair<const char*, std::function<void(frmAbout*)>> ways[] = {
        {"Enter", [](frmAbout* a) { QTest::keyClick(a, Qt::Key_Return); }},
        {"Esc", [](frmAbout* a) { QTest::keyClick(a, Qt::Key_Escape); }},
        {"OK", [](frmAbout* a) { QTest::mouseClick(a->findChild<QPushButton*>("cmdOK"), Qt::LeftButton); }},
    };
    for (const auto& [name, close] : ways) {
        QPointer<frmAbout> about = new frmAbout;
        ASSERT_TRUE(ShowActive(*about));
        EXPECT_FALSE(about->isModal());
        close(about.data());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(about.isNull()) << name;
        delete about.data();
    }
}

// Runs the system-information button with PATH set to `path` only.
// The tools looked for in PATH (Windows looks in the registry: tests/windows/ui/sys_info_registry_test.cpp).
#ifndef _WIN32
class SysInfoButton : public ::testing::Test {
  protected:
    void SetUp() override { m_savedPath = qgetenv("PATH"); }
    void TearDown() override { qputenv("PATH", m_savedPath); }
    QByteArray m_savedPath;
};

TEST_F(SysInfoButton, WithoutAToolSaysSo) {
    QTemporaryDir empty;
    qputenv("PATH", empty.path().toLocal8Bit());
    QString shown;
    int buttons = 0;
    WhenModalShows<QMessageBox>([&](QMessageBox* box) {
        shown = box->text();
        buttons = static_cast<int>(box->buttons().size());
        box->button(QMessageBox::Ok)->click();
    });
    frmAbout about;
    about.show();
    QTest::mouseClick(about.findChild<QPushButton*>("cmdSysInfo"), Qt::LeftButton);
    EXPECT_EQ(shown, QStringLiteral("現時点ではｼｽﾃﾑ情報を使用できません"));
    EXPECT_EQ(buttons, 1);
}

TEST_F(SysInfoButton, StartsAKnownToolFoundInPath) {
    QTemporaryDir bin;
    const QString marker = bin.filePath(QStringLiteral("started"));
    QFile tool(bin.filePath(SysInfoToolNames().constLast()));
    ASSERT_TRUE(tool.open(QIODevice::WriteOnly));
    tool.write(QStringLiteral("#!/bin/sh\necho started > '%1'\n").arg(marker).toLocal8Bit());
    tool.close();
    tool.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("PATH", bin.path().toLocal8Bit());

    EXPECT_EQ(FindSysInfoTool(), tool.fileName());
    frmAbout about;
    about.show();
    QTest::mouseClick(about.findChild<QPushButton*>("cmdSysInfo"), Qt::LeftButton);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "no message when a tool was started";
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFile::exists(marker); }, 10000));
}

#endif

}  // namespace
}  // namespace tessarin::test
