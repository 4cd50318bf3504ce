// Start-up of the program: one instance per user, the program's look, the main window and its first child.
#pragma once

#include <QLockFile>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

namespace tessarin {

#ifndef _WIN32
// The folders in each of which the program holds a single-instance lock, the same whether or not
// XDG_RUNTIME_DIR is set, never one that others can write (each checked with lstat after its mkdir):
// - the user's own folder tessarin-<uid> in the temporary folder (TMPDIR, else /tmp), created 0700 when
//   missing, when it is the user's alone (anyone may create that name first);
// - .tessarin/<host name> in the user's home, both created 0700, when the home is there and both are the
//   user's alone.
// Every copy tries both, so two copies exclude each other even when another user's folder in /tmp comes
// and goes between their starts. When neither is the user's, a fresh private folder (mkdtemp) is the
// only one: the program starts, though it cannot see another copy then.
QStringList InstanceLockFolders();

// The first of InstanceLockFolders().
QString InstanceLockFolder();
#endif

// Where the program's single instance is claimed: on Windows the name of a mutex in the session's
// namespace ("Local\\Tessarin.SingleInstance", which the installer also looks for), elsewhere
// InstanceLockFolders().
#ifdef _WIN32
QString SingleInstanceName();
#else
QStringList SingleInstanceName();
#endif

// The program's single-instance lock named `where` (see SingleInstanceName). On Windows a named mutex,
// which the system releases with the process however it ends; elsewhere a lock file in that folder (or in
// each of several folders, all held or none), where a lock left behind by a program that crashed is
// recovered and a lock held by a running instance is not.
class InstanceLock {
  public:
    explicit InstanceLock(const QString& where);
#ifndef _WIN32
    explicit InstanceLock(const QStringList& folders);
#endif
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;
    // True when this process now holds the lock.
    bool Acquire();
    // The mutex's name, or the lock file in the first folder.
    QString FileName() const;

  private:
#ifdef _WIN32
    QString m_fileName;
    void* m_mutex = nullptr;
#else
    static bool acquireOne(QLockFile& lock);
    std::vector<std::unique_ptr<QLockFile> > m_locks;
#endif
};

// The message of a second start (blocks until the operator presses OK).
void ShowAlreadyRunning();

// Takes the single-instance lock named `where`; when another instance holds it, tells the operator through
// `refuse` (ShowAlreadyRunning by default) and returns nullptr. The lock is held while the result lives.
std::unique_ptr<InstanceLock> ClaimSingleInstance(const QString& where,
                                                  const std::function<void()>& refuse = ShowAlreadyRunning);
#ifndef _WIN32
std::unique_ptr<InstanceLock> ClaimSingleInstance(const QStringList& folders,
                                                  const std::function<void()>& refuse = ShowAlreadyRunning);
#endif

// Qt's own texts in Japanese, fonts, default font and icon of the program. Call once after the QApplication
// exists and before any window is built.
void InitProgramLook();

// The program: refuses a second instance, loads the main window, shows the current-value screen and
// runs until the main window ends the program. Returns the exit code.
int Main(int& argc, char** argv);

}  // namespace tessarin
