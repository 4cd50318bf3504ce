// The visit report as a reader of the PDF sees it (pdftotext and pdffonts from poppler-utils): the header,
// the link state, the current values in the screen's order, the logs of the session; the menu command with
// its file dialog and its failures; and a whole session against the simulated unit over a pseudo-terminal.
#include "ui/visit_report.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "data/log_record_decoder.h"
#ifdef TESSARIN_TESTS_HAVE_SIM
#include "sim/simulated_unit.h"
#endif
#include "ui/frm_log_disp.h"
#include "ui/frm_mid_main.h"
#include "ui/frm_now_value.h"
#include "ui/now_value_items.h"
#include "ui_test_support.h"

namespace tessarin::test {
namespace {

constexpr int kPatienceMs = 30000;
constexpr int kCollectionPatienceMs = 90000;

// What a poppler tool prints for `pdf`; fails the test when the tool is missing.
QString popplerOutput(const char* tool, const QStringList& arguments) {
    const QString program = QStandardPaths::findExecutable(QString::fromLatin1(tool));
    EXPECT_FALSE(program.isEmpty()) << tool << " is missing (scripts/setup installs poppler-utils)";
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(60000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

// A text as it is compared: without blanks (table cells then read as their texts run together, whatever
// room the layout left between them), and with one code point for each glyph that the Japanese font shares
// between two (the PDF's text map can give only one of them back: "～" and "〜", "―" and "—").
QString comparable(QString text) {
    static const QRegularExpression blanks(QStringLiteral("[\\s\\x{3000}]"));
    text.remove(blanks);
    text.replace(QChar(0x301C), QChar(0xFF5E));
    text.replace(QChar(0x2014), QChar(0x2015));
    return text;
}

// The report is read back with poppler's tools, which a Windows test program has not got: there the PDF that
// the program writes under Wine is read back on the Linux side (scripts/windows-test).
#ifdef _WIN32
#define SKIP_WITHOUT_POPPLER()                                                                \
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty()) {              \
        GTEST_SKIP() << "no pdftotext here: the report is read back by scripts/windows-test"; \
    }
#else
#define SKIP_WITHOUT_POPPLER()
#endif

// The PDF's text as pdftotext lays it out, one comparable entry per line.
struct PdfText {
    QStringList lines;
    int pages = 0;
    QString fonts;

    explicit PdfText(const QString& path) {
        const QString text = popplerOutput("pdftotext", {QStringLiteral("-layout"), path, QStringLiteral("-")});
        for (const QString& line : text.split(u'\n')) {
            lines << comparable(line);
        }
        pages = static_cast<int>(text.count(u'\f'));
        fonts = popplerOutput("pdffonts", {path});
    }
    // How many lines read exactly the cells, in order.
    int Count(const QStringList& cells) const {
        return static_cast<int>(lines.count(comparable(cells.join(QString()))));
    }
    bool Has(const QStringList& cells) const { return Count(cells) > 0; }
    bool Contains(const QString& text) const {
        return std::ranges::any_of(lines, [&](const QString& line) { return line.contains(comparable(text)); });
    }
};

QString utf8(const char* text) { return QString::fromUtf8(text); }

NowValueRecord sampleValues(bool ovgr) {
    NowValueRecord now;
    now.V0Text = "12.5V";
    now.I0Text = "0.030A";
    now.PhaseText = "45°";
    now.FreqText = "60Hz";
    now.OvgrStateText = "正常";
    now.DetectModeText = "V0 & I0 & 位相";
    now.V0LevelText = "5% (190.5V)";
    now.I0LevelText = "200mA";
    now.PhaseRangeText = "-45°～135°";
    now.DetectTimeText = "0.10秒";
    now.ConfirmCount = 3;
    now.DetectProgress = 1;
    now.AlarmOut1Text = "微地絡";
    now.AlarmOut2Text = "ＧＲ自己診断異常";
    now.CyclicDispText = "する";
    now.LogOverwriteText = "しない";
    now.OvgrModeText = ovgr ? "機能あり" : "機能なし";
    return now;
}

VisitReportFacts sampleFacts(bool online, bool values, bool ovgr, const CollectedLogs& logs) {
    VisitReportFacts facts;
    facts.createdAt = QDateTime(QDate(2024, 1, 15), QTime(9, 30, 5));
    facts.port = QStringLiteral("COM20（\\Device\\VCP0）");
    facts.version = QStringLiteral("Tessarin ﾊﾞｰｼﾞｮﾝ 1.2.3");
    facts.online = online;
    facts.valuesReceived = values;
    if (values) {
        facts.now = sampleValues(ovgr);
    }
    facts.logs = &logs;
    return facts;
}

class VisitReportFile : public ::testing::Test {
  protected:
    void SetUp() override {
        SKIP_WITHOUT_POPPLER();
        ASSERT_TRUE(m_dir.isValid());
    }
    QString Path(const char* name) const { return m_dir.filePath(QString::fromUtf8(name)); }
    PdfText Write(const VisitReportFacts& facts, const char* name = "report.pdf") {
        EXPECT_EQ(WriteVisitReport(Path(name), facts), SafeWriteStatus::Ok);
        return PdfText(Path(name));
    }

    QTemporaryDir m_dir;
    CollectedLogs m_logs;
};

TEST_F(VisitReportFile, HeaderOnEveryPageAndTheJapaneseFontEmbedded) {
    const PdfText pdf = Write(sampleFacts(true, true, true, m_logs));
    EXPECT_TRUE(pdf.Has({QStringLiteral("点検記録")}));
    EXPECT_TRUE(pdf.Has({QStringLiteral("作成日時"), QStringLiteral("2024/01/15 09:30:05")}));
    EXPECT_TRUE(pdf.Has({QStringLiteral("ポート"), QStringLiteral("COM20（\\Device\\VCP0）")}));
    EXPECT_TRUE(pdf.Has({QStringLiteral("プログラム"), QStringLiteral("Tessarin ﾊﾞｰｼﾞｮﾝ 1.2.3")}));
    EXPECT_TRUE(pdf.Has({QStringLiteral("1 / %1").arg(pdf.pages)}));
    EXPECT_EQ(pdf.Count({QStringLiteral("点検記録　COM20（\\Device\\VCP0）作成 2024/01/15 09:30:05")}), pdf.pages);
    // Every font is embedded, and one of them is a Japanese one.
    const QStringList fontLines = pdf.fonts.split(u'\n', Qt::SkipEmptyParts).mid(2);
    ASSERT_FALSE(fontLines.isEmpty()) << pdf.fonts.toStdString();
    for (const QString& line : fontLines) {
        EXPECT_TRUE(line.contains(QStringLiteral(" yes "))) << line.toStdString();
    }
    EXPECT_TRUE(pdf.fonts.contains(QStringLiteral("IPA")) || pdf.fonts.contains(QStringLiteral("CJK")))
        << pdf.fonts.toStdString();
}

struct ValuesCase {
    const char* name;
    bool online;
    bool values;
    bool ovgr;
    std::vector<const char*> notices;  // lines above the values
};

class VisitReportValues : public VisitReportFile, public ::testing::WithParamInterface<ValuesCase> {};

TEST_P(VisitReportValues, ItemsInTheScreensOrderOrANoticeInstead) {
    const ValuesCase& c = GetParam();
    const PdfText pdf = Write(sampleFacts(c.online, c.values, c.ovgr, m_logs));
    for (const char* notice : c.notices) {
        EXPECT_TRUE(pdf.Has({utf8(notice)})) << notice;
    }
    const NowValueRecord now = sampleValues(c.ovgr);
    int lastLine = -1;
    for (const NowValueGroup& group : NowValueGroups()) {
        EXPECT_EQ(pdf.Has({utf8(group.title)}), c.values) << group.title;
        for (const NowValueItem& item : group.items) {
            const QString title = utf8(item.title);
            const QString text = item.text(now);
            const bool shown = c.values && (!item.ovgrOnly || c.ovgr);
            const auto line = pdf.lines.indexOf(comparable(title + text));
            EXPECT_EQ(line >= 0, shown) << item.title;
            if (line >= 0) {
                EXPECT_GT(line, lastLine) << item.title << " comes after the item before it";
                lastLine = static_cast<int>(line);
            }
        }
    }
    EXPECT_TRUE(pdf.Contains(QStringLiteral("1回／3回")) == c.values);
    // No log collected: each says so.
    EXPECT_EQ(pdf.Count({QStringLiteral("未取得")}), 3);
}

INSTANTIATE_TEST_SUITE_P(
    States, VisitReportValues,
    ::testing::Values(
        ValuesCase{"Online", true, true, true, {}}, ValuesCase{"OnlineWithoutOvgr", true, true, false, {}},
        ValuesCase{"OffLineWithLastValues",
                   false,
                   true,
                   true,
                   {"OFF LINE：本体と通信していない状態で作成しました。", "現在値と設定値は、最後に受信した値です。"}},
        ValuesCase{"OffLineNeverReceived",
                   false,
                   false,
                   true,
                   {"OFF LINE：本体と通信していない状態で作成しました。",
                    "現在値を受信していないため、現在値と設定値は記録されていません。"}},
        ValuesCase{"OnlineNotYetReceived",
                   true,
                   false,
                   true,
                   {"現在値を受信していないため、現在値と設定値は記録されていません。"}}),
    [](const ::testing::TestParamInfo<ValuesCase>& param) { return std::string(param.param.name); });

// --- the menu command ---

class VisitReportCommand : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_window = MakeFakeWindow();
        m_window->SetVisitReportDialogs(
            {[this](const QString& proposed) {
                 m_proposed = proposed;
                 return m_answer;
             },
             [this](const QString& title, const QString& text) { m_notices << title + u'|' + text; },
             [] { return QDateTime(QDate(2024, 1, 15), QTime(9, 30, 5)); }});
    }
    QString Path(const char* name) const { return m_dir.filePath(QString::fromUtf8(name)); }

