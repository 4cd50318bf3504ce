#include "ui/frm_now_value.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

#include "data/choice_tables.h"
#include "ui/twips.h"
#include "ui/ui_fonts.h"

namespace tessarin {

namespace {

constexpr int kDispIntervalMs = 100;
// Value label widths: ordinary, about 1.6 times for the longer texts, twice for the alarm outputs.
constexpr int kValueWidth = 1800;
constexpr int kValueWidthWide = 2880;
constexpr int kValueWidthDouble = 3600;
constexpr int kValueHeight = 390;

QString Text(const std::string& utf8) { return QString::fromStdString(utf8); }

QGroupBox* makeGroup(const char* title, const char* name, QVBoxLayout* into) {
    auto* group = new QGroupBox(QString::fromUtf8(title));
    group->setObjectName(QString::fromUtf8(name));
    group->setFont(UiFont(kPointSizeControls));
    auto* rows = new QVBoxLayout(group);
    rows->setSpacing(8);
    into->addWidget(group);
    return group;
}

QHBoxLayout* addRow(QGroupBox* group) {
    auto* row = new QHBoxLayout;
    row->setSpacing(12);
    static_cast<QVBoxLayout*>(group->layout())->addLayout(row);
    return row;
}

}  // namespace

frmNowValue::frmNowValue(const DeviceData& deviceData, QWidget* parent) : QWidget(parent), m_data(deviceData) {
    setObjectName(QStringLiteral("frmNowValue"));
    setWindowTitle(QString::fromUtf8(kNowValueCaption));
    setFont(UiFont(kPointSizeControls));

    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(12, 8, 12, 12);
    page->setSpacing(8);

    auto* banner = new QLabel(QString::fromUtf8(kNowValueCaption));
    banner->setObjectName(QStringLiteral("lblBanner"));
    banner->setFont(UiFont(kPointSizeBanner, true));
    page->addWidget(banner);

    QGroupBox* measure = makeGroup("計測値", "fraMeasure", page);
    QHBoxLayout* row = addRow(measure);
    m_lblV0 = addPair(row, "零相電圧 Vo", "lblV0Title", "lblV0", kValueWidth);
    m_lblI0 = addPair(row, "零相電流 Ｉo", "lblI0Title", "lblI0", kValueWidth);
    m_lblPhase = addPair(row, "位相", "lblPhaseTitle", "lblPhase", kValueWidth);
    m_lblFreq = addPair(row, "電源周波数", "lblFreqTitle", "lblFreq", kValueWidth);
    m_lblOvgrState = addPair(row, "ＯＶＧＲ", "lblOvgrStateTitle", "lblOvgrState", kValueWidth);
    m_lblOvgrStateTitle = findChild<QLabel*>(QStringLiteral("lblOvgrStateTitle"));

    QGroupBox* setting = makeGroup("設定値", "fraSetting", page);
    row = addRow(setting);
    m_lblDetectMode = addPair(row, "微地絡検出条件", "lblDetectModeTitle", "lblDetectMode", kValueWidthWide);
    m_lblV0Level = addPair(row, "Ｖｏしきい値", "lblV0LevelTitle", "lblV0Level", kValueWidth);
    m_lblI0Level = addPair(row, "Ｉｏしきい値", "lblI0LevelTitle", "lblI0Level", kValueWidth);
    m_lblPhaseRange = addPair(row, "動作位相範囲", "lblPhaseRangeTitle", "lblPhaseRange", kValueWidthWide);
    row = addRow(setting);
    m_lblDetectTime = addPair(row, "微地絡検出時間", "lblDetectTimeTitle", "lblDetectTime", kValueWidth);
    m_lblConfirmCount = addPair(row, "微地絡確定回数", "lblConfirmCountTitle", "lblConfirmCount", kValueWidth);
    m_lblAlarmOut1 = addPair(row, "a11-a12警報出力", "lblAlarmOut1Title", "lblAlarmOut1", kValueWidthDouble);
    m_lblAlarmOut2 = addPair(row, "a21-a22警報出力", "lblAlarmOut2Title", "lblAlarmOut2", kValueWidthDouble);

    QGroupBox* other = makeGroup("その他", "fraOther", page);
    row = addRow(other);
    m_lblCyclicDisp = addPair(row, "サイクリック表示", "lblCyclicDispTitle", "lblCyclicDisp", kValueWidth);
    m_lblLogOverwrite = addPair(row, "ログ上書き", "lblLogOverwriteTitle", "lblLogOverwrite", kValueWidth);
    m_lblDetectProgress =
        addPair(row, "微地絡検出の途中経過", "lblDetectProgressTitle", "lblDetectProgress", kValueWidthWide);
    m_lblOvgrMode = addPair(row, "ＯＶＧＲモード", "lblOvgrModeTitle", "lblOvgrMode", kValueWidth);
    m_lblOvgrModeTitle = findChild<QLabel*>(QStringLiteral("lblOvgrModeTitle"));

    // Rows start at the left edge of their group.
    for (QGroupBox* group : {measure, setting, other}) {
        QLayout* rows = group->layout();
        for (int i = 0; i < rows->count(); ++i) {
            if (auto* line = qobject_cast<QHBoxLayout*>(rows->itemAt(i)->layout())) {
                line->addStretch(1);
            }
        }
    }
    page->addStretch(1);

    // Form_Load: the first refresh comes before the window is shown.
    RefreshNowValue();
    m_tmrDisp = new QTimer(this);
    m_tmrDisp->setObjectName(QStringLiteral("tmrDisp"));
    m_tmrDisp->setInterval(kDispIntervalMs);
    connect(m_tmrDisp, &QTimer::timeout, this, &frmNowValue::RefreshNowValue);
    m_tmrDisp->start();
}

frmNowValue::~frmNowValue() = default;

QLabel* frmNowValue::addPair(QHBoxLayout* row, const char* title, const char* titleName, const char* valueName,
                             int valueWidthTwips) {
    auto* pair = new QVBoxLayout;
    pair->setSpacing(2);

    auto* titleLabel = new QLabel(QString::fromUtf8(title));
    titleLabel->setObjectName(QString::fromUtf8(titleName));
    titleLabel->setTextFormat(Qt::PlainText);

    // Values are plain text: an "&" in a reported text is an ampersand, never a mnemonic marker
    // (the labels have no buddy), and nothing is read as markup.
    auto* value = new QLabel;
    value->setObjectName(QString::fromUtf8(valueName));
    value->setTextFormat(Qt::PlainText);
    value->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    value->setAlignment(Qt::AlignCenter);
    value->setAutoFillBackground(true);
    value->setBackgroundRole(QPalette::Base);
    value->setMinimumSize(Twips(valueWidthTwips), Twips(kValueHeight));
    value->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);

