// Codes with letters end to end, as a user meets them: a demo market whose newer listings have
// such codes, imported from a plain inbox file and from the site's LZH archives, then charted,
// exported, listed, screened, watched, collected as minute bars and alerted on.
#include "common/Cp932.h"
#include "demo/DemoFolder.h"
#include "demo/DemoSite.h"
#include "support/RunCommand.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

using namespace velor;

namespace {

struct LetterMarket {
    QTemporaryDir dir;
    QString home = dir.path() + "/home";
    demo::MarketOptions mo = [] {
        demo::MarketOptions o;
        o.stocks = 20;
        o.seed = 5;
        o.letterCodes = 3;   // 130A, 9C1A and 710A, which lists on the sixth of the next days
        return o;
    }();

    test::CommandRun velor(const QString &now, const QStringList &args) const { return test::runVelorProcess(home, args, now); }
    // The line of a code in the day's all-market file, without its date, code and section.
    QString dayLine(int day, const char *code) const
    {
        const demo::MarketGenerator gen(mo);
        const auto files = demo::dailyFiles(gen, gen.storedDays() + day, gen.storedDays() + day + 1);
        for (const QByteArray &line : files.at(0).split('\n'))
            if (line.split(',').value(1) == code) return QString::fromLatin1(line.split(',').mid(3).join(',').trimmed());
        return {};
    }
};

} // namespace

