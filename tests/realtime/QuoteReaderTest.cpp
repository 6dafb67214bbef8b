#include "realtime/QuoteReader.h"
#include "QuotePages.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace velor;
using namespace velor::test;

namespace {

const QString kQuoteBase = QStringLiteral("https://quotes.test");
const QString kStockAddress = QStringLiteral("https://quotes.test/quote/1301.T");
const QString kFuturesAddress = QStringLiteral("https://futures.test/cme/");

struct Fixture {
    ProgramFolder pf;
    TestEnv env;
    QuoteReader reader{env.clock, env.net, env.dialogs};
    Fixture()
    {
        pf.writeMaster({{1001, QStringLiteral("日経平均"), 1}, {1002, QStringLiteral("ＴＯＰＩＸ"), 1},
                        {1301, QStringLiteral("極洋"), 1}, {1305, QStringLiteral("店頭銘柄"), 4}});
        pf.st.sites.QuoteUrl = kQuoteBase;
        pf.st.sites.FuturesUrl = QStringLiteral("https://futures.test");
        env.net.pages[kStockAddress] = stockPage().toUtf8();
        env.net.pages[QStringLiteral("https://quotes.test/quote/1305.T")] = stockPage().toUtf8();
        env.net.pages[QStringLiteral("https://quotes.test/quote/1002.T")] = stockPage().toUtf8();
        env.net.pages[kFuturesAddress] = futuresPage().toUtf8();
        pf.st.BarOffset = -1;
        pf.st.CurTurnover = 777;
        fillLiveSlot(99);
    }
    void at(int h, int m) { env.clock.set(QDateTime(QDate(2024, 1, 10), QTime(h, m))); }
    // Old values in the live slot, so a test sees what getVec resets.
    void fillLiveSlot(float v)
    {
        State &st = pf.st;
        st.BarDate[0] = 20000101;
        st.BarOpen[0] = st.BarHigh[0] = st.BarLow[0] = st.BarClose[0] = v;
        st.BarVolume[0] = v;
        st.QuotePER = st.QuoteYield = st.MarginRatio = v;
        st.MarginDateText = QStringLiteral("01/01");
    }
};

} // namespace

TEST(QuoteReader, AddressesOfBothPages)
{
    Fixture f;
    EXPECT_EQ(QuoteReader::pageAddress(f.pf.st, 1301), kStockAddress);
    EXPECT_EQ(QuoteReader::pageAddress(f.pf.st, 1001), kFuturesAddress);
}

TEST(QuoteReader, StockAtNineFetchesPricesAndFundamentals)
{
    Fixture f;
    f.at(9, 0);
    State &st = f.pf.st;
    st.CurCode = 1301;
    f.reader.getVec(st);
    EXPECT_EQ(f.env.net.requested, QStringList{kStockAddress});
    EXPECT_EQ(st.BarDate[0], 20240110);
    EXPECT_EQ(st.BarOpen[0], 1230.0f);
    EXPECT_EQ(st.BarHigh[0], 1250.5f);
    EXPECT_EQ(st.BarLow[0], 1220.0f);
    EXPECT_EQ(st.BarClose[0], 1234.5f);
    EXPECT_EQ(st.BarVolume[0], 2345600.0);
    EXPECT_EQ(st.CurTurnover, 2893456000.0);
    EXPECT_EQ(st.QuoteYield, double(2.35f));
    EXPECT_EQ(st.QuotePER, double(15.2f));
    EXPECT_EQ(st.QuoteEPS, -12.5);
    EXPECT_EQ(st.QuoteMinBuy, 123450.0);
    EXPECT_EQ(st.MarginDateText, QStringLiteral("11/27"));
    EXPECT_EQ(st.MarginDate, 1127.0);
    EXPECT_EQ(st.MarginBuy, 1234500.0);
    EXPECT_EQ(st.MarginSell, 456700.0);
    EXPECT_EQ(st.MarginRatio, double(2.7030873f));
    EXPECT_TRUE(f.env.dialogs.shown.empty());
    EXPECT_FALSE(f.reader.lastFetchFailed());
}

