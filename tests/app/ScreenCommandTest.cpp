#include "app/CommandLine.h"
#include "common/Cp932.h"
#include "db/PriceFile.h"
#include "realtime/MonitorFixture.h"
#include "support/RunCommand.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QUrl>
#include <gtest/gtest.h>

using namespace velor;
using namespace velor::test;

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &s, std::ostream *os) { *os << s.toStdString(); }
QT_END_NAMESPACE

namespace {

Bar bar(int32_t d, float o, float h, float l, float c, double v) { return Bar{d, o, h, l, c, v}; }

// Two rows per list, prices 100..50000, a turnover floor of 1,000,000 yen a day.
class ScreenCommand : public ::testing::Test {
protected:
    void SetUp() override
    {
        QByteArray ini = validSettings(pf.data);
        ini.replace("0,0,20,0\r\n", "0,0,2,0\r\n").replace("100,50000,300000000\r\n", "100,50000,1000000\r\n");
        writeFile(pf.program + "VELOR.ini", ini);
        pf.writeMaster({{1001, QStringLiteral("日経平均"), 0}, {1301, QStringLiteral("極洋"), 1},
                        {1332, QStringLiteral("日本水産"), 1}});
        prices(1001, {bar(20240110, 33000, 33500, 32900, 33400, 0), bar(20240109, 33000, 33100, 32800, 33000, 0)},
               {bar(20240105, 33000, 33500, 32800, 33000, 0)});
        prices(1301, {bar(20240110, 105, 112, 104, 110, 20000), bar(20240109, 100, 101, 99, 100, 10000)},
               {bar(20240105, 100, 110, 99, 110, 20000), bar(20231229, 100, 100, 100, 100, 10000)});
        prices(1332, {bar(20240110, 200, 204, 196, 180, 50000), bar(20240109, 200, 200, 200, 200, 50000)},
               {bar(20240105, 200, 200, 160, 180, 100000), bar(20231229, 200, 200, 200, 200, 100000)});
    }
    void prices(int code, const std::vector<Bar> &daily, const std::vector<Bar> &weekly)
    {
        PriceSections s;
        s[0] = daily;
        s[1] = weekly;
        writeFile(pf.data + QString::number(code) + ".csv", formatPriceFile(s));
    }
    int run(QStringList args, QString &out, const QString &now = QStringLiteral("2024-01-10 15:30"))
    {
        args = QStringList{"velor", "--home", pf.program, "--now", now, "screen"} + args;
        ::testing::internal::CaptureStdout();
        const int rc = runCommand(*parseCommandLine(args), "/");
        out = QString::fromStdString(::testing::internal::GetCapturedStdout());
        return rc;
    }
    ProgramFolder pf;
};

} // namespace

TEST_F(ScreenCommand, RankingPrintsTheWindowsLinesAndSavesThemAsTheWindowDoes)
{
    const QString stamp = " 日= 20240110 15:30:00";
    const QStringList expected = {
        "★値上がり率（対前日比）★　５値　" + stamp,
        "1301,\"極洋   (1)\",1.1,105,112,104,110,2,↑",
        "★値下がり率（対前日比）★　５値　" + stamp,
        "1332,\"日本水産 (1)\",.9,200,204,196,180,5,↓",
        "★出来高上昇率（対前日比）★　５値" + stamp,
        "1301,\"極洋   (1)\",2.,105,112,104,110,2,↑",
        "★出来高下降率（対前日比）★　５値" + stamp,
        "★出来高（万株）★　５値  " + stamp,
        "1332,\"日本水産 (1)\",5.,200,204,196,180,5,↓",
        "1301,\"極洋   (1)\",2.,105,112,104,110,2,↑",
        "★出来高（金額：億円）★　５値 " + stamp,
        "1332,\"日本水産 (1)\",.09,200,204,196,180,5,↓",
        "1301,\"極洋   (1)\",.022,105,112,104,110,2,↑",
    };
    QString out;
    const QString file = pf.program + "VEDAT/r.csv";
    QDir().mkpath(pf.program + "VEDAT");
    ASSERT_EQ(run({"ranking", "--out", file}, out), 0);
    EXPECT_EQ(out, expected.join('\n') + '\n');
    QByteArray bytes;
    for (const QString &l : expected) bytes += toCp932(l) + "\r\n";
    EXPECT_EQ(readFile(file), bytes);
}

TEST_F(ScreenCommand, WeeklyPeriodScalesTheFloorByFive)
{
    // 1301's week (2.2 million yen) is below five days' floor; 1332's (18 million) is not.
    const QString stamp = " 週= 20240105 15:30:00";
    QString out;
    ASSERT_EQ(run({"ranking", "--period", "w"}, out), 0);
    const QStringList expected = {
        "★値上がり率（対前日比）★　５値　" + stamp,
        "★値下がり率（対前日比）★　５値　" + stamp,
        "1332,\"日本水産 (1)\",.9,200,200,160,180,10,↓",
        "★出来高上昇率（対前日比）★　５値" + stamp,
        "★出来高下降率（対前日比）★　５値" + stamp,
        "★出来高（万株）★　５値  " + stamp,
        "1332,\"日本水産 (1)\",10.,200,200,160,180,10,↓",
        "1301,\"極洋   (1)\",.,100,110,99,110,2,↑",
        "★出来高（金額：億円）★　５値 " + stamp,
        "1332,\"日本水産 (1)\",.18,200,200,160,180,10,↓",
        "1301,\"極洋   (1)\",.,100,110,99,110,2,↑",
    };
    EXPECT_EQ(out, expected.join('\n') + '\n');
}

