// The single-instance guard between real processes: hand-over to a running
// instance, a lock whose holder never answers, and a lock left by a crash.

#include <csignal>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include "scratch_folder_qt.h"
#include "shell/desktop/single_instance.h"
#include "shell_test_support.h"

namespace lumora {
namespace {

QString Program() {
    return test::BuildDir() + QStringLiteral("/lumora");
}

// The environment of a program run in the isolated folders; dataHome may
// differ from the folders' own, to see what the program wrote.
QProcessEnvironment ProgramEnvironment(const test::IsolatedUserFolders& folders,
                                       const QString& dataHome) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), folders.RuntimeDir());
    environment.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
    return environment;
}

// Waits for the process while this thread's events are served.
bool WaitServing(QProcess& process, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (process.state() != QProcess::NotRunning && timer.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        process.waitForFinished(10);
    }
    return process.state() == QProcess::NotRunning;
}

TEST(SingleInstanceTest, SecondProgramHandsOverItsCommandLineAndExitsWithOne) {
    test::IsolatedUserFolders folders;
    SingleInstanceGuard first(QString::fromLatin1(kClassName), folders.RuntimeDir());
    ASSERT_EQ(first.Acquire(QString()), kGuardFirstInstance);
    QSignalSpy activations(&first, &SingleInstanceGuard::activationRequested);

    test::ScratchFolder secondData;
    QProcess second;
    second.setProcessEnvironment(ProgramEnvironment(folders, test::QtPath(secondData)));
    second.start(Program(), {QStringLiteral("http://tv.example/hello%20world.ts")});
    ASSERT_TRUE(WaitServing(second, 10000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 1);
    ASSERT_EQ(activations.size(), 1);
    EXPECT_EQ(activations[0][0].toString(), QStringLiteral("http://tv.example/hello%20world.ts"));
    // The second program loaded nothing and wrote nothing.
    EXPECT_FALSE(QDir(test::QtPath(secondData) + QStringLiteral("/lumora")).exists());

    // An empty command line still brings the first one forward.
    QProcess third;
    third.setProcessEnvironment(ProgramEnvironment(folders, test::QtPath(secondData)));
    third.start(Program(), {});
    ASSERT_TRUE(WaitServing(third, 10000));
    EXPECT_EQ(third.exitCode(), 1);
    ASSERT_EQ(activations.size(), 2);
    EXPECT_EQ(activations[1][0].toString(), QString());
}

TEST(SingleInstanceTest, LockHolderThatNeverAnswersIsWaitedForThenIgnored) {
    test::IsolatedUserFolders folders;
    SingleInstanceGuard holder(QString::fromLatin1(kClassName), folders.RuntimeDir());
    // The holder has the lock but no window yet: take its socket away.
    ASSERT_EQ(holder.Acquire(QString()), kGuardFirstInstance);
    const QDir runtime(folders.RuntimeDir());
    for (const QString& name : runtime.entryList(QDir::System | QDir::Files)) {
        if (!name.endsWith(QStringLiteral(".lock")))
            QFile::remove(runtime.filePath(name));
    }

    SingleInstanceGuard later(QString::fromLatin1(kClassName), folders.RuntimeDir());
    EXPECT_EQ(later.Acquire(QStringLiteral("x")), kGuardFirstInstance);
    EXPECT_EQ(later.AttemptsMade(), SingleInstanceGuard::kMaxAttempts);
}

TEST(SingleInstanceTest, LockOfACrashedProgramIsTakenOver) {
    test::IsolatedUserFolders folders;
    test::ScratchFolder data;
    QProcess crashed;
    crashed.setProcessEnvironment(ProgramEnvironment(folders, test::QtPath(data)));
    crashed.start(Program(), {});
    ASSERT_TRUE(crashed.waitForStarted());
    // Wait until it holds the lock and listens, then kill it hard.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return QDir(folders.RuntimeDir()).entryList(QDir::System | QDir::Files).size() >= 2;
        },
        10000));
    ::kill(static_cast<pid_t>(crashed.processId()), SIGKILL);
    ASSERT_TRUE(crashed.waitForFinished());

    SingleInstanceGuard next(QString::fromLatin1(kClassName), folders.RuntimeDir());
    EXPECT_EQ(next.Acquire(QString()), kGuardFirstInstance);
    EXPECT_EQ(next.AttemptsMade(), 0);

    // And it serves later programs again.
    QSignalSpy activations(&next, &SingleInstanceGuard::activationRequested);
    QProcess later;
    later.setProcessEnvironment(ProgramEnvironment(folders, test::QtPath(data)));
    later.start(Program(), {});
    ASSERT_TRUE(WaitServing(later, 10000));
    EXPECT_EQ(later.exitCode(), 1);
    EXPECT_EQ(activations.size(), 1);
}

}  // namespace
}  // namespace lumora
