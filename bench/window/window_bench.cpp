// What the program costs as the operator meets it, measured inside the program's own start-up: this runs
// tessarin::Main, the same start-up as the program, with a probe object that Qt creates together with the
// application. A unit must already be listed in the serial-port list (scripts/bench starts tessarin-sim).
//
// Usage: window_bench start <monotonic ns at fork> | memory | stall
//   start   time from the process start (the caller's clock reading just before it started this process)
//           to the first non-empty V0 value on the current-value screen, with the steps on the way
//   memory  resident memory (VmRSS) after every window has been opened once, the confirmation dialog too
//   stall   the largest gap between ticks of a 10 ms probe timer while the log screen collects the
//           100-record log through the window's own timers: while the records are exchanged, and from the
//           last record until the grid is filled and painted; for comparison over 3 s ON LINE before
//   windows <s> the CPU time of the program ON LINE and idle with the phasor and trend windows open for <s>
//           seconds, and the worst paint time of each window in that time
//   diagnosis <s> the CPU time of the program ON LINE and idle with the 通信診断 window open for <s> seconds
// Prints "name value" lines; exit status 1 when the figure could not be taken.
#include <time.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QLabel>
#include <QTextStream>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "data/log_record_decoder.h"
#include "ui/app_main.h"
#include "ui/dlg_msg_box.h"
#include "ui/frm_log_disp.h"
#include "ui/frm_mid_main.h"
#include "ui/link_diagnosis_window.h"
#include "ui/phasor_window.h"
#include "ui/trend_window.h"

namespace {

using Clock = std::chrono::steady_clock;
using Millis = std::chrono::duration<double, std::milli>;

enum class Mode { Start, Memory, Stall, Windows, Diagnosis };

Mode g_mode = Mode::Start;
Clock::time_point g_processStart;
int g_windowSeconds = 60;
int g_exitCode = 0;

void print(const QString& name, double value) {
    QTextStream(stdout) << name << ' ' << QString::number(value, 'f', 3) << Qt::endl;
}

double sinceStart() { return Millis(Clock::now() - g_processStart).count(); }

tessarin::frmMidMain* mainWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* window = qobject_cast<tessarin::frmMidMain*>(widget)) {
            return window;
        }
    }
    return nullptr;
}

QString valueOf(const char* labelName) {
    tessarin::frmMidMain* window = mainWindow();
    auto* label = window != nullptr ? window->findChild<QLabel*>(QString::fromUtf8(labelName)) : nullptr;
    return label != nullptr ? label->text() : QString();
}

// "VmRSS" or "VmHWM" of this process in MB.
double statusMegabytes(const std::string& key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(key + ":", 0) == 0) {
            return std::strtod(line.c_str() + key.size() + 1, nullptr) / 1024.0;  // kB
        }
    }
    return 0.0;
}

void finish(int code) {
    g_exitCode = code;
    QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(g_exitCode); });
}

// Runs `step` every `intervalMs` until it returns true.
void every(int intervalMs, const std::function<bool()>& step) {
    auto* timer = new QTimer(qApp);
    timer->setTimerType(Qt::PreciseTimer);
    timer->setInterval(intervalMs);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, step] {
        if (step()) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start();
}

void measureStart() {
    print("app_constructed_ms", sinceStart());
    auto windowShown = std::make_shared<bool>(false);
    auto firstPoll = std::make_shared<bool>(false);
    auto decoded = std::make_shared<bool>(false);
    every(1, [=] {
        tessarin::frmMidMain* window = mainWindow();
        if (window == nullptr) {
            return false;
        }
        if (!*windowShown && window->isVisible()) {
            *windowShown = true;
            print("window_shown_ms", sinceStart());
        }
        if (!*firstPoll && window->Data().TxStarted != 0) {
            *firstPoll = true;
            print("first_poll_written_ms", sinceStart());
        }
        if (!*decoded && !window->Data().NowValue.V0Text.empty()) {
            *decoded = true;
            print("first_values_decoded_ms", sinceStart());
        }
        if (!valueOf("lblV0").isEmpty()) {
            print("first_values_shown_ms", sinceStart());
            finish(0);
            return true;
        }
        return false;
    });
}

// Waits until the current-value screen shows values, then runs `then`.
void whenLive(const std::function<void()>& then) {
    every(10, [then] {
        if (valueOf("lblV0").isEmpty()) {
            return false;
        }
        then();
        return true;
    });
}

