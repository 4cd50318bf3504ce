// The log screen offscreen, on a link over a fake port with a scripted unit: the collection seen through the
// window's controls, the grids it fills, the clear command and the saved files' bytes. The link's timers
// are stood in for by a loop over the test's own clock; the screen's supervision tick is called by it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "data/csv_export.h"
#include "link/fake_comm_port.h"
#include "link/fake_port_listing.h"
#include "link/recording_link_events.h"
#include "link/scripted_log_unit.h"
#include "link/unit_link.h"
#include "ui/dlg_msg_box.h"
#include "ui/frm_log_disp.h"
#include "ui/twips.h"
#include "ui_test_support.h"

namespace tessarin::test {
namespace {

// The window reads the device data and changes what is sent only through the commands: it is made from a
// const device data, and no longer from the whole link.
static_assert(std::is_constructible_v<frmLogDisp, const DeviceData&, UnitCommands&, LogCollectionWatch&>);
static_assert(!std::is_constructible_v<frmLogDisp, UnitLink&>);

using Bytes = std::vector<std::uint8_t>;

constexpr const char* kWorkedExampleLine =
    "1,確定,2012年03月05日14時07分,45.6V,0.052A,63°,60Hz,有,有,有,動作,1,1,無,-60°～120°";

// d1..d15 of an empty record slot with the state byte given.
Bytes EmptySlot(std::uint8_t state) { return {0, 0, 0, 0, 0, 0, 60, 0xFF, 0, 0, 0, 0, 0, state, 0}; }

// d1..d15 of a device-state record (2014-01-10 08:30) with the event flags given.
Bytes DeviceEvent(std::uint8_t events) { return {0, 0, 0, 0, 0, 0, 50, 14, 1, 10, 8, 30, 0, 0, events}; }

// The unit's logs in these tests: the 微地絡 log has the worked example as record 1, an OVGR-flagged record 2,
// an empty slot 5 in the state 検出 and empty slots from 91 on; the device-state log has the events below and
// an empty slot 4; the OVGR log the worked example with an empty slot 3.
Bytes TestPayload(std::uint8_t code, int record) {
    switch (code) {
        case 4:
            if (record == 5) {
                return EmptySlot(10);
            }
            if (record > 90) {
                return EmptySlot(0);
            }
            if (record == 2) {
                Bytes ovgr = ScriptedLogUnit::WorkedExample();
                ovgr[12] = 0xF2;  // the OVGR flag
                return ovgr;
            }
            return ScriptedLogUnit::WorkedExample();
        case 6: {
            static const std::uint8_t kEvents[] = {0xA8, 0x60, 0x00, 0, 0x08, 0x10, 0x48, 0x40, 0x20, 0xC0};
            return record == 4 ? EmptySlot(0) : DeviceEvent(kEvents[(record - 1) % 10]);
        }
        default:
            return record == 3 ? EmptySlot(0) : ScriptedLogUnit::WorkedExample();
    }
}

std::string ReadAll(const QString& name) {
    std::ifstream in(std::filesystem::path(name.toStdString()), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t from = 0;
    for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", from)) {
        lines.push_back(text.substr(from, at - from));
        from = at + 2;
    }
    EXPECT_EQ(from, text.size()) << "every line ends with CR LF";
    return lines;
}

std::size_t FieldCount(const std::string& line) {
    return static_cast<std::size_t>(std::count(line.begin(), line.end(), ',')) + 1;
}

class LogDispTest : public ::testing::Test {
  protected:
    void SetUp() override {
        auto listing = std::make_unique<FakePortListing>();
        auto port = std::make_unique<FakeCommPort>();
        listing->SetVcp(0, "COM5");
        port->AddDevice(5);
        m_port = port.get();
        m_unit.payload = TestPayload;
        m_unit.Attach(*m_port, m_now);
        m_link = std::make_unique<UnitLink>(m_lamps, std::move(listing), HandOver(std::move(port)));
        m_link->Discover();
        Run(1000);  // the first poll is out
        ASSERT_TRUE(m_folder.isValid());
    }
    void TearDown() override { m_screen.reset(); }

    // Opens the window with the unit reporting `ovgrMode`.
    void Open(const char* ovgrMode = "機能あり") {
        m_link->Data().NowValue.OvgrModeText = ovgrMode;
        m_screen = std::make_unique<frmLogDisp>(m_link->Data(), m_link->Commands(), m_link->Collection());
        m_screen->SetToday([] { return QDate(2024, 1, 15); });
        m_screen->SetNotice([this](const QString& title, const QString& text) {
            m_notices.emplace_back(title, text);
            m_busyAtNotice = m_link->Data().LogBusy;
        });
        m_screen->SetConfirm([this](const QString& message, const QString& title) {
            m_questions.emplace_back(title, message);
            return m_answer;
        });
        if (!m_realSaveDialog) {
            m_screen->SetSaveDialog([this](const QString& proposed, const QString& filter) {
                m_proposed.push_back(proposed);
                m_filter = filter;
                return m_chosen;
            });
        }
        m_screen->show();
    }