    QTemporaryDir m_dir;
    std::unique_ptr<frmMidMain> m_window;
    QString m_answer;
    QString m_proposed;
    QStringList m_notices;
};

TEST_F(VisitReportCommand, ProposesNowAndWritesTheChosenFile) {
    SKIP_WITHOUT_POPPLER();
    QFile old(Path("old.pdf"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old");
    old.close();
    m_answer = Path("old.pdf");
    m_window->mnuVisitReport_Click();
    EXPECT_EQ(m_proposed, QStringLiteral("20240115_093005.pdf"));
    EXPECT_TRUE(m_notices.isEmpty()) << m_notices.join(u'\n').toStdString();
    const PdfText pdf(m_answer);
    EXPECT_TRUE(pdf.Has({QStringLiteral("点検記録")}));
    EXPECT_TRUE(pdf.Has({utf8("OFF LINE：本体と通信していない状態で作成しました。")}));
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("old.pdf")}) << "nothing else";

    m_notices.clear();
    m_answer.clear();  // cancelled
    m_window->mnuVisitReport_Click();
    EXPECT_TRUE(m_notices.isEmpty());
}

TEST_F(VisitReportCommand, AFailedWriteSaysSoAndLeavesWhatWasThere) {
    ASSERT_TRUE(QDir(m_dir.path()).mkpath(QStringLiteral("folder/inside")));
    struct Case {
        QString target;
        const char* reason;
    };
    const Case cases[] = {
        {Path("missing/report.pdf"), "保存先にファイルを作成できません。"},
        {Path("folder"), "書き込みに失敗しました。"},
    };
    for (const Case& c : cases) {
        m_notices.clear();
        m_answer = c.target;
        m_window->mnuVisitReport_Click();
        ASSERT_EQ(m_notices.size(), 1) << c.target.toStdString();
        EXPECT_TRUE(m_notices[0].startsWith(QStringLiteral("保存エラー|点検記録「") + c.target));
        EXPECT_TRUE(m_notices[0].contains(utf8(c.reason))) << m_notices[0].toStdString();
    }
    EXPECT_TRUE(QDir(Path("folder/inside")).exists());
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), QStringList()) << "no partial file is left";
}

