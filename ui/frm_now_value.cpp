#include "ui/frm_now_value.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>
#include <tuple>

#include "ui/stale_values.h"
#include "ui/twips.h"
#include "ui/ui_fonts.h"

namespace tessarin {

namespace {

constexpr int kDispIntervalMs = 100;
constexpr int kValueHeight = 390;

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
    m_lblStale = MakeStaleLabel();
    auto* top = new QHBoxLayout;
    top->addWidget(banner);
    top->addStretch(1);
    top->addWidget(m_lblStale, 0, Qt::AlignBottom);
    page->addLayout(top);

    for (const NowValueGroup& group : NowValueGroups()) {
        QGroupBox* box = makeGroup(group.title, group.name, page);
        QHBoxLayout* row = nullptr;
        for (const NowValueItem& item : group.items) {
            if (row == nullptr || item.startsRow) {
                // Rows start at the left edge of their group.
                if (row != nullptr) {
                    row->addStretch(1);
                }
                row = addRow(box);
            }
            const auto [title, value] = addPair(row, item);
            m_titles.push_back(title);
            m_values.push_back(value);
            m_items.push_back(&item);
        }
        if (row != nullptr) {
            row->addStretch(1);
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

std::pair<QLabel*, QLabel*> frmNowValue::addPair(QHBoxLayout* row, const NowValueItem& item) {
    auto* pair = new QVBoxLayout;
    pair->setSpacing(2);

    auto* titleLabel = new QLabel(QString::fromUtf8(item.title));
    titleLabel->setObjectName(QString::fromUtf8(item.titleName));
    titleLabel->setTextFormat(Qt::PlainText);

    // Values are plain text: an "&" in a reported text is an ampersand, never a mnemonic marker
    // (the labels have no buddy), and nothing is read as markup.
    auto* value = new QLabel;
    value->setObjectName(QString::fromUtf8(item.valueName));
    value->setTextFormat(Qt::PlainText);
    value->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    value->setAlignment(Qt::AlignCenter);
    value->setAutoFillBackground(true);
    value->setBackgroundRole(QPalette::Base);
    value->setMinimumSize(Twips(item.valueWidthTwips), Twips(kValueHeight));
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
    return {titleLabel, value};
}

namespace {

// The fields the labels are made from.
auto ShownFields(const NowValueRecord& now) {
    return std::tie(now.V0Text, now.I0Text, now.PhaseText, now.FreqText, now.DetectProgress, now.ConfirmCount,
                    now.DetectModeText, now.V0LevelText, now.I0LevelText, now.PhaseRangeText, now.DetectTimeText,
                    now.OvgrStateText, now.AlarmOut1Text, now.AlarmOut2Text, now.CyclicDispText, now.LogOverwriteText,
                    now.OvgrModeText);
}

}  // namespace

void frmNowValue::RefreshNowValue() {
    const NowValueRecord& now = m_data.NowValue;
    if (m_shownOnce && ShownFields(now) == ShownFields(m_shown)) {
        return;
    }
    m_shown = now;
    m_shownOnce = true;
    const bool ovgr = HasOvgrFunction(now);
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        if (m_items[i]->ovgrOnly) {
            m_titles[i]->setVisible(ovgr);
            m_values[i]->setVisible(ovgr);
        }
        m_values[i]->setText(m_items[i]->text(now));
    }
}

void frmNowValue::ShowStale(bool stale, const QDateTime& lastAnswer) {
    // A disabled label draws its text grey; the boxes and their places stay.
    for (QLabel* value : m_values) {
        value->setEnabled(!stale);
    }
    ShowStaleNote(m_lblStale, stale, lastAnswer);
}

void frmNowValue::closeEvent(QCloseEvent* event) {
    // The window may linger until it is deleted; it must not read the records any more.
    m_tmrDisp->stop();
    QWidget::closeEvent(event);
}

}  // namespace tessarin