    template <typename T>
    T* Find(const char* name) const {
        return m_screen->findChild<T*>(QString::fromUtf8(name));
    }
    QPushButton* Button(const char* name) const { return Find<QPushButton>(name); }
    void Click(const char* name) { QTest::mouseClick(Button(name), Qt::LeftButton); }
    void SelectTab(int tab) { Find<QTabWidget>("SSTab1")->setCurrentIndex(tab); }
    QTimer* Supervision() const { return Find<QTimer>("tmrComLog"); }

    // One 10 ms step: what the window queued in the last one, tmrComConnect at the interval the link
    // reports, tmrComRcv, and tmrComLog.
    void Step() {
        QCoreApplication::sendPostedEvents();
        m_now += 10;
        m_unit.DeliverDue(*m_port, m_now);
        const int interval = m_lamps.ConnectInterval();
        if (interval != m_connectInterval) {
            m_connectInterval = interval;
            m_connectDue = m_now - 10 + interval;
        }
        if (m_now >= m_connectDue) {
            m_link->ConnectTick();
            m_connectDue = m_now + m_connectInterval;
        }
        while (m_link->ReceiveTick()) {
        }
        if (m_screen && Supervision()->isActive() && m_now % 100 == 0) {
            m_inTick = true;
            m_screen->tmrComLog_Timer();
            m_inTick = false;
        }
    }
    void Run(int ms) {
        for (int t = 0; t < ms; t += 10) {
            Step();
        }
    }
    bool Collect(int tab) {
        SelectTab(tab);
        Click("cmdLogInport");
        for (int t = 0; t < 60000 && Supervision()->isActive(); t += 10) {
            Step();
        }
        return !Supervision()->isActive();
    }
    QString Saved(const char* file) const { return m_folder.filePath(QString::fromUtf8(file)); }

    int m_now = 0;
    int m_connectInterval = 100;
    int m_connectDue = 100;
    RecordingLinkEvents m_lamps;
    ScriptedLogUnit m_unit;
    FakeCommPort* m_port = nullptr;
    std::unique_ptr<UnitLink> m_link;
    std::unique_ptr<frmLogDisp> m_screen;
    std::vector<std::pair<QString, QString>> m_notices;
    std::int16_t m_busyAtNotice = -1;
    bool m_inTick = false;  // inside tmrComLog's tick
    std::vector<std::pair<QString, QString>> m_questions;
    std::int16_t m_answer = 1;
    std::vector<QString> m_proposed;
    QString m_filter;
    QString m_chosen;
    bool m_realSaveDialog = false;  // the screen's own save dialog instead of m_chosen
    QTemporaryDir m_folder;
};

TEST_F(LogDispTest, OpensWithEmptyGrids) {
    Open();
    EXPECT_EQ(m_screen->windowTitle(), QStringLiteral("ログ表示"));
    const auto* title = Find<QLabel>("lblTitle");
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->text(), QStringLiteral("ログ表示"));
    EXPECT_TRUE(title->font().bold());
    EXPECT_NEAR(title->font().pointSizeF(), 27.75, 0.01);

    const auto* tabs = Find<QTabWidget>("SSTab1");
    ASSERT_EQ(tabs->count(), 3);
    EXPECT_EQ(tabs->tabText(0), QStringLiteral("微地絡ログ"));
    EXPECT_EQ(tabs->tabText(1), QStringLiteral("装置状態ログ"));
    EXPECT_EQ(tabs->tabText(2), QStringLiteral("ＯＶＧＲログ"));
    EXPECT_EQ(tabs->currentIndex(), 0);
    EXPECT_TRUE(tabs->isTabEnabled(2));

    for (int tab = 0; tab < 3; ++tab) {
        const auto* grid = Find<QTableWidget>(QStringLiteral("mfgLogList_%1").arg(tab).toUtf8().constData());
        ASSERT_NE(grid, nullptr) << tab;
        EXPECT_EQ(m_screen->GridRows(tab), 1);
        EXPECT_EQ(m_screen->GridCell(tab, 0, 0), QString());
    }
    EXPECT_EQ(Find<QTableWidget>("mfgLogList_0")->columnCount(), 15);
    EXPECT_EQ(Find<QTableWidget>("mfgLogList_1")->columnCount(), 3);
    EXPECT_EQ(Find<QTableWidget>("mfgLogList_2")->columnCount(), 14);
    EXPECT_TRUE(Find<QTableWidget>("mfgLogList_0")->isColumnHidden(11));  // the V0 range spacer
    EXPECT_TRUE(Find<QTableWidget>("mfgLogList_2")->isColumnHidden(10));
    EXPECT_EQ(Find<QTableWidget>("mfgLogList_1")->columnWidth(2), Twips(8000));

    EXPECT_EQ(Button("cmdLogInport")->text(), QStringLiteral("ログ取込"));
    EXPECT_EQ(Button("cmdLogDelete")->text(), QStringLiteral("ログ消去"));
    EXPECT_EQ(Button("cmdLogExport")->text(), QStringLiteral("保存"));
    EXPECT_EQ(Find<QLabel>("lblLogNo")->text(), QString());
    EXPECT_EQ(Supervision()->interval(), 100);
    EXPECT_FALSE(Supervision()->isActive());

