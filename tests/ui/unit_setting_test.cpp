// The settings screen on the real widgets, offscreen: what it selects from NowValue, its date and time
// lists, and the requests its buttons place in the mailbox, down to the bytes the request cycle writes.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "link/fake_comm_port.h"
#include "link/recording_link_events.h"
#include "link/request_cycle.h"
#include "link/unit_link.h"
#ifdef TESSARIN_TESTS_HAVE_SIM
#include "sim/simulated_unit.h"
#endif
#include "ui/dlg_msg_box.h"
#include "ui/frm_unit_setting.h"
#include "ui_test_support.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tessarin {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The worked example of the settings write, as it leaves on the wire.
const Bytes kWorkedExampleFrame{0xFF, 0x03, 0x16, 0x23, 0x02, 0x03, 0x00, 0x01, 0x0B, 0x00, 0x01,
                                0x00, 0x1A, 0x0C, 0x08, 0x05, 0x2A, 0x0A, 0x00, 0x01, 0xCC, 0xCA};
const Bytes kInitialiseFrame{0xFF, 0x07, 0x14, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                             0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xCC, 0xDF, 0x00, 0x00};

QDateTime At(int year, int month, int day, int hour, int minute, int second) {
    return {QDate(year, month, day), QTime(hour, minute, second)};
}

QString Text(const char* utf8) { return QString::fromUtf8(utf8); }

bool IsRed(const QComboBox* list) { return list->palette().color(QPalette::Button) == QColor(Qt::red); }

QStringList Entries(const QComboBox* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i) {
        out << list->itemText(i);
    }
    return out;
}

class UnitSetting : public ::testing::Test {
  protected:
    // Opens the screen as the main window does: Form_Load, then Value_Click_getdata.
    void Open() { OpenOn(m_data); }
    // Opens the screen on a unit that is ON LINE and has reported every setting: no list is red.
    void OpenReported() {
        m_data.NowValue = test::FullReport();
        m_data.LinkUp = kTrue;
        Open();
    }
    void OpenOn(DeviceData& data) {
        m_commands = std::make_unique<DataCommands>(data);
        OpenOn(data, *m_commands);
    }
    void OpenOn(const DeviceData& data, UnitCommands& commands) {
        m_screen = std::make_unique<frmUnitSetting>(data, commands, [this] { return m_now; });
        m_screen->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_screen.get()));
        m_screen->Value_Click_getdata();
    }

    [[nodiscard]] QComboBox* List(const char* name) const {
        return m_screen->findChild<QComboBox*>(QString::fromUtf8(name));
    }
    [[nodiscard]] QComboBox* Para1(int i) const {
        return List(QStringLiteral("cmbUnitPara1_%1").arg(i).toUtf8().constData());
    }
    [[nodiscard]] QComboBox* Para2(int i) const {
        return List(QStringLiteral("cmbUnitPara2_%1").arg(i).toUtf8().constData());
    }
    [[nodiscard]] QRadioButton* Option(int i) const {
        return m_screen->findChild<QRadioButton*>(QStringLiteral("Option1_%1").arg(i));
    }
    void Click(const char* button) const {
        auto* b = m_screen->findChild<QPushButton*>(QString::fromUtf8(button));
        ASSERT_NE(b, nullptr) << button;
        QTest::mouseClick(b, Qt::LeftButton);
    }
    // The ten setting lists in the order detection condition .. log overwrite, alarm 1, alarm 2.
    [[nodiscard]] std::vector<QComboBox*> SettingLists() const {
        return {Para1(0), Para1(1), Para1(2), Para1(3), Para1(4), Para1(5), Para2(0), Para2(1), Para1(6), Para1(7)};
    }
    [[nodiscard]] QStringList SettingTexts() const {
        QStringList out;
        for (const QComboBox* list : SettingLists()) {
            out << list->currentText();
        }
        return out;
    }
    // The date and time lists as they read: year, month, day, hour, minute.
    [[nodiscard]] QStringList DateTexts() const {
        return {Para2(2)->currentText(), Para2(3)->currentText(), Para2(4)->currentText(), Para2(5)->currentText(),
                Para2(6)->currentText()};
    }
    // Chooses an entry of a date or time list by its text.
    // Other settings in every list than the simulated unit starts with, and a time chosen by hand.
    void ChooseOtherSettingsAndTime() {
        const std::vector<int> positions{3, 4, 16, 1, 14, 9, 0, 1, 2, 0};
        const auto lists = SettingLists();
        for (std::size_t i = 0; i < lists.size(); ++i) {
            lists[i]->setCurrentIndex(positions[i]);
        }
        Option(1)->click();
        Choose(Para2(2), "27");
        Choose(Para2(3), "3");
        Choose(Para2(4), "4");
        Choose(Para2(5), "5");
        Choose(Para2(6), "6");
    }
    static void Choose(QComboBox* list, const char* entry) {
        const int position = list->findText(QString::fromUtf8(entry));
        ASSERT_GE(position, 0) << entry;
        list->setCurrentIndex(position);
    }
    // The worked example's selections (the clock aside).
    void ChooseWorkedExample() {
        const std::vector<int> positions{1, 1, 11, 0, 0, 2, 1, 0, 0, 1};
        const auto lists = SettingLists();
        for (std::size_t i = 0; i < lists.size(); ++i) {
            lists[i]->setCurrentIndex(positions[i]);
        }
    }
    // Answers the next confirmation dialog with `key` (on "ＯＫ" when `moveToOk`), noting its caption and text.
    struct Seen {
        QString caption;
        QString message;
    };
    static std::shared_ptr<Seen> AnswerDialogWith(Qt::Key key, bool moveToOk) {
        auto seen = std::make_shared<Seen>();
        test::WhenModalShows<dlgMsgBox>([seen, key, moveToOk](dlgMsgBox* dialog) {
            seen->caption = dialog->windowTitle();
            if (const auto* label = dialog->findChild<QLabel*>(QStringLiteral("lblMsg"))) {
                seen->message = label->text();
            }
            if (moveToOk) {
                dialog->findChild<QPushButton*>(QStringLiteral("cmdButton0"))->setFocus();
            }
            // The key goes to what has the focus inside the dialog, whether or not it is the active window yet.
            QTest::keyClick(dialog->focusWidget() != nullptr ? dialog->focusWidget() : dialog, key);
        });
        return seen;
    }

    DeviceData m_data;
    QDateTime m_now = At(2026, 12, 8, 5, 42, 10);
    std::unique_ptr<DataCommands> m_commands;
    std::unique_ptr<frmUnitSetting> m_screen;
};

