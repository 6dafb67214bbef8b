#include "demo/DemoFolder.h"
#include "demo/DemoQuotes.h"
#include "common/Utils.h"
#include "db/Sites.h"
#include "db/StockMaster.h"
#include "realtime/QuoteReader.h"
#include "realtime/QuotePage.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <cmath>
#include <gtest/gtest.h>

using namespace velor;
using namespace velor::demo;

namespace {

const MarketGenerator &market()
{
    static const MarketGenerator gen([] { MarketOptions o; o.stocks = 300; return o; }());
    return gen;
}

StockSeries seriesOf(int code)
{
    const auto &listing = market().listing();
    for (size_t i = 0; i < listing.size(); ++i)
        if (listing[i].code == code) return market().series(i);
    ADD_FAILURE() << "no code " << code;
    return {};
}

} // namespace

TEST(DemoQuotes, StockPageReadsBackAsTheNextDay)
{
    const QByteArray bytes = stockQuotePage(market(), seriesOf(1301));
    EXPECT_TRUE(bytes.contains("\"volume\":\"576,900株\""));
    EXPECT_TRUE(bytes.contains("\"tradingValue\":\"88,843千円\""));
    const QuotePage q = parseQuotePage(decodeQuotePage(bytes), 1301, 1);
    EXPECT_EQ(q.open, 155.0f);
    EXPECT_EQ(q.high, 156.0f);
    EXPECT_EQ(q.low, 154.0f);
    EXPECT_EQ(q.close, 154.0f);
    EXPECT_EQ(q.volume, 576900.0);
    EXPECT_EQ(q.turnover, 88843000.0);
    EXPECT_EQ(q.per, 39.41f);
    EXPECT_EQ(q.eps, 3.91f);
    EXPECT_EQ(q.minBuy, 15400.0);
    EXPECT_EQ(q.yearHigh, 212.0);
    EXPECT_EQ(q.yearLow, 135.0);
    EXPECT_EQ(q.marginDate, QStringLiteral("11/27"));
    EXPECT_EQ(q.marginBuy, 180600);
    EXPECT_EQ(q.marginSell, 0);
}

TEST(DemoQuotes, EveryWatchedStockReadsItsOwnBar)
{
    const MarketGenerator &gen = market();
    const auto &listing = gen.listing();
    for (size_t i = 2; i < listing.size(); i += 37) {
        const StockSeries s = gen.series(i);
        if (s.endDay <= gen.storedDays() || s.firstDay > gen.storedDays()) continue;
        const Bar &b = s.daily[size_t(gen.storedDays())];
        const QuotePage q = parseQuotePage(decodeQuotePage(stockQuotePage(gen, s)), s.entry.code, 1);
        EXPECT_EQ(q.close, b.close) << s.entry.code;
        EXPECT_EQ(q.open, b.open) << s.entry.code;
        EXPECT_EQ(q.volume, b.volume) << s.entry.code;
        EXPECT_NE(q.bps, 0.0f) << s.entry.code;
        EXPECT_NE(q.yearHigh, 0.0) << s.entry.code;
    }
}

TEST(DemoQuotes, FuturesPageGivesTheIndexAtTheTick)
{
    const QuotePage q = parseQuotePage(decodeQuotePage(futuresQuotePage(market(), seriesOf(1001))), 1001, 0);
    EXPECT_EQ(q.close, 34600.0f);
    EXPECT_EQ(q.open, 34595.0f);
}

TEST(DemoQuotes, QuotePagesAreOnlyAsLongAsTheReaderNeeds)
{
    // 16000 + 32000 characters of skips and the values after them, in one byte a character.
    const QByteArray page = stockQuotePage(market(), seriesOf(1301));
    EXPECT_GT(page.size(), 48000);
    EXPECT_LT(page.size(), 49800);
    const QString text = QString::fromUtf8(page);
    EXPECT_EQ(text.indexOf("stock_price"), 16041);
    EXPECT_EQ(text.indexOf("openPrice"), 16041 + 32017);
}

TEST(DemoQuotes, EveryStockOfTheMasterHasBothPages)
{
    QTemporaryDir dir;
    ASSERT_TRUE(writeDemoQuotes(market(), dir.path() + "/site").has_value());
    const QStringList quotes = QDir(dir.path() + "/site/quote").entryList(QDir::Files);
    const QStringList targets = QDir(dir.path() + "/site/stock").entryList(QDir::Files);
    // 300 stocks, two of which list only after the stored days and come in with the download;
    // 1001 has the futures page.
    EXPECT_EQ(quotes.size(), 300);
    EXPECT_EQ(targets.size(), 300);
    EXPECT_TRUE(quotes.contains("1301.T"));
    EXPECT_TRUE(targets.contains("1301"));
    EXPECT_FALSE(quotes.contains("1002.T"));
    EXPECT_TRUE(QFile::exists(dir.path() + "/site/cme/index.html"));
}