    // The clear command is not offered for the device-state log.
    EXPECT_TRUE(Button("cmdLogDelete")->isVisible());
    SelectTab(1);
    EXPECT_FALSE(Button("cmdLogDelete")->isVisible());
    SelectTab(2);
    EXPECT_TRUE(Button("cmdLogDelete")->isVisible());
}

TEST_F(LogDispTest, OvgrLogOnlyForUnitsWithTheFunction) {
    for (const char* mode : {"機能なし", ""}) {
        Open(mode);
        EXPECT_FALSE(Find<QTabWidget>("SSTab1")->isTabEnabled(2)) << mode;
    }
}

TEST_F(LogDispTest, CollectingShowsItsStateThenFillsTheGrid) {
    Open();
    // Slow enough that the first record is still awaited when the label is read, quicker than the
    // shortest time-out (100 ms), so that no record is asked twice.
    m_unit.delayMs = 95;
    Click("cmdLogInport");
    EXPECT_EQ(m_link->Data().LogBusy, 1);
    EXPECT_EQ(m_lamps.Intervals(), std::vector<int>{10});
    EXPECT_EQ(Button("cmdLogInport")->text(), QStringLiteral("読み込み中止"));
    EXPECT_TRUE(Button("cmdLogInport")->isEnabled());
    EXPECT_FALSE(Button("cmdLogDelete")->isEnabled());
    EXPECT_FALSE(Button("cmdLogExport")->isEnabled());
    EXPECT_FALSE(Find<QTabWidget>("SSTab1")->isEnabled());
    EXPECT_TRUE(Supervision()->isActive());
    Run(100);
    EXPECT_EQ(Find<QLabel>("lblLogNo")->text(), QStringLiteral("ログNo：1"));

    for (int t = 0; t < 60000 && Supervision()->isActive(); t += 10) {
        Step();
    }
    EXPECT_EQ(m_link->Data().LogBusy, 0);
    EXPECT_EQ(m_lamps.Intervals(), (std::vector<int>{10, 100}));
    EXPECT_EQ(Button("cmdLogInport")->text(), QStringLiteral("ログ取込"));
    EXPECT_TRUE(Button("cmdLogDelete")->isEnabled());
    EXPECT_TRUE(Button("cmdLogExport")->isEnabled());
    EXPECT_TRUE(Find<QTabWidget>("SSTab1")->isEnabled());
    EXPECT_EQ(Find<QLabel>("lblLogNo")->text(), QString());
    EXPECT_EQ(m_screen->GridRows(0), 101);
    EXPECT_TRUE(m_notices.empty());
}

TEST_F(LogDispTest, ColumnTooNarrowForItsTextsWidensAfterTheFill) {
#ifdef _WIN32
    GTEST_SKIP() << "the Windows test program draws offscreen without the system's fonts: widths differ";
#endif
    Open();
    auto* grid = Find<QTableWidget>("mfgLogList_0");
    grid->setColumnWidth(2, 10);  // the date column, as a far wider stand-in font would leave it
    const int voltage = grid->columnWidth(3);
    ASSERT_TRUE(Collect(0));
    QCoreApplication::processEvents();  // the columns are fitted a turn after the fill
    const QFontMetrics metrics(grid->font());
    EXPECT_GE(grid->columnWidth(2), metrics.horizontalAdvance(m_screen->GridCell(0, 1, 2)));
    EXPECT_EQ(grid->columnWidth(3), voltage) << "a column wide enough stays as it is";
}

struct OvgrColumnCase {
    const char* modeAtFill;
    bool shown;
    std::size_t fields;
};

class LogDispOvgrColumn : public LogDispTest, public ::testing::WithParamInterface<OvgrColumnCase> {};

TEST_P(LogDispOvgrColumn, MinorFaultGridAndFile) {
    const OvgrColumnCase& c = GetParam();
    Open();
    m_link->Data().NowValue.OvgrModeText = c.modeAtFill;
    ASSERT_TRUE(Collect(0));
    EXPECT_EQ(m_screen->GridRows(0), 101);
    EXPECT_EQ(m_screen->OvgrColumnShown(0), c.shown);
    EXPECT_EQ(Find<QTableWidget>("mfgLogList_0")->columnWidth(13), c.shown ? Twips(1200) : 0);

    // Header row and the worked example, cell by cell; the row of an empty slot stops after データ無し.
    EXPECT_EQ(m_screen->GridCell(0, 0, 0), QStringLiteral("ログ№"));
    EXPECT_EQ(m_screen->GridCell(0, 0, 13), QStringLiteral("OVGR"));
    EXPECT_EQ(m_screen->GridCell(0, 0, 14), QStringLiteral("位相設定"));
    QStringList row1;
    for (int j = 0; j < 15; ++j) {
        row1 << m_screen->GridCell(0, 1, j);
    }
    EXPECT_EQ(row1.join(u','), QString::fromUtf8(kWorkedExampleLine));
    EXPECT_EQ(m_screen->GridCell(0, 2, 13), QStringLiteral("有"));
    EXPECT_EQ(m_screen->GridCell(0, 5, 0), QStringLiteral("5"));
    EXPECT_EQ(m_screen->GridCell(0, 5, 1), QStringLiteral("検出"));
    EXPECT_EQ(m_screen->GridCell(0, 5, 2), QStringLiteral("データ無し"));
    EXPECT_EQ(m_screen->GridCell(0, 5, 3), QString());
    EXPECT_EQ(m_screen->GridCell(0, 100, 2), QStringLiteral("データ無し"));
    const auto* cell = Find<QTableWidget>("mfgLogList_0")->item(0, 3);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->textAlignment(), int(Qt::AlignRight | Qt::AlignVCenter));
    // Collecting the 微地絡 log gives the OVGR grid its eleven rows too.
    EXPECT_EQ(m_screen->GridRows(2), 11);

