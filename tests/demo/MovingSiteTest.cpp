// The demo's quote site at a time of day: addresses, the page layout the quote reader reads, and
// the parameters that make a folder a demo folder.
#include "demo/DemoFolder.h"
#include "demo/DemoParameters.h"
#include "demo/DemoQuotes.h"
#include "demo/IntradayPath.h"
#include "demo/MovingSite.h"
#include "common/StockCode.h"
#include "realtime/QuotePage.h"
#include "support/TestSupport.h"

#include <QTime>
#include <cmath>
#include <gtest/gtest.h>

using namespace velor;
using namespace velor::demo;

namespace {

MarketOptions options300()
{
    MarketOptions o;
    o.stocks = 300;
    return o;
}

const MovingSite &site()
{
    static const MovingSite s(options300());
    return s;
}

StockSeries seriesOf(int code)
{
    const auto &listing = site().market().listing();
    for (size_t i = 0; i < listing.size(); ++i)
        if (listing[i].code == code) return site().market().series(i);
    ADD_FAILURE() << "no code " << code;
    return {};
}

QByteArray quoteAt(int code, QTime t) { return site().page("/quote/" + codeBytes(code) + ".T", t).value_or("none"); }

QuotePage read(const QByteArray &page, int code) { return parseQuotePage(decodeQuotePage(page), code, 1); }

} // namespace

TEST(MovingSite, AddressesAsTheFixedSiteHasThem)
{
    struct Case { const char *path; bool found; };
    const Case cases[] = {
        {"/quote/1301.T", true},          {"/quote/1301.T?x=1", true},      {"/quote/%31301.T", true},
        {"/cme/", true},                  {"/cme/index.html", true},        {"/stock/1301", true},
        {"/quote/1302.T", false},         {"/quote/1001.T", false},         {"/quote/1002.T", false},
        {"/stock/1302", false},           {"/stock/1001", false},           {"/quote/1301", false},
        {"/quote/abcd.T", false},         {"/quote/.T", false},             {"/", false},
        {"", false},                      {"/cme", false},                  {"/../", false},
        {"/../site/quote/1301.T", false}, {"/quote/../quote/1301.T", false}, {"/quote/%2e%2e/1301.T", false},
        {"quote/1301.T", false},          {"/index.html", false},
    };
    for (const Case &c : cases) EXPECT_EQ(site().page(c.path, QTime(10, 15)).has_value(), c.found) << c.path;
}

TEST(MovingSite, QuotePageThroughTheDay)
{
    // 1301's day: 155 / 156 / 154 / 154 with 576,900 shares; the day before closed at 154.
    struct Case { QTime t; float open, high, low, close; double volume; float minBuyClose; };
    const Case cases[] = {
        {QTime(6, 0), 0, 0, 0, 0, 0, 154},
        {QTime(8, 59), 0, 0, 0, 0, 0, 154},
        {QTime(9, 0), 155, 155, 155, 155, 24400, 155},
        {QTime(15, 30), 155, 156, 154, 154, 576900, 154},
    };
    for (const Case &c : cases) {
        const QuotePage q = read(quoteAt(1301, c.t), 1301);
        const std::string at = c.t.toString().toStdString();
        EXPECT_EQ(q.open, c.open) << at;
        EXPECT_EQ(q.high, c.high) << at;
        EXPECT_EQ(q.low, c.low) << at;
        EXPECT_EQ(q.close, c.close) << at;
        EXPECT_EQ(q.volume, c.volume) << at;
        EXPECT_EQ(q.minBuy, double(c.minBuyClose) * 100) << at;
        // The fundamentals are on the page at any time.
        EXPECT_EQ(q.yearHigh, 212.0) << at;
        EXPECT_EQ(q.marginBuy, 180600) << at;
    }
    EXPECT_TRUE(quoteAt(1301, QTime(8, 59)).contains("\"stock_price\":\"---\""));
}

TEST(MovingSite, FromTheAuctionOnEveryPageIsTheFixedOne)
{
    const MarketGenerator &gen = site().market();
    for (size_t i = 2; i < gen.listing().size(); ++i) {
        const StockSeries s = gen.series(i);
        if (!s.ordinary()) continue;
        for (QTime t : {QTime(15, 30), QTime(15, 30, 30), QTime(16, 0), QTime(23, 59)})
            ASSERT_EQ(quoteAt(s.entry.code, t), stockQuotePage(gen, s)) << s.entry.code << " " << t.toString().toStdString();
    }
    const StockSeries index = seriesOf(1001);
    EXPECT_EQ(site().futuresPage(QTime(15, 30)), futuresQuotePage(gen, index));
    EXPECT_EQ(site().page("/stock/1301", QTime(10, 15)), targetPricePage(gen, seriesOf(1301)));
}

