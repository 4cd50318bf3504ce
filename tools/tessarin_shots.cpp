// Saves pictures of every window of the program, for people to look at (scripts/screenshots runs it under
// Xvfb with the simulated unit registered). Usage: tessarin-shots <output folder>
// Exit status 0 when the live values showed, 1 when the link never came up (the pictures are saved anyway).
#include <QAbstractButton>
#include <QApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QMdiArea>
#include <QMessageBox>
#include <QScreen>
#include <QScrollBar>
#include <QTabWidget>
#include <QTextStream>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <string>

#include "data/choice_tables.h"
#include "data/log_record_decoder.h"
#include "data/safe_write.h"
#include "data/settings_file.h"
#include "tools/shots_support.h"
#include "ui/app_main.h"
#include "ui/dlg_msg_box.h"
#include "ui/frm_about.h"
#include "ui/frm_log_disp.h"
#include "ui/frm_mid_main.h"
#include "ui/frm_now_value.h"
#include "ui/frm_unit_setting.h"
#include "ui/link_diagnosis_window.h"
#include "ui/phasor_window.h"
#include "ui/trend_window.h"
#ifdef TESSARIN_DIAGNOSIS_SHOTS
#include "tools/diagnosis_shots.h"
#endif

namespace {

using tessarin::frmMidMain;

using tessarin::settle;
using tessarin::waitFor;

class Shooter {
  public:
    explicit Shooter(QString folder) : m_folder(std::move(folder)) {}

    void save(QWidget* widget, const QString& name) {
        const QString path = QDir(m_folder).filePath(name + QStringLiteral(".png"));
        const bool saved = widget != nullptr && widget->grab().save(path);
        QTextStream(stdout) << (saved ? "saved " : "FAILED ") << path << Qt::endl;
        m_failed = m_failed || !saved;
    }

    void saveScreen(const QString& name) {
        const QString path = QDir(m_folder).filePath(name + QStringLiteral(".png"));
        QScreen* screen = QGuiApplication::primaryScreen();
        const bool saved = screen != nullptr && screen->grabWindow(0).save(path);
        QTextStream(stdout) << (saved ? "saved " : "FAILED ") << path << Qt::endl;
    }

    // Grabs the modal window that `open` brings up, then presses its button `buttonName`.
    void saveModal(const QString& name, const QString& buttonName, const std::function<void()>& open) {
        QTimer::singleShot(700, [this, name, buttonName] {
            QWidget* modal = QApplication::activeModalWidget();
            save(modal, name);
            if (modal == nullptr) {
                return;
            }
            // An empty name would find any button: the save dialog's first is a tool button that leaves it open.
            auto* button = buttonName.isEmpty() ? nullptr : modal->findChild<QAbstractButton*>(buttonName);
            if (button != nullptr) {
                button->click();
            } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                box->button(QMessageBox::Ok)->click();
            } else {
                modal->close();
            }
        });
        open();
    }

    bool failed() const { return m_failed; }

  private:
    QString m_folder;
    bool m_failed = false;
};

// A settings file that differs from the unit in two lists, loaded and compared; then the three outcomes of
// a checked write: taken by the unit, and (on a copy of the unit's data, fed by hand) ignored and unanswered.
void shootSettingsChecks(frmMidMain& window, Shooter& shooter, const QString& folder) {
    auto* screen = window.findChild<tessarin::frmUnitSetting*>();
    if (screen == nullptr) {
        return;
    }
    const QString name = QDir(folder).filePath(QStringLiteral("14_settings.json"));
    tessarin::SettingsFile file;
    const tessarin::NowValueRecord& now = window.Data().NowValue;
    const bool ovgr = now.OvgrModeText == tessarin::kOvgrPresent;
    const auto matches = tessarin::MatchReportedSettings(now, ovgr);
    for (std::size_t list = 0; list < tessarin::kSettingListCount; ++list) {
        const auto table = tessarin::SettingTable(static_cast<tessarin::SettingList>(list), ovgr);
        // Two lists one entry on from what the unit has.
        const std::size_t shift = list == 1 || list == 6 ? 1 : 0;
        file.Texts[list] = table[(static_cast<std::size_t>(matches[list].Position) + shift) % table.size()];
    }
    file.OvgrFunction = now.OvgrModeText;
    (void)tessarin::WriteFileSafely(name.toStdString(), tessarin::FormatSettingsFile(file));
    screen->SetDialogs(
        {[&name](const QString&) { return name; }, [&name] { return name; },
         [](const QString& title, const QString& text) { QTextStream(stderr) << title << ": " << text << Qt::endl; }});
    screen->cmdLoadFile_Click();
    screen->cmdCompare_Click();
    settle(200);
    shooter.save(&window, QStringLiteral("14_settings_file_compared"));

    screen->Value_Click_getdata();
    screen->cmdSetting_Click();
    waitFor([screen] { return !screen->CheckText().endsWith(QStringLiteral("...")); }, 10000);
    settle(200);
    shooter.save(&window, QStringLiteral("15_settings_check_applied"));

    for (const bool answered : {true, false}) {
        tessarin::DeviceData copy;
        copy.NowValue = now;
        copy.LinkUp = tessarin::kTrue;
        tessarin::DataCommands commands(copy);
        tessarin::frmUnitSetting lone(copy, commands);
        lone.Value_Click_getdata();
        lone.show();
        lone.SetDialogs({[&name](const QString&) { return name; }, [&name] { return name; },
                         [](const QString&, const QString&) {}});
        lone.cmdLoadFile_Click();
        lone.cmdSetting_Click();
        lone.RequestWent(tessarin::kReqWriteSettings);
        for (int i = 0; answered && i < 3; ++i) {
            lone.NowValueArrived();
        }
        lone.tmrCheck_Timer();
        settle(300);
        shooter.save(&lone, QString::fromLatin1(answered ? "16_settings_check_differs" : "17_settings_check_silent"));
    }
}

}  // namespace

