#include "PageServer.h"
#include "ScreenFixture.h"
#include "realtime/QuotePages.h"
#include "support/TestSupport.h"

#include <QCoreApplication>

using namespace velor;
using namespace velor::test;

namespace {

struct Figures {
    QString per = QStringLiteral("0"), yield = QStringLiteral("0"), marginBuy = QStringLiteral("0"),
            marginSell = QStringLiteral("0");
};

// A quote page: close 1,234.5, open 1,230, high 1,250.5, low 1,220, 2,345,600 shares,
// 2,893,456 thousand yen; the figures as given.
QByteArray quotePage(const Figures &f)
{
    const QString fundamentals =
        QStringLiteral(R"("shareDividendYield":")") + f.yield + QStringLiteral(R"(%")") + sep() +
        QStringLiteral(R"("dps":"30.00")") + sep() + QStringLiteral(R"("per":")") + f.per + QStringLiteral(R"(倍")") + sep() +
        QStringLiteral(R"("pbr":"1.05倍")") + sep() + QStringLiteral(R"("eps":"-12.50")") + sep() +
        QStringLiteral(R"("bps":"1,176.4")") + sep() + QStringLiteral(R"("minPurchasePrice":"123,450円")") + sep() +
        QStringLiteral(R"("yearHighPrice":"1,450")") + sep() + QStringLiteral(R"("yearLowPrice":"980")") + sep() +
        QStringLiteral(R"("marginTransactionInfoDate":"11/27")") + sep() + QStringLiteral(R"("marginTransactionBuy":")") +
        f.marginBuy + QStringLiteral(R"(株")") + sep() + QStringLiteral(R"("marginTransactionSell":")") + f.marginSell +
        QStringLiteral(R"(株")") + sep();
    return (priceBlock() + fundamentals).toUtf8();
}

// A target-price page: the number 15 characters after the key's start, past character 25000.
QByteArray targetPage(const QString &price, int padding = 25000)
{
    return (pad(padding) + QStringLiteral(R"(<div class="md_target_box_price">)") + price +
            QStringLiteral("円</div>") + pad(200))
        .toUtf8();
}

class FundamentalScreens : public ScreenFixture {
protected:
    void SetUp() override
    {
        ScreenFixture::SetUp();
        coreApp();
        std::vector<std::tuple<int, QString, int>> master;
        for (int code = 1301; code <= 1314; ++code) master.push_back({code, QStringLiteral("S%1").arg(code), 1});
        pf.writeMaster(master);
        for (int code = 1301; code <= 1314; ++code) prices(code, {bar(20240109, 100, 100, 100, 100, 1000)});
        pf.st.sites.QuoteUrl = QStringLiteral("http://quote.test");
        pf.st.sites.TargetPriceUrl = QStringLiteral("http://target.test");
        pf.st.RankRows = 10;
    }
    void page(int code, const Figures &f)
    {
        env.net.pages.insert(QStringLiteral("http://quote.test/quote/%1.T").arg(code), quotePage(f));
    }
    static QString live(int code, const char *score)
    {
        return QStringLiteral("%1,\"S%1(1)\",%2,1230,1250.5,1220,1234.5,234.56,↑").arg(code).arg(QString::fromUtf8(score));
    }
    static QString dead(int code, const char *score)
    {
        return QStringLiteral("%1,\"S%1(1)\",%2,0,0,0,0,0,↓").arg(code).arg(QString::fromUtf8(score));
    }
    /// Pages of every stock: PER 12.5 for 1303, 8 for 1305, 30 for 1310, none for the others,
    /// and no page at all for 1312.
    void perMarket()
    {
        for (int code = 1301; code <= 1314; ++code) {
            Figures f;
            if (code == 1303) f.per = QStringLiteral("12.50");
            if (code == 1305) f.per = QStringLiteral("8.00");
            if (code == 1310) f.per = QStringLiteral("30.00");
            if (code != 1312) page(code, f);
        }
    }
    QStringList perLines() const
    {
        const QString st = QStringLiteral(" 日= 20240110 15:30:00");
        return {QStringLiteral("★PER 大★　５値") + st, live(1310, "30."), live(1303, "12.5"), live(1305, "8."),
                live(1314, "-1."), live(1313, "-1."), dead(1312, "-1."), live(1311, "-1."), live(1309, "-1."),
                live(1308, "-1."), live(1307, "-1."), live(1306, "-1."),
                QStringLiteral("★PER 小★　５値") + st, live(1305, "8."), live(1303, "12.5"), live(1310, "30."),
                live(1301, "10000000."), live(1302, "10000000."), live(1304, "10000000."), live(1306, "10000000."),
                live(1307, "10000000."), live(1308, "10000000."), live(1309, "10000000.")};
    }
};

// Fetches like the fake, and asks the screen to stop once the page of `stopAt` has been read.
class StoppingNet final : public Net {
public:
    StoppingNet(Net &inner, MemoryScreenView &view, const QString &stopAt) : m_inner(inner), m_view(view), m_stopAt(stopAt) {}
    std::expected<QByteArray, NetError> fetch(const QString &address, const FetchLimits &limits) override
    {
        if (address == m_stopAt) m_view.stop = true;
        return m_inner.fetch(address, limits);
    }
private:
    Net &m_inner;
    MemoryScreenView &m_view;
    QString m_stopAt;
};

} // namespace

