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
    const auto reference = dataFiles(ref.path());
    ASSERT_GT(reference.size(), 300);

    int killedMidway = 0;
    for (const double fraction : {0.1, 0.25, 0.4, 0.55, 0.7, 0.85, 0.95}) {
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
        EXPECT_EQ(dataFiles(work.path()), reference) << "killed at " << fraction;
        EXPECT_TRUE(QDir(work.path() + "/data/tmp").entryList(QDir::Files).isEmpty());
    }
    EXPECT_GT(killedMidway, 0);
    std::printf("killed inside a day: %d of 7\n", killedMidway);
}
