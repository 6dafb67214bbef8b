#include "ScreenFixture.h"

#include "chart/ChartTexts.h"

#include <functional>
#include <utility>

using namespace velor;
using namespace velor::test;

namespace {

class PriceScreens : public ScreenFixture {
protected:
    void SetUp() override
    {
        ScreenFixture::SetUp();
        pf.writeMaster({{1001, QStringLiteral("日経平均"), 0},
                        {1002, QStringLiteral("TOPIX"), 0},
                        {1301, QStringLiteral("極洋"), 1},
                        {1332, QStringLiteral("日本水産"), 1},
                        {1333, QStringLiteral("マルハニチロ"), 1},
                        {1400, QStringLiteral("ルーデン"), 2},
                        {1500, QStringLiteral("ABCDEFGHIJ"), 2}});
        prices(1001, {bar(20240110, 33000, 33500, 32900, 33400, 0), bar(20240109, 33000, 33100, 32800, 33000, 0)});
        prices(1002, {bar(20240110, 2400, 2450, 2390, 2440, 0), bar(20240109, 2400, 2410, 2380, 2400, 0)});
        prices(1301, {bar(20240110, 105, 112, 104, 110, 2000), bar(20240109, 100, 101, 99, 100, 1000)});
        prices(1332, {bar(20240110, 100, 102, 98, 100, 500), bar(20240109, 99, 101, 98, 100, 1000)});
        prices(1333, {bar(20240110, 105, 106, 99, 100, 3000), bar(20240109, 110, 110, 110, 110, 3000)});
        // Not traded on the newest day: suspended, or not yet imported.
        prices(1400, {bar(20240109, 100, 120, 100, 120, 9000), bar(20240108, 100, 100, 100, 100, 1000)});
        prices(1500, {bar(20240110, 200, 230, 200, 220, 1000), bar(20240109, 200, 200, 200, 200, 1000)});
    }
    QString row1301(const char *score) const
    {
        return QStringLiteral("1301,\"極洋   (1)\",") + QString::fromUtf8(score) + QStringLiteral(",105,112,104,110,0.2,↑");
    }
    QString row1332(const char *score) const
    {
        return QStringLiteral("1332,\"日本水産 (1)\",") + QString::fromUtf8(score) + QStringLiteral(",100,102,98,100,0.05,→");
    }
    QString row1333(const char *score) const
    {
        return QStringLiteral("1333,\"マルハニチ(1)\",") + QString::fromUtf8(score) + QStringLiteral(",105,106,99,100,0.3,↓");
    }
    QString row1400(const char *score) const
    {
        return QStringLiteral("1400,\"ルーデン (2)\",") + QString::fromUtf8(score) + QStringLiteral(",100,120,100,120,0.9,↑");
    }
    QString row1500(const char *score) const
    {
        return QStringLiteral("1500,\"ABCDE(2)\",") + QString::fromUtf8(score) + QStringLiteral(",200,230,200,220,0.1,↑");
    }
};

} // namespace

TEST_F(PriceScreens, RankingListsExactly)
{
    pf.st.CurCode = 1332;
    screens().RANKING();
    const QStringList expected = {
        QStringLiteral("★値上がり率（対前日比）★　５値　") + stamp(),
        row1500("1.1"),   // equal to 1301 in single precision: the higher code first in a top list
        row1301("1.1"),   // 1332 (exactly 1) is in neither list, and the walk ends there
        QStringLiteral("★値下がり率（対前日比）★　５値　") + stamp(),
        row1333(".909"),
        QStringLiteral("★出来高上昇率（対前日比）★　５値") + stamp(),
        row1301("2."),
        QStringLiteral("★出来高下降率（対前日比）★　５値") + stamp(),
        row1332(".5"),
        QStringLiteral("★出来高（万株）★　５値  ") + stamp(),
        row1333(".3"),
        row1301(".2"),
        row1500(".1"),   // 1400 traded more but is not dated the newest trading day
        QStringLiteral("★出来高（金額：億円）★　５値 ") + stamp(),
        row1333(".003"),
        row1500(".002"),
        row1301(".002"),
    };
    EXPECT_EQ(view.lines(), expected);
    EXPECT_EQ(pf.st.CurCode, 1332);
    EXPECT_EQ(pf.st.QuoteMode, 0);
    EXPECT_FALSE(view.progressVisible);
    EXPECT_EQ(view.progressMax, 7);
    EXPECT_EQ(view.label(), QStringLiteral("絞込最低値、最大値=100, 250k\r\n絞込最低出来高(億円）=0.\r\n15:30:00 , 15:30:00"));
    EXPECT_TRUE(env.dialogs.shown.empty());
}