TEST_F(UnitSetting, OpenedBeforeAnyReportShowsEveryFallbackInRedAndThePcDate) {
    Open();
    EXPECT_EQ(m_screen->windowTitle(), Text("微地絡設定"));
    EXPECT_EQ(SettingTexts(), QStringList({"V0 & I0", "2% (76.2V)", "100mA", "-60°～120°", "0.04秒", " 1回", "しない",
                                           "する", "微地絡", "ＧＲ自己診断異常"}));
    for (const QComboBox* list : SettingLists()) {
        EXPECT_TRUE(IsRed(list)) << list->objectName().toStdString();
    }
    EXPECT_EQ(Entries(Para1(6)), QStringList({"微地絡", "ＧＲ自己診断異常"}));
    EXPECT_EQ(Entries(Para1(7)), QStringList({"微地絡", "ＧＲ自己診断異常"}));

    EXPECT_EQ(DateTexts(), QStringList({"26", "12", "8", "5", "42"}));
    EXPECT_EQ(Para2(4)->count(), 31);
    for (int i = 2; i <= 6; ++i) {
        EXPECT_FALSE(IsRed(Para2(i)));
    }
    EXPECT_TRUE(Option(0)->isChecked());
    EXPECT_FALSE(Option(1)->isChecked());
    EXPECT_EQ(Option(0)->text(), Text("ＰＣ日時"));
    EXPECT_EQ(Option(1)->text(), Text("指定日時"));
    // Drop-down lists: nothing can be typed in.
    for (QComboBox* list : m_screen->findChildren<QComboBox*>()) {
        EXPECT_FALSE(list->isEditable()) << list->objectName().toStdString();
    }
    EXPECT_EQ(m_screen->findChildren<QComboBox*>().size(), 15);
}

TEST_F(UnitSetting, AUnitWithOvgrGetsThreeAlarmEntriesAndItsReportSelected) {
    m_data.NowValue = test::FullReport();
    Open();
    EXPECT_EQ(Entries(Para1(6)), QStringList({"微地絡", "ＧＲ自己診断異常", "ＯＶＧＲ"}));
    EXPECT_EQ(Entries(Para1(7)), QStringList({"微地絡", "ＧＲ自己診断異常", "ＯＶＧＲ"}));
    EXPECT_EQ(SettingTexts(), QStringList({"V0のみ", "10% (381.0V)", "600mA", "-45°～135°", "0.50秒", "10回", "する",
                                           "しない", "ＯＶＧＲ", "微地絡"}));
    for (const QComboBox* list : SettingLists()) {
        EXPECT_FALSE(IsRed(list)) << list->objectName().toStdString();
    }
}

TEST_F(UnitSetting, RedMarkingLastsUntilTheNextRefreshWhichLeavesTheClockAlone) {
    Open();
    ASSERT_TRUE(IsRed(Para1(0)));
    // The operator's choice does not clear the marking.
    Para1(0)->setCurrentIndex(3);
    EXPECT_TRUE(IsRed(Para1(0)));

    Option(1)->click();
    Choose(Para2(2), "30");
    Choose(Para2(4), "17");
    m_data.NowValue = test::FullReport();
    m_data.NowValue.AlarmOut1Text = "微地絡";  // the screen opened with the two-entry lists
    Click("cmdNowValue");
    EXPECT_EQ(SettingTexts(), QStringList({"V0のみ", "10% (381.0V)", "600mA", "-45°～135°", "0.50秒", "10回", "する",
                                           "しない", "微地絡", "微地絡"}));
    for (const QComboBox* list : SettingLists()) {
        EXPECT_FALSE(IsRed(list)) << list->objectName().toStdString();
    }
    EXPECT_EQ(Entries(Para1(6)).size(), 2);  // the table chosen at opening holds
    EXPECT_EQ(DateTexts(), QStringList({"30", "12", "17", "5", "42"}));
    EXPECT_TRUE(Option(1)->isChecked());
    EXPECT_EQ(m_data.ReqCode, kReqNone);
}