    m_chosen = Saved("minor.csv");
    Click("cmdLogExport");
    ASSERT_EQ(m_proposed, std::vector<QString>{QStringLiteral("20240115_bichiraku")});
    EXPECT_EQ(m_filter, QStringLiteral("CSVファイル(*.csv)"));
    EXPECT_TRUE(m_questions.empty());
    const std::string bytes = ReadAll(m_chosen);
    // "ログ№" in code page 932, no byte-order mark.
    EXPECT_EQ(bytes.substr(0, 6), std::string("\x83\x8D\x83\x4F\x87\x82"));
    const std::vector<std::string> lines = SplitLines(bytes);
    ASSERT_EQ(lines.size(), 101U);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const bool empty = i == 5 || i > 90;
        EXPECT_EQ(FieldCount(lines[i]), empty ? 3U : c.fields) << i;
    }
    const std::string example =
        c.shown ? "1,確定,2012年03月05日14時07分,45.6V,0.052A,63°,60Hz,有,有,有,動作,1,無,-60°～120°"
                : "1,確定,2012年03月05日14時07分,45.6V,0.052A,63°,60Hz,有,有,有,動作,1,-60°～120°";
    EXPECT_EQ(lines[1], *EncodeCp932(example));
    EXPECT_EQ(lines[5], *EncodeCp932("5,検出,データ無し"));
}

INSTANTIATE_TEST_SUITE_P(Modes, LogDispOvgrColumn,
                         ::testing::Values(OvgrColumnCase{"機能あり", true, 14}, OvgrColumnCase{"機能なし", false, 13}),
                         [](const auto& testInfo) { return testInfo.param.shown ? "Shown" : "Hidden"; });

TEST_F(LogDispTest, OvgrColumnLeftAsItWasForOtherModeTexts) {
    Open();
    m_link->Data().NowValue.OvgrModeText = "機能なし";
    ASSERT_TRUE(Collect(0));
    ASSERT_FALSE(m_screen->OvgrColumnShown(0));
    m_link->Data().NowValue.OvgrModeText = "";
    ASSERT_TRUE(Collect(0));
    EXPECT_FALSE(m_screen->OvgrColumnShown(0));
    m_link->Data().NowValue.OvgrModeText = "機能あり";
    SelectTab(1);
    SelectTab(0);  // the refill decides again
    EXPECT_TRUE(m_screen->OvgrColumnShown(0));
}

TEST_F(LogDispTest, DeviceStateLogGridAndFile) {
    Open();
    ASSERT_TRUE(Collect(1));
    EXPECT_EQ(m_screen->GridRows(1), 11);
    const QStringList header{m_screen->GridCell(1, 0, 0), m_screen->GridCell(1, 0, 1), m_screen->GridCell(1, 0, 2)};
    EXPECT_EQ(header.join(u','), QStringLiteral("ログ№,発生日時,装置状態"));
    struct Row {
        int record;
        const char* state;
    };
    for (const Row& r : {Row{1, "ＣＰＵリスタート"}, Row{2, "電源検出"}, Row{3, ""}, Row{5, "自己診断復帰"},
                         Row{6, "自己診断異常"}, Row{7, "自己診断復帰"}, Row{10, "ＣＰＵリスタート"}}) {
        EXPECT_EQ(m_screen->GridCell(1, r.record, 0), QString::number(r.record));
        EXPECT_EQ(m_screen->GridCell(1, r.record, 1), QStringLiteral("2014年01月10日08時30分"));
        EXPECT_EQ(m_screen->GridCell(1, r.record, 2), QString::fromUtf8(r.state)) << r.record;
    }
    EXPECT_EQ(m_screen->GridCell(1, 4, 1), QStringLiteral("データ無し"));
    EXPECT_EQ(m_screen->GridCell(1, 4, 2), QString());

    m_chosen = Saved("state");
    Click("cmdLogExport");
    EXPECT_EQ(m_proposed, std::vector<QString>{QStringLiteral("20240115_jotai")});
    const std::string bytes = ReadAll(m_chosen);
    const std::vector<std::string> lines = SplitLines(bytes);
    ASSERT_EQ(lines.size(), 11U);
    for (const std::string& line : lines) {
        EXPECT_EQ(FieldCount(line), 3U);
    }
    EXPECT_EQ(lines[0], *EncodeCp932("ログ№,発生日時,装置状態"));
    EXPECT_EQ(lines[1], *EncodeCp932("1,2014年01月10日08時30分,ＣＰＵリスタート"));
    EXPECT_EQ(lines[3], *EncodeCp932("3,2014年01月10日08時30分,"));
    EXPECT_EQ(lines[4], *EncodeCp932("4,データ無し,"));
}

