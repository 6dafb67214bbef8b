#include "db/Bars.h"
#include "db/DataCheck.h"
#include "db/PriceFile.h"
#include "common/Net.h"
#include "db/Settings.h"
#include "db/Sites.h"
#include "db/StockMaster.h"
#include "demo/DemoFolder.h"
#include "support/TestSupport.h"

#include <QDir>
#include <gtest/gtest.h>

using namespace velor;

TEST(DemoFolder, OpensAsAProgramFolderAndIsDeterministic)
{
    QTemporaryDir a, b;
    demo::MarketOptions mo;
    mo.stocks = 60;
    ASSERT_TRUE(demo::writeDemoFolder(a.path(), mo).has_value());
    ASSERT_TRUE(demo::writeDemoFolder(b.path(), mo).has_value());
    for (const char *f : {"VELOR.ini", "touroku.dat", "data/meigara.dat", "data/1001.csv", "data/1301.csv",
                          "site/quote/1301.T", "site/stock/1301", "site/cme/index.html"})
        EXPECT_EQ(test::readFile(a.path() + '/' + f), test::readFile(b.path() + '/' + f)) << f;
    EXPECT_TRUE(QDir(a.path() + "/data/tmp").exists());
    EXPECT_TRUE(QDir(a.path() + "/VEDAT").exists());
    EXPECT_TRUE(test::readFile(a.path() + "/touroku.dat").startsWith(" 1001 \r\n 1002 \r\n"));

    State st;
    st.ProgramDir = a.path() + '/';
    test::ScriptedDialogs dialogs;
    ASSERT_TRUE(ReadSettings(st, dialogs));
    EXPECT_TRUE(dialogs.shown.empty());
    ASSERT_TRUE(MEIGARAIN(st).has_value());
    // Two of the stocks list only on the days after the database: they are not in the master.
    EXPECT_EQ(st.StockCount, 60);
    EXPECT_EQ(st.StockCode[1], 1001);
    EXPECT_EQ(st.StockCode[2], 1002);

    test::TestEnv env;
    st.CurCode = 1001;
    KDOPN(st, env.services, 300);
    EXPECT_EQ(st.BarCount, 300);
    EXPECT_EQ(st.BarDate[1], 20261127);
    EXPECT_EQ(st.BarDate[2], 20261126);
    EXPECT_EQ(st.BarDate[6], 20261120);   // weekdays only
    st.CurPeriod = 2;
    KDOPN(st, env.services, 300);
    EXPECT_EQ(st.BarCount, 300);
    EXPECT_EQ(st.BarDate[1], 20261127);
    EXPECT_EQ(st.BarDate[2], 20261030);
    EXPECT_TRUE(env.shell.messages().isEmpty());
}

TEST(DemoFolder, WeeklyAndMonthlyBarsRollUpTheDailyOnes)
{
    demo::MarketOptions mo;
    mo.stocks = 40;
    demo::MarketGenerator gen(mo);
    for (size_t i = 0; i < gen.listing().size(); ++i) {
        const demo::StockSeries s = gen.series(i);
        const PriceSections sec = gen.sections(s, gen.storedDays());
        if (sec[0].size() < 10) continue;
        // The newest weekly bar covers the daily bars since the week's Monday (20261123).
        const Bar &w = sec[1][0];
        float hi = 0, lo = 1e30f;
        double vol = 0;
        for (const Bar &d : sec[0]) {
            if (d.date < 20261123) break;
            vol += d.volume;
            if (d.volume > 0 || !s.ordinary()) { hi = std::max(hi, d.high); lo = std::min(lo, d.low); }
        }
        EXPECT_EQ(w.date, sec[0][0].date) << s.entry.code;
        EXPECT_FLOAT_EQ(w.close, sec[0][0].close) << s.entry.code;
        EXPECT_DOUBLE_EQ(w.volume, vol) << s.entry.code;
        if (vol > 0) {
            EXPECT_FLOAT_EQ(w.high, hi) << s.entry.code;
            EXPECT_FLOAT_EQ(w.low, lo) << s.entry.code;
        }
        for (const Bar &d : sec[0]) EXPECT_LE(d.low, d.high) << s.entry.code << " " << d.date;
    }
}