// Reports that match no entry: the list shows its fallback in red, the others stay white.
TEST_F(UnitSetting, UnmatchedReportsFallBackInRed) {
    struct Case {
        const char* name;
        bool ovgrFunction;
        void (*change)(NowValueRecord&);
        int list;  // index into SettingLists()
        const char* shown;
    };
    const std::vector<Case> cases{
        {"count 0", true, [](NowValueRecord& n) { n.ConfirmCount = 0; }, 5, " 1回"},
        {"count 11", true, [](NowValueRecord& n) { n.ConfirmCount = 11; }, 5, " 1回"},
        {"count 15", true, [](NowValueRecord& n) { n.ConfirmCount = 15; }, 5, " 1回"},
        {"OVGR without the function", false, [](NowValueRecord& n) { n.AlarmOut1Text = "OVGR"; }, 8, "微地絡"},
        {"OVGR on output 2 without the function", false,
         [](NowValueRecord& n) {
             n.AlarmOut1Text = "ＧＲ自己診断異常";
             n.AlarmOut2Text = "OVGR";
         },
         9, "ＧＲ自己診断異常"},
        {"full-width OVGR", true, [](NowValueRecord& n) { n.AlarmOut1Text = "ＯＶＧＲ"; }, 8, "微地絡"},
        {"lower-case text", true, [](NowValueRecord& n) { n.I0LevelText = "600ma"; }, 2, "100mA"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_data.NowValue = test::FullReport();
        m_data.NowValue.OvgrModeText = c.ovgrFunction ? "機能あり" : "機能なし";
        c.change(m_data.NowValue);
        Open();
        const auto lists = SettingLists();
        for (std::size_t i = 0; i < lists.size(); ++i) {
            EXPECT_EQ(IsRed(lists[i]), static_cast<int>(i) == c.list) << lists[i]->objectName().toStdString();
        }
        EXPECT_EQ(lists[static_cast<std::size_t>(c.list)]->currentText(), Text(c.shown));
    }
}

TEST_F(UnitSetting, DayListFollowsYearAndMonthAndStartsAgainAtOne) {
    Open();
    Option(1)->click();
    struct Case {
        const char* year;
        const char* month;
        int days;
    };
    for (const Case& c : {Case{"24", "2", 29}, Case{"25", "2", 28}, Case{"50", "2", 28}, Case{"40", "2", 29},
                          Case{"25", "4", 30}, Case{"25", "1", 31}}) {
        SCOPED_TRACE(std::string(c.year) + "-" + c.month);
        Choose(Para2(4), "20");
        Choose(Para2(2), c.year);
        Choose(Para2(3), c.month);
        EXPECT_EQ(Para2(4)->count(), c.days);
        EXPECT_EQ(Para2(4)->itemText(c.days - 1), QString::number(c.days));
        EXPECT_EQ(Para2(4)->currentText(), QStringLiteral("1"));
    }
    // The operator stepping through the year with the keyboard resets the day as well.
    Choose(Para2(4), "15");
    Para2(2)->setFocus();
    QTest::keyClick(Para2(2), Qt::Key_Down);
    EXPECT_EQ(Para2(4)->currentText(), QStringLiteral("1"));
    // Other lists leave the day alone.
    Choose(Para2(4), "15");
    Choose(Para2(5), "23");
    Choose(Para2(6), "0");
    EXPECT_EQ(Para2(4)->currentText(), QStringLiteral("15"));
}

TEST_F(UnitSetting, PcYearOutsideTheListSelectsTheNearestEnd) {
    struct Case {
        QDateTime now;
        QStringList shown;
        int days;
    };
    for (const Case& c : {Case{At(2009, 5, 6, 7, 8, 9), {"10", "5", "6", "7", "8"}, 31},
                          Case{At(1999, 12, 31, 23, 59, 59), {"10", "12", "31", "23", "59"}, 31},
                          Case{At(2051, 1, 2, 0, 0, 0), {"50", "1", "2", "0", "0"}, 31},
                          Case{At(2052, 2, 29, 12, 30, 0), {"50", "2", "28", "12", "30"}, 28},
                          Case{At(2024, 2, 29, 0, 1, 2), {"24", "2", "29", "0", "1"}, 29}}) {
        SCOPED_TRACE(c.now.toString(Qt::ISODate).toStdString());
        m_now = c.now;
        Open();
        EXPECT_EQ(DateTexts(), c.shown);
        EXPECT_EQ(Para2(4)->count(), c.days);
    }
}

TEST_F(UnitSetting, WriteWithThePcClockSendsTheTimeOfThePress) {
    m_now = At(2026, 12, 8, 4, 0, 0);
    OpenReported();
    ChooseWorkedExample();
    m_now = At(2026, 12, 8, 5, 42, 10);  // the lists still show 4:00
    Click("cmdSetting");
    EXPECT_EQ(m_data.ReqCode, kReqWriteSettings);
    EXPECT_EQ(Bytes(m_data.SendData.begin(), m_data.SendData.end()),
              Bytes(kWorkedExampleFrame.begin() + 3, kWorkedExampleFrame.begin() + 20));
    EXPECT_EQ(DateTexts(), QStringList({"26", "12", "8", "4", "0"}));

    // The request cycle's next tick writes the whole frame, and nothing else.
    test::FakeCommPort port;
    port.OpenAnything();
    ASSERT_TRUE(port.Open(1, {}));
    test::RecordingLinkEvents view;
    m_data.LinkUp = kTrue;
    SendRequest(m_data, port, view);
    ASSERT_EQ(port.Writes().size(), 1U);
    EXPECT_EQ(port.Writes()[0], kWorkedExampleFrame);
    EXPECT_EQ(m_data.ReqCode, kReqNone);
}

TEST_F(UnitSetting, WriteWithAChosenTimeSendsSecondZero) {
    m_now = At(2031, 3, 3, 3, 3, 33);
    OpenReported();
    ChooseWorkedExample();
    Option(1)->click();
    Choose(Para2(2), "26");
    Choose(Para2(3), "12");
    Choose(Para2(4), "8");
    Choose(Para2(5), "5");
    Choose(Para2(6), "42");
    Click("cmdSetting");
    Bytes expected(kWorkedExampleFrame.begin() + 3, kWorkedExampleFrame.begin() + 20);
    expected[14] = 0x00;
    EXPECT_EQ(Bytes(m_data.SendData.begin(), m_data.SendData.end()), expected);
    EXPECT_EQ(m_data.ReqCode, kReqWriteSettings);
}

TEST_F(UnitSetting, EnterOnTheFocusedWriteButtonQueuesTheWriteAsAClickDoes) {
    OpenReported();
    ChooseWorkedExample();
    Click("cmdSetting");
    const Bytes clicked(m_data.SendData.begin(), m_data.SendData.end());
    ASSERT_EQ(m_data.ReqCode, kReqWriteSettings);

    auto* button = m_screen->findChild<QPushButton*>(QStringLiteral("cmdSetting"));
    for (const auto& [key, modifier] :
         {std::pair{Qt::Key_Return, Qt::NoModifier}, std::pair{Qt::Key_Enter, Qt::KeypadModifier}}) {
        m_data.ReqCode = kReqNone;
        m_data.SendData.fill(0);
        // Enter in a drop-down list keeps its meaning there: it writes nothing.
        Para1(0)->setFocus();
        QTest::keyClick(Para1(0), key, modifier);
        EXPECT_EQ(m_data.ReqCode, kReqNone) << key;

        button->setFocus();
        QTest::keyClick(button, key, modifier);
        EXPECT_EQ(m_data.ReqCode, kReqWriteSettings) << key;
        EXPECT_EQ(Bytes(m_data.SendData.begin(), m_data.SendData.end()), clicked) << key;
    }
}

TEST_F(UnitSetting, InitialiseAsksFirstAndCancelQueuesNothing) {
    OpenReported();
    struct Case {
        const char* name;
        Qt::Key key;
        bool moveToOk;
        std::uint8_t queued;
    };
    for (const Case& c : {Case{"Esc", Qt::Key_Escape, false, kReqNone}, Case{"Enter", Qt::Key_Return, false, kReqNone},
                          Case{"OK", Qt::Key_Space, true, kReqInitialise}}) {
        SCOPED_TRACE(c.name);
        m_data.ReqCode = kReqNone;
        const auto seen = AnswerDialogWith(c.key, c.moveToOk);
        Click("cmdInit");
        EXPECT_EQ(seen->caption, Text("確認"));
        EXPECT_EQ(QString(seen->message).remove(QLatin1Char('\r')),
                  Text("本体の時計以外の設定が初期化されます。\nよろしいですか？"));
        EXPECT_EQ(m_data.ReqCode, c.queued);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }
}

TEST_F(UnitSetting, InitialiseAfterWriteBeforeTheNextTickSendsOnlyTheInitialise) {
    OpenReported();
    ChooseWorkedExample();
    Click("cmdSetting");
    AnswerDialogWith(Qt::Key_Space, true);
    Click("cmdInit");
    ASSERT_EQ(m_data.ReqCode, kReqInitialise);

    test::FakeCommPort port;
    port.OpenAnything();
    ASSERT_TRUE(port.Open(1, {}));
    test::RecordingLinkEvents view;
    m_data.LinkUp = kTrue;
    for (int tick = 0; tick < 4; ++tick) {
        SendRequest(m_data, port, view);
    }
    ASSERT_EQ(port.Writes().size(), 1U);
    EXPECT_EQ(port.Writes()[0], kInitialiseFrame);
}

TEST_F(UnitSetting, AQueuedWriteLeavesAfterTheScreenHasClosed) {
    OpenReported();
    ChooseWorkedExample();
    Click("cmdSetting");
    m_screen->close();
    m_screen.reset();
    // A fresh screen opened meanwhile does not touch the mailbox either.
    Open();
    m_screen.reset();

    test::FakeCommPort port;
    port.OpenAnything();
    ASSERT_TRUE(port.Open(1, {}));
    test::RecordingLinkEvents view;
    m_data.LinkUp = kTrue;
    SendRequest(m_data, port, view);
    ASSERT_EQ(port.Writes().size(), 1U);
    EXPECT_EQ(port.Writes()[0], kWorkedExampleFrame);
}

#ifdef TESSARIN_TESTS_HAVE_SIM
// A serial-port list of its own for one test, so that only its simulated unit is found; the runtime folder
// the test program had before comes back afterwards.
class ScopedRuntimeDir {
  public:
    ScopedRuntimeDir() {
        if (const char* old = std::getenv("XDG_RUNTIME_DIR")) {
            m_old = old;
        }
        std::string pattern = (std::filesystem::temp_directory_path() / "tessarin-setting-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) {
            m_path = pattern;
            ::setenv("XDG_RUNTIME_DIR", m_path.c_str(), 1);
        }
    }
    ~ScopedRuntimeDir() {
        if (m_old) {
            ::setenv("XDG_RUNTIME_DIR", m_old->c_str(), 1);
        } else {
            ::unsetenv("XDG_RUNTIME_DIR");
        }
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    ScopedRuntimeDir(const ScopedRuntimeDir&) = delete;
    ScopedRuntimeDir& operator=(const ScopedRuntimeDir&) = delete;
    ScopedRuntimeDir(ScopedRuntimeDir&&) = delete;
    ScopedRuntimeDir& operator=(ScopedRuntimeDir&&) = delete;
    [[nodiscard]] bool Ok() const { return !m_path.empty(); }

  private:
    std::optional<std::string> m_old;
    std::string m_path;
};

// Stands in for the window's two timers (faster than theirs; nothing here depends on the pace) until
// `done` holds; false after a generous time-out.
bool TickUntil(UnitLink& link, const std::function<bool()>& done) {
    using namespace std::chrono_literals;
    const auto end = std::chrono::steady_clock::now() + 20s;
    for (int turn = 0; std::chrono::steady_clock::now() < end; ++turn) {
        if (turn % 4 == 0) {
            link.ConnectTick();
        }
        while (link.ReceiveTick()) {
        }
        if (done()) {
            return true;
        }
        std::this_thread::sleep_for(2ms);
    }
    return false;
}

std::vector<Bytes> WritesReceived(const sim::SimulatedUnit& unit) {
    std::vector<Bytes> writes;
    for (const sim::ReceivedRequest& request : unit.Requests()) {
        if (request.frame.size() > 1 && request.frame[1] == kReqWriteSettings) {
            writes.push_back(request.frame);
        }
    }
    return writes;
}

TEST_F(UnitSetting, EndToEndTheUnitTakesTheWriteAndReportsTheNewSettings) {
    ScopedRuntimeDir runtime;
    ASSERT_TRUE(runtime.Ok());
    sim::SimOptions options;
    options.pacing = false;
    sim::SimulatedUnit unit(options);
    ASSERT_TRUE(unit.Start()) << unit.LastError();
    unit.SetOvgrFunction(true);
    unit.SetFrozenValues(true);

    test::RecordingLinkEvents view;
    UnitLink link(view);
    link.Discover();
    DeviceData& data = link.Data();
    ASSERT_TRUE(TickUntil(link, [&data] { return data.NowValue.OvgrModeText == "機能あり"; }))
        << "no current values from the unit";

    OpenOn(data);
    for (const QComboBox* list : SettingLists()) {
        EXPECT_FALSE(IsRed(list)) << list->objectName().toStdString();
    }

    ChooseOtherSettingsAndTime();
    const QStringList chosen = SettingTexts();

    unit.ClearRequests();
    Click("cmdSetting");
    ASSERT_TRUE(TickUntil(link, [&unit] { return !WritesReceived(unit).empty(); })) << "no settings write arrived";
    EXPECT_EQ(WritesReceived(unit),
              std::vector<Bytes>({{0xFF, 0x03, 0x16, 0x8A, 0x00, 0x0A, 0x0E, 0x04, 0x10, 0x01, 0x00,
                                   0x01, 0x1B, 0x03, 0x04, 0x05, 0x06, 0x00, 0x02, 0x00, 0xCC, 0x5E}}));
    EXPECT_EQ(unit.Clock(), Bytes({27, 3, 4, 5, 6, 0}));

    // The unit's next report carries the new settings; the screen then selects them, none in red.
    ASSERT_TRUE(TickUntil(link, [&data] { return data.NowValue.DetectModeText == "V0のみ"; }))
        << "the unit did not report the new settings";
    for (QComboBox* list : SettingLists()) {
        list->setCurrentIndex(0);
    }
    Click("cmdNowValue");
    EXPECT_EQ(SettingTexts(), chosen);
    for (const QComboBox* list : SettingLists()) {
        EXPECT_FALSE(IsRed(list)) << list->objectName().toStdString();
    }
    m_screen.reset();
    link.ClosePort();
    unit.Stop();
}

#endif  // TESSARIN_TESTS_HAVE_SIM

}  // namespace
}  // namespace tessarin

