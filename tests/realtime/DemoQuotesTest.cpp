#include "generator/DemoQuotes.h"
#include "realtime/QuotePage.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
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

TEST(DemoQuotes, PagesForTheWatchListsOnly)
{
    QTemporaryDir dir;
    const QString program = dir.path() + '/';
    test::writeFile(program + "touroku.dat", " 1001 \r\n 1002 \r\n 1301 \r\n");
    test::writeFile(program + "touroku3.dat", " 1561 \r\n");
    ASSERT_TRUE(writeDemoQuotes(market(), program).has_value());
    EXPECT_EQ(QDir(program + "site/quote").entryList(QDir::Files), (QStringList{"1301.T", "1561.T"}));
    EXPECT_TRUE(QFile::exists(program + "site/cme/index.html"));
}
