// The velor program as a user starts it from a shell: --version, --help and --screenshot.
#include "common/Cp932.h"
#include "demo/DemoFolder.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <csignal>
#include <sys/types.h>
#include <gtest/gtest.h>

using namespace velor;

namespace {

struct Finished { int code; QByteArray out, err; };

Finished runVelor(const QStringList &args, const QString &cwd = {})
{
    QProcess p;
    if (!cwd.isEmpty()) p.setWorkingDirectory(cwd);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(VELOR_PROGRAM), args);
    // Generous: the program ends by itself; the wait only guards against a hang.
    if (!p.waitForFinished(120000)) return {-1, {}, {}};
    return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
}

} // namespace

TEST(Program, VersionAndHelp)
{
    const Finished v = runVelor({"--version"});
    EXPECT_EQ(v.code, 0);
    EXPECT_EQ(v.out, "velor 1.0.0\n");
    const Finished h = runVelor({"--help"});
    EXPECT_EQ(h.code, 0);
    EXPECT_TRUE(h.out.startsWith("usage: velor [--home DIR] [--now \"YYYY-MM-DD HH:MM\"] [--yes] [COMMAND]\n"
                                 "       velor --version | --help\n"))
        << h.out.toStdString();
    // The last line ends like every other, so the shell's prompt starts on a line of its own.
    EXPECT_TRUE(h.out.endsWith("(DATE: YYYY-MM-DD or YYYYMMDD)\n")) << h.out.right(40).toStdString();
    EXPECT_TRUE(h.err.isEmpty());
}

TEST(Program, ScreenshotPathIsTakenFromTheCurrentFolderAndAFailedWriteIsAnError)
{
    QTemporaryDir dir;
    demo::MarketOptions mo;
    mo.stocks = 10;
    ASSERT_TRUE(demo::writeDemoFolder(dir.path() + "/home", mo).has_value());
    QDir().mkpath(dir.path() + "/work");
    const Finished ok = runVelor({"--home", dir.path() + "/home", "--screenshot", "shot.png"}, dir.path() + "/work");
    EXPECT_EQ(ok.code, 0) << ok.err.toStdString();
    EXPECT_TRUE(QFile::exists(dir.path() + "/work/shot.png"));
    EXPECT_FALSE(QFile::exists(dir.path() + "/home/shot.png"));

    const Finished bad = runVelor({"--home", dir.path() + "/home", "--screenshot", "no-such-folder/shot.png"}, dir.path() + "/work");
    EXPECT_EQ(bad.code, 1);
    EXPECT_TRUE(bad.err.contains("error: 画面の画像を " + QDir::cleanPath(dir.path() + "/work/no-such-folder/shot.png").toUtf8() +
                                 " に書けませんでした。"))
        << bad.err.toStdString();
}

namespace {

// Starts the window on `home` and waits until the lock file `lock` shows that start-up has gone
// that far (the signal handlers are in place before any lock is taken).
struct RunningWindow {
    QProcess p;
    bool start(const QString &home, const QString &lock)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(VELOR_PROGRAM), {"--home", home});
        if (!p.waitForStarted(60000)) return false;
        // A guard against hanging, not a measurement: the file normally appears at once.
        for (int i = 0; i < 1200 && !QFile::exists(lock); ++i) {
            if (p.waitForFinished(100)) return false;
        }
        return QFile::exists(lock);
    }
};

} // namespace

TEST(Program, SigtermAndSighupEndTheWindowAndReleaseTheLocks)
{
    QTemporaryDir dir;
    demo::MarketOptions mo;
    mo.stocks = 10;
    const QString home = dir.path() + "/home";
    ASSERT_TRUE(demo::writeDemoFolder(home, mo).has_value());
    for (int signal : {SIGTERM, SIGHUP}) {
        RunningWindow w;
        ASSERT_TRUE(w.start(home, home + "/data/velor.lock")) << w.p.readAllStandardError().toStdString();
        ::kill(pid_t(w.p.processId()), signal);
        ASSERT_TRUE(w.p.waitForFinished(60000)) << signal;
        EXPECT_EQ(w.p.exitStatus(), QProcess::NormalExit) << signal;
        EXPECT_EQ(w.p.exitCode(), 0) << signal;
        EXPECT_FALSE(QFile::exists(home + "/velor.lock")) << signal;
        EXPECT_FALSE(QFile::exists(home + "/data/velor.lock")) << signal;
    }
    // Nothing is left to refuse the next writer.
    const Finished add = runVelor({"--home", home, "watch", "add", "3", "1001"});
    EXPECT_EQ(add.code, 0) << add.err.toStdString();
}

TEST(Program, SigtermWhileAFatalMessageIsShownEndsTheProgram)
{
    // The program folder's lock is taken, then the missing VELOR.ini is reported in a modal box
    // that nobody will ever answer.
    QTemporaryDir dir;
    RunningWindow w;
    ASSERT_TRUE(w.start(dir.path(), dir.path() + "/velor.lock"));
    ::kill(pid_t(w.p.processId()), SIGTERM);
    ASSERT_TRUE(w.p.waitForFinished(60000));
    EXPECT_EQ(w.p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(w.p.exitCode(), 1);
    EXPECT_FALSE(QFile::exists(dir.path() + "/velor.lock"));
}

// `velor alert set` killed (SIGKILL) at each of its progress steps: alerts.dat is always the old
// file or the new one, never a mix or a cut; a run past the last step ends normally. The kill
// points come from the program's own progress (VELOR_PAUSE_AT_STEP), not from a stopwatch.
TEST(Program, AlertSetKilledAtAnyStepLeavesTheOldOrTheNewFile)
{
    QTemporaryDir dir;
    demo::MarketOptions mo;
    mo.stocks = 10;
    ASSERT_TRUE(demo::writeDemoFolder(dir.path(), mo).has_value());
    const QString path = dir.path() + QStringLiteral("/alerts.dat");
    const QByteArray before = toCp932(QStringLiteral("1001,日経平均,以下=30000\r\n"));
    // 1001 again (1002's page is never read, so its alert is refused): the line is replaced.
    const QStringList args = {"--home", dir.path(), "alert", "set", "1001", "--above", "25000"};
    QByteArray after;
    for (int step = 1; step <= 4; ++step) {
        test::writeFile(path, before);
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("VELOR_PAUSE_AT_STEP"), QString::number(step));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(VELOR_PROGRAM), args);
        ASSERT_TRUE(p.waitForStarted());
        QByteArray err;
        bool paused = false;
        while (p.state() != QProcess::NotRunning && !paused) {
            p.waitForReadyRead(1000);
            err += p.readAllStandardError();
            paused = err.contains("info: paused at step");
        }
        if (paused) {
            p.kill();
            p.waitForFinished();
        } else {
            EXPECT_EQ(p.exitCode(), 0) << err.toStdString();
            after = test::readFile(path);
        }
        EXPECT_EQ(paused, step <= 3) << "step " << step;
        const QByteArray now = test::readFile(path);
        if (step <= 2) EXPECT_EQ(now, before) << "step " << step;
        else EXPECT_EQ(now, toCp932(QStringLiteral("1001,日経平均,以上=25000\r\n"))) << "step " << step;
        // Nothing half-written is left beside it.
        EXPECT_EQ(QDir(dir.path()).entryList({QStringLiteral("alerts.dat*")}, QDir::Files), QStringList{"alerts.dat"}) << step;
    }
    EXPECT_FALSE(after.isEmpty());
}
