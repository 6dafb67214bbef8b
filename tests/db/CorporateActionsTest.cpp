#include "common/StockCode.h"
#include "db/CorporateActions.h"
#include "db/Sites.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace velor;

namespace {

void expectBar(const Bar &b, int32_t date, float o, float h, float l, float c, double v, const char *what)
{
    EXPECT_EQ(b.date, date) << what;
    EXPECT_FLOAT_EQ(b.open, o) << what << ' ' << date;
    EXPECT_FLOAT_EQ(b.high, h) << what << ' ' << date;
    EXPECT_FLOAT_EQ(b.low, l) << what << ' ' << date;
    EXPECT_FLOAT_EQ(b.close, c) << what << ' ' << date;
    EXPECT_DOUBLE_EQ(b.volume, v) << what << ' ' << date;
}

} // namespace

TEST(CorporateActions, BarsBeforeEachExDateAreScaledAndThePeriodThatHoldsOneIsRebuilt)
{
    // A 1:5 split with ex-date Monday 2026-11-02 and a 1:2 split with ex-date Wednesday 2026-12-09.
    const std::vector<CorporateAction> actions = {{1301, 20261102, 1, 5}, {1301, 20261209, 1, 2}};
    const std::vector<Bar> daily = {{20261211, 100, 110, 95, 105, 1000}, {20261210, 98, 102, 97, 100, 2000},
                                    {20261209, 99, 101, 96, 98, 3000},   {20261208, 200, 210, 190, 204, 500},
                                    {20261207, 190, 202, 188, 196, 400}, {20261204, 180, 190, 170, 186, 100},
                                    {20261030, 1000, 1050, 990, 1020, 50}};
    std::vector<Bar> d = daily;
    adjustBars(d, 0, actions);
    expectBar(d[0], 20261211, 100, 110, 95, 105, 1000, "on the new basis");
    expectBar(d[2], 20261209, 99, 101, 96, 98, 3000, "the ex-date itself");
    expectBar(d[3], 20261208, 100, 105, 95, 102, 1000, "before 1:2");
    expectBar(d[4], 20261207, 95, 101, 94, 98, 800, "before 1:2");
    expectBar(d[5], 20261204, 90, 95, 85, 93, 200, "before 1:2");
    expectBar(d[6], 20261030, 100, 105, 99, 102, 500, "before both: a tenth, ten times the shares");

    // Weekly: the week of the ex-date from its adjusted days; the others scaled whole.
    std::vector<Bar> w = {{20261211, 190, 210, 95, 105, 6900}, {20261204, 180, 190, 170, 186, 100}, {20261030, 1000, 1050, 990, 1020, 50}};
    adjustBars(w, 1, actions, daily);
    expectBar(w[0], 20261211, 95, 110, 94, 105, 7800, "week of 12-09");
    expectBar(w[1], 20261204, 90, 95, 85, 93, 200, "week before");
    expectBar(w[2], 20261030, 100, 105, 99, 102, 500, "week before both");

    // Monthly: December from its days; November holds 11-02 but its days are not in the daily
    // bars, so it is scaled as its last day is; October before both.
    std::vector<Bar> m = {{20261211, 180, 210, 95, 105, 7000}, {20261130, 400, 420, 380, 410, 300}, {20261030, 1000, 1100, 900, 1020, 90}};
    adjustBars(m, 2, actions, daily);
    expectBar(m[0], 20261211, 90, 110, 85, 105, 8000, "December");
    expectBar(m[1], 20261130, 200, 210, 190, 205, 600, "November");
    expectBar(m[2], 20261030, 100, 110, 90, 102, 900, "October");

    // A reverse split 5:1: earlier prices five times, a fifth of the shares.
    std::vector<Bar> r = {{20261208, 40, 41, 39, 40, 500}};
    adjustBars(r, 0, std::vector<CorporateAction>{{1301, 20261209, 5, 1}});
    expectBar(r[0], 20261208, 200, 205, 195, 200, 100, "reverse split");
    // No actions: nothing changes, padding lines included.
    std::vector<Bar> same = {{20261208, 40, 41, 39, 40, 500}, {0, 0, 0, 0, 0, 0}};
    adjustBars(same, 0, {});
    expectBar(same[0], 20261208, 40, 41, 39, 40, 500, "no action");
}