// The phasor window live with the collected minor-fault records, then with the live answer turned to a
// phase inside and one outside the operating range; the trend window, and the same while recording.
void shootPhasorAndTrend(frmMidMain& window, Shooter& shooter, const QString& folder) {
    window.mnuNowValue_Click();
    window.mnuPhasor_Click();
    tessarin::frmPhasor* phasor = window.PhasorWindow();
    if (phasor == nullptr) {
        return;
    }
    phasor->move(40, 40);
    settle(1500);
    shooter.save(phasor, QStringLiteral("20_phasor_live_with_logs"));
    tessarin::NowValueRecord now = window.Data().NowValue;
    tessarin::Measurement& m = now.Numbers.measured;
    // Both above their thresholds, so that the phase alone decides.
    m.v0Tenths = now.Numbers.v0ThresholdTenths.value_or(381) * 5 / 4;
    m.i0Tenths = now.Numbers.i0ThresholdMilliamps.value_or(15) * 13;
    m.v0Over = m.i0Over = false;
    now.Numbers.detectMode = 0;  // the mode in which the phase counts
    now.DetectModeText = tessarin::DetectModeTable[0];
    now.V0Text = QString::number(m.v0Tenths / 10.0, 'f', 1).toStdString() + "V";
    now.I0Text = QString::number(m.i0Tenths / 10000.0, 'f', 3).toStdString() + "A";
    const struct {
        int phaseTenths;
        const char* name;
    } turned[] = {{452, "21_phasor_inside"}, {1634, "22_phasor_outside"}};
    for (const auto& t : turned) {
        m.phase = tessarin::PhaseShown::Angle;
        m.phaseTenths = t.phaseTenths;
        now.PhaseText = std::to_string(t.phaseTenths / 10) + "°";
        // Taken at once: the next live answer would replace the turned one.
        phasor->ShowAnswer(now);
        shooter.save(phasor, QString::fromLatin1(t.name));
    }
    // As they look once the answers have stopped: greyed, with the time of the last one.
    const QDateTime lastAnswer = window.LastAnswerTime();
    phasor->ShowStale(true, lastAnswer);
    shooter.save(phasor, QStringLiteral("27_phasor_stale"));
    phasor->ShowStale(false, lastAnswer);
    phasor->close();
    if (auto* nowValue = window.findChild<tessarin::frmNowValue*>()) {
        nowValue->ShowStale(true, lastAnswer);
        shooter.save(&window, QStringLiteral("28_main_now_value_stale"));
        nowValue->ShowStale(false, lastAnswer);
    }

    tessarin::frmTrend* trend = window.TrendWindow();
    if (trend == nullptr) {
        return;
    }
    trend->raise();
    settle(4000);
    shooter.save(trend, QStringLiteral("23_trend"));
    const QString recording = QDir(folder).filePath(QStringLiteral("23_recording.csv"));
    trend->SetFileChooser([recording] { return recording; });
    trend->cmdRecord_Click();
    settle(2500);
    shooter.save(trend, QStringLiteral("24_trend_recording"));
    shooter.save(&window, QStringLiteral("25_main_recording_mark"));
    trend->cmdRecord_Click();
    trend->ShowStale(true, window.LastAnswerTime());
    settle(1500);
    shooter.save(trend, QStringLiteral("29_trend_stale"));
    trend->ShowStale(false, window.LastAnswerTime());
    trend->close();
}

