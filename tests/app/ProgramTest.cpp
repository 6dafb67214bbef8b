// The velor program as a user starts it from a shell: --version, --help and --screenshot.
#include "demo/DemoFolder.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
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
    EXPECT_TRUE(h.out.endsWith("jvol J1 J2\n")) << h.out.right(40).toStdString();
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