TEST_F(FundamentalScreens, PerWithThreeFiguresAndTenRows)
{
    perMarket();
    screens().PER();
    EXPECT_EQ(view.lines(), perLines());
    EXPECT_EQ(pf.st.QuoteMode, 1);
    EXPECT_EQ(pf.st.BarOffset, 0);
    // The missing page: no box per stock, one report at the end.
    ASSERT_EQ(env.dialogs.shown.size(), 1u);
    EXPECT_EQ(env.dialogs.shown[0].text,
              QStringLiteral("ページを取得できなかった銘柄が 1 件ありました。\r\n最初のアドレス: "
                             "http://quote.test/quote/1312.T\r\n理由: 見つかりません"));
    EXPECT_EQ(env.dialogs.shown[0].icon, Icon::Warning);
    EXPECT_EQ(env.net.requested.size(), 14);   // rows take the page read during the walk
}

TEST_F(FundamentalScreens, StoppedScreenKeepsWhatItComputed)
{
    perMarket();
    StoppingNet net(env.net, view, QStringLiteral("http://quote.test/quote/1305.T"));
    Services sv{env.clock, net, env.launcher, env.sound, env.dialogs, env.shell, &env.noQuote};
    Screens s(pf.st, sv, view);
    s.PER();
    EXPECT_TRUE(s.stopped());
    EXPECT_EQ(env.net.requested.size(), 5);   // nothing fetched after 1305
    const QStringList l = view.lines();
    const QString st = QStringLiteral(" 日= 20240110 15:30:00");
    ASSERT_GE(l.size(), 4);
    EXPECT_EQ(l.mid(0, 3), (QStringList{QStringLiteral("★PER 大★　５値") + st, live(1303, "12.5"), live(1305, "8.")}));
    // Stocks not examined keep their reset values and show no live bar.
    EXPECT_EQ(l[3], dead(1314, "-1."));
    EXPECT_TRUE(view.label().endsWith(QStringLiteral("\r\n中止: 5/14 銘柄まで")));
    EXPECT_TRUE(env.dialogs.shown.empty());
}

