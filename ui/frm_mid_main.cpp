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
#include <QStatusBar>
#include <QVBoxLayout>

#include "ui/frm_about.h"
#include "ui/frm_log_disp.h"
#include "ui/frm_now_value.h"
#include "ui/frm_unit_setting.h"
#include "ui/link_diagnosis_window.h"
#include "ui/phasor_window.h"
#include "ui/trend_window.h"
#include "ui/twips.h"
#include "ui/ui_fonts.h"

namespace tessarin {

namespace {

constexpr int kFrameWidth = 13100;
constexpr int kFrameHeight = 10650;

constexpr const char* kGuideTexts[4] = {"F1：現在値表示", "F2：ログ表示", "Ctrl+F1：微地絡設定", "Ctrl+F12：終了"};

}  // namespace

frmMidMain::frmMidMain(QWidget* parent) : frmMidMain(DefaultPictureFolder(), parent) {}

frmMidMain::frmMidMain(const QString& pictureFolder, QWidget* parent)
    : frmMidMain(new LinkDriver, pictureFolder, parent) {}

frmMidMain::frmMidMain(std::unique_ptr<PortListing> listing, UnitLink::CommFactory makeComm,
                       const QString& pictureFolder, QWidget* parent)
    : frmMidMain(new LinkDriver(std::move(listing), std::move(makeComm)), pictureFolder, parent) {}

frmMidMain::frmMidMain(LinkDriver* driver, const QString& pictureFolder, QWidget* parent)
    : QMainWindow(parent), m_driver(driver), m_quit([] { QCoreApplication::exit(0); }) {
    m_driver->setParent(this);
    m_statusBar1 = new LinkStatusBar(pictureFolder);
    MDIForm_Load();
}

frmMidMain::~frmMidMain() {
    m_driver->Stop();
    m_statusBar1->StopClock();
    // Child windows read the device data, which goes with the link: they go first, including a closed one
    // whose deferred deletion has not run yet (it is no longer in the area's list).
    const QList<QMdiSubWindow*> subs = findChildren<QMdiSubWindow*>();
    qDeleteAll(subs);
    if (!m_ended) {
        m_driver->Link().ClosePort();
    }
    delete m_driver;
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

    m_stbShortCutKey->hide();
    // No child yet: Main opens the current-value screen as the first one.
    m_activeChild = nullptr;

    m_statusBar1->Follow(*m_driver);
    // The choice tables are constants, ready before this point.
    m_driver->Start();
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
    addItem(view, "通信診断(&D)...", "mnuLinkDiagnosis", QKeySequence(), &frmMidMain::mnuLinkDiagnosis_Click);

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
        QLabel* panel = MakeStatusPanel(QStringLiteral("stbShortCutKeyPanel%1").arg(i + 1));
        panel->setText(QString::fromUtf8(kGuideTexts[i]));
        panel->setMinimumWidth(Twips(1440));
        m_guidePanels[i] = panel;
        m_stbShortCutKey->addWidget(panel);
    }

    setStatusBar(m_statusBar1);
}

QLabel* frmMidMain::GuidePanel(int panel) const {
    return panel >= 1 && panel <= 4 ? m_guidePanels[panel - 1] : nullptr;
}

bool frmMidMain::logBusy() const { return m_driver->Link().Data().LogBusy == 1; }

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
    window->ShowStale(ValuesStale(), LastAnswerTime());
    connect(m_driver, &LinkDriver::valuesStaleChanged, window, &frmNowValue::ShowStale);
    openChild(window);
}

void frmMidMain::mnuLogDisp_Click() {
    if (logBusy()) {
        return;
    }
    auto* window = new frmLogDisp(Data(), Link().Commands(), Link().Collection());
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
        m_phasor->ShowStale(ValuesStale(), LastAnswerTime());
        connect(m_driver, &LinkDriver::valuesStaleChanged, m_phasor, &frmPhasor::ShowStale);
        connect(m_driver, &LinkDriver::nowValueReceived, m_phasor, &frmPhasor::ShowAnswer);
    }
    showToolWindow(m_phasor);
}

void frmMidMain::mnuTrend_Click() {
    if (logBusy()) {
        return;
    }
    if (m_trend == nullptr) {
        m_trend = new frmTrend(this);
        connect(m_trend, &frmTrend::recordingChanged, m_statusBar1, &LinkStatusBar::ShowRecording);
        m_trend->ShowStale(ValuesStale(), LastAnswerTime());
        connect(m_driver, &LinkDriver::valuesStaleChanged, m_trend, &frmTrend::ShowStale);
        connect(m_driver, &LinkDriver::nowValueReceived, m_trend, &frmTrend::ShowAnswer);
    }
    showToolWindow(m_trend);
}

// The diagnosis window only watches, so it opens during a log collection too: re-sends are worth seeing.
void frmMidMain::mnuLinkDiagnosis_Click() {
    if (m_linkDiagnosis == nullptr) {
        m_linkDiagnosis = new frmLinkDiagnosis(Link(), m_driver->DiagnosisTracker(), this);
        connect(m_driver, &LinkDriver::diagnosisChanged, m_linkDiagnosis, &frmLinkDiagnosis::ShowDiagnosis);
    }
    showToolWindow(m_linkDiagnosis);
}

frmLinkDiagnosis* frmMidMain::LinkDiagnosisWindow() const { return m_linkDiagnosis; }

// The phasor and trend windows stand beside the frame, so that they stay open whichever screen it shows.
void frmMidMain::showToolWindow(QWidget* window) {
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    window->raise();
    window->activateWindow();
}

frmPhasor* frmMidMain::PhasorWindow() const { return m_phasor; }
frmTrend* frmMidMain::TrendWindow() const { return m_trend; }

void frmMidMain::mnuUnitSetting_Click() {
    if (logBusy()) {
        return;
    }
    auto* window = new frmUnitSetting(Data(), Link().Commands());
    // It watches the answers after a write.
    connect(m_driver, &LinkDriver::requestSent, window, [window](std::uint8_t code, bool accepted) {
        if (accepted) {
            window->RequestWent(code);
        }
    });
    connect(m_driver, &LinkDriver::commandTakenBack, window, &frmUnitSetting::CommandTakenBack);
    connect(m_driver, &LinkDriver::nowValueReceived, window, &frmUnitSetting::NowValueArrived);
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
    m_driver->Stop();
    m_statusBar1->StopClock();
    if (!m_about.isNull()) {
        m_about->close();
    }
    Link().ClosePort();
    emit programEnding();
    m_quit();
}

}  // namespace tessarin