#ifdef TESSARIN_TESTS_HAVE_SIM
// --- a session against the simulated unit ---

class VisitReportE2e : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_runtime.Valid() && m_dir.isValid());
        sim::SimOptions options;
        options.pacing = false;
        options.seed = 7;
        m_unit = std::make_unique<sim::SimulatedUnit>(options);
        ASSERT_TRUE(m_unit->Start()) << m_unit->LastError();
        m_unit->SetOvgrFunction(true);
        m_window = std::make_unique<frmMidMain>(TestPictureFolder());
        m_window->SetQuitFunction([] {});
        m_window->SetVisitReportDialogs({[this](const QString&) { return m_answer; },
                                         [this](const QString& title, const QString&) { m_notices << title; },
                                         [this] {
                                             // The values the report is made from are read right after this.
                                             m_reported = m_window->Data().NowValue;
                                             return QDateTime::currentDateTime();
                                         }});
        ASSERT_TRUE(
            QTest::qWaitFor([this] { return m_window->Data().NowValue.OvgrModeText == "機能あり"; }, kPatienceMs));
    }
    void TearDown() override {
        m_window.reset();
        if (m_unit) {
            m_unit->Stop();
        }
    }

    // Collects the log of `tab` through the log screen the menu opens; keeps the grid's header, first and
    // last record rows (shown columns only) as the report must print them.
    void Collect(int tab) {
        m_window->mnuLogDisp_Click();
        auto* screen = qobject_cast<frmLogDisp*>(m_window->ActiveChild());
        ASSERT_NE(screen, nullptr);
        screen->findChild<QTabWidget*>(QStringLiteral("SSTab1"))->setCurrentIndex(tab);
        screen->cmdLogInport_Click();
        ASSERT_TRUE(QTest::qWaitFor([this] { return m_window->Data().LogBusy == 0; }, kCollectionPatienceMs));
        const auto* grid = screen->findChild<QTableWidget*>(QStringLiteral("mfgLogList_%1").arg(tab));
        auto row = [&](int r) {
            QStringList cells;
            for (int j = 0; j < grid->columnCount(); ++j) {
                if (!grid->isColumnHidden(j)) {
                    cells << screen->GridCell(tab, r, j);
                }
            }
            return cells;
        };
        m_gridRows[tab] = {row(0), row(1), row(screen->GridRows(tab) - 1)};
        // The report reads what was collected after the screen has gone.
        m_window->mnuNowValue_Click();
    }
    PdfText Report(const char* name) {
        m_answer = m_dir.filePath(QString::fromUtf8(name));
        m_window->mnuVisitReport_Click();
        EXPECT_TRUE(m_notices.isEmpty());
        return PdfText(m_answer);
    }

    FreshRuntimeFolder m_runtime;
    QTemporaryDir m_dir;
    std::unique_ptr<sim::SimulatedUnit> m_unit;
    std::unique_ptr<frmMidMain> m_window;
    QString m_answer;
    QStringList m_notices;
    NowValueRecord m_reported;
    std::array<std::vector<QStringList>, kLogTabCount> m_gridRows;
};