TEST(QuoteReader, BeforeTheOpeningOnlyTheIndexIsFetched)
{
    struct Case { int code; int h, m; bool fetched; float close; };
    const Case cases[] = {
        {1301, 8, 30, false, 0}, {1301, 7, 0, false, 0}, {1301, 8, 59, false, 0},
        {1301, 6, 59, true, 1234.5f}, {1301, 9, 0, true, 1234.5f},
        {1001, 8, 30, true, 38450.5f}, {1001, 12, 0, true, 38450.5f},
    };
    for (const Case &c : cases) {
        Fixture f;
        f.at(c.h, c.m);
        State &st = f.pf.st;
        st.CurCode = int16_t(c.code);
        f.reader.getVec(st);
        EXPECT_EQ(f.env.net.requested.size(), c.fetched ? 1 : 0) << c.code << ' ' << c.h << c.m;
        EXPECT_EQ(st.BarClose[0], c.close) << c.code << ' ' << c.h << c.m;
        EXPECT_EQ(st.BarDate[0], 20240110);
        if (!c.fetched) {
            EXPECT_EQ(st.BarOpen[0], 0.0f);
            EXPECT_EQ(st.BarVolume[0], 0.0);
            EXPECT_EQ(st.QuotePER, 0.0);
            EXPECT_EQ(st.MarginRatio, 0.0);
            EXPECT_EQ(st.MarginDateText, QString());
            EXPECT_EQ(st.CurTurnover, 777.0);     // not reset when nothing is read
        }
    }
}

TEST(QuoteReader, IndexBarFromTheFuturesPage)
{
    Fixture f;
    f.at(8, 30);
    State &st = f.pf.st;
    st.CurCode = 1001;
    f.reader.getVec(st);
    EXPECT_EQ(f.env.net.requested, QStringList{kFuturesAddress});
    EXPECT_EQ(st.BarClose[0], 38450.5f);
    EXPECT_EQ(st.BarHigh[0], 38450.5f);
    EXPECT_EQ(st.BarOpen[0], 38445.5f);
    EXPECT_EQ(st.BarLow[0], 38445.5f);
    EXPECT_EQ(st.BarVolume[0], 0.0);
    EXPECT_EQ(st.CurTurnover, 777.0);
}

TEST(QuoteReader, SectionFourAnd1002FetchNothing)
{
    for (int code : {1002, 1305}) {
        Fixture f;
        f.at(10, 0);
        State &st = f.pf.st;
        st.CurCode = int16_t(code);
        f.reader.getVec(st);
        EXPECT_TRUE(f.env.net.requested.isEmpty()) << code;
        EXPECT_EQ(st.BarClose[0], 0.0f) << code;
        EXPECT_EQ(st.QuotePER, 0.0) << code;
        EXPECT_TRUE(f.env.dialogs.shown.empty()) << code;
    }
}

TEST(QuoteReader, EarlyReturnLeavesEverythingAsItWas)
{
    Fixture f;
    State &st = f.pf.st;
    st.CurCode = 1301;
    st.BarOffset = 0;
    st.QuoteMode = 0;
    f.reader.getVec(st);
    EXPECT_TRUE(f.env.net.requested.isEmpty());
    EXPECT_EQ(st.BarDate[0], 20000101);
    EXPECT_EQ(st.BarClose[0], 99.0f);
    EXPECT_EQ(st.QuotePER, 99.0);
}

TEST(QuoteReader, QuoteModeFetchesWithoutTheLiveOffset)
{
    struct Case { int mode; float close; double per; double turnover; };
    const Case cases[] = {{1, 1234.5f, double(15.2f), 2893456000.0}, {7, 1234.5f, 0, 2893456000.0},
                          {11, 0, double(15.2f), 777}};
    for (const Case &c : cases) {
        Fixture f;
        State &st = f.pf.st;
        st.CurCode = 1301;
        st.BarOffset = 0;
        st.QuoteMode = int16_t(c.mode);
        f.reader.getVec(st);
        EXPECT_EQ(f.env.net.requested.size(), 1) << c.mode;
        EXPECT_EQ(st.BarClose[0], c.close) << c.mode;
        EXPECT_EQ(st.QuotePER, c.per) << c.mode;
        EXPECT_EQ(st.CurTurnover, c.turnover) << c.mode;
    }
}

