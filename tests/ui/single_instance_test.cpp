// One instance per user: the lock folder, the refusal of a second start while the program runs, and the
// recovery of a lock left behind by a crash.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "ui/app_main.h"
#include "ui_test_support.h"

namespace tessarin::test {
namespace {

// Sets XDG_RUNTIME_DIR for one test and puts the old value back.
class RuntimeFolder {
  public:
    explicit RuntimeFolder(const QString& path) : m_saved(qgetenv("XDG_RUNTIME_DIR")) {
        qputenv("XDG_RUNTIME_DIR", path.toLocal8Bit());
    }
    ~RuntimeFolder() { qputenv("XDG_RUNTIME_DIR", m_saved); }
    RuntimeFolder(const RuntimeFolder&) = delete;
    RuntimeFolder& operator=(const RuntimeFolder&) = delete;

  private:
    QByteArray m_saved;
};

bool othersMayWrite(const QString& folder) {
    return (QFile(folder).permissions() & (QFileDevice::WriteGroup | QFileDevice::WriteOther)) != 0;
}

TEST(SingleInstance, LockFolderIsPrivateToTheUser) {
    QTemporaryDir privateFolder;
    QTemporaryDir shared;
    QFile(shared.path())
        .setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                        QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup |
                        QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther);
    {
        RuntimeFolder runtime(privateFolder.path());
        EXPECT_EQ(InstanceLockFolder(), privateFolder.path());
    }
    for (const QString& offered : {shared.path(), QString()}) {
        RuntimeFolder runtime(offered);
        const QString folder = InstanceLockFolder();
        EXPECT_NE(folder, shared.path());
        ASSERT_FALSE(folder.isEmpty());
        EXPECT_TRUE(QFileInfo(folder).isDir());
        EXPECT_FALSE(othersMayWrite(folder)) << folder.toStdString();
    }
}

TEST(SingleInstance, ASecondLockInTheSameFolderIsRefused) {
    QTemporaryDir folder;
    int refusals = 0;
    auto first = ClaimSingleInstance(folder.path(), [&] { ++refusals; });
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(ClaimSingleInstance(folder.path(), [&] { ++refusals; }), nullptr);
    EXPECT_EQ(refusals, 1);
    first.reset();
    EXPECT_NE(ClaimSingleInstance(folder.path(), [&] { ++refusals; }), nullptr) << "free again once released";
    EXPECT_EQ(refusals, 1);
}

TEST(SingleInstance, ALockLeftByACrashIsRecoveredEvenWhenItsNumberWasReused) {
    QTemporaryDir folder;
    // What a crashed instance leaves: the file, naming a process that runs (this one, as after the
    // number was reused), but nobody holding its lock.
    QFile stale(QDir(folder.path()).filePath(QStringLiteral("tessarin.lock")));
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.write(QStringLiteral("%1\n%2\n%3\n")
                    .arg(QCoreApplication::applicationPid())
                    .arg(QCoreApplication::applicationName(), QSysInfo::machineHostName())
                    .toUtf8());
    stale.close();
    int refusals = 0;
    EXPECT_NE(ClaimSingleInstance(folder.path(), [&] { ++refusals; }), nullptr);
    EXPECT_EQ(refusals, 0);
}

// The program itself holds the lock; a second start is refused with the message and leaves it running.
TEST(SingleInstance, SecondStartOfTheProgramIsRefusedWithTheMessage) {
    const QString program = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../bin/tessarin"));
    if (!QFileInfo(program).isExecutable()) {
        GTEST_SKIP() << "the program is not built: " << program.toStdString();
    }
    QTemporaryDir runtime;
    QProcess first;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    first.setProcessEnvironment(env);
    first.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    first.start(program, {});
    ASSERT_TRUE(first.waitForStarted(10000));
    const QString lockFile = QDir(runtime.path()).filePath(QStringLiteral("tessarin.lock"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(lockFile); }, 15000));

    RuntimeFolder sameUser(runtime.path());
    QString text;
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int buttons = 0;
    WhenModalShows<QMessageBox>([&](QMessageBox* box) {
        text = box->text();
        title = box->windowTitle();
        icon = box->icon();
        buttons = static_cast<int>(box->buttons().size());
        box->button(QMessageBox::Ok)->click();
    });
    EXPECT_EQ(ClaimSingleInstance(InstanceLockFolder()), nullptr);
    EXPECT_EQ(text, QStringLiteral("このアプリケーションはすでに開かれています。"));
    EXPECT_EQ(title, QStringLiteral("起動エラー"));
    EXPECT_EQ(icon, QMessageBox::Warning);
    EXPECT_EQ(buttons, 1);
    EXPECT_EQ(first.state(), QProcess::Running) << "the first instance is untouched";

    // A crash of the first leaves its file behind; the next start takes over.
    first.kill();
    ASSERT_TRUE(first.waitForFinished(10000));
    EXPECT_TRUE(QFile::exists(lockFile));
    int refusals = 0;
    EXPECT_NE(ClaimSingleInstance(InstanceLockFolder(), [&] { ++refusals; }), nullptr);
    EXPECT_EQ(refusals, 0);
}

}  // namespace
}  // namespace tessarin::test
