// Start-up of the program: one instance per user, the program's look, the main window and its first child.
#pragma once

#include <QLockFile>
#include <QString>
#include <functional>
#include <memory>

namespace tessarin {

#ifndef _WIN32
// The folder that holds the single-instance lock, the same whether or not XDG_RUNTIME_DIR is set: the
// user's own folder tessarin-<uid> in the temporary folder (TMPDIR, else /tmp), created 0700 when missing;
// when that folder is not private to the user, .tessarin in the user's home. Never a folder that others can
// write.
QString InstanceLockFolder();
#endif

// Where the program's single instance is claimed: on Windows the name of a mutex in the session's
// namespace ("Local\\Tessarin.SingleInstance", which the installer also looks for), elsewhere
// InstanceLockFolder().
QString SingleInstanceName();

// The program's single-instance lock named `where` (see SingleInstanceName). On Windows a named mutex,
// which the system releases with the process however it ends; elsewhere a lock file in that folder, where
// a lock left behind by a program that crashed is recovered and a lock held by a running instance is not.
class InstanceLock {
  public:
    explicit InstanceLock(const QString& where);
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;
    // True when this process now holds the lock.
    bool Acquire();
    QString FileName() const { return m_fileName; }

  private:
    QString m_fileName;
#ifdef _WIN32
    void* m_mutex = nullptr;
#else
    QLockFile m_lock;
#endif
};

// The message of a second start (blocks until the operator presses OK).
void ShowAlreadyRunning();

// Takes the single-instance lock named `where`; when another instance holds it, tells the operator through
// `refuse` (ShowAlreadyRunning by default) and returns nullptr. The lock is held while the result lives.
std::unique_ptr<InstanceLock> ClaimSingleInstance(const QString& where,
                                                  const std::function<void()>& refuse = ShowAlreadyRunning);

// Qt's own texts in Japanese, fonts, default font and icon of the program. Call once after the QApplication
// exists and before any window is built.
void InitProgramLook();

// The program: refuses a second instance, loads the main window, shows the current-value screen and
// runs until the main window ends the program. Returns the exit code.
int Main(int& argc, char** argv);

}  // namespace tessarin