TEST(LetterCodes, ImportedChartedListedScreenedWatchedAndAlertedOn)
{
    LetterMarket m;
    ASSERT_TRUE(demo::writeDemoFolder(m.home, m.mo).has_value());
    EXPECT_TRUE(test::readFile(m.home + "/data/meigara.dat").endsWith("LTCD130A9C1A"));
    EXPECT_TRUE(QFile::exists(m.home + "/data/130A.csv"));
    EXPECT_TRUE(QFile::exists(m.home + "/site/quote/9C1A.T"));
    EXPECT_TRUE(test::readFile(m.home + "/touroku.dat").endsWith(" 130A \r\n"));

    // The first new day as a plain inbox file: 130A's day goes to the top of its file.
    const demo::MarketGenerator gen(m.mo);
    test::writeFile(m.home + "/data/tmp/D261130.csv", demo::dailyFiles(gen, gen.storedDays(), gen.storedDays() + 1).at(0));
    const QString day0 = m.dayLine(0, "130A");   // open,high,low,close,volume
    ASSERT_FALSE(day0.isEmpty());
    test::CommandRun r = m.velor("2026-11-30 18:00", {"import"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(test::readFile(m.home + "/data/130A.csv").contains("\r\n20261130," + day0.toLatin1() + "\r\n"));

    // The live bar of 130A on that day is its page's, which is the day's bar.
    r = m.velor("2026-11-30 10:15", {"quote", "130a"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QStringList v = day0.split(',');
    EXPECT_TRUE(r.out.startsWith("BarDate0=20261130\nBarOpen0=" + v[0] + "\nBarHigh0=" + v[1] + "\nBarLow0=" + v[2] +
                                 "\nBarClose0=" + v[3] + "\nBarVolume0=" + v[4] + "\n"))
        << r.out.toStdString();

    // Minute bars and an alert for the code with letters of watch list 1.
    r = m.velor("2026-11-30 10:15", {"alert", "set", "130A", "--above", "1"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith("130A,")) << r.out.toStdString();
    r = m.velor("2026-11-30 10:15", {"minute", "collect"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("\nalert: 130A ")) << r.out.toStdString();
    EXPECT_TRUE(test::readFile(m.home + "/FUNASHI/Fmeigara.dat").contains("\r\n 130A \r\n"));
    // Each number in its print form, a blank before and after.
    EXPECT_EQ(QString::fromLatin1(test::readFile(m.home + "/FUNASHI/130A.csv")),
              " 11301015 , " + v[0] + " , " + v[1] + " , " + v[2] + " , " + v[3] + " , " + v[4] + " \r\n");
    r = m.velor("2026-11-30 10:15", {"minute", "show", "130A"});
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(r.out.startsWith("1,11301015,")) << r.out.toStdString();
    r = m.velor("2026-11-30 10:20", {"monitor", "--passes", "2", "--wait", "0"});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();

    // A screen lists them with their code's text, and its result file names them the same way.
    r = m.velor("2026-11-30 18:00", {"screen", "rsi", "--out", m.dir.path() + "/rsi.txt"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("\n9C1A,\"三和運輸 (4)\","))) << r.out.toStdString();
    // The result file is the first list as shown, in CP932 with CR LF.
    const QString saved = fromCp932(test::readFile(m.dir.path() + "/rsi.txt"));
    EXPECT_TRUE(saved.contains(QStringLiteral("\r\n9C1A,\"三和運輸 (4)\","))) << saved.toStdString();
    EXPECT_TRUE(r.out.startsWith(QString(saved).replace(QStringLiteral("\r\n"), QStringLiteral("\n"))));
    // The other nine days from the site's LZH archives: 710A lists on the sixth.
    r = m.velor("2026-12-11 18:00", {"download", "--yes"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QString log = fromCp932(test::readFile(m.home + "/data/VELOR.log"));
    EXPECT_TRUE(log.contains(QStringLiteral("20261207：　新規銘柄： 710A, 新規銘柄　(")) ) << log.toStdString();
    EXPECT_TRUE(test::readFile(m.home + "/data/meigara.dat").endsWith("LTCD130A710A9C1A"));
    EXPECT_TRUE(test::readFile(m.home + "/data/710A.csv").contains("\r\n20261207," + m.dayLine(5, "710A").toLatin1() + "\r\n"));

    // Export: the newest bar of 9C1A is the last day's line.
    r = m.velor("2026-12-11 18:00", {"export", "9C1A"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.section('\n', 1, 1).startsWith("0,20261211," + m.dayLine(9, "9C1A") + ",")) << r.out.toStdString();
    r = m.velor("2026-12-11 18:00", {"chart", "710A", "--png", m.dir.path() + "/710A.png"});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_GT(QFileInfo(m.dir.path() + "/710A.png").size(), 1000);

    // Watch list 2 in the exchange's order, as the file holds it.
    for (const char *c : {"9c1a", "1301", "710A", "130A"}) {
        r = m.velor({}, {"watch", "add", "2", c});
        EXPECT_EQ(r.code, 0) << c << r.err.toStdString();
    }
    test::writeFile(m.home + "/touroku3.dat", {});
    ASSERT_EQ(m.velor({}, {"watch", "sort"}).code, 0);
    const QByteArray list2 = test::readFile(m.home + "/touroku2.dat");
    EXPECT_TRUE(list2.endsWith(" 1301 \r\n 130A \r\n 710A \r\n 9C1A \r\n") || list2.contains(" 1301 \r\n 130A \r\n"))
        << list2.toStdString();
    EXPECT_LT(list2.indexOf(" 130A "), list2.indexOf(" 710A "));
    EXPECT_LT(list2.indexOf(" 710A "), list2.indexOf(" 9C1A "));
    r = m.velor({}, {"watch", "remove", "2", "710a"});
    EXPECT_EQ(r.code, 0);
    EXPECT_FALSE(test::readFile(m.home + "/touroku2.dat").contains("710A"));

    // The new listing took its name from the demo site's list of names, not 新規銘柄.
    const QString listed = fromCp932(test::readFile(m.home + "/site/names.csv")).section(QStringLiteral("\n710A,"), 1, 1).section(',', 0, 0);
    ASSERT_FALSE(listed.isEmpty());
    r = m.velor({}, {"search", listed.left(2)});
    EXPECT_TRUE(r.out.contains(QStringLiteral("710A  ") + listed.left(5))) << r.out.toStdString();
    r = m.velor({}, {"search", "新規"});
    EXPECT_FALSE(r.out.contains(QStringLiteral("710A"))) << r.out.toStdString();
}
