// The main window: a frame holding one child window at a time, with the menus, the shortcut-key guide,
// the status bar with the link text and lamps, and the two timers that drive the link.
#pragma once

#include <QDateTime>
#include <QMainWindow>
#include <QPixmap>
#include <QPointer>
#include <chrono>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "data/collected_logs.h"
#include "link/link_diagnosis.h"
#include "link/link_doctor.h"
#include "link/link_events.h"
#include "link/port_listing.h"
#include "link/unit_link.h"
#include "ui/pictures.h"
#include "ui/status_panels.h"
#include "ui/visit_report.h"

class QAction;
class QLabel;
class QMdiArea;
class QSocketNotifier;
class QStatusBar;
class QTimer;

namespace tessarin {

class frmAbout;
class frmLinkDoctor;
class frmNowValue;
class frmPhasor;
class frmTrend;
class frmLogDisp;
class frmUnitSetting;

inline constexpr const char* kProgramTitle = "Tessarin";

// Plain text as a tooltip shows it: a text that Qt would take for markup (a process or device name with
// "<" in it) is escaped and shown as written.
QString PlainToolTip(const std::string& text);

class frmMidMain : public QMainWindow, public LinkEvents {
    Q_OBJECT
  public:
    // The program's window: the system's serial-port list and serial ports, the lamp pictures from the
    // folder 画像 beside the program.
    explicit frmMidMain(QWidget* parent = nullptr);
    // The program's link with the lamp pictures from another folder.
    explicit frmMidMain(const QString& pictureFolder, QWidget* parent = nullptr);
    // For tests: any listing and any port; the lamp pictures from `pictureFolder`.
    frmMidMain(std::unique_ptr<PortListing> listing, UnitLink::CommFactory makeComm, const QString& pictureFolder,
               QWidget* parent = nullptr);
    ~frmMidMain() override;
    frmMidMain(const frmMidMain&) = delete;
    frmMidMain& operator=(const frmMidMain&) = delete;
    frmMidMain(frmMidMain&&) = delete;
    frmMidMain& operator=(frmMidMain&&) = delete;

    UnitLink& Link() { return *m_link; }
    DeviceData& Data() { return m_link->Data(); }

    // LinkEvents: the link text in panel 1 (also its tooltip), the send lamp in panel 2 blinking with every
    // request, the receive lamp in panel 3 with every receive pass that took a frame in.
    void LinkUp() override;
    void LinkDown(LinkDownReason reason) override;
    void PortLost() override;
    void RequestSent(std::uint8_t code, bool accepted) override;
    void PassEnded() override;
    void ReceiveStopped() override;
    void AnswerOverdue(std::uint8_t code) override;
    void CollectionStopped() override;
    void CommandTakenBack(std::uint8_t code) override;
    // The link's pace: tmrComConnect takes the interval at once (a running timer starts its count again).
    void ConnectIntervalChanged(std::chrono::milliseconds interval) override;
    // A current-value answer: stamped with its arrival time and handed to the settings screen (which watches a
    // write), the phasor and the trend window, those that are open.
    void FrameReceived(std::span<const std::uint8_t> frame, bool valid) override;

    // Panel 1 takes the link text (also its tooltip); panels 2 and 3 a lamp picture by file name.
    void ShowPanelText(int panel, const std::string& text) const;
    void ShowPanelPicture(int panel, const std::string& pictureName);

    // Menu commands. All but mnuExit_Click do nothing while LogBusy is 1.
    void mnuNowValue_Click();     // 現在値表示: open the current-value screen afresh
    void mnuLogDisp_Click();      // ログ表示: open the log screen afresh
    void mnuUnitSetting_Click();  // 微地絡設定: open the settings screen afresh, then Value_Click_getdata
    void mnuShortCutKey_Click();  // show or hide the shortcut-key guide
    void mnuAbout_Click();        // show the About box, or bring the open one forward
    void mnuExit_Click();         // close the port and end the program
    void mnuVisitReport_Click();  // 点検記録の作成: write the visit report to a chosen PDF file
    void mnuPhasor_Click();       // ベクトル図: open the phasor window, or bring the open one forward
    void mnuTrend_Click();        // トレンド: open the trend window, or bring the open one forward
    void mnuLinkDoctor_Click();   // 通信診断: open the diagnosis window, or bring the open one forward