TEST(MovingSite, PagesAreAFunctionOfTheTimeAlone)
{
    const MovingSite other(options300());   // made afresh: nothing carried over from earlier calls
    const MarketGenerator &gen = site().market();
    int pages = 0, moved = 0;
    for (size_t i = 2; i < gen.listing().size(); ++i) {
        const int code = gen.listing()[i].code;
        const QByteArray at1015 = quoteAt(code, QTime(10, 15));
        EXPECT_EQ(at1015, quoteAt(code, QTime(10, 15, 40))) << code;
        EXPECT_EQ(at1015, other.page("/quote/" + codeBytes(code) + ".T", QTime(10, 15))) << code;
        ++pages;
        if (at1015 != quoteAt(code, QTime(10, 16))) ++moved;
    }
    EXPECT_EQ(pages, 300);
    EXPECT_GT(moved, 270);   // all but the stocks without trades that day and the delisted ones
}

TEST(MovingSite, FuturesFollowTheIndex)
{
    const StockSeries index = seriesOf(1001);
    const Bar day = quotedDayBar(site().market(), index);
    struct Case { QTime t; float close; };
    const Case cases[] = {
        {QTime(8, 0), float(futuresPrice(previousClose(site().market(), index)))},
        {QTime(9, 0), float(futuresPrice(day.open))},
        {QTime(15, 30), 34600},
    };
    for (const Case &c : cases)
        EXPECT_EQ(read(site().futuresPage(c.t), 1001).close, c.close) << c.t.toString().toStdString();
    for (QTime t = QTime(9, 0); t < QTime(15, 30); t = t.addSecs(60)) {
        const float close = read(site().page("/cme/", t).value_or(""), 1001).close;
        EXPECT_GE(close, futuresPrice(day.low)) << t.toString().toStdString();
        EXPECT_LE(close, futuresPrice(day.high)) << t.toString().toStdString();
        EXPECT_EQ(std::fmod(close, 10.0f), 0.0f) << t.toString().toStdString();
    }
}

TEST(MovingSite, DemoParametersAndTheServerPort)
{
    QTemporaryDir dir;
    MarketOptions o;
    o.stocks = 25;
    o.seed = 7;
    EXPECT_FALSE(readDemoParameters(dir.path()).has_value());
    ASSERT_TRUE(writeDemoParameters(dir.path(), o).has_value());
    EXPECT_EQ(test::readFile(dir.path() + "/demo.ini"),
              "; The market this demo folder was made from (velor demo serve makes it again).\r\n[demo]\r\nStocks=25\r\nSeed=7\r\n");
    const auto back = readDemoParameters(dir.path());
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->stocks, 25);
    EXPECT_EQ(back->seed, 7u);

    struct Case { const char *quote, *futures; int port; };
    const Case cases[] = {
        {"http://127.0.0.1:47501", "http://127.0.0.1:47501", 47501},
        {"file:///x/site", "http://127.0.0.1:5000", 5000},
        {"file:///x/site", "file:///x/site", -1},
        {"https://127.0.0.1:47501", "https://quote.invalid", -1},
        {"http://localhost:47501", "http://192.168.1.2:47501", -1},
        {"http://127.0.0.1", "file:///x/site", -1},
    };
    for (const Case &c : cases) {
        Sites sites;
        sites.QuoteUrl = QString::fromLatin1(c.quote);
        sites.FuturesUrl = QString::fromLatin1(c.futures);
        EXPECT_EQ(demoServerPort(dir.path(), sites).value_or(-1), c.port) << c.quote << " " << c.futures;
    }
    // Not a demo folder: no server, whatever the sites say.
    QTemporaryDir plain;
    Sites sites;
    sites.QuoteUrl = QStringLiteral("http://127.0.0.1:47501");
    EXPECT_FALSE(demoServerPort(plain.path(), sites).has_value());
}

TEST(MovingSite, DemoParametersRefuseWhatIsNotThem)
{
    struct Case { const char *text; bool ok; };
    const Case cases[] = {
        {"[demo]\r\nStocks=10\r\nSeed=3\r\n", true},
        {"[demo]\nStocks = 10\nSeed = 3\n", true},
        {"[demo]\r\nStocks=10\r\n", false},
        {"[other]\r\nStocks=10\r\nSeed=3\r\n", false},
        {"[demo]\r\nStocks=4399\r\nSeed=3\r\n", false},
        {"[demo]\r\nStocks=-1\r\nSeed=3\r\n", false},
        {"[demo]\r\nStocks=ten\r\nSeed=3\r\n", false},
    };
    for (const Case &c : cases) {
        QTemporaryDir dir;
        test::writeFile(dir.path() + "/demo.ini", c.text);
        EXPECT_EQ(readDemoParameters(dir.path()).has_value(), c.ok) << c.text;
    }
}

TEST(MovingSite, MovingSitesNameTheServerForQuotesAndFuturesOnly)
{
    QTemporaryDir dir;
    const QByteArray fixed = demoSitesText(dir.path());
    const QByteArray moving = movingSitesText(dir.path(), 47501);
    const QList<QByteArray> a = fixed.split('\n'), b = moving.split('\n');
    ASSERT_EQ(a.size(), b.size());
    QList<QByteArray> changed;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (a[i] != b[i]) changed << b[i];
    EXPECT_EQ(changed, (QList<QByteArray>{"QuoteUrl=http://127.0.0.1:47501\r", "FuturesUrl=http://127.0.0.1:47501\r"}));
    EXPECT_TRUE(fixed.contains("QuoteUrl=file://"));
}
