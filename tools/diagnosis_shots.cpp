// Pictures of the 「通信診断」 window and the link panel's tooltip for each reason the link can be in, each
// made for real where this machine allows: an empty list, an entry naming no device, a simulated unit that
// is silent or garbles its answers, its port held by another process. A refused permission and another open
// failure cannot be had for real when the pictures are taken as root: a port that never opens stands in, with
// a real device file for the permissions to be read from.
#include "tools/diagnosis_shots.h"

#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <unistd.h>
#include <csignal>

#include <fcntl.h>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPixmap>
#include <QScreen>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <QToolTip>
#include <memory>

#include "link/class_comm.h"
#include "link/port_listing.h"
#include "sim/serial_list_entry.h"
#include "sim/simulated_unit.h"
#include "tools/shots_support.h"
#include "ui/frm_mid_main.h"
#include "ui/link_diagnosis_window.h"
#include "ui/status_panels.h"

namespace tessarin {
namespace {

// One scene: a runtime folder of its own (so that only its list entries are seen), a main window on it,
// and the pictures once the diagnosis says `expected`.
class Scene {
  public:
    Scene() : m_saved(qgetenv("XDG_RUNTIME_DIR")) {
        ::chmod(QFile::encodeName(m_runtime.path()).constData(), 0700);
        qputenv("XDG_RUNTIME_DIR", m_runtime.path().toLocal8Bit());
    }
    ~Scene() {
        m_window.reset();
        qputenv("XDG_RUNTIME_DIR", m_saved);
    }
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;
    Scene(Scene&&) = delete;
    Scene& operator=(Scene&&) = delete;

    void Open(UnitLink::CommFactory makeComm = {}) {
        if (makeComm) {
            m_window =
                std::make_unique<frmMidMain>(MakeSystemPortListing(), std::move(makeComm), DefaultPictureFolder());
        } else {
            m_window = std::make_unique<frmMidMain>();
        }
        m_window->SetQuitFunction([] {});
        m_window->move(0, 0);
        m_window->resize(900, 420);
        m_window->show();
    }

    // False when the reason never showed or a picture could not be saved.
    bool Shoot(LinkReason expected, const char* name, const QString& folder) {
        frmMidMain& window = *m_window;
        const bool reached = waitFor([&] { return window.Diagnosis().reason == expected; }, 15000);
        if (!reached) {
            QTextStream(stderr) << "diagnosis shots: " << name << ": the expected reason never showed" << Qt::endl;
        }
        window.mnuLinkDiagnosis_Click();
        frmLinkDiagnosis* diagnosis = window.LinkDiagnosisWindow();
        diagnosis->move(window.frameGeometry().right() + 8, 0);
        settle(700);
        const QString stem = QStringLiteral("%1_%2").arg(30 + m_number).arg(QString::fromLatin1(name));
        bool saved = savePicture(diagnosis->grab(), folder, stem + QStringLiteral("_diagnosis"));
        diagnosis->close();
        // The tooltip over the link panel, as the user sees it on hovering.
        QLabel* panel = window.StatusPanel(kPanelLinkText);
        window.activateWindow();
        settle(200);
        QToolTip::showText(panel->mapToGlobal(QPoint(panel->width() / 2, panel->height() / 2)), panel->toolTip(),
                           panel);
        settle(500);
        const QRect area(window.frameGeometry().left(), window.frameGeometry().bottom() - 140,
                         window.frameGeometry().width(), 220);
        QScreen* screen = QGuiApplication::primaryScreen();
        saved = screen != nullptr &&
                savePicture(screen->grabWindow(0, area.x(), area.y(), area.width(), area.height()), folder,
                            stem + QStringLiteral("_tooltip")) &&
                saved;
        QToolTip::hideText();
        ++m_number;
        return reached && saved && !panel->toolTip().isEmpty();
    }

    frmMidMain& Window() { return *m_window; }
    [[nodiscard]] QString RuntimePath() const { return m_runtime.path(); }

  private:
    static bool savePicture(const QPixmap& picture, const QString& folder, const QString& stem) {
        const QString path = QDir(folder).filePath(stem + QStringLiteral(".png"));
        const bool saved = !picture.isNull() && picture.save(path);
        QTextStream(stdout) << (saved ? "saved " : "FAILED ") << path << Qt::endl;
        return saved;
    }