namespace {

// The target price as the target-price screens read a page: from character 25000 on, 15
// characters into the first price-box marker, the number among the next 25 characters.
double readTarget(const QByteArray &bytes)
{
    QString t = QString::fromUtf8(bytes).mid(24999);
    const qsizetype at = t.indexOf(QStringLiteral("md_target_box_price"));
    t = t.mid(at < 0 ? 14 : at + 15);
    return getNum(t, 25);
}

} // namespace

TEST(DemoQuotes, TargetPagesReadAsTheirTargets)
{
    const StockSeries s1301 = seriesOf(1301);
    ASSERT_EQ(s1301.daily[size_t(market().storedDays() - 1)].close, 154.0f);
    EXPECT_EQ(targetPrice(market(), s1301), 146.0);
    EXPECT_EQ(readTarget(targetPricePage(market(), s1301)), 146.0);
    EXPECT_TRUE(targetPricePage(market(), s1301).contains("md_target_box_price\">146<span>"));

    const MarketGenerator &gen = market();
    int withTarget = 0, without = 0;
    for (size_t i = 2; i < gen.listing().size(); ++i) {
        const StockSeries s = gen.series(i);
        if (s.firstDay >= gen.storedDays()) continue;
        const QByteArray page = targetPricePage(gen, s);
        const double target = targetPrice(gen, s);
        EXPECT_EQ(readTarget(page), target) << s.entry.code;
        if (target == 0) {
            ++without;
            EXPECT_LT(page.size(), 25000) << s.entry.code;   // the short page of an uncovered stock
            continue;
        }
        ++withTarget;
        EXPECT_EQ(s.endDay, int(gen.calendar().size())) << s.entry.code;   // never a delisted stock
        const double close = s.daily[size_t(gen.storedDays() - 1)].close;
        EXPECT_GE(target / close, 0.74) << s.entry.code;
        EXPECT_LE(target / close, 1.46) << s.entry.code;
    }
    EXPECT_EQ(withTarget + without, 298);
    EXPECT_EQ(without, 62);
    EXPECT_GT(withTarget, 180);
}

TEST(DemoQuotes, EveryChartOfTheDemoReadsItsLiveBarWithoutAWarning)
{
    QTemporaryDir dir;
    MarketOptions mo;
    mo.stocks = 120;
    ASSERT_TRUE(writeDemoFolder(dir.path(), mo).has_value());
    const MarketGenerator gen(mo);
    test::TestEnv env;   // 15:30, after the close
    State st;
    st.ProgramDir = dir.path() + '/';
    st.DataDir = st.ProgramDir + "data/";
    st.MasterPath = st.DataDir + "meigara.dat";
    st.sites = readSites(st.ProgramDir + "sites.ini");
    EXPECT_EQ(st.sites.MaxConnections, 4);
    ASSERT_TRUE(MEIGARAIN(st).has_value());
    QtNet net;
    QuoteReader reader(env.clock, net, env.dialogs);
    int compared = 0;
    for (size_t i = 0; i < gen.listing().size(); ++i) {
        const StockSeries s = gen.series(i);
        if (s.firstDay >= gen.storedDays()) continue;
        st.CurCode = s.entry.code;
        st.BarOffset = -1;
        st.QuoteMode = 1;
        reader.getVec(st);
        EXPECT_FALSE(reader.lastFetchFailed()) << s.entry.code;
        if (!s.ordinary() || st.StockSection[size_t(st.StockIndex[size_t(s.entry.code)])] == 4) continue;
        // The live bar is the day after the stored ones (the last bar of a delisted stock).
        const Bar &b = s.daily[size_t(std::min(gen.storedDays(), s.endDay - 1))];
        EXPECT_EQ(st.BarOpen[0], b.open) << s.entry.code;
        EXPECT_EQ(st.BarHigh[0], b.high) << s.entry.code;
        EXPECT_EQ(st.BarLow[0], b.low) << s.entry.code;
        EXPECT_EQ(st.BarClose[0], b.close) << s.entry.code;
        EXPECT_EQ(st.BarVolume[0], b.volume) << s.entry.code;
        EXPECT_EQ(st.CurTurnover, std::round(double(b.close) * b.volume / 1000) * 1000) << s.entry.code;
        EXPECT_EQ(st.QuoteMinBuy, double(b.close) * 100) << s.entry.code;
        EXPECT_NE(st.QuoteBPS, 0.0f) << s.entry.code;
        ++compared;
    }
    EXPECT_TRUE(env.dialogs.shown.empty());
    EXPECT_GT(compared, 80);
}