TEST_F(LogDispTest, OvgrLogFile) {
    Open();
    ASSERT_TRUE(Collect(2));
    EXPECT_EQ(m_screen->GridRows(2), 11);
    EXPECT_EQ(m_screen->GridRows(0), 101);  // the fill sets both measurement grids' rows
    EXPECT_EQ(m_screen->GridCell(2, 3, 1), QStringLiteral("データ無し"));
    m_chosen = Saved("ovgr.csv");
    Click("cmdLogExport");
    EXPECT_EQ(m_proposed, std::vector<QString>{QStringLiteral("20240115_ovgr")});
    const std::vector<std::string> lines = SplitLines(ReadAll(m_chosen));
    ASSERT_EQ(lines.size(), 11U);
    EXPECT_EQ(lines[0], *EncodeCp932("ログ№,発生日時,Ｖ０計測値,Ｉ０計測値,位相計測値,周波数,電源電圧,Ｖ０判定,"
                                     "ＩＯ判定,位相判定,Ｉ０レンジ,OVGR,位相設定"));
    EXPECT_EQ(lines[1], *EncodeCp932("1,2012年03月05日14時07分,45.6V,0.052A,63°,60Hz,有,有,有,動作,1,無,-60°～120°"));
    EXPECT_EQ(lines[3], *EncodeCp932("3,データ無し"));
}

TEST_F(LogDispTest, AbortKeepsThePreviousLog) {
    Open();
    ASSERT_TRUE(Collect(1));
    m_unit.delayMs = 150;
    Click("cmdLogInport");
    EXPECT_EQ(m_screen->GridRows(1), 178);
    EXPECT_EQ(m_screen->GridCell(1, 1, 2), QString());
    Run(400);
    Click("cmdLogInport");
    EXPECT_EQ(Button("cmdLogInport")->text(), QStringLiteral("ログ取込"));
    EXPECT_TRUE(Button("cmdLogDelete")->isEnabled());
    EXPECT_TRUE(Button("cmdLogExport")->isEnabled());
    EXPECT_EQ(Find<QLabel>("lblLogNo")->text(), QString());
    EXPECT_EQ(m_link->Data().LogBusy, 0);
    EXPECT_EQ(m_lamps.Intervals().back(), 100);
    EXPECT_EQ(m_screen->GridRows(1), 178);
    EXPECT_EQ(m_screen->GridCell(1, 1, 2), QString());
    Run(1000);  // the answer on the wire comes in and changes nothing
    EXPECT_EQ(m_screen->GridCell(1, 1, 2), QString());

    // 178 empty rows would save as lines of two commas: nothing is saved.
    m_chosen = Saved("empty.csv");
    Click("cmdLogExport");
    EXPECT_TRUE(m_proposed.empty());
    EXPECT_FALSE(QFileInfo::exists(m_chosen));

    SelectTab(0);
    SelectTab(1);
    EXPECT_EQ(m_screen->GridRows(1), 11);
    EXPECT_EQ(m_screen->GridCell(1, 1, 2), QStringLiteral("ＣＰＵリスタート"));
}

TEST_F(LogDispTest, FailureReportedOnceAfterTheCollectionEnded) {
    Open();
    ASSERT_TRUE(Collect(2));
    m_unit.answers = [](int, int) { return false; };
    std::vector<QString> labels;
    SelectTab(2);
    Click("cmdLogInport");
    for (int t = 0; t < 5000 && m_notices.empty(); t += 10) {
        Step();
        if (m_now % 100 == 0) {
            labels.push_back(Find<QLabel>("lblLogNo")->text());
        }
    }
    ASSERT_EQ(m_notices.size(), 1U);
    EXPECT_EQ(m_notices[0].first, QStringLiteral("ログ収集エラー"));
    EXPECT_EQ(m_notices[0].second, QStringLiteral("ログ収集に失敗しました。"));
    EXPECT_EQ(m_busyAtNotice, 1);  // the menus stay held until the message is closed
    EXPECT_EQ(labels, (std::vector<QString>{"ログNo：1", "", "ログNo：1-1", "", "ログNo：1-2", "", "ログNo：1-3", ""}));
    EXPECT_EQ(m_unit.SendingsOf(1), 4 + 1);  // four here, one in the first collection
    Run(2000);
    EXPECT_EQ(m_notices.size(), 1U);
    EXPECT_EQ(m_screen->GridRows(2), 178);
    SelectTab(0);
    SelectTab(2);
    EXPECT_EQ(m_screen->GridRows(2), 11);
    EXPECT_EQ(m_screen->GridCell(2, 1, 1), QStringLiteral("2012年03月05日14時07分"));
}

