// One instance per user: a later start hands over to the running one and
// ends at once, in the same process and as a program of its own.
#include "AppTestSupport.h"

#include "app/CSingleInstance.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>

#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace apptest;

namespace {

QString UniqueKey(const char* name) {
    static int n = 0;
    return QStringLiteral("apptest-%1-%2-%3").arg(QString::fromLatin1(name)).arg(::getpid()).arg(++n);
}

TEST(SingleInstance, ALaterInstanceAsksTheFirstToComeForward) {
    const QString key = UniqueKey("inproc");
    CSingleInstance first(key);
    ASSERT_TRUE(first.Acquire());
    EXPECT_TRUE(first.IsPrimary());
    int activations = 0;
    QObject::connect(&first, &CSingleInstance::activationRequested, [&] { ++activations; });

    CSingleInstance second(key);
    EXPECT_FALSE(second.Acquire());
    EXPECT_FALSE(second.IsPrimary());
    QElapsedTimer t;
    t.start();
    while (activations == 0 && t.elapsed() < 3000)
        Pump(10);
    EXPECT_EQ(activations, 1);
}

TEST(SingleInstance, TheKeyIsTheUsersAndFreedWhenTheFirstEnds) {
    const QString key = UniqueKey("freed");
    {
        CSingleInstance first(key);
        ASSERT_TRUE(first.Acquire());
    }
    CSingleInstance next(key);
    EXPECT_TRUE(next.Acquire());
    // Another key runs apart.
    CSingleInstance other(UniqueKey("other"));
    EXPECT_TRUE(other.Acquire());
    EXPECT_TRUE(CSingleInstance::DefaultKey().startsWith(QStringLiteral("varnello-")));
}

// A program that ended without removing its lock leaves it behind. Process
// numbers are given again, soon where they go up to 32768; a later start
// that had the earlier one's number took the lock for a running instance of
// its own, waited three seconds and did not start at all.
TEST(SingleInstance, ALockLeftByAnEarlierProcessOfTheSameNumberKeepsNoStartOut) {
    const QString key = UniqueKey("leftover");
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const QString folder = !runtime.isEmpty() && QFileInfo(runtime).isDir() ? runtime : QDir::tempPath();
    const QString path = folder + QLatin1Char('/') + key + QStringLiteral(".lock");
    QByteArray leftover;
    {
        QLockFile earlier(path);
        ASSERT_TRUE(earlier.tryLock(0));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        leftover = file.readAll();
    }
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(leftover);
    }
    QElapsedTimer t;
    t.start();
    CSingleInstance next(key);
    EXPECT_TRUE(next.Acquire());
    EXPECT_LT(t.elapsed(), 2000);
    // The lock is this instance's own now, and a later one still defers to it.
    CSingleInstance later(key);
    EXPECT_FALSE(later.Acquire());
}

// A start killed between making its lock file and writing its number into
// it (or a machine that lost power before the number reached the disk) leaves
// an empty lock file: no process holds it and none can be asked whether it
// runs. Every later start took it for an instance still starting up, waited
// three seconds and ended without a window, at every start from then on.
// While the process that made it lives, the empty file is still its lock.
TEST(SingleInstance, AnEmptyLockFileLeftByAKilledStartKeepsNoStartOut) {
    const QString key = UniqueKey("empty");
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const QString folder = !runtime.isEmpty() && QFileInfo(runtime).isDir() ? runtime : QDir::tempPath();
    const QString path = folder + QLatin1Char('/') + key + QStringLiteral(".lock");
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t starting = ::fork();
    ASSERT_GE(starting, 0);
    if (starting == 0) {
        // Made and locked as a starting instance makes its lock file, and
        // stopped there, before it writes anything.
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_EXCL, 0600);
        const char c = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0 ? '1' : '0';
        (void)!::write(ready[1], &c, 1);
        for (;;)
            ::pause();
    }
    ::close(ready[1]);
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    ::close(ready[0]);
    ASSERT_EQ(c, '1');
    bool whileStarting = true;
    {
        CSingleInstance next(key);
        whileStarting = next.Acquire();
    }
    ::kill(starting, SIGKILL);
    ::waitpid(starting, nullptr, 0);
    EXPECT_FALSE(whileStarting);
    ASSERT_EQ(QFileInfo(path).size(), 0);

    CSingleInstance next(key);
    EXPECT_TRUE(next.Acquire());
    EXPECT_TRUE(next.IsPrimary());
    // The lock is this instance's own now, and a later one still defers to it.
    CSingleInstance later(key);
    EXPECT_FALSE(later.Acquire());
}