    // The phasor window, nullptr while it is closed.
    frmPhasor* PhasorWindow() const;
    // The trend window, nullptr while it is closed.
    frmTrend* TrendWindow() const;
    // The diagnosis window, nullptr while it is closed.
    frmLinkDoctor* LinkDoctorWindow() const;

    // The logs collected in this session, whichever log screen collected them.
    const CollectedLogs& SessionLogs() const { return m_sessionLogs; }
    // The visit report's file dialog, notice and clock; tests replace them.
    void SetVisitReportDialogs(VisitReportDialogs dialogs) { m_reportDialogs = std::move(dialogs); }

    // The child window now shown (nullptr when none).
    QWidget* ActiveChild() const { return m_activeChild; }
    // Closes the child window now shown, found by its caption; any other caption closes nothing.
    void CloseActiveChild();

    // What ends the program once the port is closed; QCoreApplication::exit(0) unless a test sets another.
    void SetQuitFunction(std::function<void()> quit) { m_quit = std::move(quit); }

    // Why the link is as it is, as the link panel's tooltip says it.
    const LinkDiagnosis& Diagnosis() const { return m_doctor.Diagnosis(); }
    // What the diagnosis was worked out from.
    const LinkObservations& DiagnosisSeen() const { return m_doctor.Seen(); }
    // The current values are not being refreshed: the windows showing them grey them.
    [[nodiscard]] bool ValuesStale() const { return m_valuesStale; }
    [[nodiscard]] QDateTime LastAnswerTime() const;

    // The status bars' panels, numbered from 1 as the operator sees them.
    QLabel* StatusPanel(int panel) const;
    QLabel* GuidePanel(int panel) const;
    // The file name of the lamp picture last put into panel 2 or 3 ("" for the picture stored with the window).
    QString PanelPictureName(int panel) const;

  signals:
    // The port has been closed and the program is about to end.
    void programEnding();
    // The reason of the link's state, or what it was worked out from, changed.
    void diagnosisChanged();
    // The current values stopped being refreshed (the link is down or the polls go unanswered), or came
    // back; `lastAnswer` is when the last current-value answer came (not valid: none yet).
    void valuesStaleChanged(bool stale, const QDateTime& lastAnswer);

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void buildMenus();
    void buildStatusBars();
    void MDIForm_Load();
    void tmrComConnect_Timer();
    void tmrComRcv_Timer();
    void portReadable();
    void receivePass();
    void syncReceiveWake();
    void refreshDiagnosis();
    void setValuesStale(bool stale);
    void refreshClock();
    void openChild(QWidget* child);
    void unloadChild(QWidget* child);
    bool logBusy() const;
    void endProgram();
    void showToolWindow(QWidget* window);

    std::unique_ptr<UnitLink> m_link;
    LampPictures m_lamps;
    std::function<void()> m_quit;
    CollectedLogs m_sessionLogs;
    VisitReportDialogs m_reportDialogs;
    // The settings screen while it is open: it watches the answers after a write.
    QPointer<frmUnitSetting> m_unitSetting;
    QPointer<frmPhasor> m_phasor;
    QPointer<frmTrend> m_trend;
    QPointer<frmLinkDoctor> m_linkDoctor;

    QMdiArea* m_mdiArea = nullptr;
    QStatusBar* m_stbShortCutKey = nullptr;
    QStatusBar* m_statusBar1 = nullptr;
    QLabel* m_panels[7] = {};
    QLabel* m_guidePanels[4] = {};
    QString m_panelPictures[2];

    QTimer* m_tmrComConnect = nullptr;
    QTimer* m_tmrComRcv = nullptr;
    QTimer* m_tmrClock = nullptr;
    // Wakes a receive pass when the port has bytes, so that tmrComRcv need not tick while the line is quiet.
    QSocketNotifier* m_rcvNotifier = nullptr;
    QTimer* m_rcvContinue = nullptr;  // calls the receive pass again while it goes on
    int m_ticksAfterWake = 0;

    QPointer<QWidget> m_activeChild;
    QPointer<frmAbout> m_about;

    bool m_ended = false;
    LinkDoctor m_doctor;
    // The diagnosis is worked out again after an event that may change it, and once a second while the
    // link is down (a permission granted, a holder gone); not at every connect tick.
    bool m_diagnosisStale = true;
    std::int64_t m_diagnosedMs = 0;
    bool m_valuesStale = true;
    LinkDownReason m_lastDownReason = LinkDownReason::NotListed;
    bool m_sendLampLit = false;  // blink phases of the two lamps
    bool m_receiveLampLit = false;
};

}  // namespace tessarin