    inline static int m_number = 0;

    QByteArray m_saved;
    QTemporaryDir m_runtime;
    std::unique_ptr<frmMidMain> m_window;
};

// Holds `device` locked in a child process, as another program would; gone when the holder is.
class Holder {
  public:
    explicit Holder(const std::string& device) {
        int ready[2];
        if (::pipe(ready) != 0) {
            return;
        }
        m_pid = ::fork();
        if (m_pid == 0) {
            const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            if (fd >= 0) {
                (void)::flock(fd, LOCK_EX | LOCK_NB);
            }
            const char byte = 1;
            const bool told = ::write(ready[1], &byte, 1) == 1;
            if (!told) {
                ::_exit(1);
            }
            ::pause();
            ::_exit(0);
        }
        char byte = 0;
        if (::read(ready[0], &byte, 1) != 1) {
            QTextStream(stderr) << "diagnosis shots: the holder did not start" << Qt::endl;
        }
        ::close(ready[0]);
        ::close(ready[1]);
    }
    ~Holder() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    Holder(const Holder&) = delete;
    Holder& operator=(const Holder&) = delete;
    Holder(Holder&&) = delete;
    Holder& operator=(Holder&&) = delete;

  private:
    pid_t m_pid = -1;
};

}  // namespace

bool ShootLinkDiagnosis(const QString& folder) {
    bool ok = true;
    {
        Scene scene;
        scene.Open();
        ok = scene.Shoot(LinkReason::NoAdapter, "no_adapter", folder) && ok;
    }
    {
        Scene scene;
        sim::SerialListEntry entry;
        std::string error;
        entry.Register(0, 7, "/dev/ttyUSB9", error);
        scene.Open();
        ok = scene.Shoot(LinkReason::DeviceMissing, "device_missing", folder) && ok;
    }
    {
        Scene scene;
        // A device file as a udev rule without uaccess leaves it: owned by root and a group the user is not in.
        const QString device = scene.RuntimePath() + QStringLiteral("/ttyUSB0");
        QFile file(device);
        file.open(QIODevice::WriteOnly);
        file.close();
        const std::string path = QFile::encodeName(device).toStdString();
        if (const group* dialout = ::getgrnam("dialout")) {
            if (::chown(path.c_str(), 0, dialout->gr_gid) != 0) {
                QTextStream(stderr) << "diagnosis shots: the device stays the user's (not run as root)" << Qt::endl;
            }
        }
        ::chmod(path.c_str(), 0660);
        sim::SerialListEntry entry;
        std::string error;
        entry.Register(0, 7, path, error);
        scene.Open([path] { return std::make_unique<ClosedPort>(OpenFailure::PermissionDenied, path); });
        ok = scene.Shoot(LinkReason::PermissionDenied, "permission_denied", folder) && ok;
    }
    {
        Scene scene;
        sim::SimulatedUnit unit;
        unit.Start();
        Holder holder(unit.DevicePath());
        scene.Open();
        ok = scene.Shoot(LinkReason::InUse, "in_use", folder) && ok;
    }
    {
        Scene scene;
        sim::SerialListEntry entry;
        std::string error;
        entry.Register(0, 7, "/dev/ttyUSB0", error);
        scene.Open([] { return std::make_unique<ClosedPort>(OpenFailure::Other, "/dev/ttyUSB0"); });
        ok = scene.Shoot(LinkReason::OpenFailed, "open_failed", folder) && ok;
    }
    {
        Scene scene;
        sim::SimulatedUnit unit;
        unit.SetSilent(true);
        unit.Start();
        scene.Open();
        ok = scene.Shoot(LinkReason::NoAnswer, "no_answer", folder) && ok;
    }
    {
        Scene scene;
        sim::SimulatedUnit unit;
        unit.SetCorruptShare(1.0);
        unit.Start();
        scene.Open();
        ok = scene.Shoot(LinkReason::Garbled, "garbled", folder) && ok;
    }
    {
        Scene scene;
        sim::SimulatedUnit unit;
        unit.Start();
        scene.Open();
        scene.Window().mnuLinkDiagnosis_Click();  // open from the start, so that its rows fill as frames come
        settle(3000);
        ok = scene.Shoot(LinkReason::OnLine, "on_line", folder) && ok;
    }
    return ok;
}

}  // namespace tessarin
