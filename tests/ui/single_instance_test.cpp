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
#include <string>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "ui/app_main.h"
#include "ui_test_support.h"

namespace tessarin::test {
namespace {

// Sets an environment variable for one test (unsets it for a null value) and puts the old value back.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const QString* value)
        : m_name(name), m_wasSet(qEnvironmentVariableIsSet(name)), m_saved(qgetenv(name)) {
        if (value != nullptr) {
            qputenv(name, value->toLocal8Bit());
        } else {
            qunsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (m_wasSet) {
            qputenv(m_name, m_saved);
        } else {
            qunsetenv(m_name);
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;
    ScopedEnv(ScopedEnv&&) = delete;
    ScopedEnv& operator=(ScopedEnv&&) = delete;

  private:
    const char* m_name;
    bool m_wasSet;
    QByteArray m_saved;
};

#ifndef _WIN32
// A temporary folder of the test's own as TMPDIR (and HOME), so that the user's real lock is never touched.
class OwnTempFolder {
  public:
    OwnTempFolder()
        : m_home(m_folder.path() + QStringLiteral("/home")), m_tmp("TMPDIR", &m_path), m_homeEnv("HOME", &m_home) {}
    QString Path() const { return m_path; }

  private:
    QTemporaryDir m_folder;
    QString m_path = m_folder.path();
    QString m_home;
    ScopedEnv m_tmp;
    ScopedEnv m_homeEnv;
};

bool othersMayWrite(const QString& folder) {
    return (QFile(folder).permissions() & (QFileDevice::WriteGroup | QFileDevice::WriteOther)) != 0;
}

const QFileDevice::Permissions kEveryoneMayWrite =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner | QFileDevice::ReadGroup |
    QFileDevice::WriteGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::WriteOther |
    QFileDevice::ExeOther;

TEST(SingleInstance, LockFolderIsPrivateToTheUserAndTheSameWithOrWithoutARuntimeFolder) {
    OwnTempFolder temp;
    QTemporaryDir privateFolder;
    QTemporaryDir shared;
    QFile(shared.path()).setPermissions(kEveryoneMayWrite);
    const QString privatePath = privateFolder.path();
    const QString sharedPath = shared.path();
    QStringList folders;
    for (const QString* offered : {&privatePath, &sharedPath, static_cast<const QString*>(nullptr)}) {
        const QString empty;
        ScopedEnv runtime("XDG_RUNTIME_DIR", offered);
        folders << InstanceLockFolder();
        ScopedEnv emptyRuntime("XDG_RUNTIME_DIR", &empty);
        folders << InstanceLockFolder();
    }
    for (const QString& folder : folders) {
        EXPECT_EQ(folder, folders.first());
    }
    const QString folder = folders.first();
    EXPECT_TRUE(folder.startsWith(temp.Path())) << folder.toStdString();
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_FALSE(othersMayWrite(folder)) << folder.toStdString();
}

TEST(SingleInstance, AUserFolderOthersMayWriteToIsNotUsed) {
    OwnTempFolder temp;
    const QString usual = InstanceLockFolder();
    ASSERT_TRUE(QFile(usual).setPermissions(kEveryoneMayWrite));
    const QString folder = InstanceLockFolder();
    EXPECT_NE(folder, usual);
    ASSERT_FALSE(folder.isEmpty());
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_FALSE(othersMayWrite(folder)) << folder.toStdString();
}

// Another local user (nobody) makes the folders first; root plays both users, giving the folders away.
class FolderTakenByAnother : public ::testing::Test {
  protected:
    void SetUp() override {
        if (::geteuid() != 0) {
            GTEST_SKIP() << "only root can make a folder that is another user's";
        }
        ASSERT_TRUE(QDir().mkpath(m_home));
        ASSERT_EQ(::mkdir(m_taken.c_str(), 0755), 0);
        ASSERT_EQ(::chown(m_taken.c_str(), kNobody, kNobody), 0);
    }
    static bool ownAndPrivate(const QString& folder) {
        struct stat st {};
        return ::lstat(QFile::encodeName(folder).constData(), &st) == 0 && st.st_uid == ::getuid() &&
               (st.st_mode & 077) == 0;
    }

    static constexpr uid_t kNobody = 65534;
    OwnTempFolder m_temp;
    QString m_home = m_temp.Path() + QStringLiteral("/home");
    std::string m_taken = QFile::encodeName(m_temp.Path()).toStdString() + "/tessarin-" + std::to_string(::getuid());
};

TEST_F(FolderTakenByAnother, NeitherBlocksTheStartNorLetsASecondCopyIn) {
    const QStringList firstFolders = InstanceLockFolders();
    ASSERT_FALSE(firstFolders.isEmpty());
    for (const QString& folder : firstFolders) {
        EXPECT_TRUE(ownAndPrivate(folder)) << folder.toStdString();
    }
    auto first = ClaimSingleInstance(firstFolders, [] {});
    ASSERT_NE(first, nullptr) << "another user's folder does not stop the start";
    const QString home = QDir(m_home).filePath(QStringLiteral(".tessarin"));
    EXPECT_TRUE(ownAndPrivate(home)) << "created 0700";

    // The other user takes its folder away: the second copy gets the usual one, and still sees the first.
    ASSERT_EQ(::rmdir(m_taken.c_str()), 0);
    int refusals = 0;
    EXPECT_EQ(ClaimSingleInstance(InstanceLockFolders(), [&] { ++refusals; }), nullptr);
    EXPECT_EQ(refusals, 1);
    first.reset();
    EXPECT_NE(ClaimSingleInstance(InstanceLockFolders(), [] {}), nullptr) << "free again once the first is gone";
}

TEST_F(FolderTakenByAnother, AHomeFolderOfAnotherUserIsNotTrustedAndTheStartGoesOn) {
    const std::string home = QFile::encodeName(QDir(m_home).filePath(QStringLiteral(".tessarin"))).toStdString();
    ASSERT_EQ(::mkdir(home.c_str(), 0700), 0);
    ASSERT_EQ(::chown(home.c_str(), kNobody, kNobody), 0);
    const QStringList folders = InstanceLockFolders();
    ASSERT_EQ(folders.size(), 1);
    EXPECT_TRUE(ownAndPrivate(folders.first())) << folders.first().toStdString();
    EXPECT_NE(ClaimSingleInstance(folders, [] {}), nullptr);
    QDir(folders.first()).removeRecursively();
}

#endif

TEST(SingleInstance, ASecondLockOfTheSameNameIsRefused) {
#ifdef _WIN32
    const QString where = QStringLiteral("Local\\Tessarin.Test.%1").arg(QCoreApplication::applicationPid());
#else
    QTemporaryDir folder;
    const QString where = folder.path();
#endif
    int refusals = 0;
    auto first = ClaimSingleInstance(where, [&] { ++refusals; });
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(ClaimSingleInstance(where, [&] { ++refusals; }), nullptr);
    EXPECT_EQ(refusals, 1);
    first.reset();
    EXPECT_NE(ClaimSingleInstance(where, [&] { ++refusals; }), nullptr) << "free again once released";
    EXPECT_EQ(refusals, 1);
}

#ifdef _WIN32
// The program itself holds the named mutex; a second claim is refused while it runs, and the system
// releases the mutex with the process, however it ends.
TEST(SingleInstance, TheRunningProgramHoldsTheMutexUntilItEnds) {
    const QString program =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../bin/tessarin.exe"));
    if (!QFileInfo(program).isExecutable()) {
        GTEST_SKIP() << "the program is not built: " << program.toStdString();
    }
    ASSERT_NE(ClaimSingleInstance(SingleInstanceName()), nullptr) << "no other instance runs before the test";
    QProcess first;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    first.setProcessEnvironment(env);
    first.start(program, {});
    ASSERT_TRUE(first.waitForStarted(20000));
    int refusals = 0;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return ClaimSingleInstance(SingleInstanceName(), [&] { ++refusals; }) == nullptr; }, 60000));
    EXPECT_EQ(first.state(), QProcess::Running) << "the first instance is untouched";
    first.kill();
    ASSERT_TRUE(first.waitForFinished(20000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return ClaimSingleInstance(SingleInstanceName(), [] {}) != nullptr; }, 20000))
        << "free again once the holder is gone";
}
#else

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

