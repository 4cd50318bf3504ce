#include "ui/frm_mid_main.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSocketNotifier>
#include <QStatusBar>
#include <QTextDocument>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>

#include "link/link_diagnosis_system.h"
#include "ui/frm_about.h"
#include "ui/frm_log_disp.h"
#include "ui/frm_now_value.h"
#include "ui/frm_unit_setting.h"
#include "ui/link_doctor_window.h"
#include "ui/phasor_window.h"
#include "ui/trend_window.h"
#include "ui/twips.h"
#include "ui/ui_fonts.h"

namespace tessarin {

namespace {

constexpr int kFrameWidth = 13100;
constexpr int kFrameHeight = 10650;
constexpr int kComRcvIntervalMs = 10;

// StatusBar1's panel widths in twips; panel 4 takes up the spare width.
constexpr int kPanelWidths[7] = {1764, 1587, 1587, 11994, 2117, 1058, 2117};
constexpr int kSparePanel = 4;
constexpr int kDatePanel = 5;
constexpr int kTimePanel = 6;
constexpr int kBadgePanel = 7;

constexpr const char* kGuideTexts[4] = {"F1：現在値表示", "F2：ログ表示", "Ctrl+F1：微地絡設定", "Ctrl+F12：終了"};

QLabel* makePanel(const QString& name) {
    auto* panel = new QLabel;
    panel->setObjectName(name);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setTextFormat(Qt::PlainText);
    panel->setContentsMargins(3, 0, 3, 0);
    return panel;
}

}  // namespace

QString PlainToolTip(const std::string& text) {
    const QString plain = QString::fromStdString(text);
    if (!Qt::mightBeRichText(plain)) {
        return plain;
    }
    return QStringLiteral("<span>") + plain.toHtmlEscaped() + QStringLiteral("</span>");
}

frmMidMain::frmMidMain(QWidget* parent) : frmMidMain(DefaultPictureFolder(), parent) {}

frmMidMain::frmMidMain(const QString& pictureFolder, QWidget* parent)
    : QMainWindow(parent), m_lamps(pictureFolder), m_quit([] { QCoreApplication::exit(0); }) {
    m_link = std::make_unique<UnitLink>(*this);
    MDIForm_Load();
}

frmMidMain::frmMidMain(std::unique_ptr<PortListing> listing, UnitLink::CommFactory makeComm,
                       const QString& pictureFolder, QWidget* parent)
    : QMainWindow(parent), m_lamps(pictureFolder), m_quit([] { QCoreApplication::exit(0); }) {
    m_link = std::make_unique<UnitLink>(*this, std::move(listing), std::move(makeComm));
    MDIForm_Load();
}

frmMidMain::~frmMidMain() {
    for (QTimer* timer : {m_tmrComConnect, m_tmrComRcv, m_rcvContinue, m_tmrClock}) {
        timer->stop();
    }
    if (m_rcvNotifier != nullptr) {
        m_rcvNotifier->setEnabled(false);
    }
    // Child windows read the device data, which goes with the link: they go first, including a closed one
    // whose deferred deletion has not run yet (it is no longer in the area's list).
    const QList<QMdiSubWindow*> subs = findChildren<QMdiSubWindow*>();
    qDeleteAll(subs);
    if (!m_ended) {
        m_link->ClosePort();
    }
}

void frmMidMain::MDIForm_Load() {
    setObjectName(QStringLiteral("frmMidMain"));
    setWindowTitle(QString::fromUtf8(kProgramTitle));
    resize(Twips(kFrameWidth), Twips(kFrameHeight));

    m_reportDialogs = DefaultVisitReportDialogs(this);
    m_mdiArea = new QMdiArea;
    m_mdiArea->setObjectName(QStringLiteral("mdiArea"));
    // On a small screen a child window may be larger than the work area: its lower part and its buttons
    // must still be reachable.
    m_mdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    buildMenus();
    buildStatusBars();

    auto* central = new QWidget;
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(m_mdiArea, 1);
    // The guide sits at the foot, right above StatusBar1.
    column->addWidget(m_stbShortCutKey);
    setCentralWidget(central);

    DeviceData& deviceData = Data();
    deviceData.LinkUp = kFalse;
    m_stbShortCutKey->hide();
    // No child yet: Main opens the current-value screen as the first one.
    m_activeChild = nullptr;
    // The choice tables are constants, ready before this point.
    deviceData.LogBusy = 0;
    deviceData.TxStarted = kFalse;

    m_tmrComConnect = new QTimer(this);
    m_tmrComConnect->setObjectName(QStringLiteral("tmrComConnect"));
    m_tmrComConnect->setInterval(m_link->ConnectInterval());
    connect(m_tmrComConnect, &QTimer::timeout, this, &frmMidMain::tmrComConnect_Timer);
    m_tmrComRcv = new QTimer(this);
    m_tmrComRcv->setObjectName(QStringLiteral("tmrComRcv"));
    m_tmrComRcv->setTimerType(Qt::PreciseTimer);
    m_tmrComRcv->setInterval(kComRcvIntervalMs);
    connect(m_tmrComRcv, &QTimer::timeout, this, &frmMidMain::tmrComRcv_Timer);
    m_rcvContinue = new QTimer(this);
    m_rcvContinue->setObjectName(QStringLiteral("rcvContinue"));
    m_rcvContinue->setSingleShot(true);
    m_rcvContinue->setInterval(0);
    connect(m_rcvContinue, &QTimer::timeout, this, &frmMidMain::receivePass);

    m_link->Discover();
    refreshDiagnosis();

    // tmrComRcv ticks, or the port's descriptor is watched, once the link has something to read: the request
    // ticks set that up.
    m_tmrComConnect->start();
}

void frmMidMain::buildMenus() {
    auto addMenu = [this](const char* title, const char* name) {
        QMenu* menu = menuBar()->addMenu(QString::fromUtf8(title));
        menu->setObjectName(QString::fromUtf8(name));
        return menu;
    };
    auto addItem = [this](QMenu* menu, const char* text, const char* name, const QKeySequence& key,
                          void (frmMidMain::*handler)()) {
        QAction* action = menu->addAction(QString::fromUtf8(text));
        action->setObjectName(QString::fromUtf8(name));
        action->setShortcut(key);
        // The frame's own keys, whichever child window has the focus.
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, handler);
        return action;
    };