TEST_F(FundamentalScreens, SameListsWithOneAndFourRequestsInFlight)
{
    PageServer server;
    ASSERT_TRUE(server.start());
    for (int code = 1301; code <= 1314; ++code) {
        Figures f;
        f.per = QString::number(code % 7 == 0 ? 0 : (code * 37) % 50 + 0.25);
        if (code != 1312) server.pages.insert("/quote/" + QByteArray::number(code) + ".T", quotePage(f));
    }
    pf.st.sites.QuoteUrl = server.base();
    QtNet net;
    Services sv{env.clock, net, env.launcher, env.sound, env.dialogs, env.shell, &env.noQuote};
    QStringList runs[2];
    for (int k = 0; k < 2; ++k) {
        pf.st.sites.MaxConnections = k == 0 ? 1 : 4;
        Screens s(pf.st, sv, view);
        s.PER();
        runs[k] = view.lines();
        EXPECT_EQ(s.failures().count, 1);
    }
    EXPECT_EQ(runs[0], runs[1]);
    ASSERT_EQ(runs[0].size(), 23);
    // PER = code x 37 mod 50 + .25 (0 for multiples of 7): the largest are 1304, 1308, 1301.
    EXPECT_EQ(runs[0].mid(1, 3), (QStringList{live(1304, "48.25"), live(1308, "46.25"), live(1301, "37.25")}));
    EXPECT_EQ(runs[0][13], live(1311, "7.25"));
}

TEST_F(FundamentalScreens, HaitouIgnoresFortyAndMore)
{
    const char *yields[] = {"45.00", "40.00", "39.90", "2.50"};
    for (int k = 0; k < 4; ++k) {
        Figures f;
        f.yield = QString::fromLatin1(yields[k]);
        page(1301 + k, f);
    }
    for (int code = 1305; code <= 1314; ++code) page(code, Figures{});
    screens().HAITOU();
    const QStringList l = view.lines();
    ASSERT_EQ(l.size(), 15);   // 101 positions, but only 14 stocks
    EXPECT_EQ(l[0], QStringLiteral("★配当利回り　大（絞り込み制限なし）★　５値") + stamp());
    // The stored bar is the reference bar here.
    EXPECT_EQ(l[1], QStringLiteral("1303,\"S1303(1)\",39.9,100,100,100,100,0.1,↑"));
    EXPECT_EQ(l[2], QStringLiteral("1304,\"S1304(1)\",2.5,100,100,100,100,0.1,↑"));
    EXPECT_EQ(l[3], QStringLiteral("1314,\"S1314(1)\",-1.,100,100,100,100,0.1,↑"));
    EXPECT_EQ(pf.st.QuoteMode, 7);
}

TEST_F(FundamentalScreens, ShinyouNeverListsSectionFour)
{
    std::vector<std::tuple<int, QString, int>> master = {{1301, QStringLiteral("S1301"), 4},
                                                         {1302, QStringLiteral("S1302"), 1}};
    pf.writeMaster(master);
    Figures f;
    f.marginBuy = QStringLiteral("300,000");
    f.marginSell = QStringLiteral("100,000");
    page(1301, f);
    page(1302, f);
    screens().SHINYOUBAIRITSU();
    const QString st = QStringLiteral(" 日= 20240110 15:30:00");
    EXPECT_EQ(view.lines(), (QStringList{QStringLiteral("★信用倍率 大★　５値") + st, live(1302, "3."),
                                         dead(1301, "-1.").replace(QStringLiteral("(1)"), QStringLiteral("(4)")),
                                         QStringLiteral("★信用倍率　小★　５値") + st, live(1302, "3."),
                                         dead(1301, "10000000.").replace(QStringLiteral("(1)"), QStringLiteral("(4)"))}));
    EXPECT_FALSE(env.net.requested.contains(QStringLiteral("http://quote.test/quote/1301.T")));
}