TEST(CorporateActions, TheTableKeepsWhatItCannotReadAndWritesInTheExchangesOrder)
{
    test::ProgramFolder pf;
    const QString path = pf.dir.path() + "/split.dat";
    test::writeFile(path, "130A,20240105,1:2\r\nnot a split\r\n1301,20261209,1:1.5\r\n9A7A,20250301,10:1\r\n1302,20261309,1:2\r\n");
    CorporateActions t;
    ASSERT_TRUE(t.load(path).has_value());
    EXPECT_EQ(t.all().size(), 3u);
    EXPECT_EQ(t.unreadableLines(), 2);
    const int a = *codeFromText(std::string_view("130A"));
    ASSERT_EQ(t.of(a).size(), 1u);
    EXPECT_DOUBLE_EQ(t.of(a)[0].priceFactor(), 0.5);
    EXPECT_DOUBLE_EQ(priceFactorOn(t.of(1301), 20261208), 1 / 1.5);
    EXPECT_DOUBLE_EQ(priceFactorOn(t.of(1301), 20261209), 1.0);
    EXPECT_FALSE(t.add({1301, 20261209, 1, 3}));   // one action a day
    EXPECT_TRUE(t.add({1301, 20240101, 1, 3}));
    EXPECT_TRUE(t.remove(a, 20240105));
    EXPECT_FALSE(t.remove(a, 20240105));
    EXPECT_EQ(t.bytes(), QByteArray("1301,20240101,1:3\r\n1301,20261209,1:1.5\r\n9A7A,20250301,10:1\r\nnot a split\r\n1302,20261309,1:2\r\n"));
    // A missing file is an empty table.
    ASSERT_TRUE(t.load(pf.dir.path() + "/none.dat").has_value());
    EXPECT_TRUE(t.empty());

    struct Ratio { const char *text; bool ok; double before, after; };
    const Ratio ratios[] = {{"1:5", true, 1, 5}, {"1:1.5", true, 1, 1.5}, {" 5 : 1 ", true, 5, 1}, {"1:0", false, 0, 0},
                            {"-1:2", false, 0, 0}, {"1/5", false, 0, 0}, {"1:", false, 0, 0}, {"a:b", false, 0, 0}};
    for (const Ratio &c : ratios) {
        const auto r = parseRatio(QString::fromLatin1(c.text));
        ASSERT_EQ(r.has_value(), c.ok) << c.text;
        if (r) EXPECT_EQ(*r, std::pair(c.before, c.after)) << c.text;
    }
}

TEST(CorporateActions, MovesBeyondThePriceLimitNearASimpleRatioAreSuggested)
{
    struct Limit { double close, limit; };
    for (const Limit &c : {Limit{99, 30}, Limit{100, 50}, Limit{999, 150}, Limit{1000, 300}, Limit{14999, 3000},
                           Limit{15000, 4000}, Limit{2e6, 300000}})
        EXPECT_DOUBLE_EQ(dailyPriceLimit(c.close), c.limit) << c.close;
    // The share the data check takes as within the limit without the table, at every band's edges.
    for (double c = 1; c < 1000000; c = c < 1000 ? c + 1 : c * 1.0001)
        for (const double x : {c, std::nextafter(c, 0.0)}) ASSERT_GT(dailyPriceLimit(x), kLimitShare * x) << x;
    struct Move { double previous, close; const char *ratio; };
    const Move moves[] = {{1000, 200, "1:5"},   {1000, 900, ""},     {300, 1500, "5:1"},  {3000, 1000, "1:3"},
                          {3000, 1700, "1:2"},  {10000, 6500, ""},   {5000, 1250, "1:4"}, {20000, 200, "1:100"},
                          {10000, 400, "1:25"}, {2000, 200, "1:10"}, {0, 100, ""},        {100, 70, ""}};
    for (const Move &c : moves) {
        const auto r = suggestedRatio(c.previous, c.close);
        const QString got = r ? QString::number(r->first) + ':' + QString::number(r->second) : QString();
        EXPECT_EQ(got, QString::fromLatin1(c.ratio)) << c.previous << " -> " << c.close;
    }
}

TEST(CorporateActions, SettingOneSitesKeyKeepsEveryOtherLine)
{
    test::ProgramFolder pf;
    const QString path = pf.dir.path() + "/sites.ini";
    struct Case { const char *before, *after; };
    const Case cases[] = {
        {"; comment\r\n[sites]\r\nQuoteUrl=x\r\nAdjustPrices=1\r\n", "; comment\r\n[sites]\r\nQuoteUrl=x\r\nAdjustPrices=0\r\n"},
        {"[sites]\r\nQuoteUrl=x\r\n[other]\r\nAdjustPrices=1\r\n", "[sites]\r\nQuoteUrl=x\r\nAdjustPrices=0\r\n[other]\r\nAdjustPrices=1\r\n"},
        {"[sites]\nQuoteUrl=x\n;AdjustPrices=1\n", "[sites]\nQuoteUrl=x\n;AdjustPrices=1\nAdjustPrices=0\n"},
        {"", "[sites]\r\nAdjustPrices=0\r\n"}};
    for (const Case &c : cases) {
        test::writeFile(path, c.before);
        ASSERT_TRUE(setSitesKey(path, QStringLiteral("AdjustPrices"), QStringLiteral("0")).has_value());
        EXPECT_EQ(test::readFile(path), QByteArray(c.after)) << c.before;
        EXPECT_FALSE(readSites(path).AdjustPrices) << c.before;
    }
}