    QMenu* file = addMenu("ﾌｧｲﾙ(&F)", "mnuFile");
    addItem(file, "点検記録の作成...", "mnuVisitReport", QKeySequence(), &frmMidMain::mnuVisitReport_Click);
    addItem(file, "終了(&Q)", "mnuExit", QKeySequence(Qt::CTRL | Qt::Key_F12), &frmMidMain::mnuExit_Click);

    QMenu* view = addMenu("表示(&V)", "mnuView");
    addItem(view, "現在値表示(&N)...", "mnuNowValue", QKeySequence(Qt::Key_F1), &frmMidMain::mnuNowValue_Click);
    addItem(view, "ログ表示(&L)...", "mnuLogDisp", QKeySequence(Qt::Key_F2), &frmMidMain::mnuLogDisp_Click);
    addItem(view, "ベクトル図(&P)...", "mnuPhasor", QKeySequence(), &frmMidMain::mnuPhasor_Click);
    addItem(view, "トレンド(&T)...", "mnuTrend", QKeySequence(), &frmMidMain::mnuTrend_Click);
    addItem(view, "通信診断(&D)...", "mnuLinkDoctor", QKeySequence(), &frmMidMain::mnuLinkDoctor_Click);

    QMenu* setting = addMenu("設定(&S)", "mnuSetting");
    addItem(setting, "微地絡設定(&E)...", "mnuUnitSetting", QKeySequence(Qt::CTRL | Qt::Key_F1),
            &frmMidMain::mnuUnitSetting_Click);

    QMenu* help = addMenu("ﾍﾙﾌﾟ(&H)", "mnuHelp");
    addItem(help, "ｼｮｰﾄｶｯﾄｷｰｶﾞｲﾄﾞ(&S)...", "mnuShortCutKey", QKeySequence(), &frmMidMain::mnuShortCutKey_Click);
    QAction* separator = help->addSeparator();
    separator->setObjectName(QStringLiteral("mnuHelpSeparator"));
    addItem(help, "ﾊﾞｰｼﾞｮﾝ情報(&A)...", "mnuAbout", QKeySequence(), &frmMidMain::mnuAbout_Click);
}

