// The demo's trading day minute by minute: the trade point of each time of day, and the path of
// every stock from its open to its close.
#include "demo/DemoQuotes.h"
#include "demo/IntradayPath.h"

#include <QTime>
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

// Every minute of the day from 0:00 to 23:59.
std::vector<QTime> everyMinute()
{
    std::vector<QTime> out;
    for (int m = 0; m < 24 * 60; ++m) out.push_back(QTime(m / 60, m % 60));
    return out;
}

} // namespace

TEST(IntradayPath, TradePointOfEachTimeOfDay)
{
    struct Case { QTime t; int point; };   // -1: no trade yet
    const Case cases[] = {
        {QTime(0, 0), -1},      {QTime(8, 59, 59), -1}, {QTime(9, 0), 0},      {QTime(9, 0, 59), 0},
        {QTime(9, 1), 1},       {QTime(11, 30), 150},   {QTime(11, 31), 150},  {QTime(12, 29), 150},
        {QTime(12, 30), 151},   {QTime(15, 25), 326},   {QTime(15, 26), 326},  {QTime(15, 29, 59), 326},
        {QTime(15, 30), 327},   {QTime(15, 31), 327},   {QTime(23, 59), 327},
    };
    for (const Case &c : cases) EXPECT_EQ(tradePointAt(c.t).value_or(-1), c.point) << c.t.toString().toStdString();
}

TEST(IntradayPath, TwoStocksDaysAsATable)
{
    // The whole days, as the fixed pages show them: 1301 155 / 156 / 154 / 154 with 576,900
    // shares, 1532 1357 / 1361 / 1339 / 1350 with 221,900.
    struct Case { int code; QTime t; bool traded; float open, high, low, close; double volume; };
    const Case cases[] = {
        {1301, QTime(8, 59), false, 0, 0, 0, 0, 0},
        {1301, QTime(9, 0), true, 155, 155, 155, 155, 24400},
        {1301, QTime(10, 15), true, 155, 155, 155, 155, 156800},
        {1301, QTime(15, 25), true, 155, 156, 154, 154, 534700},
        {1301, QTime(15, 30), true, 155, 156, 154, 154, 576900},
        {1301, QTime(18, 0), true, 155, 156, 154, 154, 576900},
        {1532, QTime(0, 0), false, 0, 0, 0, 0, 0},
        {1532, QTime(9, 0), true, 1357, 1357, 1357, 1357, 15800},
        {1532, QTime(10, 15), true, 1357, 1361, 1355, 1356, 66300},
        {1532, QTime(10, 16), true, 1357, 1361, 1355, 1355, 66900},
        {1532, QTime(11, 0), true, 1357, 1361, 1345, 1345, 85800},
        {1532, QTime(15, 25), true, 1357, 1361, 1339, 1350, 209000},
        {1532, QTime(15, 30), true, 1357, 1361, 1339, 1350, 221900},
    };
    for (const Case &c : cases) {
        const std::optional<Bar> b = barSoFar(market(), seriesOf(c.code), c.t);
        const std::string at = std::to_string(c.code) + " " + c.t.toString().toStdString();
        ASSERT_EQ(b.has_value(), c.traded) << at;
        if (!b) continue;
        EXPECT_EQ(b->open, c.open) << at;
        EXPECT_EQ(b->high, c.high) << at;
        EXPECT_EQ(b->low, c.low) << at;
        EXPECT_EQ(b->close, c.close) << at;
        EXPECT_EQ(b->volume, c.volume) << at;
        EXPECT_EQ(b->date, 20261130) << at;
    }
}

TEST(IntradayPath, BreaksChangeNothing)
{
    const MarketGenerator &gen = market();
    struct Case { QTime from; QTime to; QTime same; };
    const Case cases[] = {{QTime(11, 31), QTime(12, 29), QTime(11, 30)}, {QTime(15, 26), QTime(15, 29), QTime(15, 25)}};
    for (size_t i = 2; i < gen.listing().size(); i += 7) {
        const StockSeries s = gen.series(i);
        for (const Case &c : cases) {
            const std::optional<Bar> same = barSoFar(gen, s, c.same);
            for (QTime t = c.from; t <= c.to; t = t.addSecs(60)) {
                const std::optional<Bar> b = barSoFar(gen, s, t);
                ASSERT_EQ(b.has_value(), same.has_value()) << s.entry.code;
                if (!b) continue;
                EXPECT_EQ(b->close, same->close) << s.entry.code << " " << t.toString().toStdString();
                EXPECT_EQ(b->high, same->high) << s.entry.code;
                EXPECT_EQ(b->low, same->low) << s.entry.code;
                EXPECT_EQ(b->volume, same->volume) << s.entry.code;
            }
        }
    }
}