TEST_F(PriceScreens, RankingAdmitsByTurnoverAndPriceBand)
{
    pf.st.MinTurnover = 220000;        // 1332's 50,000 yen is below
    pf.st.FilterMaxPrice = 219;        // 1500's close of 220 is above
    screens().RANKING();
    const QStringList l = view.lines();
    EXPECT_EQ(l.mid(1, 1), QStringList{row1301("1.1")});
    EXPECT_EQ(l[3], row1333(".909"));
    EXPECT_EQ(l[6], QStringLiteral("★出来高下降率（対前日比）★　５値") + stamp());   // 1332 not admitted
    EXPECT_EQ(l[7], QStringLiteral("★出来高（万株）★　５値  ") + stamp());
}

TEST_F(PriceScreens, ProgressLinesAndDoneSound)
{
    pf.st.DoneSound = 1;
    writeFile(pf.program + QStringLiteral("DONE.wav"), "RIFF");
    // The lines shown while the run is on its way.
    const QString stampText = screens().BeginScreen(QStringLiteral("ランキング全般"));
    EXPECT_EQ(stampText, stamp());
    EXPECT_EQ(view.lines(), (QStringList{QStringLiteral("検索／ランキング／絞り込み中（ノット　リアルタイム）"), QString(),
                                         QStringLiteral("ランキング全般")}));
    EXPECT_TRUE(view.progressVisible);
    pf.st.QuoteMode = 7;
    screens().BeginScreen(QStringLiteral("x"));
    EXPECT_EQ(view.lines()[0], QStringLiteral("検索／ランキング／絞り込み中（リアルタイム）"));
    pf.st.CurCode = 1500;
    screens().EndScreen();
    EXPECT_EQ(pf.st.CurCode, 1001);
    EXPECT_EQ(env.sound.played, QStringList{pf.program + QStringLiteral("DONE.wav")});
}

TEST_F(PriceScreens, LiveFloorAtQuarterPastTenShowsOneInTheLabel)
{
    State &st = pf.st;
    st.FilterTurnoverBase = 5e8;
    st.LiveMode = 1;
    st.BarOffset = -1;
    updateTurnoverLimits(st, QDateTime(QDate(2024, 1, 10), QTime(10, 15)));
    EXPECT_DOUBLE_EQ(st.MinTurnover, 1e8);
    screens().BeginScreen(QStringLiteral("t"));
    EXPECT_EQ(view.label().split(QStringLiteral("\r\n"))[1], QStringLiteral("絞込最低出来高(億円）=1."));
    // At 15:30 the floor in effect stays.
    updateTurnoverLimits(st, QDateTime(QDate(2024, 1, 10), QTime(15, 30)));
    EXPECT_DOUBLE_EQ(st.MinTurnover, 1e8);
}

TEST_F(PriceScreens, IndexSeriesInTheWalkWritesNoRow)
{
    // Toujitu has no code test: the index series' rise is scored but writes no row.
    prices(1001, {bar(20240110, 30000, 33500, 30000, 33400, 100000), bar(20240109, 33000, 33100, 32800, 33000, 1)});
    screens().Toujitu();
    const QStringList l = view.lines();
    const QStringList expected = {
        QStringLiteral("★当日上昇率大★　５値 ") + stamp(),
        row1400("1.2"),
        // 1001 (33400 / 30000) is walked second and writes no row
        row1500("1.1"),
        QStringLiteral("★当日上昇率小★　５値") + stamp(),
        row1333(".952"),
    };
    EXPECT_EQ(l.mid(0, 5), expected);
    EXPECT_EQ(pf.st.BarOffset, 0);
}

TEST_F(PriceScreens, NehabaVariantThreeIsNotDividedByTheClose)
{
    screens().neHABA(3);
    const QStringList expected = {
        QStringLiteral("★値幅率×出来高（金額）★　５値 ") + stamp(),
        row1400("180000."),   // no date test here: the stale stock takes part
        row1500("30000."),
        row1333("21000."),
        QStringLiteral("★値幅率×出来高（金額）×出来高上昇率★　５値 ") + stamp(),
        row1400("1620000."),
        row1301("32000."),
        row1500("30000."),
    };
    EXPECT_EQ(view.lines(), expected);
    screens().neHABA(0);
    EXPECT_EQ(view.lines()[1], row1400(".167"));   // (120 - 100) / 120
}

TEST_F(PriceScreens, ShinkiHaishiWithEveryStockCurrentListsNoDelisting)
{
    prices(1400, {bar(20240110, 100, 120, 100, 120, 9000)});
    pf.st.LiveMode = 1;
    pf.st.BarOffset = -1;
    pf.st.QuoteMode = 7;
    screens().SHINKI_HAISHI();
    const QStringList expected = {
        QStringLiteral("新規上場(絞込制限なし） ") + stamp(),
        QStringLiteral("1400,\"ルーデン (2)\",1.,100,120,100,120,0.9,↑"),   // then 1001 and 1002: no rows
        QStringLiteral("上場廃止？(絞込制限なし）") + stamp(),
    };
    EXPECT_EQ(view.lines(), expected);
    EXPECT_EQ(pf.st.LiveMode, 1);
    EXPECT_EQ(pf.st.BarOffset, -1);
    EXPECT_EQ(pf.st.QuoteMode, 7);
}