int main(int argc, char** argv) {
#ifdef _WIN32
    // A native file dialog is no widget of the program's, so it could be neither grabbed nor closed here.
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
#endif
    QApplication app(argc, argv);
    tessarin::InitProgramLook();
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots");
    QDir().mkpath(folder);
    Shooter shooter(folder);

    frmMidMain window;
    window.SetQuitFunction([] {});
    window.move(0, 0);
    window.mnuNowValue_Click();

    const bool live = waitFor(
        [&window] {
            return window.Data().LinkUp != 0 && !window.Data().NowValue.FreqText.empty() &&
                   window.PanelPictureName(tessarin::kPanelReceiveLamp) == tessarin::kLampOnGreen;
        },
        30000);
    settle(300);
    shooter.save(&window, QStringLiteral("01_main_now_value"));

    // The trend window gathers answers from now on, for its pictures further down.
    window.mnuTrend_Click();
    if (auto* trend = window.TrendWindow()) {
        trend->move(0, 0);
        trend->lower();
    }
    window.activateWindow();

    window.mnuShortCutKey_Click();
    settle(200);
    shooter.save(&window, QStringLiteral("02_main_shortcut_guide"));
    window.mnuShortCutKey_Click();

    // The log screen after collecting the minor-ground-fault log and the device-state log from the unit.
    window.mnuLogDisp_Click();
    if (auto* logs = window.findChild<tessarin::frmLogDisp*>()) {
        auto* tabs = logs->findChild<QTabWidget*>(QStringLiteral("SSTab1"));
        const char* names[] = {"03_log_minor_fault", "04_log_device_state"};
        for (int tab = 0; tab < 2 && tabs != nullptr; ++tab) {
            tabs->setCurrentIndex(tab);
            logs->cmdLogInport_Click();
            waitFor([&window] { return window.Data().LogBusy == 0; }, 30000);
            settle(300);
            shooter.save(&window, QString::fromLatin1(names[tab]));
        }
        // The OVGR log too, for the visit report, when the unit offers it.
        if (tabs != nullptr && tabs->isTabEnabled(tessarin::kTabOvgr)) {
            tabs->setCurrentIndex(tessarin::kTabOvgr);
            logs->cmdLogInport_Click();
            waitFor([&window] { return window.Data().LogBusy == 0; }, 30000);
        }

        // The save dialog of the log on show, in Qt's Japanese texts.
        shooter.saveModal(QStringLiteral("10_save_dialog"), QString(), [logs] { logs->cmdLogExport_Click(); });

        // A collection under way: the record label and its progress bar.
        if (tabs != nullptr) {
            tabs->setCurrentIndex(0);
            logs->cmdLogInport_Click();
            waitFor([&window] { return window.Data().LogBusy == 0 || window.Data().SendData[0] >= 40; }, 30000);
            shooter.save(&window, QStringLiteral("11_log_collecting"));
            waitFor([&window] { return window.Data().LogBusy == 0; }, 30000);
        }

        // A laptop-sized main window: the work area scrolls to the log screen's buttons.
        const QSize fullSize = window.size();
        window.resize(1024, 600);
        settle(300);
        shooter.save(&window, QStringLiteral("12_log_1024x600"));
        if (auto* area = window.findChild<QMdiArea*>(QStringLiteral("mdiArea"))) {
            area->verticalScrollBar()->setValue(area->verticalScrollBar()->maximum());
            settle(200);
            shooter.save(&window, QStringLiteral("13_log_1024x600_scrolled"));
        }
        window.resize(fullSize);
    }

    shootPhasorAndTrend(window, shooter, folder);

    // The visit report of this session, beside the pictures (scripts/screenshots renders its first pages).
    const QString report = QDir(folder).filePath(QStringLiteral("10_visit_report.pdf"));
    window.SetVisitReportDialogs(
        {[&report](const QString&) { return report; },
         [](const QString& title, const QString& text) { QTextStream(stderr) << title << ": " << text << Qt::endl; },
         [] { return QDateTime::currentDateTime(); }});
    window.mnuVisitReport_Click();
    QTextStream(stdout) << (QFileInfo::exists(report) ? "saved " : "FAILED ") << report << Qt::endl;

    window.mnuUnitSetting_Click();
    settle(200);
    shooter.save(&window, QStringLiteral("05_settings"));
    shootSettingsChecks(window, shooter, folder);

    window.mnuNowValue_Click();
    window.mnuAbout_Click();
    settle(300);
    shooter.save(window.findChild<tessarin::frmAbout*>(), QStringLiteral("06_about"));
    shooter.saveScreen(QStringLiteral("07_screen_main_and_about"));
    if (auto* about = window.findChild<tessarin::frmAbout*>()) {
        about->close();
    }

    shooter.saveModal(QStringLiteral("08_confirm_dialog"), QStringLiteral("cmdButton1"), [&window] {
        tessarin::ShowMsgDialog(QStringLiteral("本体内のログが消去されます。\r\nよろしいですか？"),
                                QStringLiteral("確認"), &window);
    });
    shooter.saveModal(QStringLiteral("09_already_running"), QString(), [] { tessarin::ShowAlreadyRunning(); });

    // The diagnosis window of this session: ON LINE, with the frames of the whole session behind it.
    window.mnuLinkDiagnosis_Click();
    if (auto* diagnosis = window.LinkDiagnosisWindow()) {
        diagnosis->move(window.frameGeometry().right() - 600, 40);
        settle(800);
        shooter.save(diagnosis, QStringLiteral("26_diagnosis_session"));
        diagnosis->close();
    }

    window.mnuExit_Click();
#ifdef TESSARIN_DIAGNOSIS_SHOTS
    window.hide();
    if (!tessarin::ShootLinkDiagnosis(folder)) {
        QTextStream(stderr) << "tessarin-shots: a diagnosis picture is missing" << Qt::endl;
        return 1;
    }
#endif
    if (!live) {
        QTextStream(stderr) << "tessarin-shots: the live values did not show within 30 s" << Qt::endl;
        return 1;
    }
    return shooter.failed() ? 1 : 0;
}
