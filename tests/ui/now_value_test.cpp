// The current-value screen against hand-set NowValue records.
#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>
#include <QTimer>

#include "ui/frm_now_value.h"
#include "ui_test_support.h"

namespace tessarin::test {
namespace {

const char* const kValueLabels[] = {
    "lblV0",        "lblI0",         "lblPhase",        "lblFreq",           "lblOvgrState",    "lblDetectMode",
    "lblV0Level",   "lblI0Level",    "lblPhaseRange",   "lblDetectTime",     "lblConfirmCount", "lblAlarmOut1",
    "lblAlarmOut2", "lblCyclicDisp", "lblLogOverwrite", "lblDetectProgress", "lblOvgrMode"};
const char* const kOvgrLabels[] = {"lblOvgrStateTitle", "lblOvgrState", "lblOvgrModeTitle", "lblOvgrMode"};

QString text(const frmNowValue& screen, const char* name) {
    const auto* label = screen.findChild<QLabel*>(QString::fromUtf8(name));
    return label == nullptr ? QStringLiteral("<missing %1>").arg(QString::fromUtf8(name)) : label->text();
}

bool shown(const frmNowValue& screen, const char* name) {
    return screen.findChild<QLabel*>(QString::fromUtf8(name))->isVisibleTo(&screen);
}

NowValueRecord sampleRecord() {
    NowValueRecord now;
    now.V0Text = "12.3V";
    now.I0Text = "0.013A";
    now.PhaseText = "45°";
    now.FreqText = "60Hz";
    now.DetectProgress = 2;
    now.ConfirmCount = 5;
    now.DetectModeText = "V0 & I0 & 位相";
    now.V0LevelText = "5% (190.5V)";
    now.I0LevelText = "200mA";
    now.PhaseRangeText = "-45°～135°";
    now.DetectTimeText = "0.10秒";
    now.OvgrStateText = "検出中";
    now.AlarmOut1Text = "ＧＲ自己診断異常";
    now.AlarmOut2Text = "OVGR";
    now.CyclicDispText = "する";
    now.LogOverwriteText = "しない";
    now.OvgrModeText = "機能あり";
    return now;
}

TEST(NowValue, BeforeTheFirstResponseEverythingIsEmpty) {
    DeviceData data;
    frmNowValue screen(data);
    EXPECT_EQ(screen.windowTitle(), QStringLiteral("現在値表示"));
    EXPECT_EQ(text(screen, "lblBanner"), QStringLiteral("現在値表示"));
    for (const char* name : kValueLabels) {
        if (std::string_view(name) == "lblDetectProgress") {
            EXPECT_EQ(text(screen, name), QStringLiteral("0回／0回"));
        } else {
            EXPECT_EQ(text(screen, name), QString()) << name;
        }
    }
    for (const char* name : kOvgrLabels) {
        EXPECT_FALSE(shown(screen, name)) << name;
    }
}

TEST(NowValue, ShowsADecodedRecord) {
    DeviceData data;
    data.NowValue = sampleRecord();
    frmNowValue screen(data);
    const std::pair<const char*, const char*> expected[] = {
        {"lblV0", "12.3V"},
        {"lblI0", "0.013A"},
        {"lblPhase", "45°"},
        {"lblFreq", "60Hz"},
        {"lblOvgrState", "検出中"},
        {"lblDetectMode", "V0 & I0 & 位相"},
        {"lblV0Level", "5% (190.5V)"},
        {"lblI0Level", "200mA"},
        {"lblPhaseRange", "-45°～135°"},
        {"lblDetectTime", "0.10秒"},
        {"lblConfirmCount", " 5回"},
        {"lblAlarmOut1", "ＧＲ自己診断異常"},
        {"lblAlarmOut2", "OVGR"},
        {"lblCyclicDisp", "する"},
        {"lblLogOverwrite", "しない"},
        {"lblDetectProgress", "2回／5回"},
        {"lblOvgrMode", "機能あり"},
    };
    for (const auto& [name, value] : expected) {
        EXPECT_EQ(text(screen, name), QString::fromUtf8(value)) << name;
    }
    for (const char* name : kOvgrLabels) {
        EXPECT_TRUE(shown(screen, name)) << name;
    }
}

TEST(NowValue, OvgrItemsOnlyForAUnitWithTheFunction) {
    struct Case {
        const char* mode;
        bool shown;
    };
    for (const Case& c : {Case{"機能あり", true}, Case{"機能なし", false}, Case{"", false}, Case{"機能あり ", false}}) {
        DeviceData data;
        data.NowValue = sampleRecord();
        data.NowValue.OvgrModeText = c.mode;
        frmNowValue screen(data);
        for (const char* name : kOvgrLabels) {
            EXPECT_EQ(shown(screen, name), c.shown) << c.mode << " " << name;
        }
        // Written even while hidden; the other items stay.
        EXPECT_EQ(text(screen, "lblOvgrMode"), QString::fromUtf8(c.mode));
        EXPECT_TRUE(shown(screen, "lblFreq"));
        EXPECT_EQ(text(screen, "lblFreq"), QStringLiteral("60Hz"));
    }
}

TEST(NowValue, HidingTheOvgrItemsMovesNothingElse) {
    DeviceData data;
    data.NowValue = sampleRecord();
    frmNowValue screen(data);
    screen.show();
    auto* freq = screen.findChild<QLabel*>(QStringLiteral("lblFreq"));
    auto* progress = screen.findChild<QLabel*>(QStringLiteral("lblDetectProgress"));
    const QRect freqBefore = freq->geometry();
    const QRect progressBefore = progress->geometry();
    data.NowValue.OvgrModeText = "機能なし";
    screen.RefreshNowValue();
    QApplication::processEvents();
    EXPECT_EQ(freq->geometry(), freqBefore);
    EXPECT_EQ(progress->geometry(), progressBefore);
}

TEST(NowValue, ConfirmationCountAndProgress) {
    struct Case {
        std::uint8_t progress;
        std::uint8_t count;
        const char* countText;
        const char* progressText;
    };
    const Case cases[] = {
        {0, 0, "", "0回／0回"},         {0, 1, " 1回", "0回／1回"}, {3, 5, " 5回", "3回／5回"},
        {9, 10, "10回", "9回／10回"},   {1, 11, "", "1回／11回"},   {0, 15, "", "0回／15回"},
        {255, 9, " 9回", "255回／9回"},
    };
    for (const Case& c : cases) {
        DeviceData data;
        data.NowValue.DetectProgress = c.progress;
        data.NowValue.ConfirmCount = c.count;
        frmNowValue screen(data);
        EXPECT_EQ(text(screen, "lblConfirmCount"), QString::fromUtf8(c.countText)) << int(c.count);
        EXPECT_EQ(text(screen, "lblDetectProgress"), QString::fromUtf8(c.progressText)) << int(c.count);
    }
}

// What the operator sees of "V0 & I0" is one ampersand between V0 and I0: the label must look exactly like
// a label that takes "&" as a mnemonic marker showing the escaped "V0 && I0".
TEST(NowValue, DetectionConditionShowsOneAmpersand) {
    for (const char* mode : {"V0 & I0", "V0 & I0 & 位相"}) {
        DeviceData data;
        data.NowValue.DetectModeText = mode;
        frmNowValue screen(data);
        screen.show();
        auto* label = screen.findChild<QLabel*>(QStringLiteral("lblDetectMode"));
        EXPECT_EQ(label->text(), QString::fromUtf8(mode));

        QWidget buddy;
        auto lookalike = [&](const QString& text) {
            QLabel reference;
            reference.setBuddy(&buddy);  // with a buddy "&" is a mnemonic marker and "&&" one ampersand
            reference.setFont(label->font());
            reference.setFrameStyle(label->frameStyle());
            reference.setAlignment(label->alignment());
            reference.setAutoFillBackground(true);
            reference.setBackgroundRole(label->backgroundRole());
            reference.setPalette(label->palette());
            reference.resize(label->size());
            reference.setText(text);
            return reference.grab().toImage();
        };
        const QImage seen = label->grab().toImage();
        QString escaped = QString::fromUtf8(mode);
        escaped.replace(QStringLiteral("&"), QStringLiteral("&&"));
        EXPECT_EQ(seen, lookalike(escaped)) << mode;
        EXPECT_NE(seen, lookalike(QString::fromUtf8(mode))) << "a mnemonic reading would hide the ampersands";
    }
}

TEST(NowValue, TheDisplayTimerFollowsTheRecord) {
    DeviceData data;
    frmNowValue screen(data);
    auto* timer = screen.findChild<QTimer*>(QStringLiteral("tmrDisp"));
    ASSERT_NE(timer, nullptr);
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), 100);
    data.NowValue = sampleRecord();
    EXPECT_TRUE(QTest::qWaitFor([&] { return text(screen, "lblV0") == QStringLiteral("12.3V"); }, 3000));
    EXPECT_TRUE(shown(screen, "lblOvgrMode"));
    data.NowValue.V0Text = "*OVER*";
    EXPECT_TRUE(QTest::qWaitFor([&] { return text(screen, "lblV0") == QStringLiteral("*OVER*"); }, 3000));
    screen.close();
    EXPECT_FALSE(timer->isActive());
}

}  // namespace
}  // namespace tessarin::test