TEST_F(PriceScreens, ShinkiHaishiListsStaleStocksUntilOneStillTrades)
{
    prices(1332, {});   // a file without any daily bar: no date, fewest bars
    screens().SHINKI_HAISHI();
    const QStringList l = view.lines();
    EXPECT_EQ(l[1], QStringLiteral("1332,\"日本水産 (1)\",.,0,0,0,0,0,→"));
    const int at = int(l.indexOf(QStringLiteral("上場廃止？(絞込制限なし）") + stamp()));
    ASSERT_GT(at, 0);
    EXPECT_EQ(l.mid(at + 1), (QStringList{QStringLiteral("1332,\"日本水産 (1)\",.,0,0,0,0,0,→"),
                                          QStringLiteral("1400,\"ルーデン (2)\",20240109.,100,120,100,120,0.9,↑")}));
}

TEST_F(PriceScreens, EqualScoresInABottomListLowerCodeFirst)
{
    prices(1400, {bar(20240110, 100, 120, 100, 120, 9000)});
    pf.st.RankRows = 5;
    screens().SHINKI_HAISHI();
    // Two bars each for 1001, 1002, 1301 and 1332: master order, the index series writing no row.
    EXPECT_EQ(view.lines().mid(0, 4),
              (QStringList{QStringLiteral("新規上場(絞込制限なし） ") + stamp(),
                           QStringLiteral("1400,\"ルーデン (2)\",1.,100,120,100,120,0.9,↑"), row1301("2."),
                           row1332("2.")}));
}

TEST_F(PriceScreens, LiveRankingReportsFailedQuotePagesOnce)
{
    // Real-time display on, no quote page answers: one report at the end, not a box per stock.
    pf.st.LiveMode = 1;
    pf.st.BarOffset = -1;
    pf.st.sites.QuoteUrl = QStringLiteral("http://quote.test");
    screens().RANKING();
    EXPECT_EQ(pf.st.QuoteMode, 7);
    EXPECT_EQ(view.lines()[0], QStringLiteral("★値上がり率（対前日比）★　５値　 日= 20240110 15:30:00"));
    ASSERT_EQ(env.dialogs.shown.size(), 1u);
    EXPECT_EQ(env.dialogs.shown[0].text,
              QStringLiteral("ページを取得できなかった銘柄が 5 件ありました。\r\n最初のアドレス: "
                             "http://quote.test/quote/1301.T\r\n理由: 見つかりません"));
}

TEST_F(PriceScreens, AStampDatesTheRunByTheStockOnDisplayNotByTheLastStockOfTheRunBefore)
{
    screens().SHINKI_HAISHI();   // its last row loads 1400, whose newest bar is of 20240109
    ASSERT_EQ(pf.st.CurCode, 1001);
    screens().Toujitu();
    ASSERT_FALSE(view.lines().isEmpty());
    EXPECT_TRUE(view.lines()[0].endsWith(stamp())) << view.lines()[0].toStdString();
}

namespace {

// Runs `during` once, at the first page the run asks for: the user acting while it waits.
class ActingNet final : public Net {
public:
    explicit ActingNet(Net &inner) : m_inner(inner) {}
    std::expected<QByteArray, NetError> fetch(const QString &address, const FetchLimits &limits) override
    {
        if (during) std::exchange(during, {})();
        return m_inner.fetch(address, limits);
    }
    std::function<void()> during;
private:
    Net &m_inner;
};

} // namespace

TEST_F(PriceScreens, WhatTheUserDoesWhileARunWaitsForPagesStands)
{
    pf.st.LiveMode = 1;
    pf.st.BarOffset = -1;
    pf.st.sites.QuoteUrl = QStringLiteral("http://quote.test");
    ActingNet net(env.net);
    Services sv{env.clock, net, env.launcher, env.sound, env.dialogs, env.shell, nullptr};
    Screens s(pf.st, sv, view);
    // The user picks 1332 in the stock list (the chart draws it and records it as shown) and
    // asks for another screen, which is not started.
    net.during = [&] {
        pf.st.CurCode = 1332;
        pf.st.LastCode = 1332;
        s.refuseWhileRunning();
        EXPECT_TRUE(view.label().endsWith(QStringLiteral("\r\n") + screenRefusedText()));
    };
    s.RANKING();
    EXPECT_EQ(pf.st.CurCode, 1332);
    const QStringList label = view.label().split(QStringLiteral("\r\n"));
    EXPECT_EQ(label.last(), screenRefusedText());
    EXPECT_EQ(screenRefusedText(), QStringLiteral("実行中の検索／ランキング／絞り込みが終わるまで、次の検索は始められません（中止は Esc）"));
    // A run without either: the stock of its start comes back, the label says nothing of a refusal.
    pf.st.CurCode = 1001;
    s.RANKING();
    EXPECT_EQ(pf.st.CurCode, 1001);
    EXPECT_FALSE(view.label().contains(screenRefusedText()));
    s.refuseWhileRunning();   // not running: nothing to say
    EXPECT_FALSE(view.label().contains(screenRefusedText()));
}