namespace tessarin {
namespace {

class UnitSettingChecks : public UnitSetting {
  protected:
    void UseFile(const QString& name, std::function<bool(const QString&)> replaceReadOnly = {}) {
        UnitSettingDialogs dialogs;
        dialogs.replaceReadOnly = std::move(replaceReadOnly);
        dialogs.chooseSaveFile = [name](const QString&) { return name; };
        dialogs.chooseOpenFile = [name] { return name; };
        dialogs.notice = [this](const QString&, const QString& text) { m_notices << text; };
        m_screen->SetDialogs(dialogs);
    }
    [[nodiscard]] QString CheckText() const { return m_screen->CheckText(); }
    // What the request cycle writes in a few ticks, polls aside.
    std::vector<Bytes> TickWrites() {
        test::FakeCommPort port;
        port.OpenAnything();
        EXPECT_TRUE(port.Open(1, {}));
        test::RecordingLinkEvents view;
        for (int tick = 0; tick < 4; ++tick) {
            SendRequest(m_data, port, view);
        }
        std::vector<Bytes> writes;
        std::copy_if(port.Writes().begin(), port.Writes().end(), std::back_inserter(writes),
                     [](const Bytes& frame) { return frame.size() > 1 && frame[1] != kReqPoll; });
        return writes;
    }

