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

#include <filesystem>

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

// A folder only the user may enter: created 0700 when missing, refused when others can write to it.
bool MakePrivateFolder(const QString& path) {
    QDir dir(path);
    if (!dir.exists() && !QDir().mkpath(path)) {
        return false;
    }
    QFile folder(path);
    const QFileDevice::Permissions others = QFileDevice::WriteGroup | QFileDevice::WriteOther;
    if ((folder.permissions() & others) != 0) {
        return folder.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    return true;
}

}  // namespace
#endif

#ifdef _WIN32

QString SingleInstanceName() { return QStringLiteral("Local\\Tessarin.SingleInstance"); }

InstanceLock::InstanceLock(const QString& where) : m_fileName(where) {}

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

QString InstanceLockFolder() {
    // Never the runtime folder: a start from a shell without XDG_RUNTIME_DIR would look elsewhere and miss
    // the running instance. The user's own folder in the temporary folder is the same in every session.
    const std::filesystem::path own = UserTempFolder(QFile::encodeName(QDir::tempPath()).toStdString());
    ::mkdir(own.c_str(), S_IRWXU);  // an existing folder is checked below, whoever made it
    if (FolderIsPrivate(own)) {
        return QFile::decodeName(QByteArray::fromStdString(own.string()));
    }
    // Someone else owns or may write to that folder: a private one in the user's home instead.
    QString home = QDir::homePath();
    if (home.isEmpty()) {
        home = QDir::currentPath();
    }
    const QString fallback = QDir(home).filePath(QStringLiteral(".tessarin"));
    MakePrivateFolder(fallback);
    return fallback;
}

QString SingleInstanceName() { return InstanceLockFolder(); }

InstanceLock::InstanceLock(const QString& folder)
    : m_fileName(QDir(folder).filePath(QString::fromUtf8(kLockFileName))), m_lock(m_fileName) {
    // A lock is never given up for its age: only a lock whose program is gone counts as stale.
    m_lock.setStaleLockTime(0);
}

InstanceLock::~InstanceLock() = default;

bool InstanceLock::Acquire() {
    if (m_lock.tryLock(0)) {
        return true;
    }
    if (m_lock.error() != QLockFile::LockFailedError) {
        return false;
    }
    // tryLock already recovers a lock whose process is gone. A crashed holder whose number has been
    // reused by another process is caught here: removeStaleLockFile takes the file away only when no
    // running program holds its lock, which a live instance always does.
    if (m_lock.removeStaleLockFile()) {
        return m_lock.tryLock(0);
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

std::unique_ptr<InstanceLock> ClaimSingleInstance(const QString& where, const std::function<void()>& refuse) {
    auto lock = std::make_unique<InstanceLock>(where);
    if (lock->Acquire()) {
        return lock;
    }
    if (refuse) {
        refuse();
    }
    return nullptr;
}

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
