#include "ui/trend_window.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>
#ifndef _WIN32
#include <sys/resource.h>

#include <csignal>
#endif

#include "data/csv_export.h"
#include "data/protocol_codes.h"
#include "link/response_frames.h"
#ifdef TESSARIN_TESTS_HAVE_SIM
#include "sim/simulated_unit.h"
#endif
#include "ui_test_support.h"

namespace tessarin {
namespace {

constexpr int kPatienceMs = 20000;

NowValueRecord answerAt(int second, unsigned i0Tenths, PhaseShown phase) {
    NowValueRecord now;
    NowValueNumbers& n = now.Numbers;
    n.valid = true;
    n.receivedAt = std::chrono::system_clock::time_point(std::chrono::seconds(1'800'000'000 + second));
    n.v0ThresholdTenths = 381;
    n.i0ThresholdMilliamps = 15;
    n.measured = {456, false, i0Tenths, false, 450, phase};
    return now;
}

bool isPhaseGreen(QRgb pixel) { return qGreen(pixel) > 100 && qRed(pixel) < 80 && qBlue(pixel) < 110; }

TEST(TrendWindow, HiddenPhaseAndOverRangeAreGapsNotZeros) {
    frmTrend window;
    TrendPlot& plot = *window.Plot();
    plot.resize(600, 420);
    // Phase shown, then two "**" answers, then shown again.
    const PhaseShown phases[] = {PhaseShown::Angle, PhaseShown::NotShown, PhaseShown::NotShown, PhaseShown::Angle};
    for (int i = 0; i < 4; ++i) {
        window.ShowAnswer(answerAt(i * 30, 180, phases[i]));
    }
    const QImage image = plot.grab().toImage();
    // Between the first two samples no phase line is drawn, neither at 45° nor at 0°.
    const QPointF first = plot.SamplePoint(2, 0, 45.0);
    const QPointF second = plot.SamplePoint(2, 1, 45.0);
    const QPointF middle = (first + second) / 2;
    EXPECT_FALSE(isPhaseGreen(image.pixel(middle.toPoint())));
    EXPECT_FALSE(isPhaseGreen(image.pixel(plot.SamplePoint(2, 1, 0.0).toPoint())));
    // A run of numbers is a line.
    frmTrend steady;
    steady.Plot()->resize(600, 420);
    for (int i = 0; i < 4; ++i) {
        steady.ShowAnswer(answerAt(i * 30, 180, PhaseShown::Angle));
    }
    const QImage drawn = steady.Plot()->grab().toImage();
    const QPointF between = (steady.Plot()->SamplePoint(2, 0, 45.0) + steady.Plot()->SamplePoint(2, 1, 45.0)) / 2;
    EXPECT_TRUE(isPhaseGreen(drawn.pixel(between.toPoint())));
}

TEST(TrendWindow, PauseFreezesThePictureAndResumeCatchesUp) {
    frmTrend window;
    auto* pause = window.findChild<QPushButton*>(QStringLiteral("cmdPause"));
    ASSERT_NE(pause, nullptr);
    window.ShowAnswer(answerAt(0, 180, PhaseShown::Angle));
    QTest::mouseClick(pause, Qt::LeftButton);
    EXPECT_TRUE(window.Paused());
    EXPECT_EQ(pause->text(), QStringLiteral("再開"));
    QTest::mouseClick(pause, Qt::LeftButton);
    EXPECT_FALSE(window.Paused());
    EXPECT_EQ(pause->text(), QStringLiteral("一時停止"));
}

#ifndef _WIN32
// While it lives no file may grow: the next line of a recording fails to be written (EFBIG; the signal
// that would end the program is ignored).
class FileGrowthStop {
  public:
    FileGrowthStop() : m_handler(std::signal(SIGXFSZ, SIG_IGN)) {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        rlimit stopped = m_saved;
        stopped.rlim_cur = 0;
        setrlimit(RLIMIT_FSIZE, &stopped);
    }
    ~FileGrowthStop() {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_handler);
    }
    FileGrowthStop(const FileGrowthStop&) = delete;
    FileGrowthStop& operator=(const FileGrowthStop&) = delete;
    FileGrowthStop(FileGrowthStop&&) = delete;
    FileGrowthStop& operator=(FileGrowthStop&&) = delete;

  private:
    rlimit m_saved{};
    void (*m_handler)(int);
};

// A recording that fails at an answer is told once, after the link's delivery of that answer has returned:
// the message's modal loop must not run the link's ticks inside the one that took the answer in.
TEST(TrendWindow, AWriteFailureIsToldOnceAfterTheAnswersDeliveryReturned) {
    test::FakeLine line;
    auto window = test::MakeFakeWindow("COM3", &line);
    line.port->OnWrite([&line](const std::vector<std::uint8_t>& request) {
        if (request.size() > 1 && request[1] == kReqPoll) {
            line.port->Deliver(test::ResponseFrame(kRespNowValue, std::vector<std::uint8_t>(24, 0x00)));
        }
    });
    window->mnuTrend_Click();
    frmTrend* trend = window->TrendWindow();
    ASSERT_NE(trend, nullptr);
    // How deep the link's deliveries of current-value answers are nested: counted before the trend window
    // hears of one and after.
    int depth = 0;
    int deepest = 0;
    int answers = 0;
    QObject::connect(&window->Driver(), &LinkDriver::frameReceived, trend, [&](const QByteArray& frame, bool valid) {
        if (valid && frame.size() > 1 && static_cast<std::uint8_t>(frame[1]) == kRespNowValue) {
            deepest = std::max(deepest, ++depth);
        }
    });
    QObject::connect(&window->Driver(), &LinkDriver::nowValueReceived, trend, [&] {
        --depth;
        ++answers;
    });
    int notices = 0;
    int depthAtNotice = -1;
    bool answeredWhileUp = false;
    trend->SetNotice([&](const QString& message) {
        ++notices;
        depthAtNotice = depth;
        EXPECT_TRUE(message.startsWith(QStringLiteral("記録ファイルに書き込めないため、記録を停止しました。")));
        const int before = answers;  // the link goes on while the message is up, as under its modal loop
        answeredWhileUp = QTest::qWaitFor([&] { return answers > before; }, kPatienceMs);
    });
    QTemporaryDir folder;
    trend->SetFileChooser([&] { return folder.filePath(QStringLiteral("rec.csv")); });
    trend->cmdRecord_Click();
    ASSERT_TRUE(trend->Recording());
    {
        const FileGrowthStop full;
        ASSERT_TRUE(QTest::qWaitFor([&] { return notices == 1; }, kPatienceMs));
    }
    EXPECT_FALSE(trend->Recording());
    EXPECT_EQ(depthAtNotice, 0);
    EXPECT_TRUE(answeredWhileUp);
    EXPECT_EQ(deepest, 1) << "an answer was delivered inside another one's delivery";
    const int answersSoFar = answers;
    ASSERT_TRUE(QTest::qWaitFor([&] { return answers > answersSoFar; }, kPatienceMs));
    EXPECT_EQ(notices, 1);
    EXPECT_EQ(window->StatusPanel(4)->text(), QString());
}
#endif

#ifdef TESSARIN_TESTS_HAVE_SIM
std::string readBytes(const QString& path) {
    std::ifstream in(path.toStdString(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(TrendWindow, RecordsEveryAnswerOfTheSimulatedUnit) {
    sim::SimOptions options;
    options.pacing = false;
    sim::SimulatedUnit unit(options);
    ASSERT_TRUE(unit.Start());
    unit.SetFrozenValues(true);
    frmMidMain window(test::TestPictureFolder());
    window.SetQuitFunction([] {});
    window.mnuTrend_Click();
    frmTrend* trend = window.TrendWindow();
    ASSERT_NE(trend, nullptr);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return window.StatusPanel(1)->text() == QStringLiteral("ON LINE"); }, kPatienceMs));

    QTemporaryDir folder;
    const QString target = folder.filePath(QStringLiteral("rec.csv"));
    trend->SetFileChooser([&] { return target; });
    QStringList notices;
    trend->SetNotice([&](const QString& message) { notices << message; });
    trend->cmdRecord_Click();
    ASSERT_TRUE(trend->Recording());
    EXPECT_EQ(window.StatusPanel(4)->text(), QString::fromUtf8(kRecordingMark));
    EXPECT_TRUE(trend->findChild<QLabel*>(QStringLiteral("lblRecording"))->isVisibleTo(trend));

    // Wait for three answers: each is on disk as soon as it came.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const std::string bytes = readBytes(target);
            return std::count(bytes.begin(), bytes.end(), '\n') >= 4;
        },
        kPatienceMs));
    trend->cmdRecord_Click();
    EXPECT_FALSE(trend->Recording());
    EXPECT_EQ(window.StatusPanel(4)->text(), QString());

