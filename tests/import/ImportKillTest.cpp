// `velor import` killed (SIGKILL) at several points of its work on a few-hundred-stock database,
// then run again: every file of the data folder must equal the result of a run never killed.
// The kill points are progress steps (VELOR_PAUSE_AT_STEP makes the command stop for good at
// its k-th step), so where the kill lands does not depend on how fast the machine is.
#include "common/TextFile.h"
#include "demo/DemoFolder.h"
#include "demo/DemoSite.h"
#include "import/DailyFile.h"
#include "import/KillSupport.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

using namespace velor;
using namespace velor::test;

namespace {

demo::MarketOptions options()
{
    demo::MarketOptions mo;
    mo.stocks = 300;
    mo.nextDays = 3;
    mo.letterCodes = 20;   // one of them lists on the second day: the master grows its tail
    return mo;
}

// A fresh demo folder with the next three days' files in its inbox; the lines of each day.
std::vector<int> prepare(const QString &dir)
{
    std::vector<int> lines;
    EXPECT_TRUE(demo::writeDemoFolder(dir, options()).has_value());
    const demo::MarketGenerator gen(options());
    const auto files = demo::dailyFiles(gen, gen.storedDays(), gen.storedDays() + 3);
    for (size_t i = 0; i < files.size(); ++i) {
        writeFile(dir + QStringLiteral("/data/tmp/D%1.csv").arg(i), files[i]);
        const auto day = parseDailyFile(files[i], QStringLiteral("D.csv"));
        lines.push_back(day ? int(day->lines.size()) : 0);
    }
    return lines;
}

} // namespace

TEST(ImportKill, KilledAtAnyMomentAndRunAgainGivesTheSameFiles)
{
    QTemporaryDir ref;
    const std::vector<int> lines = prepare(ref.path());
    ASSERT_EQ(lines.size(), 3u);
    std::unique_ptr<QProcess> whole(startImport(ref.path()));
    ASSERT_TRUE(whole->waitForFinished(300000));
    ASSERT_EQ(whole->exitCode(), 0) << whole->readAllStandardError().toStdString();
    // The message pane's lines, oldest first.
    const QString out = QString::fromUtf8(whole->readAllStandardOutput());
    EXPECT_TRUE(out.startsWith(QStringLiteral("20261130 のデータを追加しています\n"))) << out.toStdString();
    EXPECT_GT(out.indexOf(QStringLiteral("20261202 のデータを追加しています\n")), out.indexOf(QStringLiteral("20261201 ")));
    const auto reference = dataFiles(ref.path());
    ASSERT_GT(reference.size(), 300);

    // First and second step, middle and end of each day's work, the first step of the next day,
    // and a step past the whole run, writes included (which then ends normally and is judged by
    // its files alike).
    const long long a = lines[0], b = a + lines[1], c = b + lines[2];
    const std::vector<long long> steps = {1, 2, a / 2, a, a + 1, b - 1, b + lines[2] / 2, c, 100 * c};
    int killedMidway = 0;
    for (const long long step : steps) {
        QTemporaryDir work;
        prepare(work.path());
        std::unique_ptr<QProcess> p(startImport(work.path(), step));
        ASSERT_TRUE(p->waitForStarted());
        const bool paused = waitForPause(*p);
        if (paused) {
            p->kill();
            p->waitForFinished();
            // A journal left behind means the kill landed inside a day's writes.
            if (QFile::exists(work.path() + "/data/VELOR.jnl")) ++killedMidway;
            std::unique_ptr<QProcess> again(startImport(work.path()));
            ASSERT_TRUE(again->waitForFinished(300000));
            EXPECT_EQ(again->exitCode(), 0) << "killed at step " << step << ": " << again->readAllStandardError().toStdString();
        } else {
            EXPECT_EQ(p->exitStatus(), QProcess::NormalExit);
            EXPECT_EQ(p->exitCode(), 0) << "step " << step;
        }
        EXPECT_EQ(paused, step <= c) << "step " << step;
        EXPECT_EQ(dataFiles(work.path()), reference) << "step " << step;
        EXPECT_TRUE(QDir(work.path() + "/data/tmp").entryList(QDir::Files).isEmpty());
    }
    // Every pause inside the three days leaves a day half written.
    EXPECT_EQ(killedMidway, int(steps.size()) - 1);
}

