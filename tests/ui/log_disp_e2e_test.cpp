// The log screen against the simulated unit over a real pseudo-terminal, with the main window's own link
// and timers: all three logs collected through the screen's buttons, a collection surviving dropped answers,
// an unplugged unit ending a collection with one failure message, and the line read whatever is awaited (a
// late answer after an abort, a stray frame, a slow unit). Each test registers its simulator in a serial-port
// list folder of its own.
#include <gtest/gtest.h>

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <array>
#include <chrono>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "sim/simulated_unit.h"
#include "ui/frm_log_disp.h"
#include "ui/frm_mid_main.h"
#include "ui_test_support.h"

namespace tessarin::test {
namespace {

constexpr int kPatienceMs = 30000;
constexpr int kCollectionPatienceMs = 90000;

class LogDispE2e : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_runtime.Valid());
        sim::SimOptions options;
        options.pacing = true;
        options.seed = 7;
        m_unit = std::make_unique<sim::SimulatedUnit>(options);
        ASSERT_TRUE(m_unit->Start()) << m_unit->LastError();
        m_unit->SetOvgrFunction(true);
        m_window = std::make_unique<frmMidMain>(TestPictureFolder());
        m_window->SetQuitFunction([] {});
        // The OVGR tab is offered only once the unit has said it has the function.
        ASSERT_TRUE(
            QTest::qWaitFor([this] { return m_window->Data().NowValue.OvgrModeText == "機能あり"; }, kPatienceMs));
        m_screen = std::make_unique<frmLogDisp>(m_window->Link().Data(), m_window->Link().Commands(),
                                                m_window->Link().Collection());
        m_screen->SetNotice([this](const QString& title, const QString& text) {
            m_notices.emplace_back(title, text);
            m_busyAtNotice = m_window->Data().LogBusy;
        });
        m_screen->show();
    }
    void TearDown() override {
        m_screen.reset();
        m_window.reset();
        if (m_unit) {
            m_unit->Stop();
        }
    }

    QPushButton* Inport() const { return m_screen->findChild<QPushButton*>(QStringLiteral("cmdLogInport")); }
    QTimer* Supervision() const { return m_screen->findChild<QTimer*>(QStringLiteral("tmrComLog")); }
    bool Running() const { return Supervision()->isActive(); }

    // Starts collecting the log of `tab` and waits until the collection has ended.
    bool Collect(int tab) {
        m_screen->findChild<QTabWidget*>(QStringLiteral("SSTab1"))->setCurrentIndex(tab);
        QTest::mouseClick(Inport(), Qt::LeftButton);
        if (!Running()) {
            return false;
        }
        return QTest::qWaitFor([this] { return !Running(); }, kCollectionPatienceMs);
    }
    std::array<std::string, 101> Store(int tab) const {
        std::array<std::string, 101> lines;
        for (int i = 0; i < 101; ++i) {
            lines[static_cast<std::size_t>(i)] = m_screen->LogStoreLine(tab, i);
        }
        return lines;
    }
    std::size_t RecordRequests(std::uint8_t code) const {
        std::size_t n = 0;
        for (const auto& request : m_unit->Requests()) {
            n += request.frame.size() > 1 && request.frame[1] == code ? 1 : 0;
        }
        return n;
    }
    // Whether every request from the first record request to the last was a record request.
    bool NoPollBetweenRecordRequests() const {
        const auto requests = m_unit->Requests();
        const auto isRecord = [](const sim::ReceivedRequest& r) {
            return r.frame.size() > 1 && r.frame[1] >= 4 && r.frame[1] <= 6;
        };
        const auto first = std::find_if(requests.begin(), requests.end(), isRecord);
        const auto last = std::find_if(requests.rbegin(), requests.rend(), isRecord).base();
        return first < last && std::all_of(first, last, isRecord);
    }
    // Record numbers asked for with `code`, oldest first.
    std::vector<int> RecordNumbers(std::uint8_t code) const {
        std::vector<int> numbers;
        for (const auto& request : m_unit->Requests()) {
            if (request.frame.size() > 3 && request.frame[1] == code) {
                numbers.push_back(request.frame[3]);
            }
        }
        return numbers;
    }
    std::vector<std::chrono::steady_clock::time_point> PollTimes() const {
        std::vector<std::chrono::steady_clock::time_point> times;
        for (const auto& request : m_unit->Requests()) {
            if (request.frame.size() > 1 && request.frame[1] == 0x00) {
                times.push_back(request.when);
            }
        }
        return times;
    }
    QString Row(int tab, int row, int columns) const {
        QStringList cells;
        for (int j = 0; j < columns; ++j) {
            cells << m_screen->GridCell(tab, row, j);
        }
        return cells.join(u',');
    }

    FreshRuntimeFolder m_runtime;
    std::unique_ptr<sim::SimulatedUnit> m_unit;
    std::unique_ptr<frmMidMain> m_window;
    std::unique_ptr<frmLogDisp> m_screen;
    std::vector<std::pair<QString, QString>> m_notices;
    std::int16_t m_busyAtNotice = -1;
};