TEST_F(LogDispTest, FailureMessageOpensAfterTheTickAndClosingItGivesTheButtonsBack) {
    Open();
    m_screen->SetNotice(
        [this](const QString& title, const QString& text) { ShowWarningBox(m_screen.get(), title, text); });
    struct Seen {
        QString title;
        QString text;
        bool inTick = false;
        std::int16_t busy = -1;
        QString inport;
    };
    std::vector<Seen> boxes;
    // Closes every message box that comes up, wherever its modal loop runs.
    QTimer closer;
    closer.setInterval(10);
    QObject::connect(&closer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            return;
        }
        boxes.push_back(
            {box->windowTitle(), box->text(), m_inTick, m_link->Data().LogBusy, Button("cmdLogInport")->text()});
        box->button(QMessageBox::Ok)->click();
    });
    closer.start();
    m_unit.answers = [](int, int) { return false; };
    SelectTab(0);
    Click("cmdLogInport");
    for (int t = 0; t < 5000 && Supervision()->isActive(); t += 10) {
        Step();
    }
    ASSERT_FALSE(Supervision()->isActive());
    EXPECT_TRUE(boxes.empty()) << "not opened inside the tick";
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    Step();  // the window's next turn
    closer.stop();
    ASSERT_EQ(boxes.size(), 1U);
    EXPECT_EQ(boxes[0].title, QStringLiteral("ログ収集エラー"));
    EXPECT_EQ(boxes[0].text, QStringLiteral("ログ収集に失敗しました。"));
    EXPECT_FALSE(boxes[0].inTick);
    EXPECT_EQ(boxes[0].busy, 1);
    EXPECT_EQ(boxes[0].inport, QStringLiteral("読み込み中止"));
    // Closed: the collection has wound down and the buttons are back.
    EXPECT_FALSE(m_link->Collection().Failed());
    EXPECT_EQ(m_link->Data().LogBusy, 0);
    EXPECT_EQ(m_lamps.ConnectInterval(), 100);
    EXPECT_EQ(Button("cmdLogInport")->text(), QStringLiteral("ログ取込"));
    EXPECT_TRUE(Button("cmdLogExport")->isEnabled());
    EXPECT_TRUE(Find<QTabWidget>("SSTab1")->isEnabled());
    EXPECT_EQ(m_lamps.Count("CollectionStopped"), 1);
    Run(1000);
    EXPECT_EQ(boxes.size(), 1U);
}

TEST_F(LogDispTest, WindowGoingBeforeItsFailureMessageLeavesNothingBehind) {
    Open();
    m_unit.answers = [](int, int) { return false; };
    Click("cmdLogInport");
    for (int t = 0; t < 5000 && Supervision()->isActive(); t += 10) {
        Step();
    }
    ASSERT_TRUE(m_link->Collection().Failed());
    m_screen.reset();  // the message was queued, not yet shown
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(m_notices.empty());
    EXPECT_FALSE(m_link->Collection().Failed());
    EXPECT_EQ(m_link->Data().LogBusy, 0);
    EXPECT_EQ(m_link->Data().ReqCode, kReqNone);
    EXPECT_EQ(m_lamps.ConnectInterval(), 100);
}

TEST_F(LogDispTest, ClearAsksFirst) {
    Open();
    struct Case {
        int tab;
        std::int16_t answer;
        std::uint8_t reqCode;
    };
    for (const Case& c : {Case{0, 2, 0}, Case{0, 1, 1}, Case{2, 1, 2}}) {
        m_link->Data().ReqCode = 0;
        m_questions.clear();
        m_answer = c.answer;
        SelectTab(c.tab);
        Click("cmdLogDelete");
        ASSERT_EQ(m_questions.size(), 1U);
        EXPECT_EQ(m_questions[0].first, QStringLiteral("確認"));
        EXPECT_EQ(m_questions[0].second, QStringLiteral("本体内のログが消去されます。\r\nよろしいですか？"));
        EXPECT_EQ(m_link->Data().ReqCode, c.reqCode);
    }
}

// Only the collection and the commands write the shared records: opening the window, going through its tabs
// and a clear the user cancels leave the collection's counters and the request mailbox as they were.
TEST_F(LogDispTest, OpeningAndBrowsingWriteNothingOfTheDeviceData) {
    m_link->Data().LogWaitTicks = 1;
    m_link->Data().LogRetryCount = 2;
    m_link->Data().ReqCode = kReqNone;
    Open();
    m_answer = 2;
    for (const int tab : {1, 2, 0}) {
        SelectTab(tab);
        Click("cmdLogDelete");
    }
    EXPECT_EQ(m_link->Data().LogWaitTicks, 1);
    EXPECT_EQ(m_link->Data().LogRetryCount, 2);
    EXPECT_EQ(m_link->Data().ReqCode, kReqNone);
    EXPECT_EQ(m_link->Data().LogBusy, 0);
}