void measureMemory() {
    whenLive([] {
        tessarin::frmMidMain* window = mainWindow();
        // One window after the other, each given time to lay itself out and paint.
        const std::vector<std::function<void()>> opens = {
            [window] { window->mnuUnitSetting_Click(); },
            [window] { window->mnuLogDisp_Click(); },
            [window] { window->mnuAbout_Click(); },
            [window] {
                // The confirmation dialog is modal: close it from inside its own loop.
                QTimer::singleShot(300, [] {
                    if (QWidget* modal = QApplication::activeModalWidget()) {
                        modal->close();
                    }
                });
                (void)tessarin::ShowMsgDialog(QStringLiteral("本体内のログが消去されます。"), QStringLiteral("確認"),
                                              window);
            },
            [window] { window->mnuNowValue_Click(); },
        };
        auto step = std::make_shared<std::size_t>(0);
        every(400, [opens, step] {
            if (*step < opens.size()) {
                opens[(*step)++]();
                return false;
            }
            print("resident_mb", statusMegabytes("VmRSS"));
            print("peak_resident_mb", statusMegabytes("VmHWM"));
            finish(0);
            return true;
        });
    });
}

// The gaps between ticks of a 10 ms probe timer: ideally all 10 ms; a longer one is time the event loop
// spent on something else.
struct GapProbe {
    Clock::time_point last{};
    double worst = 0;

    void tick(Clock::time_point now) {
        if (last != Clock::time_point{}) {
            worst = std::max(worst, Millis(now - last).count());
        }
        last = now;
    }
};

void measureStall() {
    whenLive([] {
        struct State {
            int phase = 0;  // 0 idle ON LINE, 1 records being exchanged, 2 completing, 3 after completion
            GapProbe idle;
            GapProbe exchanges;
            GapProbe completion;
            Clock::time_point phaseStart = Clock::now();
            Clock::time_point click;
            Clock::time_point complete;
        };
        auto state = std::make_shared<State>();
        every(10, [state] {
            const auto now = Clock::now();
            tessarin::frmMidMain* window = mainWindow();
            const tessarin::DeviceData& data = window->Data();
            State& s = *state;
            switch (s.phase) {
                case 0: {
                    s.idle.tick(now);
                    if (now - s.phaseStart < std::chrono::seconds(3)) {
                        return false;
                    }
                    window->mnuLogDisp_Click();
                    QWidget* logDisp = window->ActiveChild();
                    auto* button = logDisp != nullptr
                                       ? logDisp->findChild<QAbstractButton*>(QStringLiteral("cmdLogInport"))
                                       : nullptr;
                    if (button == nullptr) {
                        QTextStream(stderr) << "window_bench: no cmdLogInport on the log screen" << Qt::endl;
                        finish(1);
                        return true;
                    }
                    s.phase = 1;
                    s.click = Clock::now();
                    button->click();
                    s.exchanges.last = Clock::now();
                    return false;
                }
                case 1:
                    s.exchanges.tick(now);
                    if (data.LogState == tessarin::kLogLastReceived || data.LogBusy == 0) {
                        s.phase = 2;
                        s.completion.last = now;
                    } else if (now - s.click > std::chrono::seconds(60)) {
                        QTextStream(stderr) << "window_bench: the collection did not end" << Qt::endl;
                        finish(1);
                        return true;
                    }
                    return false;
                case 2:
                    s.completion.tick(now);
                    if (data.LogBusy == 0) {
                        s.phase = 3;
                        s.complete = now;
                    }
                    return false;
                default:
                    // The grid is filled and painted after the completing tick: keep probing a while.
                    s.completion.tick(now);
                    if (now - s.complete < std::chrono::milliseconds(500)) {
                        return false;
                    }
                    print("collection_s", std::chrono::duration<double>(s.complete - s.click).count());
                    print("idle_worst_gap_ms", s.idle.worst);
                    print("exchange_worst_gap_ms", s.exchanges.worst);
                    print("completion_worst_gap_ms", s.completion.worst);
                    print("collection_worst_gap_ms", std::max(s.exchanges.worst, s.completion.worst));
                    finish(0);
                    return true;
            }
        });
    });
}

double processCpuSeconds() {
    timespec spent{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &spent);
    return static_cast<double>(spent.tv_sec) + static_cast<double>(spent.tv_nsec) / 1e9;
}