TEST_F(LogDispE2e, AllThreeLogs) {
    // 微地絡 log: record 1 is the worked example; empty slots read データ無し; 100 requests, nothing else.
    m_unit->ClearRequests();
    ASSERT_TRUE(Collect(0));
    EXPECT_TRUE(m_notices.empty());
    EXPECT_EQ(m_window->Data().LogBusy, 0);
    EXPECT_EQ(RecordRequests(4), 100U);
    EXPECT_TRUE(NoPollBetweenRecordRequests()) << "no poll during the collection";
    EXPECT_EQ(m_screen->GridRows(0), 101);
    EXPECT_EQ(Row(0, 1, 15),
              QStringLiteral("1,確定,2012年03月05日14時07分,45.6V,0.052A,63°,60Hz,有,有,有,動作,1,1,無,-60°～120°"));
    int emptySlots = 0;
    for (int n = 1; n <= 100; ++n) {
        const std::vector<std::uint8_t> payload = m_unit->LogRecordPayload(4, n);
        ASSERT_EQ(payload.size(), 16U);
        EXPECT_EQ(m_screen->GridCell(0, n, 0), QString::number(n));
        if (payload[8] == 0xFF) {
            ++emptySlots;
            EXPECT_EQ(m_screen->GridCell(0, n, 2), QStringLiteral("データ無し")) << n;
            EXPECT_EQ(m_screen->GridCell(0, n, 3), QString()) << n;
        } else if (payload[9] == 0 && payload[10] == 0 && payload[11] == 0 && payload[12] == 0) {
            EXPECT_EQ(m_screen->GridCell(0, n, 2), QStringLiteral("20--/--/-- --:--")) << n;
        } else {
            const QString date =
                QStringLiteral("%1年%2月").arg(2000 + payload[8]).arg(payload[9], 2, 10, QLatin1Char('0'));
            EXPECT_TRUE(m_screen->GridCell(0, n, 2).startsWith(date)) << n;
            EXPECT_EQ(m_screen->GridCell(0, n, 6), QStringLiteral("%1Hz").arg(payload[7])) << n;
        }
    }
    EXPECT_GT(emptySlots, 0);

    // Device-state log: the state texts of known event bytes.
    ASSERT_TRUE(Collect(1));
    EXPECT_EQ(m_screen->GridRows(1), 11);
    for (int n = 1; n <= 10; ++n) {
        const std::vector<std::uint8_t> payload = m_unit->LogRecordPayload(6, n);
        if (payload[8] == 0xFF) {
            EXPECT_EQ(m_screen->GridCell(1, n, 1), QStringLiteral("データ無し")) << n;
            continue;
        }
        const char* expected = nullptr;
        switch (payload[15]) {
            case 0xA8:
            case 0xC0:
            case 0x80:
                expected = "ＣＰＵリスタート";
                break;
            case 0x20:
                expected = "停電検出";
                break;
            case 0x40:
                expected = "電源検出";
                break;
            case 0x10:
                expected = "自己診断異常";
                break;
            case 0x08:
            case 0x48:
                expected = "自己診断復帰";
                break;
            default:
                break;
        }
        if (expected != nullptr) {
            EXPECT_EQ(m_screen->GridCell(1, n, 2), QString::fromUtf8(expected)) << n;
        }
    }

    // OVGR log.
    ASSERT_TRUE(Collect(2));
    EXPECT_EQ(m_screen->GridRows(2), 11);
    EXPECT_EQ(m_screen->GridCell(2, 0, 12), QStringLiteral("OVGR"));
    for (int n = 1; n <= 10; ++n) {
        const std::vector<std::uint8_t> payload = m_unit->LogRecordPayload(5, n);
        EXPECT_EQ(m_screen->GridCell(2, n, 0), QString::number(n));
        EXPECT_EQ(m_screen->GridCell(2, n, 1) == QStringLiteral("データ無し"), payload[8] == 0xFF) << n;
    }
    EXPECT_TRUE(m_notices.empty());
}