TEST(IntradayPath, EveryStockRunsFromItsOpenToItsWholeDay)
{
    const MarketGenerator &gen = market();
    int moving = 0, checkedMinutes = 0;
    for (size_t i = 0; i < gen.listing().size(); ++i) {
        const StockSeries s = gen.series(i);
        const Bar day = quotedDayBar(gen, s);
        if (!movesThroughTheDay(gen, s) || day.volume == 0) continue;
        ++moving;
        const std::vector<float> prices = intradayPrices(gen, s);
        const std::vector<double> volumes = intradayVolumes(gen, s);
        ASSERT_EQ(prices.size(), 328u) << s.entry.code;
        ASSERT_EQ(volumes.size(), 328u) << s.entry.code;
        EXPECT_EQ(prices.front(), day.open) << s.entry.code;
        EXPECT_EQ(prices.back(), day.close) << s.entry.code;
        std::optional<Bar> before;
        for (const QTime &t : everyMinute()) {
            const std::optional<Bar> b = barSoFar(gen, s, t);
            const std::string at = std::to_string(s.entry.code) + " " + t.toString().toStdString();
            ASSERT_EQ(b.has_value(), t >= QTime(9, 0)) << at;
            if (!b) continue;
            ++checkedMinutes;
            EXPECT_EQ(b->open, day.open) << at;
            EXPECT_LE(b->low, b->close) << at;
            EXPECT_GE(b->high, b->close) << at;
            EXPECT_LE(b->low, b->open) << at;
            EXPECT_GE(b->high, b->open) << at;
            EXPECT_GE(b->low, day.low) << at;
            EXPECT_LE(b->high, day.high) << at;
            EXPECT_GT(b->volume, 0.0) << at;
            if (before) {
                EXPECT_GE(b->volume, before->volume) << at;
                EXPECT_GE(b->high, before->high) << at;
                EXPECT_LE(b->low, before->low) << at;
            }
            before = b;
        }
        // From the closing auction on, exactly the fixed page's day.
        ASSERT_TRUE(before.has_value());
        EXPECT_EQ(before->high, day.high) << s.entry.code;
        EXPECT_EQ(before->low, day.low) << s.entry.code;
        EXPECT_EQ(before->close, day.close) << s.entry.code;
        EXPECT_EQ(before->volume, day.volume) << s.entry.code;
        // The high and the low are reached during the session, not only by the auction.
        const std::optional<Bar> lastTrade = barSoFar(gen, s, QTime(15, 25));
        EXPECT_EQ(lastTrade->high, day.high) << s.entry.code;
        EXPECT_EQ(lastTrade->low, day.low) << s.entry.code;
    }
    EXPECT_EQ(moving, 293);   // 300 stocks and two index series, less 4 delisted and 5 without a trade
    EXPECT_EQ(checkedMinutes, 293 * (24 * 60 - 9 * 60));
}

TEST(IntradayPath, MostStocksMoveFromOneMinuteToTheNext)
{
    const MarketGenerator &gen = market();
    int moving = 0, changed = 0;
    for (size_t i = 2; i < gen.listing().size(); ++i) {
        const StockSeries s = gen.series(i);
        const std::optional<Bar> a = barSoFar(gen, s, QTime(10, 15)), b = barSoFar(gen, s, QTime(10, 16));
        if (!movesThroughTheDay(gen, s) || !a) continue;
        ++moving;
        if (a->close != b->close || a->volume != b->volume) ++changed;
    }
    EXPECT_GT(moving, 250);
    EXPECT_EQ(changed, moving);
}

TEST(IntradayPath, StocksThatDoNotTradeKeepTheFixedBar)
{
    const MarketGenerator &gen = market();
    int delisted = 0, withoutTrades = 0;
    for (size_t i = 2; i < gen.listing().size(); ++i) {
        const StockSeries s = gen.series(i);
        const Bar day = quotedDayBar(gen, s);
        const std::optional<Bar> atTen = barSoFar(gen, s, QTime(10, 0)), atClose = barSoFar(gen, s, QTime(15, 30));
        if (!movesThroughTheDay(gen, s)) {
            // Delisted, or listed only later: the fixed bar all day.
            ++delisted;
            ASSERT_TRUE(atTen.has_value()) << s.entry.code;
            EXPECT_EQ(atTen->close, day.close) << s.entry.code;
            EXPECT_EQ(atTen->volume, day.volume) << s.entry.code;
            EXPECT_TRUE(intradayPrices(gen, s).empty()) << s.entry.code;
        } else if (day.volume == 0) {
            // No trade on the day: nothing until the auction, then the flat day of the fixed page.
            ++withoutTrades;
            EXPECT_FALSE(atTen.has_value()) << s.entry.code;
            ASSERT_TRUE(atClose.has_value()) << s.entry.code;
            EXPECT_EQ(atClose->close, day.close) << s.entry.code;
            EXPECT_EQ(atClose->volume, 0.0) << s.entry.code;
        }
    }
    EXPECT_EQ(delisted, 4);
    EXPECT_EQ(withoutTrades, 5);
}

TEST(IntradayPath, ThePreviousCloseIsTheLastStoredOne)
{
    const StockSeries s = seriesOf(1301);
    EXPECT_EQ(previousClose(market(), s), s.daily[size_t(market().storedDays() - 1)].close);
    EXPECT_EQ(previousClose(market(), seriesOf(1001)), seriesOf(1001).daily[size_t(market().storedDays() - 1)].close);
}
