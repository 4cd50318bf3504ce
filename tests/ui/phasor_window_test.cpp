#include "ui/phasor_window.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QLabel>
#include <array>
#include <string>
#include <vector>

#include "data/collected_logs.h"
#include "data/log_record_decoder.h"
#include "link/response_frames.h"
#include "ui_test_support.h"

namespace tessarin {
namespace {

// An answer under V0 & I0 & 位相 with thresholds 38.1 V and 15 mA, range -60°～120°.
NowValueRecord answer(unsigned v0Tenths, unsigned i0Tenths, PhaseShown phase, int phaseTenths, int mode = 0) {
    NowValueRecord now;
    NowValueNumbers& n = now.Numbers;
    n.valid = true;
    n.detectMode = mode;
    n.v0ThresholdTenths = 381;
    n.i0ThresholdMilliamps = 15;
    n.measured.v0Tenths = v0Tenths;
    n.measured.i0Tenths = i0Tenths;
    n.measured.phase = phase;
    n.measured.phaseTenths = phaseTenths;
    now.V0Text = "45.6V";
    now.I0Text = "0.018A";
    now.PhaseText = phase == PhaseShown::Angle      ? std::to_string(phaseTenths / 10) + "°"
                    : phase == PhaseShown::NotShown ? "**"
                                                    : "計測不可";
    return now;
}

bool isI0Red(QRgb pixel) { return qRed(pixel) > 150 && qGreen(pixel) < 90 && qBlue(pixel) < 90; }
bool isZone(QRgb pixel) { return qRed(pixel) == 200 && qGreen(pixel) == 235 && qBlue(pixel) == 200; }

QImage paint(PhasorDiagram& diagram, const NowValueRecord& now, std::vector<LogLinePoint> points = {},
             std::vector<std::string> lines = {}) {
    diagram.resize(460, 360);
    diagram.Show(now.Numbers, std::move(points), std::move(lines));
    return diagram.grab().toImage();
}

QRgb at(const QImage& image, QPointF point) { return image.pixel(point.toPoint()); }

TEST(PhasorWindow, ArrowAndZoneForPhasesInsideAndOutside) {
    struct Case {
        int phaseTenths;
        bool inside;
    };
    for (const Case c : {Case{450, true}, Case{1500, false}, Case{-1200, false}, Case{-500, true}}) {
        PhasorDiagram diagram;
        const QImage image = paint(diagram, answer(456, 180, PhaseShown::Angle, c.phaseTenths));
        const double degrees = c.phaseTenths / 10.0;
        // Along the shaft of the I0 arrow (18 mA), short of its head.
        EXPECT_TRUE(isI0Red(at(image, diagram.DiagramPoint(degrees, 18.0 * 0.6)))) << degrees;
        // Beside the arrow, the picture shows the zone exactly where the phase is inside.
        EXPECT_EQ(isZone(at(image, diagram.DiagramPoint(degrees + 6, 18.0 * 0.6))), c.inside) << degrees;
        // The middle of the range is always shaded, its far side never.
        EXPECT_TRUE(isZone(at(image, diagram.DiagramPoint(30, diagram.ScaleMilliamps() * 0.9))));
        EXPECT_FALSE(isZone(at(image, diagram.DiagramPoint(-150, diagram.ScaleMilliamps() * 0.9))));
    }
}

TEST(PhasorWindow, NoArrowWithoutAMeasuredPhase) {
    for (const PhaseShown phase : {PhaseShown::NotShown, PhaseShown::Unmeasurable}) {
        PhasorDiagram diagram;
        const QImage image = paint(diagram, answer(456, 180, phase, 450));
        EXPECT_FALSE(isI0Red(at(image, diagram.DiagramPoint(45, 18.0 * 0.6))));
    }
}

TEST(PhasorWindow, StateAndReadoutsAreLabels) {
    struct Case {
        NowValueRecord now;
        const char* state;
        const char* reason;
    };
    const Case cases[] = {
        {answer(456, 180, PhaseShown::Angle, 450), "動作域内", ""},
        {answer(456, 180, PhaseShown::Angle, 1500), "不成立: 位相が動作域外", ""},
        {answer(300, 100, PhaseShown::NotShown, 0), "不成立: V0が整定値未満、I0が整定値未満、位相が計測されていない",
         "位相 **: I0が13.0mA未満のため計測されない"},
        {answer(456, 180, PhaseShown::Unmeasurable, 2000, 0), "不成立: 位相が計測されていない",
         "位相 計測不可: 装置が位相を計測できなかった"},
        {answer(456, 180, PhaseShown::Unmeasurable, 2000, 1), "動作域内",
         "位相 計測不可: 装置が位相を計測できなかった"},
        {answer(100, 180, PhaseShown::NotShown, 0, 2), "動作域内", "位相 **: V0が30.0V未満のため計測されない"},
        {answer(100, 180, PhaseShown::NotShown, 0, 3), "不成立: V0が整定値未満",
         "位相 **: V0が30.0V未満のため計測されない"},
    };
    frmPhasor window(nullptr);
    auto label = [&window](const char* name) {
        return window.findChild<QLabel*>(QString::fromUtf8(name))->text().toStdString();
    };
    EXPECT_EQ(label("lblPhasorState"), "現在値待ち");
    for (const Case& c : cases) {
        window.ShowAnswer(c.now);
        EXPECT_EQ(label("lblPhasorState"), c.state) << c.now.PhaseText;
        EXPECT_EQ(label("lblPhaseReason"), c.reason) << c.now.PhaseText;
    }
    window.ShowAnswer(answer(456, 180, PhaseShown::Angle, 1234));
    EXPECT_EQ(label("lblPhasorV0"), "45.6V");
    EXPECT_EQ(label("lblPhasorPhase"), "123°");
    EXPECT_EQ(label("lblV0Margin"), "+7.5V");
    EXPECT_EQ(label("lblI0Margin"), "+3.0mA");
    EXPECT_EQ(label("lblPhaseMargin"), "域外 3.4°");
}

TEST(PhasorWindow, CollectedRecordsArePointsWithTheirLines) {
    CollectedLogs logs;
    std::array<std::string, kLogLineCount> lines;
    lines[0] = std::string(LogHeaderLine(LogKind::MinorFault));
    lines[1] = "1,確定,2012年03月05日14時07分,45.6V,0.052A,63°,60Hz,有,有,有,動作,1,1,無,-60°～120°,0,0,0,0,0";
    lines[2] = "2,検出,データ無し";
    lines[3] = "3,―,20--/--/-- --:--,45.6V,0.01A,**,60Hz,無,無,無,不動作域,1,1,無,-60°～120°,0,0,0,0,0";
    logs.Keep(LogKind::MinorFault, lines, 3, true);
    frmPhasor window(&logs);
    window.ShowAnswer(answer(456, 180, PhaseShown::Angle, 450));
    PhasorDiagram& diagram = *window.Diagram();
    diagram.resize(460, 360);
    const QImage image = diagram.grab().toImage();
    const QPointF point = diagram.DiagramPoint(63, 52);
    EXPECT_EQ(diagram.LineAt(point).toStdString(), lines[1]);
    EXPECT_EQ(QColor(at(image, point)), QColor(210, 0, 120));  // 確定
    EXPECT_TRUE(diagram.LineAt(diagram.DiagramPoint(-100, 10)).isEmpty());
}

TEST(PhasorWindow, FollowsEachCurrentValueAnswerOfTheMainWindow) {
    auto window = test::MakeFakeWindow();
    window->mnuPhasor_Click();
    frmPhasor* phasor = window->PhasorWindow();
    ASSERT_NE(phasor, nullptr);
    window->Link().Data().NowValue = answer(456, 180, PhaseShown::Angle, 450);
    window->Driver().FrameReceived(test::ResponseFrame(0xA0, std::vector<std::uint8_t>(24, 0x00)), true);
    EXPECT_EQ(phasor->findChild<QLabel*>(QStringLiteral("lblPhasorState"))->text().toStdString(), "動作域内");
    EXPECT_NE(window->Data().NowValue.Numbers.receivedAt, std::chrono::system_clock::time_point{});
    // A second command brings the same window forward.
    window->mnuPhasor_Click();
    EXPECT_EQ(window->PhasorWindow(), phasor);
}

}  // namespace
}  // namespace tessarin