// The temporary folder (where the lock goes when the session has no runtime
// folder) cannot be made, is not writable or is full: no lock file can be
// made there. The start took that for another instance still starting up,
// waited three seconds and ended without a word: the program did not start.
TEST(SingleInstance, AFolderThatTakesNoLockFileKeepsNoStartOut) {
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    const bool hadRuntime = qEnvironmentVariableIsSet("XDG_RUNTIME_DIR");
    const QByteArray tmpdir = qgetenv("TMPDIR");
    const bool hadTmpdir = qEnvironmentVariableIsSet("TMPDIR");
    qunsetenv("XDG_RUNTIME_DIR");
    // A folder in which no file can be made, whoever asks.
    qputenv("TMPDIR", "/proc");
    bool acquired = false;
    {
        CSingleInstance instance(UniqueKey("nolock"));
        acquired = instance.Acquire();
        EXPECT_EQ(instance.IsPrimary(), acquired);
    }
    if (hadRuntime) qputenv("XDG_RUNTIME_DIR", runtime);
    if (hadTmpdir) qputenv("TMPDIR", tmpdir);
    else qunsetenv("TMPDIR");
    EXPECT_TRUE(acquired);
}

// The program itself, started twice with its own registry, data folder and key.
class SingleInstanceProgram : public AppFixture {};

TEST_F(SingleInstanceProgram, SecondStartEndsAtOnceWithoutTouchingTheSettings) {
    const QString exe = QCoreApplication::applicationDirPath() + QStringLiteral("/../app/varnello");
    ASSERT_TRUE(QFileInfo(exe).isExecutable()) << exe.toStdString() << " (built with the application)";
    const QString registry = QString::fromStdString(File("program-registry.ini"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("VARNELLO_REGISTRY"), registry);
    env.insert(QStringLiteral("VARNELLO_DATA_DIR"), QString::fromStdString(File("program-data")));
    // The fixture's own instance key travels with the environment.

    QProcess first;
    first.setProcessEnvironment(env);
    first.start(exe, {});
    ASSERT_TRUE(first.waitForStarted(5000));
    // Running once its socket is there (it then waits in its first dialog).
    CSingleInstance probe(CSingleInstance::DefaultKey());
    const QString socket = probe.ServerName();
    QElapsedTimer t;
    t.start();
    while (!QFileInfo::exists(socket) && t.elapsed() < 15000)
        QThread::msleep(20);
    ASSERT_TRUE(QFileInfo::exists(socket)) << socket.toStdString();
    // The first instance writes its settings after it has claimed the socket;
    // wait until they are there and no longer change (a loaded machine is slow).
    auto readAll = [&registry] {
        QFile f(registry);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    QByteArray last;
    int stableFor = 0;
    while (t.elapsed() < 15000 && stableFor < 500) {
        QThread::msleep(50);
        QByteArray now = readAll();
        stableFor = (!now.isEmpty() && now == last) ? stableFor + 50 : 0;
        last = now;
    }
    QFile before(registry);
    ASSERT_TRUE(before.open(QIODevice::ReadOnly));
    const QByteArray settingsBefore = before.readAll();
    before.close();
    const QString errorLog = QCoreApplication::applicationDirPath() + QStringLiteral("/../app/error.log");
    const bool errorLogBefore = QFileInfo::exists(errorLog);

    QProcess second;
    second.setProcessEnvironment(env);
    QElapsedTimer clock;
    clock.start();
    second.start(exe, {});
    ASSERT_TRUE(second.waitForFinished(5000));
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(first.state(), QProcess::Running);

    QFile after(registry);
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), settingsBefore);
    EXPECT_EQ(QFileInfo::exists(errorLog), errorLogBefore);

    first.kill();
    first.waitForFinished(5000);
}

} // namespace
