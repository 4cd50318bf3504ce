// The Windows program's windows against tessarin-sim on a Wine COM port, with the main window's own link,
// timers and port listing (the registry). scripts/windows-test starts the simulator, maps its
// pseudo-terminal to COM<TESSARIN_UNIT_COM> and lists it as "\Device\VCP0"; the tests unplug the unit as
// Windows sees it, by removing that value, and plug it in again by writing it back. Without
// TESSARIN_UNIT_COM they are skipped.
#include <windows.h>

#include <gtest/gtest.h>

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <memory>
#include <string>

#include "ui/frm_log_disp.h"
#include "ui/frm_mid_main.h"
#include "ui_test_support.h"

namespace tessarin::test {
namespace {

constexpr int kPatienceMs = 30000;
constexpr int kCollectionPatienceMs = 120000;
constexpr const wchar_t* kSerialComm = L"HARDWARE\\DEVICEMAP\\SERIALCOMM";
constexpr const wchar_t* kValueName = L"\\Device\\VCP0";

// The unit's COM port as the script set it up, or "" when the tests are not run against a unit.
std::wstring UnitPort() {
    const QString number = qEnvironmentVariable("TESSARIN_UNIT_COM");
    return number.isEmpty() ? std::wstring() : (QStringLiteral("COM") + number).toStdWString();
}

// Lists `port` as the adapter's ("" removes the value).
bool ListPort(const std::wstring& port) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSerialComm, 0, nullptr, REG_OPTION_VOLATILE, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        return false;
    }
    LONG status = ERROR_SUCCESS;
    const bool listed = !port.empty();
    if (listed) {
        status = RegSetValueExW(key, kValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(port.c_str()),
                                static_cast<DWORD>((port.size() + 1) * sizeof(wchar_t)));
    } else {
        status = RegDeleteValueW(key, kValueName);
    }
    RegCloseKey(key);
    return status == ERROR_SUCCESS || (!listed && status == ERROR_FILE_NOT_FOUND);
}

bool ListUnit(bool listed) { return ListPort(listed ? UnitPort() : std::wstring()); }

QString LabelText(frmMidMain& window, const char* name) {
    QWidget* child = window.ActiveChild();
    const auto* label = child == nullptr ? nullptr : child->findChild<QLabel*>(QString::fromUtf8(name));
    return label == nullptr ? QString() : label->text();
}

class WindowsUnit : public ::testing::Test {
  protected:
    void SetUp() override {
        if (UnitPort().empty()) {
            GTEST_SKIP() << "TESSARIN_UNIT_COM is not set: no simulated unit on a COM port";
        }
        ASSERT_TRUE(ListUnit(true));
        m_window = std::make_unique<frmMidMain>(TestPictureFolder());
        m_window->SetQuitFunction([] {});
    }
    void TearDown() override {
        m_screen.reset();
        m_window.reset();
        if (!UnitPort().empty()) {
            ListUnit(true);  // the next test finds the unit listed
        }
    }

    bool OnLine() const { return m_window->StatusPanel(1)->text() == QStringLiteral("ON LINE"); }
    bool WaitOnLine(bool online) {
        return QTest::qWaitFor([&] { return OnLine() == online; }, kPatienceMs);
    }

    std::unique_ptr<frmMidMain> m_window;
    std::unique_ptr<frmLogDisp> m_screen;
};

TEST_F(WindowsUnit, FoundThroughTheRegistryThenUnpluggedAndPluggedIn) {
    m_window->mnuNowValue_Click();
    ASSERT_TRUE(WaitOnLine(true));
    EXPECT_EQ(m_window->StatusPanel(1)->toolTip(), QStringLiteral("本体と通信しています。"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !LabelText(*m_window, "lblFreq").isEmpty(); }, kPatienceMs))
        << "no current values reached the screen";
    EXPECT_TRUE(LabelText(*m_window, "lblFreq").endsWith(QStringLiteral("Hz")));
    EXPECT_FALSE(LabelText(*m_window, "lblV0").isEmpty());

    ASSERT_TRUE(ListUnit(false));
    ASSERT_TRUE(WaitOnLine(false));
    EXPECT_FALSE(LabelText(*m_window, "lblFreq").isEmpty()) << "the last values stay while the link is down";
    ASSERT_TRUE(ListUnit(true));
    ASSERT_TRUE(WaitOnLine(true));
}