TEST_F(LogDispE2e, ProgressBarFollowsTheCollectionAndHidesAtItsEnd) {
    auto* bar = m_screen->findChild<QProgressBar*>(QStringLiteral("prgLogNo"));
    auto* label = m_screen->findChild<QLabel*>(QStringLiteral("lblLogNo"));
    ASSERT_NE(bar, nullptr);
    EXPECT_FALSE(bar->isVisible());
    QTest::mouseClick(Inport(), Qt::LeftButton);
    ASSERT_TRUE(Running());
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(bar->maximum(), 100);
    // Watched from a timer of its own, as the operator would see it between the program's ticks.
    std::vector<int> seen;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (bar->isVisible() && label->text().startsWith(QStringLiteral("ログNo："))) {
            seen.push_back(bar->value());
        }
    });
    watch.start(25);
    ASSERT_TRUE(QTest::qWaitFor([this] { return !Running(); }, kCollectionPatienceMs));
    watch.stop();
    EXPECT_FALSE(bar->isVisible());
    EXPECT_TRUE(m_notices.empty());
    ASSERT_GT(seen.size(), 10U);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_GE(seen.front(), 1);
    EXPECT_GE(seen.back(), 90) << "it went all the way";
    EXPECT_LE(seen.back(), 100);
}

TEST_F(LogDispE2e, DroppedAnswersAreAskedForAgain) {
    ASSERT_TRUE(Collect(0));
    ASSERT_TRUE(Collect(1));
    const auto minorFault = Store(0);
    const auto deviceState = Store(1);

    m_unit->SetDropShare(0.3);
    m_unit->ClearRequests();
    ASSERT_TRUE(Collect(0));
    ASSERT_TRUE(m_notices.empty()) << "with this seed no record is dropped four times in a row";
    EXPECT_GT(RecordRequests(4), 110U);
    EXPECT_EQ(Store(0), minorFault);
    ASSERT_TRUE(Collect(1));
    EXPECT_TRUE(m_notices.empty());
    EXPECT_EQ(Store(1), deviceState);
}