TEST_F(LogDispTest, SaveAsksBeforeOverwriting) {
    Open();
    ASSERT_TRUE(Collect(2));
    m_chosen = Saved("old.csv");
    {
        std::ofstream old(std::filesystem::path(m_chosen.toStdString()), std::ios::binary);
        old << "old contents";
    }
    m_answer = 2;
    Click("cmdLogExport");
    ASSERT_EQ(m_questions.size(), 1U);
    EXPECT_EQ(m_questions[0].first, QStringLiteral("確認"));
    EXPECT_EQ(m_questions[0].second, QStringLiteral("既に同じファイル名「") + m_chosen +
                                         QStringLiteral("」が存在します。 \r\n上書きしますか？"));
    EXPECT_EQ(ReadAll(m_chosen), "old contents");

    m_answer = 1;
    Click("cmdLogExport");
    EXPECT_EQ(SplitLines(ReadAll(m_chosen)).size(), 11U);
    EXPECT_TRUE(m_notices.empty());

    m_chosen.clear();  // the dialog cancelled
    Click("cmdLogExport");
    EXPECT_EQ(m_proposed.size(), 3U);
    EXPECT_EQ(m_questions.size(), 2U);
}

TEST_F(LogDispTest, ANameTypedWithoutExtensionIsSavedAndAskedAboutAsCsv) {
    m_realSaveDialog = true;
    Open();
    ASSERT_TRUE(Collect(2));
    const QString withExtension = Saved("visit.csv");
    {
        std::ofstream old(std::filesystem::path(withExtension.toStdString()), std::ios::binary);
        old << "old contents";
    }
    QString proposed;
    WhenModalShows<QFileDialog>([&](QFileDialog* dialog) {
        auto* field = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        proposed = field->text();
        field->setText(Saved("visit"));
        QTest::keyClick(field, Qt::Key_Return);
    });
    m_answer = 1;
    Click("cmdLogExport");
    EXPECT_EQ(proposed, QStringLiteral("20240115_ovgr"));
    ASSERT_EQ(m_questions.size(), 1U);
    EXPECT_EQ(m_questions[0].second, QStringLiteral("既に同じファイル名「") + withExtension +
                                         QStringLiteral("」が存在します。 \r\n上書きしますか？"));
    EXPECT_EQ(SplitLines(ReadAll(withExtension)).size(), 11U);
    EXPECT_FALSE(QFileInfo::exists(Saved("visit")));
}

TEST_F(LogDispTest, ButtonsKeepTheirPlacesOnEveryTab) {
    Open();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_screen.get()));
    const char* names[] = {"cmdLogInport", "cmdLogDelete", "cmdLogExport"};
    auto places = [&] {
        m_screen->layout()->activate();
        std::vector<int> x;
        for (const char* name : names) {
            x.push_back(Button(name)->mapTo(m_screen.get(), QPoint(0, 0)).x());
        }
        return x;
    };
    const std::vector<int> first = places();
    for (int tab : {1, 2, 0}) {
        SelectTab(tab);
        EXPECT_EQ(places(), first) << "tab " << tab;
    }
    // A collection's progress bar comes and goes without moving them either.
    Click("cmdLogInport");
    Run(200);
    EXPECT_TRUE(Find<QProgressBar>("prgLogNo")->isVisible());
    EXPECT_EQ(places(), first);
}