TEST(QuoteReader, FailedFetchesShowTheWarningOnce)
{
    struct Case { QString name; QByteArray page; bool present; };
    const Case cases[] = {
        {QStringLiteral("empty"), QByteArray(), true},
        {QStringLiteral("missing"), QByteArray(), false},
        {QStringLiteral("too large"), QByteArray(int(kQuotePageMaxBytes) + 1, 'x'), true},
    };
    for (const Case &c : cases) {
        Fixture f;
        State &st = f.pf.st;
        st.CurCode = 1301;
        if (c.present) f.env.net.pages[kStockAddress] = c.page;
        else f.env.net.pages.remove(kStockAddress);
        f.reader.getVec(st);
        ASSERT_EQ(f.env.dialogs.shown.size(), 1u) << c.name.toStdString();
        EXPECT_EQ(f.env.dialogs.shown[0].text,
                  QStringLiteral("目的銘柄: 1301, 極洋         のリアルタイムデータ取得に失敗しました"));
        EXPECT_EQ(f.env.dialogs.shown[0].icon, Icon::Warning);
        EXPECT_TRUE(f.reader.lastFetchFailed());
        EXPECT_EQ(st.BarClose[0], 0.0f);
        EXPECT_EQ(st.QuotePER, 0.0);
        EXPECT_EQ(st.CurTurnover, 777.0);
    }
}

TEST(QuoteReader, PageMissingOpenPriceKeepsTheOtherValues)
{
    Fixture f;
    State &st = f.pf.st;
    st.CurCode = 1301;
    f.env.net.pages[kStockAddress] = stockPage().replace(QStringLiteral("openPrice"), QStringLiteral("startValue")).toUtf8();
    f.reader.getVec(st);
    EXPECT_EQ(st.BarOpen[0], 0.0f);
    EXPECT_EQ(st.BarHigh[0], 1250.5f);
    EXPECT_EQ(st.MarginSell, 456700.0);
    EXPECT_TRUE(f.env.dialogs.shown.empty());
}

TEST(QuoteReader, TimeOutComesFromTheSites)
{
    // The fake records nothing of the limits, so check them through a net that does.
    struct LimitNet final : Net {
        FetchLimits seen;
        std::expected<QByteArray, NetError> fetch(const QString &, const FetchLimits &l) override
        {
            seen = l;
            return QByteArray("x");
        }
    } net;
    Fixture f;
    QuoteReader reader(f.env.clock, net, f.env.dialogs);
    f.pf.st.sites.FetchTimeoutSeconds = 3;
    f.pf.st.CurCode = 1301;
    reader.getVec(f.pf.st);
    EXPECT_EQ(net.seen.timeoutMs, 3000);
    EXPECT_EQ(net.seen.maxBytes, 4194304);
    f.pf.st.sites.FetchTimeoutSeconds = 100000000;   // would overflow as milliseconds
    reader.getVec(f.pf.st);
    EXPECT_EQ(net.seen.timeoutMs, 3600000);
}

TEST(QuoteReader, EventsDuringTheWaitDoNotStartAnotherFetch)
{
    // A net that, while "waiting", runs what an event could run: another getVec.
    struct ReentrantNet final : Net {
        QuoteReader *reader = nullptr;
        State *st = nullptr;
        int calls = 0;
        std::expected<QByteArray, NetError> fetch(const QString &, const FetchLimits &) override
        {
            ++calls;
            reader->getVec(*st);
            return stockPage().toUtf8();
        }
    } net;
    Fixture f;
    QuoteReader reader(f.env.clock, net, f.env.dialogs);
    net.reader = &reader;
    net.st = &f.pf.st;
    f.pf.st.CurCode = 1301;
    reader.getVec(f.pf.st);
    EXPECT_EQ(net.calls, 1);
    EXPECT_EQ(f.pf.st.BarClose[0], 1234.5f);
}
