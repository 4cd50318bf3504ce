// The main window: a frame holding one child window at a time, with the menus and the shortcut-key guide;
// it makes the link driver and the status bar that follows it, and connects the windows it opens to the
// driver.
#pragma once

#include <QDateTime>
#include <QMainWindow>
#include <QPixmap>
#include <QPointer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "data/collected_logs.h"
#include "link/link_diagnosis.h"
#include "link/port_listing.h"
#include "link/unit_link.h"
#include "ui/link_driver.h"
#include "ui/link_status_bar.h"
#include "ui/status_panels.h"
#include "ui/visit_report.h"

class QAction;
class QLabel;
class QMdiArea;
class QStatusBar;

namespace tessarin {

class frmAbout;
class frmLinkDiagnosis;
class frmNowValue;
class frmPhasor;
class frmTrend;
class frmLogDisp;
class frmUnitSetting;

inline constexpr const char* kProgramTitle = "Tessarin";

class frmMidMain : public QMainWindow {
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

    // The link driver, the link and its device data.
    LinkDriver& Driver() { return *m_driver; }
    UnitLink& Link() { return m_driver->Link(); }
    const DeviceData& Data() const { return m_driver->Link().Data(); }

    // Panel 1 takes the link text; panels 2 and 3 a lamp picture by file name.
    void ShowPanelText(int panel, const std::string& text) { m_statusBar1->ShowPanelText(panel, text); }
    void ShowPanelPicture(int panel, const std::string& name) { m_statusBar1->ShowPanelPicture(panel, name); }

    // Menu commands. All but mnuExit_Click do nothing while LogBusy is 1.
    void mnuNowValue_Click();       // 現在値表示: open the current-value screen afresh
    void mnuLogDisp_Click();        // ログ表示: open the log screen afresh
    void mnuUnitSetting_Click();    // 微地絡設定: open the settings screen afresh, then Value_Click_getdata
    void mnuShortCutKey_Click();    // show or hide the shortcut-key guide
    void mnuAbout_Click();          // show the About box, or bring the open one forward
    void mnuExit_Click();           // close the port and end the program
    void mnuVisitReport_Click();    // 点検記録の作成: write the visit report to a chosen PDF file
    void mnuPhasor_Click();         // ベクトル図: open the phasor window, or bring the open one forward
    void mnuTrend_Click();          // トレンド: open the trend window, or bring the open one forward
    void mnuLinkDiagnosis_Click();  // 通信診断: open the diagnosis window, or bring the open one forward

    // The phasor window, nullptr while it is closed.
    frmPhasor* PhasorWindow() const;
    // The trend window, nullptr while it is closed.
    frmTrend* TrendWindow() const;
    // The diagnosis window, nullptr while it is closed.
    frmLinkDiagnosis* LinkDiagnosisWindow() const;

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
    const LinkDiagnosis& Diagnosis() const { return m_driver->DiagnosisTracker().Diagnosis(); }
    // What the diagnosis was worked out from.
    const LinkObservations& DiagnosisSeen() const { return m_driver->DiagnosisTracker().Seen(); }
    // The current values are not being refreshed: the windows showing them grey them.
    [[nodiscard]] bool ValuesStale() const { return m_driver->ValuesStale(); }
    [[nodiscard]] QDateTime LastAnswerTime() const { return m_driver->LastAnswerTime(); }

    // The status bars' panels, numbered from 1 as the operator sees them.
    QLabel* StatusPanel(int panel) const { return m_statusBar1->Panel(panel); }
    QLabel* GuidePanel(int panel) const;
    // The file name of the lamp picture last put into panel 2 or 3 ("" for the picture stored with the window).
    QString PanelPictureName(int panel) const { return m_statusBar1->PanelPictureName(panel); }

  signals:
    // The port has been closed and the program is about to end.
    void programEnding();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    frmMidMain(LinkDriver* driver, const QString& pictureFolder, QWidget* parent);
    void buildMenus();
    void buildStatusBars();
    void MDIForm_Load();
    void openChild(QWidget* child);
    void unloadChild(QWidget* child);
    bool logBusy() const;
    void endProgram();
    void showToolWindow(QWidget* window);

    // A child of the frame, so that its timers are found by name; deleted before the windows that read it.
    LinkDriver* m_driver;
    std::function<void()> m_quit;
    CollectedLogs m_sessionLogs;
    VisitReportDialogs m_reportDialogs;
    QPointer<frmPhasor> m_phasor;
    QPointer<frmTrend> m_trend;
    QPointer<frmLinkDiagnosis> m_linkDiagnosis;

    QMdiArea* m_mdiArea = nullptr;
    QStatusBar* m_stbShortCutKey = nullptr;
    LinkStatusBar* m_statusBar1 = nullptr;
    QLabel* m_guidePanels[4] = {};

    QPointer<QWidget> m_activeChild;
    QPointer<frmAbout> m_about;

    bool m_ended = false;
};

}  // namespace tessarin