TEST_F(LogDispE2e, UnpluggedUnitFailsOnce) {
    ASSERT_TRUE(Collect(2));
    const auto ovgr = Store(2);
    m_unit->ClearRequests();
    m_screen->findChild<QTabWidget*>(QStringLiteral("SSTab1"))->setCurrentIndex(0);
    QTest::mouseClick(Inport(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([this] { return RecordRequests(4) >= 20; }, kPatienceMs));
    m_unit->Unplug();
    // The message follows the tick that stopped the supervision.
    ASSERT_TRUE(QTest::qWaitFor([this] { return !Running() && !m_notices.empty(); }, kPatienceMs));
    ASSERT_EQ(m_notices.size(), 1U);
    EXPECT_EQ(m_notices[0].second, QStringLiteral("ログ収集に失敗しました。"));
    EXPECT_EQ(m_busyAtNotice, 1);  // the menus stay held until the message is closed
    EXPECT_EQ(m_window->Data().LogBusy, 0);
    EXPECT_EQ(Inport()->text(), QStringLiteral("ログ取込"));
    QTest::qWait(1500);
    EXPECT_EQ(m_notices.size(), 1U);
    EXPECT_EQ(m_screen->GridRows(0), 1);
    EXPECT_EQ(Store(2), ovgr);
    EXPECT_EQ(m_window->StatusPanel(1)->text(), QStringLiteral("OFF LINE"));
}

TEST_F(LogDispE2e, LateAnswerAfterAnAbortStaysOutOfTheNextCollection) {
    ASSERT_TRUE(Collect(1));
    const auto deviceState = Store(1);
    m_unit->ClearRequests();
    QTest::mouseClick(Inport(), Qt::LeftButton);
    // The unit has taken the request for record 4: its answer is on its way when the user aborts.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kPatienceMs);
    while (RecordRequests(6) < 4 && std::chrono::steady_clock::now() < deadline) {
        QCoreApplication::processEvents();
    }
    ASSERT_EQ(RecordRequests(6), 4U);
    QTest::mouseClick(Inport(), Qt::LeftButton);
    ASSERT_FALSE(Running());
    m_unit->ClearRequests();
    // Started again as soon as a person could click twice.
    QTest::qWait(100);
    QTest::mouseClick(Inport(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([this] { return !Running(); }, kCollectionPatienceMs));
    EXPECT_TRUE(m_notices.empty());
    EXPECT_EQ(RecordNumbers(6), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(Store(1), deviceState);
}

TEST_F(LogDispE2e, NothingIsSentWhileTheFailureMessageIsUp) {
    std::size_t requestsWhileUp = 0;
    bool closed = false;
    m_screen->SetNotice([&](const QString& title, const QString& text) {
        m_notices.emplace_back(title, text);
        m_busyAtNotice = m_window->Data().LogBusy;
        QTest::qWait(100);  // a request already on the line lands first
        const std::size_t before = m_unit->RequestCount();
        QTest::qWait(1500);
        requestsWhileUp = m_unit->RequestCount() - before;
        closed = true;
    });
    m_unit->SetSilent(true);
    m_screen->findChild<QTabWidget*>(QStringLiteral("SSTab1"))->setCurrentIndex(1);
    QTest::mouseClick(Inport(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return closed; }, kPatienceMs));
    ASSERT_EQ(m_notices.size(), 1U);
    EXPECT_EQ(requestsWhileUp, 0U);
    EXPECT_EQ(m_busyAtNotice, 1);
    // Closed: the polls go out again.
    m_unit->SetSilent(false);
    m_unit->ClearRequests();
    EXPECT_TRUE(QTest::qWaitFor([this] { return !PollTimes().empty(); }, 2000));
    EXPECT_EQ(m_window->Data().LogBusy, 0);
    EXPECT_EQ(Inport()->text(), QStringLiteral("ログ取込"));
    EXPECT_EQ(m_notices.size(), 1U);
}

TEST_F(LogDispE2e, AStrayFrameDoesNotPutTheCurrentValuesBehind) {
    m_unit->SetCurrentValues(111, 50, 300, 60);
    ASSERT_TRUE(QTest::qWaitFor([this] { return m_window->Data().NowValue.V0Text == "11.1V"; }, kPatienceMs));
    m_unit->SendUnsolicited(0xA4, std::vector<std::uint8_t>(16, 0x00));
    QTest::qWait(100);
    m_unit->SetCurrentValues(222, 50, 300, 60);
    m_unit->ClearRequests();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !PollTimes().empty(); }, kPatienceMs));
    // The answer to that poll is shown, not the stray frame in its place: well before the next poll.
    EXPECT_TRUE(QTest::qWaitFor([this] { return m_window->Data().NowValue.V0Text == "22.2V"; }, 300))
        << m_window->Data().NowValue.V0Text;
}

TEST_F(LogDispE2e, ASlowUnitIsPolledOnceASecond) {
    // An answer 600 ms late makes the next poll slot find the poll unanswered; the late answer must not
    // pass for the answer to the poll after it.
    m_unit->SetAnswerDelay(std::chrono::milliseconds(600));
    QTest::qWait(1500);
    m_unit->ClearRequests();
    QTest::qWait(5500);
    const auto times = PollTimes();
    ASSERT_GE(times.size(), 4U);
    std::vector<double> gaps;
    for (std::size_t i = 1; i < times.size(); ++i) {
        gaps.push_back(std::chrono::duration<double, std::milli>(times[i] - times[i - 1]).count());
    }
    std::sort(gaps.begin(), gaps.end());
    EXPECT_NEAR(gaps[gaps.size() / 2], 1000.0, 150.0);
}

}  // namespace
}  // namespace tessarin::test