TEST_F(LogDispTest, EnterOnTheFocusedButtonPressesIt) {
    Open();
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
        QPushButton* inport = Button("cmdLogInport");
        inport->setFocus();
        QTest::keyClick(inport, key, key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
        EXPECT_EQ(m_link->Data().LogBusy, 1) << "starts";
        QTest::keyClick(inport, key, key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
        EXPECT_EQ(m_link->Data().LogBusy, 0) << "aborts";
    }
}

TEST_F(LogDispTest, ProgressBarShowsTheRecordOfTheLogWhileCollecting) {
    Open();
    auto* bar = Find<QProgressBar>("prgLogNo");
    ASSERT_NE(bar, nullptr);
    EXPECT_FALSE(bar->isVisible());
    struct Case {
        int tab;
        int records;
    };
    for (const Case c : {Case{0, 100}, Case{1, 10}}) {
        m_unit.delayMs = 95;  // one record per supervision tick, none asked twice
        SelectTab(c.tab);
        Click("cmdLogInport");
        EXPECT_TRUE(bar->isVisible());
        EXPECT_EQ(bar->maximum(), c.records);
        std::vector<int> values;
        while (Supervision()->isActive() && m_now < 600000) {
            Step();
            const QString label = Find<QLabel>("lblLogNo")->text();
            if (label.startsWith(QStringLiteral("ログNo："))) {
                // The label keeps its text; the bar stands at the record the label names.
                EXPECT_EQ(label, QStringLiteral("ログNo：%1").arg(bar->value())) << c.tab;
                if (values.empty() || values.back() != bar->value()) {
                    values.push_back(bar->value());
                }
            }
        }
        EXPECT_FALSE(bar->isVisible()) << c.tab;
        ASSERT_FALSE(values.empty());
        EXPECT_TRUE(std::is_sorted(values.begin(), values.end())) << c.tab;
        EXPECT_EQ(values.front(), 1);
        EXPECT_EQ(values.back(), c.records);
    }
}

TEST_F(LogDispTest, SaveNothingWithoutALog) {
    Open();
    m_chosen = Saved("nothing.csv");
    for (int tab : {0, 1, 2}) {
        SelectTab(tab);
        Click("cmdLogExport");
    }
    EXPECT_TRUE(m_proposed.empty());
    EXPECT_FALSE(QFileInfo::exists(m_chosen));
}

TEST_F(LogDispTest, FailedSaveIsReportedAndLeavesNothing) {
    Open();
    ASSERT_TRUE(Collect(1));
    const QString blocker = Saved("plain-file");
    {
        std::ofstream file(std::filesystem::path(blocker.toStdString()));
        file << "x";
    }
    m_chosen = blocker + QStringLiteral("/log.csv");  // its folder is a regular file
    Click("cmdLogExport");
    ASSERT_EQ(m_notices.size(), 1U);
    EXPECT_EQ(m_notices[0].first, QStringLiteral("保存エラー"));
    EXPECT_TRUE(m_notices[0].second.contains(m_chosen)) << m_notices[0].second.toStdString();
    EXPECT_EQ(ReadAll(blocker), "x");
    EXPECT_EQ(QDir(m_folder.path()).entryList(QDir::Files | QDir::NoDotAndDotDot), QStringList{"plain-file"});
}

TEST_F(LogDispTest, ClosingDuringACollectionEndsIt) {
    Open();
    m_unit.delayMs = 150;
    Click("cmdLogInport");
    Run(300);
    ASSERT_EQ(m_link->Data().LogBusy, 1);
    m_screen->close();
    EXPECT_EQ(m_link->Data().LogBusy, 0);
    EXPECT_EQ(m_link->Data().ReqCode, 0);
    EXPECT_EQ(m_lamps.Intervals().back(), 100);
    EXPECT_FALSE(Supervision()->isActive());
    const std::size_t sent = m_unit.RecordRequests().size();
    Run(1000);  // the late answer reaches no handler
    EXPECT_EQ(m_unit.RecordRequests().size(), sent);
    EXPECT_EQ(m_link->Data().LogLines[m_unit.RecordRequests().back()], "");

    // Going away without a close works the same.
    m_screen.reset();
    Open();
    Click("cmdLogInport");
    Run(300);
    m_screen.reset();
    EXPECT_EQ(m_link->Data().LogBusy, 0);
    EXPECT_EQ(m_lamps.Intervals().back(), 100);
}

TEST_F(LogDispTest, ANewWindowKeepsTheRecordsWhenTheOldOneCloses) {
    Open();
    auto old = std::move(m_screen);
    Open();  // created while the old one is still open, as the main window replaces its child
    old->close();
    m_screen->show();
    old.reset();
    ASSERT_TRUE(Collect(1));
    EXPECT_EQ(m_screen->GridRows(1), 11);
    EXPECT_TRUE(m_notices.empty());
}

// The collection tells the window to start or stop its supervision timer from inside a call the window made
// (its button, its timer's tick); the window changes the timer only once that call has returned.
class CallingBackCollection final : public LogCollectionWatch, public UnitCommands {
  public:
    void AttachView(LogCollectionView& view) override { m_view = &view; }
    void DetachView(const LogCollectionView& /*view*/) override { m_view = nullptr; }
    void SupervisionTick() override { tell(Supervision::Stopped); }
    void AcknowledgeFailure() override {}
    [[nodiscard]] bool Running() const override { return m_running; }
    [[nodiscard]] bool Failed() const override { return false; }
    CommandResult WriteSettings(const SettingsRecord& /*settings*/) override { return CommandResult::NotApplicable; }
    CommandResult Initialise() override { return CommandResult::NotApplicable; }
    CommandResult ClearLog(LogKind /*kind*/) override { return CommandResult::NotApplicable; }
    CommandResult StartCollection(LogKind /*kind*/) override {
        tell(Supervision::Running);
        return CommandResult::Queued;
    }
    CommandResult AbortCollection() override { return CommandResult::NotApplicable; }

    std::function<bool()> timerActive;
    std::vector<bool> activeInsideCalls;

  private:
    void tell(Supervision state) {
        m_running = state == Supervision::Running;
        m_view->SetSupervision(state);
        activeInsideCalls.push_back(timerActive());
    }
    LogCollectionView* m_view = nullptr;
    bool m_running = false;
};

TEST(LogDispSupervision, TheTimerChangesOnlyAfterTheCollectionsCallHasReturned) {
    DeviceData data;
    CallingBackCollection collection;
    frmLogDisp screen(data, collection, collection);
    auto* timer = screen.findChild<QTimer*>(QStringLiteral("tmrComLog"));
    ASSERT_NE(timer, nullptr);
    collection.timerActive = [timer] { return timer->isActive(); };

    screen.cmdLogInport_Click();
    EXPECT_TRUE(timer->isActive());
    screen.tmrComLog_Timer();
    EXPECT_FALSE(timer->isActive());
    EXPECT_EQ(collection.activeInsideCalls, (std::vector<bool>{false, true}));
}

}  // namespace
}  // namespace tessarin::test