    QStringList m_notices;
    QTemporaryDir m_dir;
};

TEST_F(UnitSettingChecks, OffLinePressesSendNothingEvenAfterTheUnitComesBack) {
    OpenReported();
    m_data.LinkUp = kFalse;
    for (const char* button : {"cmdSetting", "cmdInit"}) {
        SCOPED_TRACE(button);
        Click(button);  // no dialog comes up: the initialise is refused before it asks
        EXPECT_EQ(m_data.ReqCode, kReqNone);
        EXPECT_TRUE(CheckText().contains(QStringLiteral("OFF LINE"))) << CheckText().toStdString();
    }
    m_data.LinkUp = kTrue;
    EXPECT_TRUE(TickWrites().empty());
}

TEST_F(UnitSettingChecks, ARedListAsksFirstCancelSendsNothingOkSendsTheSameBytes) {
    m_data.LinkUp = kTrue;
    Open();  // nothing reported yet: every list is red
    ChooseWorkedExample();
    const auto cancelled = AnswerDialogWith(Qt::Key_Escape, false);
    Click("cmdSetting");
    EXPECT_EQ(cancelled->caption, Text("確認"));
    EXPECT_TRUE(cancelled->message.contains(Text("Ｖｏしきい値")));
    EXPECT_TRUE(cancelled->message.contains(Text("a12-a2c警報出力")));
    EXPECT_EQ(m_data.ReqCode, kReqNone);
    EXPECT_TRUE(TickWrites().empty());

    AnswerDialogWith(Qt::Key_Space, true);
    Click("cmdSetting");
    EXPECT_EQ(TickWrites(), std::vector<Bytes>{kWorkedExampleFrame});
}

TEST_F(UnitSettingChecks, FileRoundTripAndWhatALoadCannotApply) {
    ASSERT_TRUE(m_dir.isValid());
    OpenReported();
    const QStringList reported = SettingTexts();
    UseFile(m_dir.filePath(QStringLiteral("site.json")));
    m_data.PortNo = 3;
    Click("cmdSaveFile");
    ASSERT_TRUE(m_notices.isEmpty()) << m_notices.join(' ').toStdString();
    QFile saved(m_dir.filePath(QStringLiteral("site.json")));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QByteArray bytes = saved.readAll();
    EXPECT_TRUE(bytes.contains("\"port\": \"COM3\""));
    EXPECT_TRUE(bytes.contains("\"savedAt\": \"2026-12-08T05:42:10\""));

    for (QComboBox* list : SettingLists()) {
        list->setCurrentIndex(0);
    }
    Click("cmdLoadFile");
    EXPECT_EQ(SettingTexts(), reported);
    for (const QComboBox* list : SettingLists()) {
        EXPECT_FALSE(IsRed(list));
    }

    // The same file on a unit without the OVGR function: alarm 1 cannot be "ＯＶＧＲ".
    DeviceData noOvgr;
    noOvgr.NowValue = test::WorkedExampleReport();
    noOvgr.NowValue.OvgrModeText = "機能なし";
    OpenOn(noOvgr);
    UseFile(m_dir.filePath(QStringLiteral("site.json")));
    Click("cmdLoadFile");
    EXPECT_TRUE(IsRed(Para1(6)));
    EXPECT_EQ(Para1(6)->currentText(), Text("微地絡"));
    EXPECT_TRUE(CheckText().contains(Text("a11-a1c警報出力"))) << CheckText().toStdString();
    EXPECT_EQ(Para1(0)->currentText(), Text("V0のみ"));
}

TEST_F(UnitSettingChecks, ABadFileSaysWhyAndChangesNothing) {
    ASSERT_TRUE(m_dir.isValid());
    OpenReported();
    const QStringList before = SettingTexts();
    const QString name = m_dir.filePath(QStringLiteral("bad.json"));
    UseFile(name);
    for (const QByteArray& bytes :
         {QByteArray("{\"kind\": \"tessarin-settings\""), QByteArray("[]"), QByteArray(200000, 'x'),
          QByteArray("{\"kind\": \"tessarin-settings\", "
                     "\"formatVersion\": 9}")}) {
        QFile file(name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        m_notices.clear();
        Click("cmdLoadFile");
        ASSERT_EQ(m_notices.size(), 1);
        EXPECT_TRUE(m_notices.front().contains(name));
        EXPECT_EQ(SettingTexts(), before);
    }
    // A save that cannot be written says so.
    UseFile(m_dir.filePath(QStringLiteral("no-such-folder/site.json")));
    m_notices.clear();
    Click("cmdSaveFile");
    EXPECT_EQ(m_notices.size(), 1);
}

#ifndef _WIN32
TEST_F(UnitSettingChecks, APipeIsRefusedAtOnceAndAReadOnlyFileIsReplacedOnlyOnYes) {
    ASSERT_TRUE(m_dir.isValid());
    OpenReported();
    const QString pipe = m_dir.filePath(QStringLiteral("pipe.json"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), S_IRUSR | S_IWUSR), 0);
    UseFile(pipe);
    ::alarm(60);  // a load that waits for the pipe's writer ends the test program rather than hanging it
    for (const char* button : {"cmdLoadFile", "cmdSaveFile"}) {
        m_notices.clear();
        Click(button);
        ASSERT_EQ(m_notices.size(), 1) << button;
        EXPECT_TRUE(m_notices.front().contains(Text("通常のファイルではありません")))
            << m_notices.front().toStdString();
    }
    ::alarm(0);

    const QString kept = m_dir.filePath(QStringLiteral("kept.json"));
    {
        QFile file(kept);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("old");
    }
    ASSERT_TRUE(QFile::setPermissions(kept, QFileDevice::ReadOwner));
    QStringList asked;
    for (const bool yes : {false, true}) {
        UseFile(kept, [&asked, yes](const QString& name) {
            asked << name;
            return yes;
        });
        m_notices.clear();
        Click("cmdSaveFile");
        EXPECT_TRUE(m_notices.isEmpty()) << m_notices.join(' ').toStdString();
        QFile file(kept);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll().startsWith("{"), yes);
    }
    EXPECT_EQ(asked, QStringList({kept, kept}));
    EXPECT_EQ(
        std::filesystem::status(QFile::encodeName(kept).toStdString()).permissions() & std::filesystem::perms::all,
        std::filesystem::perms::owner_read);
}
#endif

TEST_F(UnitSettingChecks, CompareMarksDifferencesInTheirOwnColourAndIgnoresTheClock) {
    OpenReported();
    Para1(2)->setCurrentIndex(0);  // 15mA, the unit has 600mA
    Para2(1)->setCurrentIndex(0);  // する, the unit has しない
    Choose(Para2(2), "30");
    Choose(Para2(6), "1");
    Click("cmdCompare");
    EXPECT_EQ(CheckText(), Text("本体と異なる設定：2件"));
    for (QComboBox* list : SettingLists()) {
        const bool differs = list == Para1(2) || list == Para2(1);
        EXPECT_EQ(list->palette().color(QPalette::Button) != QColor(Qt::white), differs)
            << list->objectName().toStdString();
        EXPECT_FALSE(IsRed(list));
    }
    EXPECT_TRUE(Para1(2)->toolTip().contains(Text("600mA")));
    EXPECT_TRUE(Para2(1)->toolTip().contains(Text("しない")));
}

TEST_F(UnitSettingChecks, TheCheckedWriteShowsEachOutcome) {
    struct Case {
        const char* name;
        int answers;
        bool taken;
        const char* shown;
    };
    for (const Case& c : {Case{"taken", 2, true, "設定が反映されました"},
                          Case{"ignored", 3, false, "本体の値が書き込んだ値と異なります"},
                          Case{"silent", 0, false, "本体から応答がありません"}}) {
        SCOPED_TRACE(c.name);
        OpenReported();
        ChooseWorkedExample();
        Click("cmdSetting");
        // Answers before the write has gone say nothing about it.
        m_screen->NowValueArrived();
        m_screen->NowValueArrived();
        m_screen->RequestWent(kReqWriteSettings);
        m_data.NowValue = c.taken ? test::WorkedExampleReport() : test::FullReport();
        for (int i = 0; i < c.answers; ++i) {
            m_screen->NowValueArrived();
        }
        if (!c.taken) {
            EXPECT_TRUE(CheckText().contains(Text("確認"))) << CheckText().toStdString();
            m_screen->tmrCheck_Timer();
        }
        EXPECT_TRUE(CheckText().startsWith(Text(c.shown))) << CheckText().toStdString();
        if (!c.taken && c.answers > 0) {
            EXPECT_TRUE(CheckText().contains(Text("微地絡検出条件")));
        }
        m_data.ReqCode = kReqNone;
    }
}

}  // namespace
}  // namespace tessarin

