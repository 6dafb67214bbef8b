#include "realtime/QuotePage.h"
#include "QuotePages.h"

#include <gtest/gtest.h>

using namespace velor;
using namespace velor::test;

TEST(PageCursor, SkipFindReadTake)
{
    const QString text = QStringLiteral("abcdef key: 1,234円 more key: 9");
    PageCursor c(text);
    c.skipTo(3);                       // from the 3rd character: "cdef…"
    EXPECT_EQ(c.position(), 2);
    EXPECT_TRUE(c.find(u"key", 5));
    EXPECT_EQ(c.position(), 12);
    EXPECT_EQ(c.read(10), 1234.0);
    EXPECT_EQ(c.take(3), QStringLiteral("1,2"));
    EXPECT_FALSE(c.find(u"absent", 0));
    EXPECT_EQ(c.position(), 12);      // a missing key leaves the cursor where it was
    EXPECT_TRUE(c.find(u"key", 5));
    EXPECT_EQ(c.read(10), 9.0);
}

TEST(PageCursor, NeverMovesPastTheEnd)
{
    const QString text = QStringLiteral("short key");
    PageCursor c(text);
    c.skipTo(16000);
    EXPECT_EQ(c.position(), 9);
    EXPECT_EQ(c.read(30), 0.0);
    EXPECT_EQ(c.take(5), QString());
    PageCursor d(text);
    EXPECT_TRUE(d.find(u"key", 380));
    EXPECT_EQ(d.position(), 9);
    EXPECT_EQ(d.read(40), 0.0);
}

TEST(QuotePage, StockPricesAndFundamentals)
{
    const QuotePage q = parseQuotePage(stockPage(), 1301, 1);
    EXPECT_EQ(q.close, 1234.5f);
    EXPECT_EQ(q.open, 1230.0f);
    EXPECT_EQ(q.high, 1250.5f);
    EXPECT_EQ(q.low, 1220.0f);
    EXPECT_EQ(q.volume, 2345600.0);
    EXPECT_TRUE(q.pricesRead);
    EXPECT_EQ(q.turnover, 2893456000.0);
    EXPECT_EQ(q.yield, 2.35f);
    EXPECT_EQ(q.dps, 30.0f);
    EXPECT_EQ(q.per, 15.2f);
    EXPECT_EQ(q.pbr, 1.05f);
    EXPECT_EQ(q.eps, -12.5f);          // the minus sign is kept
    EXPECT_EQ(q.bps, 1176.4f);
    EXPECT_EQ(q.minBuy, 123450.0);
    EXPECT_EQ(q.yearHigh, 1450.0);
    EXPECT_EQ(q.yearLow, 980.0);
    EXPECT_EQ(q.marginDate, QStringLiteral("11/27"));
    EXPECT_EQ(q.marginBuy, 1234500);
    EXPECT_EQ(q.marginSell, 456700);
    EXPECT_EQ(q.marginRatio, 2.7030873f);
}

TEST(QuotePage, ModesChooseWhatIsRead)
{
    struct Case { int mode; float close; double turnover; bool pricesRead; float per; int32_t marginBuy; };
    const Case cases[] = {
        {0, 1234.5f, 2893456000.0, true, 15.2f, 1234500},
        {1, 1234.5f, 2893456000.0, true, 15.2f, 1234500},
        {7, 1234.5f, 2893456000.0, true, 0.0f, 0},        // prices only
        {11, 0.0f, 0.0, false, 15.2f, 1234500},           // fundamentals only
        {12, 0.0f, 0.0, false, 15.2f, 1234500},
    };
    for (const Case &c : cases) {
        const QuotePage q = parseQuotePage(stockPage(), 1301, c.mode);
        EXPECT_EQ(q.close, c.close) << c.mode;
        EXPECT_EQ(q.turnover, c.turnover) << c.mode;
        EXPECT_EQ(q.pricesRead, c.pricesRead) << c.mode;
        EXPECT_EQ(q.per, c.per) << c.mode;
        EXPECT_EQ(q.marginBuy, c.marginBuy) << c.mode;
    }
}

TEST(QuotePage, FundamentalsOnlyStartAt32000FromTheTop)
{
    // With mode 11 the fundamentals are searched from character 32000 of the page: a block that
    // lies before it is not seen.
    const QString early = fundamentalsBlock() + pad(40000);
    EXPECT_EQ(parseQuotePage(early, 1301, 11).per, 0.0f);
    const QString late = pad(32000) + fundamentalsBlock();
    EXPECT_EQ(parseQuotePage(late, 1301, 11).per, 15.2f);
}

TEST(QuotePage, MarginSellZeroLeavesTheRatioZero)
{
    const QuotePage q = parseQuotePage(priceBlock() + fundamentalsBlock(QStringLiteral("0")), 1301, 1);
    EXPECT_EQ(q.marginBuy, 1234500);
    EXPECT_EQ(q.marginSell, 0);
    EXPECT_EQ(q.marginRatio, 0.0f);
}