void measureWindows() {
    whenLive([] {
        tessarin::frmMidMain* window = mainWindow();
        window->mnuPhasor_Click();
        window->mnuTrend_Click();
        // Ten minutes of answers before now, so that the trend paints as many points as it ever holds.
        if (tessarin::frmTrend* trend = window->TrendWindow()) {
            tessarin::NowValueRecord now = window->Data().NowValue;
            const auto newest = now.Numbers.receivedAt;
            constexpr int kAnswers = 1200;
            for (int i = kAnswers; i > 0; --i) {
                now.Numbers.receivedAt = newest - std::chrono::milliseconds(500) * i;
                trend->ShowAnswer(now);
            }
        }
        // Let both windows lay themselves out and paint before the measured time begins.
        QTimer::singleShot(2000, qApp, [window] {
            const double cpuBefore = processCpuSeconds();
            const Clock::time_point before = Clock::now();
            QTimer::singleShot(g_windowSeconds * 1000, qApp, [window, cpuBefore, before] {
                const double wall = std::chrono::duration<double>(Clock::now() - before).count();
                print("windows_cpu_percent", (processCpuSeconds() - cpuBefore) / wall * 100.0);
                tessarin::frmPhasor* phasor = window->PhasorWindow();
                tessarin::frmTrend* trend = window->TrendWindow();
                if (phasor == nullptr || trend == nullptr) {
                    finish(1);
                    return;
                }
                print("phasor_worst_paint_ms", phasor->Diagram()->WorstPaintMilliseconds());
                print("trend_worst_paint_ms", trend->Plot()->WorstPaintMilliseconds());
                finish(0);
            });
        });
    });
}

void measureDiagnosis() {
    whenLive([] {
        tessarin::frmMidMain* window = mainWindow();
        window->mnuLinkDiagnosis_Click();
        // Let the window fill its rows from the frames so far before the measured time begins.
        QTimer::singleShot(2000, qApp, [window] {
            const double cpuBefore = processCpuSeconds();
            const Clock::time_point before = Clock::now();
            QTimer::singleShot(g_windowSeconds * 1000, qApp, [window, cpuBefore, before] {
                const double wall = std::chrono::duration<double>(Clock::now() - before).count();
                print("diagnosis_cpu_percent", (processCpuSeconds() - cpuBefore) / wall * 100.0);
                finish(window->LinkDiagnosisWindow() != nullptr && window->LinkDiagnosisWindow()->Model().rowCount() > 0
                           ? 0
                           : 1);
            });
        });
    });
}

void installProbe() {
    // The whole run has a generous limit, so that a unit that never answers cannot hang the benchmark.
    QTimer::singleShot(90000 + g_windowSeconds * 1000, qApp, [] {
        QTextStream(stderr) << "window_bench: no figure within 90 s" << Qt::endl;
        QCoreApplication::exit(1);
    });
    switch (g_mode) {
        case Mode::Start:
            measureStart();
            break;
        case Mode::Memory:
            measureMemory();
            break;
        case Mode::Stall:
            measureStall();
            break;
        case Mode::Windows:
            measureWindows();
            break;
        case Mode::Diagnosis:
            measureDiagnosis();
            break;
    }
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(installProbe)

int main(int argc, char** argv) {
    g_processStart = Clock::now();
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "start" && argc > 2) {
        // steady_clock is CLOCK_MONOTONIC here, the clock the caller read before starting this process.
        g_processStart = Clock::time_point(std::chrono::nanoseconds(std::strtoll(argv[2], nullptr, 10)));
    } else if (mode == "memory") {
        g_mode = Mode::Memory;
    } else if (mode == "stall") {
        g_mode = Mode::Stall;
    } else if ((mode == "windows" || mode == "diagnosis") && argc > 2) {
        g_mode = mode == "windows" ? Mode::Windows : Mode::Diagnosis;
        g_windowSeconds = std::max(1, std::atoi(argv[2]));
    } else if (mode != "start") {
        QTextStream(stderr)
            << "usage: window_bench start <monotonic ns> | memory | stall | windows <seconds> | diagnosis <seconds>"
            << Qt::endl;
        return 2;
    }
    int qtArgc = 1;
    const int code = tessarin::Main(qtArgc, argv);
    return code != 0 ? code : g_exitCode;
}
