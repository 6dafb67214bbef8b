// `velor import` of ten days in one pass, killed (SIGKILL) at progress steps spread over the
// pass (reading and rolling up, renaming into place), then run again: the data folder must
// equal the result of a run never killed, with no temporary file left.
#include "common/TextFile.h"
#include "demo/DemoFolder.h"
#include "demo/DemoSite.h"
#include "import/KillSupport.h"
#include "import/TenDayMarket.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

using namespace velor;
using namespace velor::test;

namespace {

void prepare(const QString &dir)
{
    ASSERT_TRUE(demo::writeDemoFolder(dir, tenDayMarket()).has_value());
    const demo::MarketGenerator gen(tenDayMarket());
    const auto files = demo::dailyFiles(gen, gen.storedDays(), gen.storedDays() + 10);
    for (size_t i = 0; i < files.size(); ++i) writeFile(dir + QStringLiteral("/data/tmp/D%1.csv").arg(i, 2, 10, QChar('0')), files[i]);
}

} // namespace

TEST(ImportPassKill, KilledAnywhereInATenDayPassAndRunAgainGivesTheSameFiles)
{
    QTemporaryDir ref;
    prepare(ref.path());
    std::unique_ptr<QProcess> whole(startImport(ref.path()));
    ASSERT_TRUE(whole->waitForFinished(300000));
    ASSERT_EQ(whole->exitCode(), 0) << whole->readAllStandardError().toStdString();
    const auto reference = dataFiles(ref.path());
    ASSERT_GT(reference.size(), 60);

    // 59 + 5 lines a day before the listings, 61 + 6 from them (of the 60 stocks of digit codes
    // one is delisted; the sixth of letter codes lists with them), then one step per file renamed
    // into place: 67 files.
    const long long lines = 2 * (59 + 5) + 8 * (61 + 6), renames = 67;
    const std::vector<long long> steps = {1, lines / 3, lines - 1, lines, lines + 1, lines + renames / 2, lines + renames};
    for (const long long step : steps) {
        QTemporaryDir work;
        prepare(work.path());
        std::unique_ptr<QProcess> p(startImport(work.path(), step));
        ASSERT_TRUE(p->waitForStarted());
        ASSERT_TRUE(waitForPause(*p)) << "step " << step;
        p->kill();
        p->waitForFinished();
        EXPECT_TRUE(QFile::exists(work.path() + "/data/VELOR.jnl")) << "step " << step;
        std::unique_ptr<QProcess> again(startImport(work.path()));
        ASSERT_TRUE(again->waitForFinished(300000));
        EXPECT_EQ(again->exitCode(), 0) << "step " << step << ": " << again->readAllStandardError().toStdString();
        EXPECT_EQ(dataFiles(work.path()), reference) << "step " << step;
        EXPECT_TRUE(QDir(work.path() + "/data").entryList({QStringLiteral("*.vtmp")}, QDir::Files).isEmpty());
        EXPECT_TRUE(QDir(work.path() + "/data/tmp").entryList(QDir::Files).isEmpty());
    }
    // One step past the pass: it runs to its end.
    QTemporaryDir work;
    prepare(work.path());
    std::unique_ptr<QProcess> p(startImport(work.path(), lines + renames + 1));
    EXPECT_FALSE(waitForPause(*p));
    EXPECT_EQ(p->exitCode(), 0);
    EXPECT_EQ(dataFiles(work.path()), reference);
}