TEST_F(VisitReportE2e, AllThreeLogsOfTheSession) {
    Collect(kTabDeviceState);
    Collect(kTabOvgr);
    const PdfText small = Report("small.pdf");
    EXPECT_EQ(small.Count({QStringLiteral("未取得")}), 1) << "the 微地絡 log was not collected";

    Collect(kTabMinorFault);
    const PdfText pdf = Report("all.pdf");
    EXPECT_EQ(pdf.Count({QStringLiteral("未取得")}), 0);
    EXPECT_GT(pdf.pages, small.pages) << "the 100-record log takes pages of its own";
    EXPECT_TRUE(pdf.Has({QStringLiteral("点検記録")}));
    EXPECT_TRUE(pdf.Has({QStringLiteral("通信状態"), QStringLiteral("ON LINE")}));
    const QString port = QStringLiteral("COM%1（%2）")
                             .arg(m_window->Data().PortNo)
                             .arg(QString::fromStdString(m_window->Data().PortDevName));
    EXPECT_TRUE(pdf.Has({QStringLiteral("ポート"), port})) << port.toStdString();
    const QString head = comparable(QStringLiteral("点検記録　") + port + QStringLiteral("作成"));
    EXPECT_EQ(std::ranges::count_if(pdf.lines, [&](const QString& line) { return line.startsWith(head); }), pdf.pages)
        << "the running head on every page";
    for (const NowValueGroup& group : NowValueGroups()) {
        for (const NowValueItem& item : group.items) {
            EXPECT_TRUE(pdf.Has({utf8(item.title), item.text(m_reported)}))
                << item.title << " " << item.text(m_reported).toStdString();
        }
    }
    for (int tab = 0; tab < kLogTabCount; ++tab) {
        for (const QStringList& row : m_gridRows[tab]) {
            EXPECT_TRUE(pdf.Has(row)) << tab << ": " << row.join(u',').toStdString();
        }
    }
    // The 微地絡 table goes on over pages, its header repeated on each.
    const int continued = pdf.Count({QStringLiteral("微地絡ログ（続き）")});
    EXPECT_GE(continued, 1);
    EXPECT_EQ(pdf.Count(m_gridRows[kTabMinorFault][0]), continued + 1);
    EXPECT_TRUE(pdf.Has({QStringLiteral("1 / %1").arg(pdf.pages)}));
    EXPECT_TRUE(pdf.Has({QStringLiteral("%1 / %1").arg(pdf.pages)}));
}

#endif  // TESSARIN_TESTS_HAVE_SIM
}  // namespace
}  // namespace tessarin::test