#ifdef TESSARIN_TESTS_HAVE_SIM
namespace tessarin {
namespace {

// Hands what the link reports to the settings screen, as the main window does, and counts the answers.
class ForwardingView : public LinkEvents {
  public:
    void RequestSent(std::uint8_t code, bool accepted) override {
        if (accepted && screen != nullptr) {
            screen->RequestWent(code);
        }
    }
    void FrameReceived(std::span<const std::uint8_t> frame, bool valid) override {
        if (valid && frame.size() > 1 && frame[1] == kRespNowValue) {
            ++answers;
            if (screen != nullptr) {
                screen->NowValueArrived();
            }
        }
    }
    frmUnitSetting* screen = nullptr;
    int answers = 0;
};

TEST_F(UnitSetting, EndToEndTheCheckedWriteAgainstTheSimulatedUnit) {
    enum class Unit { Takes, IgnoresWrites, FallsSilent };
    struct Case {
        const char* name;
        Unit unit;
        const char* shown;
    };
    for (const Case& c : {Case{"takes", Unit::Takes, "設定が反映されました"},
                          Case{"ignores", Unit::IgnoresWrites, "本体の値が書き込んだ値と異なります"},
                          Case{"silent", Unit::FallsSilent, "本体から応答がありません"}}) {
        SCOPED_TRACE(c.name);
        ScopedRuntimeDir runtime;
        ASSERT_TRUE(runtime.Ok());
        sim::SimOptions options;
        options.pacing = false;
        sim::SimulatedUnit unit(options);
        ASSERT_TRUE(unit.Start()) << unit.LastError();
        unit.SetOvgrFunction(true);
        unit.SetFrozenValues(true);
        unit.SetIgnoreSettingsWrites(c.unit == Unit::IgnoresWrites);

        ForwardingView view;
        UnitLink link(view);
        link.Discover();
        DeviceData& data = link.Data();
        ASSERT_TRUE(TickUntil(link, [&data] { return data.NowValue.OvgrModeText == "機能あり"; }));
        OpenOn(data);
        view.screen = m_screen.get();

        ChooseOtherSettingsAndTime();
        unit.ClearRequests();
        unit.SetSilent(c.unit == Unit::FallsSilent);
        Click("cmdSetting");

        ASSERT_TRUE(TickUntil(link, [&unit] { return !WritesReceived(unit).empty(); }));
        // The same bytes as the unchecked write: the watch only reads.
        EXPECT_EQ(WritesReceived(unit),
                  std::vector<Bytes>({{0xFF, 0x03, 0x16, 0x8A, 0x00, 0x0A, 0x0E, 0x04, 0x10, 0x01, 0x00,
                                       0x01, 0x1B, 0x03, 0x04, 0x05, 0x06, 0x00, 0x02, 0x00, 0xCC, 0x5E}}));
        const int before = view.answers;
        // Three polls after the write, answered or not, stand in for the watch's time.
        ASSERT_TRUE(TickUntil(link, [&unit, &view, before, c] {
            const std::vector<sim::ReceivedRequest> requests = unit.Requests();
            const auto polls = std::count_if(requests.begin(), requests.end(), [](const sim::ReceivedRequest& r) {
                return r.frame.size() > 1 && r.frame[1] == kReqPoll;
            });
            return c.unit == Unit::FallsSilent ? polls >= 3 : view.answers >= before + 3;
        }));
        m_screen->tmrCheck_Timer();
        EXPECT_TRUE(m_screen->CheckText().startsWith(Text(c.shown))) << m_screen->CheckText().toStdString();
        if (c.unit == Unit::IgnoresWrites) {
            EXPECT_TRUE(m_screen->CheckText().contains(Text("微地絡検出条件")));
        }
        view.screen = nullptr;
        m_screen.reset();
        link.ClosePort();
        unit.Stop();
    }
}

}  // namespace
}  // namespace tessarin
#endif  // TESSARIN_TESTS_HAVE_SIM