    const std::string bytes = readBytes(target);
    EXPECT_EQ(bytes.rfind(EncodeCp932(RecordingHeader()).value() + "\r\n", 0), 0U);
    // Every line: CR LF, the time to the millisecond, then as many texts as the header has titles, the
    // unit's frozen measurements among them.
    const QStringList lines = QString::fromStdString(bytes).split(QStringLiteral("\r\n"));
    ASSERT_GE(lines.size(), 4);
    EXPECT_TRUE(lines.back().isEmpty());
    const qsizetype fields = QString::fromStdString(RecordingHeader()).count(QLatin1Char(','));
    const QString v0 = QString::fromStdString(window.Data().NowValue.V0Text);
    for (qsizetype i = 1; i + 1 < lines.size(); ++i) {
        const QString time = lines[i].left(23);
        EXPECT_TRUE(QDateTime::fromString(time, QStringLiteral("yyyy/MM/dd HH:mm:ss.zzz")).isValid())
            << time.toStdString();
        EXPECT_EQ(lines[i].count(QLatin1Char(',')), fields);
        EXPECT_EQ(lines[i].section(QLatin1Char(','), 1, 1), v0);
    }
    EXPECT_EQ(bytes.find('\n'), bytes.find("\r\n") + 1);
    EXPECT_TRUE(notices.isEmpty());

    // A target that cannot be created gives a message; the link goes on.
    trend->SetFileChooser([&] { return folder.filePath(QStringLiteral("missing/rec.csv")); });
    trend->cmdRecord_Click();
    EXPECT_FALSE(trend->Recording());
    ASSERT_EQ(notices.size(), 1);
    EXPECT_TRUE(notices[0].startsWith(QStringLiteral("記録ファイルを作成できません。")));
    // A device that takes no bytes stops a running recording at the next answer.
    trend->SetFileChooser([] { return QStringLiteral("/dev/full"); });
    trend->cmdRecord_Click();
    EXPECT_FALSE(trend->Recording());
    EXPECT_EQ(notices.size(), 2);
    EXPECT_EQ(window.StatusPanel(1)->text(), QStringLiteral("ON LINE"));
    EXPECT_EQ(window.StatusPanel(4)->text(), QString());
}

#endif  // TESSARIN_TESTS_HAVE_SIM
}  // namespace
}  // namespace tessarin