    // Hidden OVGR items keep their place, so that nothing else moves.
    for (QLabel* label : {titleLabel, value}) {
        QSizePolicy policy = label->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        label->setSizePolicy(policy);
    }

    pair->addWidget(titleLabel);
    pair->addWidget(value);
    row->addLayout(pair);
    return value;
}

QString frmNowValue::ConfirmCountText(int confirmCount) {
    if (confirmCount < 1 || confirmCount > static_cast<int>(ConfirmCountTable.size())) {
        return {};
    }
    const std::string_view entry = ConfirmCountTable[static_cast<std::size_t>(confirmCount - 1)];
    return QString::fromUtf8(entry.data(), static_cast<qsizetype>(entry.size()));
}

QString frmNowValue::ProgressText(int detectProgress, int confirmCount) {
    return QString::number(detectProgress) + QStringLiteral("回／") + QString::number(confirmCount) +
           QStringLiteral("回");
}

void frmNowValue::RefreshNowValue() {
    const NowValueRecord& now = m_data.NowValue;

    const bool ovgr = now.OvgrModeText == kOvgrPresent;
    for (QLabel* label : {m_lblOvgrStateTitle, m_lblOvgrState, m_lblOvgrModeTitle, m_lblOvgrMode}) {
        label->setVisible(ovgr);
    }

    m_lblV0->setText(Text(now.V0Text));
    m_lblI0->setText(Text(now.I0Text));
    m_lblPhase->setText(Text(now.PhaseText));
    m_lblFreq->setText(Text(now.FreqText));
    m_lblOvgrState->setText(Text(now.OvgrStateText));

    m_lblDetectMode->setText(Text(now.DetectModeText));
    m_lblV0Level->setText(Text(now.V0LevelText));
    m_lblI0Level->setText(Text(now.I0LevelText));
    m_lblPhaseRange->setText(Text(now.PhaseRangeText));
    m_lblDetectTime->setText(Text(now.DetectTimeText));

    // Counts 11 to 15 have no entry: the label stays empty for them as for 0.
    m_lblConfirmCount->setText(ConfirmCountText(now.ConfirmCount));

    m_lblAlarmOut1->setText(Text(now.AlarmOut1Text));
    m_lblAlarmOut2->setText(Text(now.AlarmOut2Text));
    m_lblCyclicDisp->setText(Text(now.CyclicDispText));
    m_lblLogOverwrite->setText(Text(now.LogOverwriteText));

    m_lblDetectProgress->setText(ProgressText(now.DetectProgress, now.ConfirmCount));

    m_lblOvgrMode->setText(Text(now.OvgrModeText));
}

void frmNowValue::closeEvent(QCloseEvent* event) {
    // The window may linger until it is deleted; it must not read the records any more.
    m_tmrDisp->stop();
    QWidget::closeEvent(event);
}

}  // namespace tessarin