void frmMidMain::buildStatusBars() {
    m_stbShortCutKey = new QStatusBar;
    m_stbShortCutKey->setObjectName(QStringLiteral("stbShortCutKey"));
    m_stbShortCutKey->setSizeGripEnabled(false);
    for (int i = 0; i < 4; ++i) {
        QLabel* panel = makePanel(QStringLiteral("stbShortCutKeyPanel%1").arg(i + 1));
        panel->setText(QString::fromUtf8(kGuideTexts[i]));
        panel->setMinimumWidth(Twips(1440));
        m_guidePanels[i] = panel;
        m_stbShortCutKey->addWidget(panel);
    }

    m_statusBar1 = new QStatusBar;
    m_statusBar1->setObjectName(QStringLiteral("StatusBar1"));
    for (int i = 0; i < 7; ++i) {
        const int number = i + 1;
        QLabel* panel = makePanel(QStringLiteral("StatusBar1Panel%1").arg(number));
        if (number == kSparePanel) {
            panel->setMinimumWidth(0);
            m_statusBar1->addWidget(panel, 1);
        } else {
            panel->setFixedWidth(Twips(kPanelWidths[i]));
            m_statusBar1->addWidget(panel, 0);
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
    setStatusBar(m_statusBar1);

    m_tmrClock = new QTimer(this);
    m_tmrClock->setObjectName(QStringLiteral("tmrClock"));
    m_tmrClock->setSingleShot(true);
    connect(m_tmrClock, &QTimer::timeout, this, &frmMidMain::refreshClock);
    refreshClock();
}

void frmMidMain::refreshClock() {
    const QDateTime now = QDateTime::currentDateTime();
    m_panels[kDatePanel - 1]->setText(now.toString(QStringLiteral("yyyy/MM/dd")));
    m_panels[kTimePanel - 1]->setText(now.toString(QStringLiteral("H:mm")));
    // Wake at the start of the next second, so that the minute changes on time.
    m_tmrClock->start(1000 - now.time().msec());
}

QLabel* frmMidMain::StatusPanel(int panel) const { return panel >= 1 && panel <= 7 ? m_panels[panel - 1] : nullptr; }

QLabel* frmMidMain::GuidePanel(int panel) const {
    return panel >= 1 && panel <= 4 ? m_guidePanels[panel - 1] : nullptr;
}

QString frmMidMain::PanelPictureName(int panel) const {
    if (panel == kPanelSendLamp || panel == kPanelReceiveLamp) {
        return m_panelPictures[panel - kPanelSendLamp];
    }
    return {};
}

void frmMidMain::ShowPanelText(int panel, const std::string& text) {
    QLabel* label = StatusPanel(panel);
    if (label == nullptr) {
        return;
    }
    label->setText(QString::fromStdString(text));
}

void frmMidMain::ShowPanelPicture(int panel, const std::string& pictureName) {
    if (panel != kPanelSendLamp && panel != kPanelReceiveLamp) {
        return;
    }
    const QString name = QString::fromStdString(pictureName);
    // A name that is no lamp has no picture: the panel then shows nothing.
    m_panels[panel - 1]->setPixmap(m_lamps.Picture(name));
    m_panelPictures[panel - kPanelSendLamp] = name;
}

void frmMidMain::LinkUp() {
    ShowPanelText(kPanelLinkText, kOnLine);
    m_diagnosisStale = true;
}

void frmMidMain::LinkDown(LinkDownReason reason) {
    ShowPanelText(kPanelLinkText, kOffLine);
    if (reason != m_lastDownReason) {
        m_lastDownReason = reason;
        m_diagnosisStale = true;
    }
}

void frmMidMain::PortLost() {
    m_diagnosisStale = true;
    ShowPanelPicture(kPanelSendLamp, kLampOffRed);
    m_sendLampLit = false;
}

void frmMidMain::RequestSent(std::uint8_t code, bool accepted) {
    m_sendLampLit = !m_sendLampLit;
    ShowPanelPicture(kPanelSendLamp, m_sendLampLit ? kLampOnRed : kLampOffRed);
    if (accepted && !m_unitSetting.isNull()) {
        m_unitSetting->RequestWent(code);
    }
}

void frmMidMain::CommandTakenBack(std::uint8_t /*code*/) {
    if (!m_unitSetting.isNull()) {
        m_unitSetting->CommandTakenBack();
    }
}

void frmMidMain::PassEnded() {
    m_receiveLampLit = !m_receiveLampLit;
    ShowPanelPicture(kPanelReceiveLamp, m_receiveLampLit ? kLampOnGreen : kLampOffGreen);
}

void frmMidMain::ReceiveStopped() {
    ShowPanelPicture(kPanelReceiveLamp, kLampOffGreen);
    m_receiveLampLit = false;
}

void frmMidMain::AnswerOverdue(std::uint8_t code) {
    m_diagnosisStale = true;
    // An overdue log record puts the receive lamp out; an unanswered poll shows only as a lamp that stops.
    if (code != kReqPoll) {
        ReceiveStopped();
    }
}

void frmMidMain::CollectionStopped() {
    // The pictures stay; the next blink of each lamp lights it.
    m_sendLampLit = false;
    m_receiveLampLit = false;
}

void frmMidMain::ConnectIntervalChanged(std::chrono::milliseconds interval) { m_tmrComConnect->setInterval(interval); }

bool frmMidMain::logBusy() const { return m_link->Data().LogBusy == 1; }

void frmMidMain::tmrComConnect_Timer() {
    m_link->ConnectTick();
    syncReceiveWake();
    refreshDiagnosis();
}

void frmMidMain::refreshDiagnosis() {
    const std::int64_t now = m_link->Monitor().Now();
    if (!m_diagnosisStale && (m_doctor.Diagnosis().reason == LinkReason::OnLine || now - m_diagnosedMs < 1000)) {
        return;
    }
    m_diagnosisStale = false;
    m_diagnosedMs = now;
    if (!m_doctor.Refresh(*m_link, now)) {
        return;
    }
    setValuesStale(tessarin::ValuesStale(m_doctor.Seen()));
    const QString tip = PlainToolTip(ShortExplanation(m_doctor.Diagnosis(), m_doctor.Seen()));
    QLabel* panel = m_panels[kPanelLinkText - 1];
    if (panel->toolTip() != tip) {
        panel->setToolTip(tip);
    }
    emit diagnosisChanged();
}

QDateTime frmMidMain::LastAnswerTime() const {
    const auto at = m_link->Data().NowValue.Numbers.receivedAt;
    if (at == std::chrono::system_clock::time_point{}) {
        return {};
    }
    return QDateTime::fromMSecsSinceEpoch(
        std::chrono::duration_cast<std::chrono::milliseconds>(at.time_since_epoch()).count());
}

void frmMidMain::setValuesStale(bool stale) {
    if (stale != m_valuesStale) {
        m_valuesStale = stale;
        emit valuesStaleChanged(stale, LastAnswerTime());
    }
}

void frmMidMain::tmrComRcv_Timer() {
    receivePass();
    if (m_ticksAfterWake > 0) {
        --m_ticksAfterWake;
    }
    syncReceiveWake();
}

void frmMidMain::portReadable() {
    // The notifier stays quiet until a tick has found the line quiet again: a descriptor that polls
    // readable without bytes to read (a line hung up) must not spin the event loop.
    if (m_rcvNotifier != nullptr) {
        m_rcvNotifier->setEnabled(false);
    }
    m_ticksAfterWake = 1;
    receivePass();
    syncReceiveWake();
}

void frmMidMain::receivePass() {
    // One frame per call; while the pass goes on it is called again once pending events have run, so that
    // nothing of the window ever runs inside the link.
    if (m_link->ReceiveTick()) {
        m_rcvContinue->start();
    }
}

void frmMidMain::syncReceiveWake() {
    if (m_ended) {
        return;
    }
    // Every byte the unit sends is read within a tick of its arrival: either the timer ticks, or the
    // port's descriptor wakes a pass.
    const int descriptor = m_link->ReceiveDescriptor();
    const int watched = m_rcvNotifier != nullptr ? static_cast<int>(m_rcvNotifier->socket()) : -1;
    if (descriptor != watched) {
        if (m_rcvNotifier != nullptr) {
            // It may be the notifier whose wake is running further up this stack.
            m_rcvNotifier->setEnabled(false);
            m_rcvNotifier->deleteLater();
            m_rcvNotifier = nullptr;
        }
        if (descriptor >= 0) {
            m_rcvNotifier = new QSocketNotifier(descriptor, QSocketNotifier::Read, this);
            m_rcvNotifier->setObjectName(QStringLiteral("rcvNotifier"));
            connect(m_rcvNotifier, &QSocketNotifier::activated, this, &frmMidMain::portReadable);
        }
    }
    const bool tick = m_ticksAfterWake > 0 || m_link->ReceiveTicksWanted();
    if (tick && !m_tmrComRcv->isActive()) {
        m_tmrComRcv->start();
    } else if (!tick && m_tmrComRcv->isActive()) {
        m_tmrComRcv->stop();
    }
    if (m_rcvNotifier != nullptr) {
        m_rcvNotifier->setEnabled(!tick);
    }
}

void frmMidMain::CloseActiveChild() {
    if (m_activeChild.isNull()) {
        return;
    }
    const QString caption = m_activeChild->windowTitle();
    if (caption == QString::fromUtf8(kNowValueCaption) || caption == QString::fromUtf8(kLogDispCaption) ||
        caption == QString::fromUtf8(kUnitSettingCaption)) {
        unloadChild(m_activeChild);
        m_activeChild = nullptr;
    }
}

void frmMidMain::unloadChild(QWidget* child) {
    auto* sub = qobject_cast<QMdiSubWindow*>(child->parentWidget());
    if (sub == nullptr) {
        child->close();
        child->deleteLater();
        return;
    }
    // close() lets the window stop its timers; taking it out of the frame at once means the next
    // window never sees it, even before the deferred delete has run.
    sub->close();
    if (m_mdiArea->subWindowList().contains(sub)) {
        m_mdiArea->removeSubWindow(sub);
    }
    sub->hide();
    sub->deleteLater();
}

void frmMidMain::openChild(QWidget* child) {
    CloseActiveChild();
    QMdiSubWindow* sub = m_mdiArea->addSubWindow(child);
    sub->setObjectName(child->objectName() + QStringLiteral("Window"));
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->setWindowIcon(windowIcon());
    // A child that asked for a size of its own (the log screen's wide grids) gets it, within the frame.
    const QSize wanted = child->testAttribute(Qt::WA_Resized) ? child->size() : QSize();
    sub->adjustSize();
    if (wanted.isValid()) {
        const QSize frame = sub->size() - child->size();
        sub->resize((wanted + frame).expandedTo(sub->size()).boundedTo(m_mdiArea->viewport()->size()));
    }
    sub->move(0, 0);
    // Showing a child shows the frame.
    if (!isVisible()) {
        show();
    }
    sub->show();
    m_mdiArea->setActiveSubWindow(sub);
    m_activeChild = child;
}

void frmMidMain::mnuNowValue_Click() {
    if (logBusy()) {
        return;
    }
    auto* window = new frmNowValue(Data());
    window->ShowStale(m_valuesStale, LastAnswerTime());
    connect(this, &frmMidMain::valuesStaleChanged, window, &frmNowValue::ShowStale);
    openChild(window);
}

void frmMidMain::mnuLogDisp_Click() {
    if (logBusy()) {
        return;
    }
    auto* window = new frmLogDisp(Data(), m_link->Commands(), m_link->Collection());
    window->SetSessionLogs(&m_sessionLogs);
    openChild(window);
}

void frmMidMain::mnuPhasor_Click() {
    if (logBusy()) {
        return;
    }
    if (m_phasor == nullptr) {
        m_phasor = new frmPhasor(&m_sessionLogs, this);
        m_phasor->ShowAnswer(Data().NowValue);
        m_phasor->ShowStale(m_valuesStale, LastAnswerTime());
        connect(this, &frmMidMain::valuesStaleChanged, m_phasor, &frmPhasor::ShowStale);
    }
    showToolWindow(m_phasor);
}

void frmMidMain::mnuTrend_Click() {
    if (logBusy()) {
        return;
    }
    if (m_trend == nullptr) {
        m_trend = new frmTrend(this);
        connect(m_trend, &frmTrend::recordingChanged, this, [this](bool recording) {
            m_panels[kSparePanel - 1]->setText(recording ? QString::fromUtf8(kRecordingMark) : QString());
        });
        m_trend->ShowStale(m_valuesStale, LastAnswerTime());
        connect(this, &frmMidMain::valuesStaleChanged, m_trend, &frmTrend::ShowStale);
    }
    showToolWindow(m_trend);
}

// The diagnosis window only watches, so it opens during a log collection too: re-sends are worth seeing.
void frmMidMain::mnuLinkDoctor_Click() {
    if (m_linkDoctor == nullptr) {
        m_linkDoctor = new frmLinkDoctor(*m_link, m_doctor, this);
        connect(this, &frmMidMain::diagnosisChanged, m_linkDoctor, &frmLinkDoctor::ShowDiagnosis);
    }
    showToolWindow(m_linkDoctor);
}

frmLinkDoctor* frmMidMain::LinkDoctorWindow() const { return m_linkDoctor; }

// The phasor and trend windows stand beside the frame, so that they stay open whichever screen it shows.
void frmMidMain::showToolWindow(QWidget* window) {
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    window->raise();
    window->activateWindow();
}

frmPhasor* frmMidMain::PhasorWindow() const { return m_phasor; }
frmTrend* frmMidMain::TrendWindow() const { return m_trend; }

void frmMidMain::FrameReceived(std::span<const std::uint8_t> frame, bool valid) {
    // A bad frame, or the first good one after silence or bad ones, changes the reason.
    if (!valid || m_doctor.Diagnosis().reason != LinkReason::OnLine) {
        m_diagnosisStale = true;
    }
    if (!valid || frame.size() < 2 || frame[1] != kRespNowValue) {
        return;
    }
    // NowValue already holds the decoded answer when the link reports the frame.
    Data().NowValue.Numbers.receivedAt = std::chrono::system_clock::now();
    setValuesStale(false);
    if (!m_unitSetting.isNull()) {
        m_unitSetting->NowValueArrived();
    }
    if (m_phasor != nullptr) {
        m_phasor->ShowAnswer(Data().NowValue);
        m_phasor->ShowStale(m_valuesStale, LastAnswerTime());
        connect(this, &frmMidMain::valuesStaleChanged, m_phasor, &frmPhasor::ShowStale);
    }
    if (m_trend != nullptr) {
        m_trend->ShowAnswer(Data().NowValue);
    }
}

void frmMidMain::mnuUnitSetting_Click() {
    if (logBusy()) {
        return;
    }
    auto* window = new frmUnitSetting(Data(), m_link->Commands());
    m_unitSetting = window;
    openChild(window);
    window->Value_Click_getdata();
}

void frmMidMain::mnuShortCutKey_Click() {
    if (logBusy()) {
        return;
    }
    m_stbShortCutKey->setHidden(!m_stbShortCutKey->isHidden());
}

void frmMidMain::mnuAbout_Click() {
    if (logBusy()) {
        return;
    }
    if (m_about.isNull()) {
        m_about = new frmAbout(this);
    }
    m_about->show();
    m_about->raise();
    m_about->activateWindow();
}

void frmMidMain::mnuVisitReport_Click() {
    if (logBusy()) {
        return;
    }
    MakeVisitReport(m_reportDialogs, Data(), m_sessionLogs);
}

void frmMidMain::mnuExit_Click() {
    endProgram();
    close();
}

void frmMidMain::closeEvent(QCloseEvent* event) {
    event->accept();
    endProgram();
}

void frmMidMain::endProgram() {
    if (m_ended) {
        return;
    }
    m_ended = true;
    for (QTimer* timer : {m_tmrComConnect, m_tmrComRcv, m_rcvContinue, m_tmrClock}) {
        timer->stop();
    }
    if (m_rcvNotifier != nullptr) {
        m_rcvNotifier->setEnabled(false);
    }
    if (!m_about.isNull()) {
        m_about->close();
    }
    m_link->ClosePort();
    emit programEnding();
    m_quit();
}

}  // namespace tessarin
