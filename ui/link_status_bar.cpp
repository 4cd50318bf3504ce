#include "ui/link_status_bar.h"

#include <QDateTime>
#include <QLabel>
#include <QTextDocument>
#include <QTimer>
#include <algorithm>

#include "data/protocol_codes.h"
#include "link/link_diagnosis.h"
#include "ui/link_driver.h"
#include "ui/status_panels.h"
#include "ui/trend_window.h"
#include "ui/twips.h"

namespace tessarin {

namespace {

// The panel widths in twips; panel 4 takes up the spare width.
constexpr int kPanelWidths[7] = {1764, 1587, 1587, 11994, 2117, 1058, 2117};
constexpr int kSparePanel = 4;
constexpr int kDatePanel = 5;
constexpr int kTimePanel = 6;
constexpr int kBadgePanel = 7;

}  // namespace

QString PlainToolTip(const std::string& text) {
    const QString plain = QString::fromStdString(text);
    if (!Qt::mightBeRichText(plain)) {
        return plain;
    }
    return QStringLiteral("<span>") + plain.toHtmlEscaped() + QStringLiteral("</span>");
}

QLabel* MakeStatusPanel(const QString& name) {
    auto* panel = new QLabel;
    panel->setObjectName(name);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setTextFormat(Qt::PlainText);
    panel->setContentsMargins(3, 0, 3, 0);
    return panel;
}

LinkStatusBar::LinkStatusBar(const QString& pictureFolder, QWidget* parent)
    : QStatusBar(parent), m_lamps(pictureFolder) {
    setObjectName(QStringLiteral("StatusBar1"));
    buildPanels();
    m_tmrClock = new QTimer(this);
    m_tmrClock->setObjectName(QStringLiteral("tmrClock"));
    m_tmrClock->setSingleShot(true);
    connect(m_tmrClock, &QTimer::timeout, this, &LinkStatusBar::refreshClock);
    refreshClock();
}

void LinkStatusBar::buildPanels() {
    for (int i = 0; i < 7; ++i) {
        const int number = i + 1;
        QLabel* panel = MakeStatusPanel(QStringLiteral("StatusBar1Panel%1").arg(number));
        if (number == kSparePanel) {
            panel->setMinimumWidth(0);
            addWidget(panel, 1);
        } else {
            panel->setFixedWidth(Twips(kPanelWidths[i]));
            addWidget(panel, 0);
        }
        m_panels[i] = panel;
    }
    // Link text: OFF LINE until the first successful open.
    ShowPanelText(kPanelLinkText, kOffLine);
    m_panels[kPanelSendLamp - 1]->setPixmap(StartLampPicture(true));
    m_panels[kPanelReceiveLamp - 1]->setPixmap(StartLampPicture(false));
    for (const int picturePanel : {kPanelSendLamp, kPanelReceiveLamp, kBadgePanel}) {
        m_panels[picturePanel - 1]->setAlignment(Qt::AlignCenter);
    }
    m_panels[kDatePanel - 1]->setAlignment(Qt::AlignCenter);
    m_panels[kTimePanel - 1]->setAlignment(Qt::AlignCenter);
    m_panels[kBadgePanel - 1]->setPixmap(ProductBadge());
    // Panels of a fixed size: a lamp that blinks or a clock that ticks then repaints its own panel, where a
    // panel that may change size makes the status bar lay itself out and repaint whole, several times a
    // second while the program sits idle.
    int panelHeight = 0;
    for (const QLabel* panel : m_panels) {
        panelHeight = std::max(panelHeight, panel->sizeHint().height());
    }
    for (int i = 0; i < 7; ++i) {
        if (i + 1 != kSparePanel) {
            m_panels[i]->setFixedHeight(panelHeight);
        }
    }
}

void LinkStatusBar::Follow(const LinkDriver& driver) {
    connect(&driver, &LinkDriver::linkUp, this, [this] { ShowPanelText(kPanelLinkText, kOnLine); });
    connect(&driver, &LinkDriver::linkDown, this, [this] { ShowPanelText(kPanelLinkText, kOffLine); });
    connect(&driver, &LinkDriver::portLost, this, &LinkStatusBar::portLost);
    connect(&driver, &LinkDriver::requestSent, this, &LinkStatusBar::requestSent);
    connect(&driver, &LinkDriver::passEnded, this, &LinkStatusBar::passEnded);
    connect(&driver, &LinkDriver::receiveStopped, this, &LinkStatusBar::receiveStopped);
    connect(&driver, &LinkDriver::answerOverdue, this, &LinkStatusBar::answerOverdue);
    connect(&driver, &LinkDriver::collectionStopped, this, &LinkStatusBar::collectionStopped);
    connect(&driver, &LinkDriver::diagnosisChanged, this, [this, &driver] { showDiagnosis(driver); });
}

void LinkStatusBar::refreshClock() {
    const QDateTime now = QDateTime::currentDateTime();
    m_panels[kDatePanel - 1]->setText(now.toString(QStringLiteral("yyyy/MM/dd")));
    m_panels[kTimePanel - 1]->setText(now.toString(QStringLiteral("H:mm")));
    // Wake at the start of the next second, so that the minute changes on time.
    m_tmrClock->start(1000 - now.time().msec());
}

void LinkStatusBar::StopClock() { m_tmrClock->stop(); }

QLabel* LinkStatusBar::Panel(int panel) const { return panel >= 1 && panel <= 7 ? m_panels[panel - 1] : nullptr; }

QString LinkStatusBar::PanelPictureName(int panel) const {
    if (panel == kPanelSendLamp || panel == kPanelReceiveLamp) {
        return m_panelPictures[panel - kPanelSendLamp];
    }
    return {};
}

void LinkStatusBar::ShowPanelText(int panel, const std::string& text) const {
    QLabel* label = Panel(panel);
    if (label == nullptr) {
        return;
    }
    label->setText(QString::fromStdString(text));
}

void LinkStatusBar::ShowPanelPicture(int panel, const std::string& pictureName) {
    if (panel != kPanelSendLamp && panel != kPanelReceiveLamp) {
        return;
    }
    const QString name = QString::fromStdString(pictureName);
    // A name that is no lamp has no picture: the panel then shows nothing.
    m_panels[panel - 1]->setPixmap(m_lamps.Picture(name));
    m_panelPictures[panel - kPanelSendLamp] = name;
}

void LinkStatusBar::ShowRecording(bool recording) {
    m_panels[kSparePanel - 1]->setText(recording ? QString::fromUtf8(kRecordingMark) : QString());
}

void LinkStatusBar::portLost() {
    ShowPanelPicture(kPanelSendLamp, kLampOffRed);
    m_sendLampLit = false;
}

void LinkStatusBar::requestSent() {
    m_sendLampLit = !m_sendLampLit;
    ShowPanelPicture(kPanelSendLamp, m_sendLampLit ? kLampOnRed : kLampOffRed);
}

void LinkStatusBar::passEnded() {
    m_receiveLampLit = !m_receiveLampLit;
    ShowPanelPicture(kPanelReceiveLamp, m_receiveLampLit ? kLampOnGreen : kLampOffGreen);
}

void LinkStatusBar::receiveStopped() {
    ShowPanelPicture(kPanelReceiveLamp, kLampOffGreen);
    m_receiveLampLit = false;
}

void LinkStatusBar::answerOverdue(std::uint8_t code) {
    // An overdue log record puts the receive lamp out; an unanswered poll shows only as a lamp that stops.
    if (code != kReqPoll) {
        receiveStopped();
    }
}

void LinkStatusBar::collectionStopped() {
    // The pictures stay; the next blink of each lamp lights it.
    m_sendLampLit = false;
    m_receiveLampLit = false;
}

void LinkStatusBar::showDiagnosis(const LinkDriver& driver) {
    const LinkDiagnosisTracker& tracker = driver.DiagnosisTracker();
    const QString tip = PlainToolTip(ShortExplanation(tracker.Diagnosis(), tracker.Seen()));
    QLabel* panel = m_panels[kPanelLinkText - 1];
    if (panel->toolTip() != tip) {
        panel->setToolTip(tip);
    }
}

}  // namespace tessarin
