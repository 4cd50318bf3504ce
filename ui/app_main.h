// Start-up of the program: one instance per user, the program's look, the main window and its first child.
#pragma once

#include <QLockFile>
#include <QString>
#include <functional>
#include <memory>

namespace tessarin {

// The folder that holds the single-instance lock, the same whether or not XDG_RUNTIME_DIR is set: the
// user's own folder tessarin-<uid> in the temporary folder (TMPDIR, else /tmp), created 0700 when missing;
// when that folder is not private to the user, .tessarin in the user's home. Never a folder that others can
// write. (On Windows: the runtime folder Qt offers, else the home one.)
QString InstanceLockFolder();

// The program's single-instance lock in `folder`. A lock left behind by a program that crashed is
// recovered; a lock held by a running instance is not.
class InstanceLock {
  public:
    explicit InstanceLock(const QString& folder);
    // True when this process now holds the lock.
    bool Acquire();
    QString FileName() const { return m_fileName; }

  private:
    QString m_fileName;
    QLockFile m_lock;
};

// The message of a second start (blocks until the operator presses OK).
void ShowAlreadyRunning();

// Takes the single-instance lock in `folder`; when another instance holds it, tells the operator through
// `refuse` (ShowAlreadyRunning by default) and returns nullptr. The lock is held while the result lives.
std::unique_ptr<InstanceLock> ClaimSingleInstance(const QString& folder,
                                                  const std::function<void()>& refuse = ShowAlreadyRunning);

// Qt's own texts in Japanese, fonts, default font and icon of the program. Call once after the QApplication
// exists and before any window is built.
void InitProgramLook();

// The program: refuses a second instance, loads the main window, shows the current-value screen and
// runs until the main window ends the program. Returns the exit code.
int Main(int& argc, char** argv);

}  // namespace tessarin