TEST(DemoFolder, SitesReachEveryStocksPagesWithFourRequestsInFlight)
{
    QTemporaryDir dir;
    demo::MarketOptions mo;
    mo.stocks = 30;
    ASSERT_TRUE(demo::writeDemoFolder(dir.path(), mo).has_value());
    const QByteArray sitesText = test::readFile(dir.path() + "/sites.ini");
    EXPECT_TRUE(sitesText.endsWith("FetchTimeoutSeconds=10\r\nMaxConnections=4\r\n"));
    const Sites sites = readSites(dir.path() + "/sites.ini");
    EXPECT_EQ(sites.MaxConnections, 4);

    State st;
    st.ProgramDir = dir.path() + '/';
    test::ScriptedDialogs dialogs;
    ASSERT_TRUE(ReadSettings(st, dialogs));
    ASSERT_TRUE(MEIGARAIN(st).has_value());
    int stocks = 0;
    for (int i = 1; i <= st.StockCount; ++i) {
        const int code = st.StockCode[size_t(i)];
        if (code < 1301) continue;
        ++stocks;
        const QString name = QString::number(code);
        const auto quote = fetchLocalFile(joinAddress(sites.QuoteUrl, "/quote/" + name + ".T"), {});
        ASSERT_TRUE(quote.has_value()) << code;
        EXPECT_TRUE(quote->contains("\"stock_price\":\"")) << code;
        const auto target = fetchLocalFile(joinAddress(sites.TargetPriceUrl, "/stock/" + name), {});
        ASSERT_TRUE(target.has_value()) << code;
        EXPECT_TRUE(target->contains("md_target_box_price") || target->contains("目標株価はまだありません")) << code;
    }
    EXPECT_EQ(stocks, 28);
    EXPECT_TRUE(fetchLocalFile(joinAddress(sites.FuturesUrl, "/cme/"), {}).has_value());
}

// Every price file of a demo (letter codes, indices with decimals, splits, long volumes) reads
// the same whichever way the data check reads it, and the quick readers agree on which sections
// need no second look.
TEST(DemoFolder, EveryPriceFileReadsTheSameWhicheverWayTheCheckReadsIt)
{
    QTemporaryDir dir;
    demo::MarketOptions mo;
    mo.stocks = 80;
    mo.letterCodes = demo::defaultLetterCodes(mo.stocks);   // as the program writes its demo
    mo.splits = true;
    ASSERT_TRUE(demo::writeDemoFolder(dir.path(), mo).has_value());
    const QString data = dir.path() + "/data/";
    const QStringList names = QDir(data).entryList({"*.csv"}, QDir::Files);
    ASSERT_GE(names.size(), 80);
    // Letter codes (such as 130A) go the same way as the digit ones.
    ASSERT_TRUE(std::any_of(names.begin(), names.end(), [](const QString &n) { return n.at(3).isLetter(); }));
    int fitSections = 0;
    for (const QString &name : names) {
        const auto own = readPriceFile(data + name);
        ASSERT_TRUE(own.has_value()) << name.toStdString();
        const QByteArray bytes = test::readFile(data + name);
        std::optional<std::array<bool, 3>> quickFit;
        for (const BarReading r : {BarReading::Plain, BarReading::Quick, BarReading::Wide, BarReading::Widest}) {
            if (!barReadingAvailable(r)) continue;
            const auto read = readCheckedBars(bytes, data + name, r);
            ASSERT_TRUE(read.has_value()) << name.toStdString() << ' ' << int(r);
            EXPECT_TRUE(test::sameBars(read->sections, *own)) << name.toStdString() << ' ' << int(r);
            if (r == BarReading::Plain) continue;
            if (!quickFit) quickFit = read->fit, fitSections += int(std::count(read->fit.begin(), read->fit.end(), true));
            EXPECT_EQ(read->fit, *quickFit) << name.toStdString() << ' ' << int(r);
            const auto checked = readCheckedBars(bytes, data + name, r, false);
            ASSERT_TRUE(checked.has_value()) << name.toStdString() << ' ' << int(r);
            EXPECT_TRUE(test::sameBarsAsChecked(checked->sections, *own)) << name.toStdString() << ' ' << int(r);
            EXPECT_EQ(checked->fit, *quickFit) << name.toStdString() << ' ' << int(r);
        }
    }
    // Stocks' sections are whole numbers in order; only the indices' decimals need the second look.
    EXPECT_GE(fitSections, 3 * (names.size() - 2));
}
