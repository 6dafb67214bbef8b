// `velor import` killed (SIGKILL) at several moments on a few-hundred-stock database, then run
// again: every file of the data folder must equal the result of a run that was never killed.
#include "common/TextFile.h"
#include "generator/DemoFolder.h"
#include "generator/DemoSite.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>

using namespace velor;
using namespace velor::test;

namespace {

demo::MarketOptions options()
{
    demo::MarketOptions mo;
    mo.stocks = 300;
    mo.nextDays = 3;
    return mo;
}

// A fresh demo folder with the next three days' files in its inbox.
void prepare(const QString &dir)
{
    ASSERT_TRUE(demo::writeDemoFolder(dir, options()).has_value());
    const demo::MarketGenerator gen(options());
    const auto files = demo::dailyFiles(gen, gen.storedDays(), gen.storedDays() + 3);
    for (size_t i = 0; i < files.size(); ++i)
        writeFile(dir + QStringLiteral("/data/tmp/D%1.csv").arg(i), files[i]);
}

QProcess *startImport(const QString &dir)
{
    auto *p = new QProcess;
    p->setProgram(QStringLiteral(VELOR_EXE));
    p->setArguments({QStringLiteral("--home"), dir, QStringLiteral("import")});
    p->start();
    return p;
}

QMap<QString, QByteArray> dataFiles(const QString &dir)
{
    QMap<QString, QByteArray> m;
    for (const QString &n : QDir(dir + "/data").entryList(QDir::Files)) m[n] = readFile(dir + "/data/" + n);
    return m;
}

} // namespace

TEST(ImportKill, KilledAtAnyMomentAndRunAgainGivesTheSameFiles)
{
    QTemporaryDir ref;
    prepare(ref.path());
    QElapsedTimer timer;
    timer.start();
    std::unique_ptr<QProcess> whole(startImport(ref.path()));
    ASSERT_TRUE(whole->waitForFinished(120000));
    const qint64 wholeMs = std::max<qint64>(timer.elapsed(), 20);
    ASSERT_EQ(whole->exitCode(), 0) << whole->readAllStandardError().toStdString();
    // The message pane's lines, oldest first.
    const QString out = QString::fromUtf8(whole->readAllStandardOutput());
    EXPECT_TRUE(out.startsWith(QStringLiteral("20261130 のデータを追加しています\n"))) << out.toStdString();
    EXPECT_GT(out.indexOf(QStringLiteral("20261202 のデータを追加しています\n")), out.indexOf(QStringLiteral("20261201 ")));
    const auto reference = dataFiles(ref.path());
    ASSERT_GT(reference.size(), 300);

    int killedMidway = 0;
    for (const double fraction : {0.01, 0.15, 0.35, 0.55, 0.75, 0.9}) {
        QTemporaryDir work;
        prepare(work.path());
        std::unique_ptr<QProcess> p(startImport(work.path()));
        ASSERT_TRUE(p->waitForStarted());
        QThread::msleep(static_cast<unsigned long>(double(wholeMs) * fraction));
        p->kill();
        p->waitForFinished();
        // A journal left behind means the kill landed inside a day's writes.
        if (p->exitStatus() == QProcess::CrashExit && QFile::exists(work.path() + "/data/VELOR.jnl")) ++killedMidway;
        std::unique_ptr<QProcess> again(startImport(work.path()));
        ASSERT_TRUE(again->waitForFinished(120000));
        EXPECT_EQ(again->exitCode(), 0) << "killed at " << fraction << ": " << again->readAllStandardError().toStdString();
        EXPECT_EQ(dataFiles(work.path()), reference) << "killed at " << fraction;
        EXPECT_TRUE(QDir(work.path() + "/data/tmp").entryList(QDir::Files).isEmpty());
    }
    EXPECT_GT(killedMidway, 0);
    std::printf("killed inside a day: %d of 6\n", killedMidway);
}

TEST(ImportCommand, AnEmptyInboxEndsOnAnErrorExit)
{
    QTemporaryDir dir;
    ASSERT_TRUE(demo::writeDemoFolder(dir.path(), options()).has_value());
    std::unique_ptr<QProcess> p(startImport(dir.path()));
    ASSERT_TRUE(p->waitForFinished(60000));
    EXPECT_EQ(p->exitCode(), 1);
    EXPECT_EQ(QString::fromUtf8(p->readAllStandardError()), QStringLiteral("warning: データがありません！\n"));
    EXPECT_TRUE(p->readAllStandardOutput().isEmpty());
}