// How the first and the second start see XDG_RUNTIME_DIR: a folder of its own each, or unset.
struct StartCase {
    const char* name;
    bool firstHasRuntime;
    bool secondHasRuntime;
};

class SecondStart : public ::testing::TestWithParam<StartCase> {};

// The program itself holds the lock; a second start is refused with the message and leaves it running,
// whether or not either start has a runtime folder.
TEST_P(SecondStart, IsRefusedWithTheMessage) {
    const StartCase c = GetParam();
    const QString program = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../bin/tessarin"));
    if (!QFileInfo(program).isExecutable()) {
        GTEST_SKIP() << "the program is not built: " << program.toStdString();
    }
    OwnTempFolder temp;
    QTemporaryDir firstRuntime;
    QTemporaryDir secondRuntime;
    QProcess first;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (c.firstHasRuntime) {
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), firstRuntime.path());
    } else {
        env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    }
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    first.setProcessEnvironment(env);
    first.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    first.start(program, {});
    ASSERT_TRUE(first.waitForStarted(10000));

    const QString secondRuntimePath = secondRuntime.path();
    ScopedEnv secondsRuntime("XDG_RUNTIME_DIR", c.secondHasRuntime ? &secondRuntimePath : nullptr);
    const QString lockFile = QDir(InstanceLockFolder()).filePath(QStringLiteral("tessarin.lock"));
    // The lock is held once the file names its holder: the file is created first, then locked, then written.
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo(lockFile).size() > 0; }, 15000)) << c.name;
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
    EXPECT_EQ(ClaimSingleInstance(InstanceLockFolder()), nullptr) << c.name;
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

INSTANTIATE_TEST_SUITE_P(RuntimeFolders, SecondStart,
                         ::testing::Values(StartCase{"BothWithTheirOwn", true, true},
                                           StartCase{"FirstWithSecondWithout", true, false},
                                           StartCase{"FirstWithoutSecondWith", false, true}),
                         [](const ::testing::TestParamInfo<StartCase>& row) { return std::string(row.param.name); });
#endif

}  // namespace
}  // namespace tessarin::test
