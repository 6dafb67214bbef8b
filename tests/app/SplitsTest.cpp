// Splits as a user meets them on the demo: the stored history adjusted by the recorded ones, the
// site's listed split recorded by the download, the unlisted one suggested with the command that
// records it, screens that see no false move, and the raw bars a removal gives back.
#include "app/CommandLine.h"
#include "common/StockCode.h"
#include "common/TextFile.h"
#include "demo/DemoFolder.h"
#include "demo/MarketGenerator.h"
#include "support/RunCommand.h"
#include "support/TestSupport.h"

#include <QProcess>
#include <gtest/gtest.h>

using namespace velor;

namespace {

using Outcome = test::CommandRun;

Outcome velorRun(const QString &home, const QString &now, const QStringList &args) { return test::runVelorProcess(home, args, now); }

// The export's bars: date -> the line's fields after the date.
std::map<QString, QStringList> bars(const QString &csv)
{
    std::map<QString, QStringList> out;
    for (const QString &line : csv.split('\n').mid(1))
        if (const QStringList f = line.split(','); f.size() > 6) out[f[1]] = f.mid(2, 5);
    return out;
}

QString ymdText(int32_t d) { return QStringLiteral("%1-%2-%3").arg(d / 10000).arg(d / 100 % 100, 2, 10, QLatin1Char('0')).arg(d % 100, 2, 10, QLatin1Char('0')); }

} // namespace

TEST(Splits, DemoSplitsAreAdjustedRecordedSuggestedAndRemovedAgain)
{
    QTemporaryDir dir;
    const QString home = dir.path() + "/home";
    demo::MarketOptions mo;
    mo.stocks = 300;
    mo.splits = true;
    ASSERT_TRUE(demo::writeDemoFolder(home, mo).has_value());
    const demo::MarketGenerator gen(mo);
    ASSERT_EQ(gen.splits().size(), 5u);
    const auto &listed = gen.splits()[3], &unlisted = gen.splits()[4];
    ASSERT_EQ(listed.after, 3.0);
    ASSERT_FALSE(unlisted.listed);
    const QString code = codeText(gen.listing()[listed.index].code), other = codeText(gen.listing()[unlisted.index].code);
    const int32_t exDate = demo::dateNumber(gen.calendar()[size_t(listed.exDay)]);
    const int32_t plantedDate = demo::dateNumber(gen.calendar()[size_t(unlisted.exDay)]);
    EXPECT_EQ(exDate, 20261203);

    // Up to the ex-date: the site's list records the 1:3, and nothing is suggested for it.
    Outcome r = velorRun(home, "2026-12-03 18:00", {"download", "--yes"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("株式分割・併合を記録しました： ") + code + ",20261203,1:3")) << r.out.toStdString();
    EXPECT_FALSE(r.err.contains(QStringLiteral("velor split add ") + code)) << r.err.toStdString();
    EXPECT_TRUE(test::readFile(home + "/data/split.dat").contains(QString(code + ",20261203,1:3\r\n").toLatin1()));

    // The ex-date's ranking: the split stock is not a 値下がり率 leader, nor anywhere in the lists.
    r = velorRun(home, "2026-12-03 18:00", {"screen", "ranking"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_FALSE(r.out.contains('\n' + code + ",\"")) << r.out.toStdString();

    // Adjusted = raw / 3 before the ex-date, volumes times 3; the same from the ex-date on.
    const Outcome raw = velorRun(home, "2026-12-03 18:00", {"export", code, "--raw"});
    const Outcome adj = velorRun(home, "2026-12-03 18:00", {"export", code});
    ASSERT_EQ(raw.code, 0);
    ASSERT_EQ(adj.code, 0);
    const auto rawBars = bars(raw.out), adjBars = bars(adj.out);
    ASSERT_EQ(rawBars.size(), adjBars.size());
    int before = 0;
    for (const auto &[date, f] : rawBars) {
        const QStringList &a = adjBars.at(date);
        const double k = date.toInt() < exDate ? 1.0 / 3 : 1.0;
        for (int i = 0; i < 4; ++i) EXPECT_NEAR(a[i].toDouble(), f[i].toDouble() * k, 1e-3 * f[i].toDouble()) << date.toStdString();
        EXPECT_DOUBLE_EQ(a[4].toDouble(), std::round(f[4].toDouble() / k)) << date.toStdString();
        before += date.toInt() < exDate;
    }
    EXPECT_GT(before, 200);
    // --raw is the price file's daily section as stored.
    const QList<QByteArray> fileLines = test::readFile(home + "/data/" + code + ".csv").split('\n');
    EXPECT_TRUE(raw.out.section('\n', 1, 1).startsWith("0," + QString::fromLatin1(fileLines[1].trimmed())));

    // The rest of the days: the unlisted 1:4 is suggested with the command that records it.
    r = velorRun(home, "2026-12-11 18:00", {"download", "--yes"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QString command = QStringLiteral("velor split add ") + other + ' ' + ymdText(plantedDate) + QStringLiteral(" 1:4");
    EXPECT_TRUE(r.err.contains(QStringLiteral("warning: 銘柄： ") + other)) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(command)) << r.err.toStdString();

    // Recording it and removing it again: the view comes back byte for byte.
    const Outcome beforeAdd = velorRun(home, "2026-12-11 18:00", {"export", other});
    r = velorRun(home, {}, {"split", "add", other, ymdText(plantedDate), "1:4"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_NE(velorRun(home, "2026-12-11 18:00", {"export", other}).out, beforeAdd.out);
    r = velorRun(home, {}, {"split", "add", other, ymdText(plantedDate), "1:4"});
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(r.err.startsWith("warning: ")) << r.err.toStdString();
    r = velorRun(home, {}, {"split", "remove", other, ymdText(plantedDate)});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(velorRun(home, "2026-12-11 18:00", {"export", other}).out, beforeAdd.out);
    // Bad usage names the reason.
    r = velorRun(home, {}, {"split", "add", other, "2026-13-01", "1:4"});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(r.err.startsWith(QStringLiteral("error: 2026-13-01 は日付"))) << r.err.toStdString();
    r = velorRun(home, {}, {"split", "add", "1000", "2026-12-01", "1:4"});
    EXPECT_EQ(r.code, 1);
}

TEST(Splits, AFullDiskLeavesTheTableAsItWas)
{
    test::ProgramFolder pf;
    pf.writeMaster({{1001, QStringLiteral("日経平均"), 0}, {1301, QStringLiteral("極洋"), 1}});
    const QString path = pf.data + "split.dat";
    test::writeFile(path, "1301,20240105,1:2\r\n");
    for (const qint64 room : {0, 1, 19, 37}) {
        auto o = parseCommandLine({"velor", "--home", pf.program, "split", "add", "1301", "2026-12-01", "1:5"});
        ASSERT_TRUE(o.has_value());
        int code = 0;
        {
            DiskSpaceLimit limit(room);
            code = runCommand(*o, pf.program);
        }
        EXPECT_EQ(code, 1) << room;
        EXPECT_EQ(test::readFile(path), QByteArray("1301,20240105,1:2\r\n")) << room;
    }
    auto o = parseCommandLine({"velor", "--home", pf.program, "split", "add", "1301", "2026-12-01", "1:5"});
    ASSERT_EQ(runCommand(*o, pf.program), 0);
    EXPECT_EQ(test::readFile(path), QByteArray("1301,20240105,1:2\r\n1301,20261201,1:5\r\n"));
}