// Nothing to import is no failure: a warning, and exit 0, which scripts can rely on.
TEST(ImportCommand, AnEmptyInboxIsAWarningWithExitZero)
{
    QTemporaryDir dir;
    ASSERT_TRUE(demo::writeDemoFolder(dir.path(), options()).has_value());
    std::unique_ptr<QProcess> p(startImport(dir.path()));
    ASSERT_TRUE(p->waitForFinished(300000));
    EXPECT_EQ(p->exitCode(), 0);
    EXPECT_EQ(QString::fromUtf8(p->readAllStandardError()), QStringLiteral("warning: データがありません！\n"));
    EXPECT_TRUE(p->readAllStandardOutput().isEmpty());
}

TEST(ImportKill, TheWindowFinishesAnImportKilledMidwayBeforeItReadsAFile)
{
    QTemporaryDir ref;
    const std::vector<int> lines = prepare(ref.path());
    std::unique_ptr<QProcess> whole(startImport(ref.path()));
    ASSERT_TRUE(whole->waitForFinished(300000));
    ASSERT_EQ(whole->exitCode(), 0);
    const auto reference = dataFiles(ref.path());

    QTemporaryDir work;
    prepare(work.path());
    std::unique_ptr<QProcess> p(startImport(work.path(), lines[0] + lines[1] / 2));
    ASSERT_TRUE(p->waitForStarted());
    ASSERT_TRUE(waitForPause(*p));
    p->kill();
    p->waitForFinished();
    ASSERT_TRUE(QFile::exists(work.path() + "/data/VELOR.jnl"));
    ASSERT_NE(dataFiles(work.path()), reference);

    // The window starts, finishes the journal, draws and ends (the screenshot run).
    QProcess window;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    window.setProcessEnvironment(env);
    window.start(QStringLiteral(VELOR_EXE), {"--home", work.path(), "--now", "2026-12-11 20:00", "--screenshot", work.path() + "/shot.png"});
    ASSERT_TRUE(window.waitForFinished(300000)) << "the window did not end";
    EXPECT_EQ(window.exitCode(), 0) << window.readAllStandardError().toStdString();
    EXPECT_FALSE(QFile::exists(work.path() + "/data/VELOR.jnl"));
    EXPECT_EQ(dataFiles(work.path()), reference);
    EXPECT_TRUE(QDir(work.path() + "/data/tmp").entryList(QDir::Files).isEmpty());
}

TEST(ImportKill, ATerminatedImportEndsWithAnErrorAndItsLocksGone)
{
    QTemporaryDir work;
    const std::vector<int> lines = prepare(work.path());
    std::unique_ptr<QProcess> p(startImport(work.path(), lines[0] / 2));
    ASSERT_TRUE(p->waitForStarted());
    ASSERT_TRUE(waitForPause(*p));
    ASSERT_TRUE(QFile::exists(work.path() + "/velor.lock"));
    p->terminate();   // SIGTERM
    ASSERT_TRUE(p->waitForFinished(120000)) << "the terminated import did not end";
    EXPECT_EQ(p->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p->exitCode(), 1);
    EXPECT_TRUE(QString::fromUtf8(p->readAllStandardError())
                    .endsWith(QStringLiteral("error: 取り込みの途中で終了しました。残りは次に起動したとき、または次の取り込みで完了します。\n")));
    EXPECT_FALSE(QFile::exists(work.path() + "/velor.lock"));
    EXPECT_FALSE(QFile::exists(work.path() + "/data/velor.lock"));
    // The next import finishes the day and runs.
    std::unique_ptr<QProcess> again(startImport(work.path()));
    ASSERT_TRUE(again->waitForFinished(300000));
    EXPECT_EQ(again->exitCode(), 0) << again->readAllStandardError().toStdString();
}