// The price band and the turnover floor both include their edges: a close exactly at
// FilterMinPrice or FilterMaxPrice and a turnover exactly at the floor are listed.
TEST_F(ScreenCommand, ThePriceBandAndTheTurnoverFloorIncludeTheirEdges)
{
    const struct { const char *name; float c1301; double v1301; float c1332; double v1332; QStringList listed; } cases[] = {
        {"both edges", 100, 10000, 50000, 20, {"1301", "1332"}},
        {"turnover just under the floor", 100, 9999, 50000, 20, {"1332"}},
        {"close just above the band", 100, 10000, 50001, 20, {"1301"}},
        {"close just under the band", 99.5f, 20000, 50000, 20, {"1332"}},
    };
    for (const auto &c : cases) {
        prices(1301, {bar(20240110, c.c1301, c.c1301, c.c1301, c.c1301, c.v1301), bar(20240109, 90, 90, 90, 90, 10000)}, {});
        prices(1332, {bar(20240110, c.c1332, c.c1332, c.c1332, c.c1332, c.v1332), bar(20240109, 40000, 40000, 40000, 40000, 20)}, {});
        QString out;
        ASSERT_EQ(run({"ranking"}, out), 0) << c.name;
        // Every stock rose: the list of risers holds exactly the admitted ones.
        const QStringList lines = out.split('\n');
        const qsizetype head = lines.indexOf(QStringLiteral("★値上がり率（対前日比）★　５値　 日= 20240110 15:30:00"));
        ASSERT_GE(head, 0) << out.toStdString();
        QStringList listed;
        for (qsizetype i = head + 1; i < lines.size() && !lines[i].startsWith(QStringLiteral("★")); ++i) listed << lines[i].section(',', 0, 0);
        listed.sort();
        EXPECT_EQ(listed, c.listed) << c.name;
    }
}

// A screen that read no page at all did not do what was asked (exit 1, "error:"); one that read
// some says how many failed as a warning and succeeds.
TEST_F(ScreenCommand, PagesThatFailedGiveAWarningAndNoPageReadAnError)
{
    const QString site = QUrl::fromLocalFile(pf.program + "site").toString();
    writeFile(pf.program + "sites.ini", ("[sites]\r\nQuoteUrl=" + site + "\r\n").toUtf8());
    const QString args = QStringLiteral("2024-01-10 15:30");
    const CommandRun none = runVelorCommand(pf.program, {"screen", "per"}, args);
    EXPECT_EQ(none.code, 1);
    EXPECT_TRUE(none.err.startsWith(QStringLiteral("error: ページを取得できなかった銘柄が 2 件ありました。 最初のアドレス: ") + site +
                                    QStringLiteral("/quote/1301.T 理由: ")))
        << none.err.toStdString();
    writeFile(pf.program + "site/quote/1332.T", "<html>no values</html>");
    const CommandRun some = runVelorCommand(pf.program, {"screen", "per"}, args);
    EXPECT_EQ(some.code, 0);
    EXPECT_TRUE(some.err.startsWith(QStringLiteral("warning: ページを取得できなかった銘柄が 1 件ありました。 最初のアドレス: ") + site +
                                    QStringLiteral("/quote/1301.T 理由: ")))
        << some.err.toStdString();
}

TEST_F(ScreenCommand, BadUsage)
{
    QString out;
    const QStringList bad[] = {{}, {"nosuch"}, {"haba"}, {"haba", "4"}, {"j", "3", "1"}, {"j", "1"},
                               {"ranking", "--period", "x"}, {"ranking", "--out"}, {"ranking", "--bogus"}};
    for (const QStringList &args : bad) EXPECT_EQ(run(args, out), 2) << args.join(' ').toStdString();
    EXPECT_TRUE(out.isEmpty());
}

TEST_F(ScreenCommand, LiveScreensKeepTheSettingsFloorOutsideTheTradingBandsAsTheWindowDoes)
{
    // Quote pages on disk: 1301 rose to 120 on 600,000 yen today (under the 1,000,000 floor),
    // 1332 traded 28.5 million.
    const QString site = QUrl::fromLocalFile(pf.program + "site").toString();
    writeFile(pf.program + "sites.ini", ("[sites]\r\nQuoteUrl=" + site + "\r\nFuturesUrl=" + site + "\r\n").toUtf8());
    writeFile(pf.program + "site/quote/1301.T", monitorPage("120", "100", "5,000", "600"));
    writeFile(pf.program + "site/quote/1332.T", monitorPage("190", "200", "150,000", "28,500"));
    writeFile(pf.program + "site/cme/index.html", futuresPage().toUtf8());
    // The floor scales with the time of day only from 9:30 to 15:00 (before 9:30 from 7:00 it is 0);
    // at any other time the window keeps the value its start-up chart set from the settings.
    struct Case { const char *now; bool lists1301; };
    const Case cases[] = {{"2024-01-10 15:30", false}, {"2024-01-10 23:00", false}, {"2024-01-10 06:59", false},
                          {"2024-01-10 15:00", false}, {"2024-01-10 10:15", true},  {"2024-01-10 09:15", true}};
    for (const Case &c : cases) {
        QString out;
        ASSERT_EQ(run({"ranking", "--live"}, out, QString::fromLatin1(c.now)), 0) << c.now;
        // The rise list: its title, then its rows up to the next title.
        const QStringList lines = out.split('\n');
        ASSERT_TRUE(lines[0].startsWith(QStringLiteral("★値上がり率"))) << c.now;
        QStringList risers;
        for (int k = 1; k < lines.size() && !lines[k].startsWith(QStringLiteral("★")); ++k) risers << lines[k].section(',', 0, 0);
        EXPECT_EQ(risers, c.lists1301 ? QStringList({"1301", "1332"}) : QStringList({"1332"})) << c.now << "\n" << out.toStdString();
    }
}