TEST_F(WindowsUnit, AListedPortThatWillNotOpenStaysOffLineAndSaysWhy) {
    ASSERT_TRUE(WaitOnLine(true));
    ASSERT_TRUE(ListUnit(false));
    ASSERT_TRUE(WaitOnLine(false));
    ASSERT_TRUE(ListPort(L"COM199"));  // no such device in the prefix
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_window->StatusPanel(1)->toolTip().contains(QStringLiteral("COM199")); },
                                kPatienceMs))
        << m_window->StatusPanel(1)->toolTip().toStdString();
    EXPECT_EQ(m_window->StatusPanel(1)->text(), QStringLiteral("OFF LINE"));
}

TEST_F(WindowsUnit, ALogIsCollectedAndAnUnplugMidCollectionFailsOnce) {
    // Answers are read once the first poll is out: the unit has answered one before the collection starts.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m_window->Data().NowValue.FreqText.empty(); }, kPatienceMs));
    m_screen = std::make_unique<frmLogDisp>(m_window->Link().Data(), m_window->Link().Commands(),
                                            m_window->Link().Collection());
    std::vector<QString> notices;
    int busyAtNotice = 0;
    m_screen->SetNotice([&](const QString&, const QString& text) {
        notices.push_back(text);
        busyAtNotice = m_window->Data().LogBusy;
    });
    m_screen->show();
    auto* inport = m_screen->findChild<QPushButton*>(QStringLiteral("cmdLogInport"));
    auto* supervision = m_screen->findChild<QTimer*>(QStringLiteral("tmrComLog"));
    auto* tabs = m_screen->findChild<QTabWidget*>(QStringLiteral("SSTab1"));
    ASSERT_NE(inport, nullptr);
    ASSERT_NE(supervision, nullptr);
    ASSERT_NE(tabs, nullptr);

    // The device-state log: ten records, the header first.
    tabs->setCurrentIndex(1);
    QTest::mouseClick(inport, Qt::LeftButton);
    ASSERT_TRUE(supervision->isActive());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !supervision->isActive(); }, kCollectionPatienceMs));
    EXPECT_TRUE(notices.empty());
    EXPECT_EQ(m_screen->GridRows(1), 11);
    EXPECT_FALSE(m_screen->LogStoreLine(1, 0).empty());

    // The minor-fault log, unplugged once a few records are in.
    tabs->setCurrentIndex(0);
    QTest::mouseClick(inport, Qt::LeftButton);
    ASSERT_TRUE(supervision->isActive());
    auto* progress = m_screen->findChild<QProgressBar*>(QStringLiteral("prgLogNo"));
    ASSERT_NE(progress, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return progress->value() >= 10; }, kPatienceMs));
    ASSERT_TRUE(supervision->isActive()) << "the collection ended before the unplug";
    ASSERT_TRUE(ListUnit(false));
    // The message follows the tick that stopped the supervision.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !supervision->isActive() && !notices.empty(); }, kPatienceMs));
    ASSERT_EQ(notices.size(), 1U);
    EXPECT_EQ(notices[0], QStringLiteral("ログ収集に失敗しました。"));
    EXPECT_EQ(busyAtNotice, 1);
    EXPECT_EQ(m_window->Data().LogBusy, 0);
    EXPECT_EQ(inport->text(), QStringLiteral("ログ取込"));
    EXPECT_EQ(m_screen->GridRows(1), 11) << "the earlier collection stays";
    EXPECT_TRUE(WaitOnLine(false));
}

}  // namespace
}  // namespace tessarin::test
