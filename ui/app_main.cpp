#include "ui/app_main.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QStandardPaths>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>

#include <QSysInfo>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "link/serial_port_list.h"
#endif

#include "ui/app_version.h"
#include "ui/frm_mid_main.h"
#include "ui/pictures.h"
#include "ui/qt_translations.h"
#include "ui/ui_fonts.h"

namespace tessarin {

#ifndef _WIN32
namespace {

constexpr const char* kLockFileName = "tessarin.lock";

std::string localPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

QString fromLocalPath(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

// Whether `path` is, or now is, a folder only the user may write to: created 0700 when missing; false when
// it is someone else's, a link, writable by its group or others (who may have left things in it), or
// cannot be made. Checked with lstat after the mkdir, so a folder planted by someone else is never taken
// for ours.
bool privateFolder(const std::string& path) {
    ::mkdir(path.c_str(), S_IRWXU);
    return FolderIsPrivate(path);
}

// The user's own folder in the temporary folder, when it is the user's.
std::optional<QString> tempLockFolder() {
    const std::string own = UserTempFolder(localPath(QDir::tempPath())).string();
    return privateFolder(own) ? std::optional(fromLocalPath(own)) : std::nullopt;
}

// The program's folder in the user's home, one lock folder per machine in it (a home may be shared between
// machines, and one copy runs per machine). Nothing when there is no home of the user's to write in.
std::optional<QString> homeLockFolder() {
    const QString home = QDir::homePath();
    if (home.isEmpty() || home == QDir::rootPath()) {
        return std::nullopt;
    }
    const QString program = QDir(home).filePath(QStringLiteral(".tessarin"));
    QString host = QSysInfo::machineHostName();
    if (host.isEmpty() || host.contains(QLatin1Char('/')) || host.startsWith(QLatin1Char('.'))) {
        host = QStringLiteral("localhost");
    }
    const QString folder = QDir(program).filePath(host);
    if (!privateFolder(localPath(program)) || !privateFolder(localPath(folder))) {
        return std::nullopt;
    }
    return folder;
}

}  // namespace
#endif

#ifdef _WIN32

QString SingleInstanceName() { return QStringLiteral("Local\\Tessarin.SingleInstance"); }

InstanceLock::InstanceLock(const QString& where) : m_fileName(where) {}

QString InstanceLock::FileName() const { return m_fileName; }

InstanceLock::~InstanceLock() {
    if (m_mutex != nullptr) {
        CloseHandle(static_cast<HANDLE>(m_mutex));
    }
}

bool InstanceLock::Acquire() {
    if (m_mutex != nullptr) {
        return true;
    }
    // The mutex exists while any process holds a handle to it, so a crashed instance leaves nothing behind.
    HANDLE mutex = CreateMutexW(nullptr, FALSE, reinterpret_cast<const wchar_t*>(m_fileName.utf16()));
    if (mutex == nullptr) {
        return false;
    }
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        return false;
    }
    m_mutex = mutex;
    return true;
}

#else

QStringList InstanceLockFolders() {
    QStringList folders;
    for (const auto& folder : {tempLockFolder(), homeLockFolder()}) {
        if (folder) {
            folders << *folder;
        }
    }
    if (folders.isEmpty()) {
        // Neither is ours: a folder of this start's own, so that the program still starts, though it can
        // then not see another copy.
        QByteArray pattern =
            QFile::encodeName(QDir(QDir::tempPath()).filePath(QStringLiteral("tessarin-%1-XXXXXX").arg(::getuid())));
        if (::mkdtemp(pattern.data()) != nullptr) {
            folders << QFile::decodeName(pattern);
        }
    }
    return folders;
}

QString InstanceLockFolder() {
    const QStringList folders = InstanceLockFolders();
    return folders.isEmpty() ? QString() : folders.first();
}

QStringList SingleInstanceName() { return InstanceLockFolders(); }

InstanceLock::InstanceLock(const QString& where) : InstanceLock(QStringList{where}) {}

InstanceLock::InstanceLock(const QStringList& folders) {
    for (const QString& folder : folders) {
        auto lock = std::make_unique<QLockFile>(QDir(folder).filePath(QString::fromUtf8(kLockFileName)));
        // A lock is never given up for its age: only a lock whose program is gone counts as stale.
        lock->setStaleLockTime(0);
        m_locks.push_back(std::move(lock));
    }
}

InstanceLock::~InstanceLock() = default;

QString InstanceLock::FileName() const { return m_locks.empty() ? QString() : m_locks.front()->fileName(); }

bool InstanceLock::Acquire() {
    if (m_locks.empty()) {
        return false;
    }
    for (const auto& lock : m_locks) {
        if (!acquireOne(*lock)) {
            for (const auto& held : m_locks) {
                held->unlock();
            }
            return false;
        }
    }
    return true;
}

bool InstanceLock::acquireOne(QLockFile& lock) {
    if (lock.isLocked() || lock.tryLock(0)) {
        return true;
    }
    if (lock.error() != QLockFile::LockFailedError) {
        return false;
    }
    // tryLock already recovers a lock whose process is gone. A crashed holder whose number has been
    // reused by another process is caught here: removeStaleLockFile takes the file away only when no
    // running program holds its lock, which a live instance always does.
    if (lock.removeStaleLockFile()) {
        return lock.tryLock(0);
    }
    return false;
}

#endif

void ShowAlreadyRunning() {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("起動エラー"),
                    QStringLiteral("このアプリケーションはすでに開かれています。"), QMessageBox::Ok);
    box.setObjectName(QStringLiteral("msgAlreadyRunning"));
    box.exec();
}

namespace {

template <typename Places>
std::unique_ptr<InstanceLock> claim(const Places& where, const std::function<void()>& refuse) {
    auto lock = std::make_unique<InstanceLock>(where);
    if (lock->Acquire()) {
        return lock;
    }
    if (refuse) {
        refuse();
    }
    return nullptr;
}

}  // namespace

std::unique_ptr<InstanceLock> ClaimSingleInstance(const QString& where, const std::function<void()>& refuse) {
    return claim(where, refuse);
}

#ifndef _WIN32
std::unique_ptr<InstanceLock> ClaimSingleInstance(const QStringList& folders, const std::function<void()>& refuse) {
    return claim(folders, refuse);
}
#endif

void InitProgramLook() {
    InstallQtJapaneseTranslation();
    InstallFontSubstitutions();
    QApplication::setFont(UiFont(kPointSizeNormal));
    QApplication::setWindowIcon(ProgramIcon());
}

int Main(int& argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(kProductName));
    QApplication::setApplicationVersion(
        QStringLiteral("%1.%2.%3").arg(kVersionMajor).arg(kVersionMinor).arg(kVersionPatch));
    InitProgramLook();

    const std::unique_ptr<InstanceLock> lock = ClaimSingleInstance(SingleInstanceName());
    if (!lock) {
        return 0;
    }

    frmMidMain window;
    window.mnuNowValue_Click();
    return QApplication::exec();
}

}  // namespace tessarin