TEST_F(FundamentalScreens, TargetPriceAboveThePriceIsCheap)
{
    pf.st.RankRows = 1;
    prices(1301, {bar(20240110, 990, 1010, 980, 1000, 5000), bar(20240109, 1000, 1000, 1000, 1000, 5000)});
    prices(1302, {bar(20240110, 990, 1010, 980, 1000, 5000)});
    prices(1303, {bar(20240110, 990, 1010, 980, 1000, 5000)});
    env.net.pages.insert(QStringLiteral("http://target.test/stock/1301"), targetPage(QStringLiteral("1,250")));
    env.net.pages.insert(QStringLiteral("http://target.test/stock/1302"), targetPage(QStringLiteral("1,250"), 24000));
    env.net.pages.insert(QStringLiteral("http://target.test/stock/1303"), targetPage(QStringLiteral("800")));
    pf.st.LiveMode = 1;
    pf.st.BarOffset = -1;
    pf.st.QuoteMode = 7;
    screens().MINKABU();
    EXPECT_EQ(view.lines(),
              (QStringList{QStringLiteral("★みんかぶ比較割安★　５値　") + stamp(),
                           QStringLiteral("1301,\"S1301(1)\",1.25,990,1010,980,1000,0.5,→"),
                           // 1302's page is too short: 1.0, in neither list
                           QStringLiteral("★みんかぶ比較割高★　５値　") + stamp(),
                           QStringLiteral("1303,\"S1303(1)\",.8,990,1010,980,1000,0.5,↑")}));
    EXPECT_EQ(pf.st.LiveMode, 1);
    EXPECT_EQ(pf.st.BarOffset, -1);
    EXPECT_EQ(pf.st.QuoteMode, 7);
}

TEST_F(FundamentalScreens, FilteredTargetPriceFetchesOnlyAdmittedStocks)
{
    pf.st.MinTurnover = 1e6;
    prices(1301, {bar(20240110, 990, 1010, 980, 1000, 5000)});   // 5 million yen
    env.net.pages.insert(QStringLiteral("http://target.test/stock/1301"), targetPage(QStringLiteral("1,250")));
    screens().MINKABU2();
    EXPECT_EQ(env.net.requested, QStringList{QStringLiteral("http://target.test/stock/1301")});
    EXPECT_EQ(view.lines()[1], QStringLiteral("1301,\"S1301(1)\",1.25,990,1010,980,1000,0.5,↑"));
    EXPECT_TRUE(env.dialogs.shown.empty());
}

TEST_F(FundamentalScreens, TitlesAndModesLeftByEachScreen)
{
    perMarket();
    struct Case { void (Screens::*run)(); const char16_t *top; const char16_t *bottom; int16_t mode; };
    const Case cases[] = {
        {&Screens::PBR, u"★PBR 大★　５値", u"★PBR 小★　５値", 1},
        {&Screens::EPS, u"★EPS 大★　５値", u"★EPS 小★　５値", 1},
        {&Screens::BPS, u"★BPS 大★　５値", u"★BPS 小★　５値", 1},
        {&Screens::SKD, u"★最低購入代金 小（絞り込み制限なし）★　５値", u"★最低購入代金 大（絞り込み制限なし）★　５値", 11},
    };
    for (const Case &c : cases) {
        pf.st.BarOffset = 0;
        pf.st.QuoteMode = 0;
        (screens().*c.run)();
        const QStringList l = view.lines();
        ASSERT_FALSE(l.isEmpty());
        EXPECT_TRUE(l[0].startsWith(QString::fromUtf16(c.top))) << l[0].toStdString();
        EXPECT_EQ(l.filter(QString::fromUtf16(c.bottom)).size(), 1);
        EXPECT_EQ(pf.st.QuoteMode, c.mode);
        EXPECT_EQ(pf.st.BarOffset, 0);
    }
    // Every page gives PBR 1.05, EPS -12.5, BPS 1176.4, minimum purchase 123,450 yen.
    screens().EPS();
    EXPECT_EQ(view.lines()[1], live(1314, "-12.5"));   // all equal: the highest code heads a top list
    screens().SKD();
    EXPECT_EQ(view.lines()[1], QStringLiteral("1301,\"S1301(1)\",123450.,100,100,100,100,0.1,↑"));
}