TEST(QuotePage, IndexFromTheFuturesPage)
{
    const QuotePage q = parseQuotePage(futuresPage(), 1001, 0);
    EXPECT_EQ(q.close, 38450.5f);
    EXPECT_EQ(q.high, 38450.5f);
    EXPECT_EQ(q.open, 38445.5f);
    EXPECT_EQ(q.low, 38445.5f);
    EXPECT_FALSE(q.pricesRead);
    EXPECT_EQ(q.per, 0.0f);
}

TEST(QuotePage, MissingOpenPriceLeavesOnlyItZero)
{
    QString page = stockPage();
    page.replace(QStringLiteral("openPrice"), QStringLiteral("startValue"));
    const QuotePage q = parseQuotePage(page, 1301, 1);
    EXPECT_EQ(q.open, 0.0f);
    EXPECT_EQ(q.close, 1234.5f);
    EXPECT_EQ(q.high, 1250.5f);    // searched from the same place as the missing key
    EXPECT_EQ(q.low, 1220.0f);
    EXPECT_EQ(q.volume, 2345600.0);
    EXPECT_EQ(q.per, 15.2f);
    EXPECT_EQ(q.marginSell, 456700);
}

TEST(QuotePage, ShortPagesLeaveWhatLiesBeyondZero)
{
    struct Case { QString page; float close; float open; float per; };
    const Case cases[] = {
        {QString(), 0, 0, 0},
        {pad(15000) + QStringLiteral(R"("stock_price":"1,234.5円")") + sep(), 0, 0, 0},   // shorter than 16000
        {pad(15998) + QStringLiteral(R"("stock_price":"512")") + sep(), 512, 0, 0},       // found past 16000, no more
        {priceBlock(), 1234.5f, 1230, 0},                                              // no fundamentals
    };
    for (const Case &c : cases) {
        const QuotePage q = parseQuotePage(c.page, 1301, 1);
        EXPECT_EQ(q.close, c.close) << c.page.size();
        EXPECT_EQ(q.open, c.open) << c.page.size();
        EXPECT_EQ(q.per, c.per) << c.page.size();
        EXPECT_EQ(q.marginDate, QString()) << c.page.size();
    }
}

TEST(QuotePage, DigitsBeyondTheScannedWidthReadZero)
{
    // "dps" is read over 10 characters: the digits here start at the 12th.
    QString page = pad(32000) + QStringLiteral(R"("shareDividendYield":"1.5")") + sep() +
                   QStringLiteral(R"("dps":      "30")") + sep();
    const QuotePage q = parseQuotePage(page, 1301, 11);
    EXPECT_EQ(q.yield, 1.5f);
    EXPECT_EQ(q.dps, 0.0f);
}

TEST(QuotePage, ToInt32RoundsHalfToEvenAndRejectsOverflow)
{
    struct Case { double in; int32_t out; };
    const Case cases[] = {{2.5, 2}, {3.5, 4}, {-2.5, -2}, {1234500, 1234500}, {3e9, 0}, {-3e9, 0}};
    for (const Case &c : cases) EXPECT_EQ(toInt32(c.in), c.out) << c.in;
}

TEST(QuotePage, DecodesUtf8OrDeclaredShiftJis)
{
    EXPECT_EQ(decodeQuotePage(QStringLiteral("円").toUtf8()), QStringLiteral("円"));
    const QByteArray sjis = QByteArray("<meta charset=Shift_JIS>") + QByteArray("\x89\x7e", 2);
    EXPECT_EQ(decodeQuotePage(sjis), QStringLiteral("<meta charset=Shift_JIS>円"));
}

// A number too large for its field is unreadable: it reads as 0, never as an infinite price.
TEST(QuotePage, NumbersThatDoNotFitReadAsZero)
{
    const QString nines(40, QLatin1Char('9'));
    const QuotePage idx = parseQuotePage(futuresPage(nines), 1001, 0);
    EXPECT_EQ(idx.close, 0.0f);
    EXPECT_EQ(idx.high, 0.0f);
    EXPECT_EQ(idx.open, -5.0f);   // as for a page without the number
    EXPECT_EQ(idx.low, -5.0f);

    QString page = stockPage();
    page.replace(QStringLiteral(R"("volume":"2,345,600株")"), QStringLiteral(R"("volume":")") + nines.left(29) + '"');
    const QuotePage q = parseQuotePage(page, 1301, 1);
    EXPECT_EQ(q.volume, 0.0);   // beyond the integers a double holds exactly
    EXPECT_EQ(q.close, 1234.5f);
    EXPECT_EQ(q.turnover, 2893456000.0);
    EXPECT_EQ(q.pbr, 1.05f);
}
