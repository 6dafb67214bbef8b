#include "chart/Chart.h"
#include "chart/ChartTestData.h"
#include "db/PriceFile.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace velor;

namespace {

// n daily bars, newest first, dated back from 20240329, closes base + p.
std::vector<Bar> bars(int n, float base, double volume)
{
    std::vector<Bar> out;
    for (int p = 0; p < n; ++p) {
        const float c = base + float(p);
        out.push_back({20240329 - p, c, c + 2, c - 2, c, volume});
    }
    return out;
}

struct ChartFixture : ::testing::Test {
    void SetUp() override
    {
        pf.writeMaster({{1001, QStringLiteral("日経平均"), 0}, {1301, QStringLiteral("極洋"), 1}});
        ASSERT_TRUE(writePriceFile(pf.data + "1001.csv", {bars(250, 30000, 1e6), bars(50, 30000, 5e6), bars(12, 30000, 2e7)}));
        ASSERT_TRUE(writePriceFile(pf.data + "1301.csv", {bars(120, 1000, 2e5), bars(24, 1000, 1e6), bars(6, 1000, 4e6)}));
        State &st = pf.st;
        st.ProgramDir = pf.program;
        st.DispBars = 100;
        st.MaWidth1 = 5;
        st.MaWidth2 = 25;
        st.RsiPeriod1 = 9;
        st.RsiPeriod2 = 14;
        st.VolWindow = 5;
        st.CurCode = 1301;
        st.LastTradeDate = 20240329;
    }
    test::ProgramFolder pf;
    test::TestEnv env;
};

} // namespace

TEST_F(ChartFixture, FullDrawLoadsDrawsAndWritesTheTexts)
{
    Chart chart(pf.st, env.services);
    int lookups = 0;
    chart.hooks.syncList = [&] { ++lookups; };
    ASSERT_TRUE(chart.chart(1));
    EXPECT_EQ(lookups, 1);
    EXPECT_EQ(pf.st.BarCount, 120);
    EXPECT_EQ(pf.st.DrawEnd, 101);
    EXPECT_DOUBLE_EQ(pf.st.PrevClose, 1000);
    EXPECT_EQ(pf.st.LastCode, 1301);
    EXPECT_EQ(pf.st.BarDate[120], 20240329 - 119);   // 100 + 25 + 2 = 127 asked, 120 there
    const auto &prims = chart.scene().primitives();
    EXPECT_EQ(std::count_if(prims.begin(), prims.end(), [](const Primitive &p) { return p.kind == Primitive::Box; }), 101);
    EXPECT_TRUE(chart.texts().full);
    EXPECT_EQ(chart.texts().code, QStringLiteral("1301"));
    EXPECT_EQ(chart.texts().name, QStringLiteral("極洋   , 1部"));
    EXPECT_TRUE(chart.texts().panel.startsWith(QStringLiteral("始値：1000\r\n")));
    EXPECT_EQ(env.shell.messages().left(43), QStringLiteral("0,20240329,1000,1002,998,1000, (-1.), 20.\r\n"));
    EXPECT_EQ(env.shell.messages().count(QStringLiteral("\r\n")), 101);
}

TEST_F(ChartFixture, ModeElevenSkipsTheListLookupAndModeZeroKeepsTheTables)
{
    Chart chart(pf.st, env.services);
    int lookups = 0;
    chart.hooks.syncList = [&] { ++lookups; };
    chart.chart(11);
    EXPECT_EQ(lookups, 0);
    pf.st.BarClose[50] = 4321;   // a mode-0 redraw must not reload position 49
    chart.chart(0);
    EXPECT_EQ(pf.st.BarClose[50], 4321);
    EXPECT_FALSE(chart.texts().full);
}

TEST_F(ChartFixture, OverlayKeepsTheStocksTablesAndLinesUpAtTheNewestBar)
{
    pf.st.NikkeiOverlay = true;
    Chart chart(pf.st, env.services);
    chart.chart(1);
    ASSERT_FALSE(chart.overlay().empty());
    EXPECT_FLOAT_EQ(chart.overlay()[1], 30000);
    EXPECT_EQ(pf.st.CurCode, 1301);
    EXPECT_EQ(pf.st.BarCount, 120);
    EXPECT_FLOAT_EQ(pf.st.BarClose[1], 1000);
    EXPECT_EQ(pf.st.BarDate[1], 20240329);
    const auto &prims = chart.scene().primitives();
    const auto first = std::find_if(prims.begin(), prims.end(), [](const Primitive &p) {
        return p.kind == Primitive::Line && p.colour == colours::red && p.style == PenStyle::Dotted && p.x1 > 6600;
    });
    ASSERT_NE(first, prims.end());
    EXPECT_DOUBLE_EQ(first->y1, chart.frame().y(1000));   // ratio * index close = the stock's close
}

TEST_F(ChartFixture, ARunningChartIsNotReentered)
{
    Chart chart(pf.st, env.services);
    bool inner = true;
    chart.hooks.syncList = [&] { inner = chart.chart(1); };
    EXPECT_TRUE(chart.chart(1));
    EXPECT_FALSE(inner);
    EXPECT_TRUE(chart.chart(0));   // and the guard is released afterwards
}

TEST_F(ChartFixture, ImportKeepsTheMessagePane)
{
    pf.st.ImportRunning = true;
    env.shell.prependMessage(QStringLiteral("取り込み中\r\n"));
    Chart chart(pf.st, env.services);
    chart.chart(1);
    EXPECT_EQ(env.shell.messages(), QStringLiteral("取り込み中\r\n"));
}

TEST_F(ChartFixture, MinutePeriodLoadsThroughTheHook)
{
    pf.st.CurPeriod = 3;
    Chart chart(pf.st, env.services);
    int asked = 0;
    chart.hooks.readMinuteBars = [&](int n) {
        asked = n;
        test::setBar(pf.st, 0, 900, 1001, 1003, 999, 1002, 100);
        pf.st.BarCount = 1;
    };
    chart.chart(1);
    EXPECT_EQ(asked, 127);   // 100 bars + the longest period 25 + 2
    EXPECT_DOUBLE_EQ(pf.st.PrevClose, 1000);
    EXPECT_EQ(pf.st.BarCount, 1);
    EXPECT_TRUE(chart.texts().title.endsWith(QStringLiteral("リアルタイム=オン")));
    chart.chart(0);   // the daily bars read for the previous close do not replace the minute bar
    EXPECT_EQ(pf.st.BarDate[1], 900);
    EXPECT_EQ(pf.st.BarCount, 1);
}

TEST_F(ChartFixture, MissingPriceFileDrawsTheEmptyFrame)
{
    pf.st.CurCode = 1332;
    Chart chart(pf.st, env.services);
    chart.chart(1);
    EXPECT_EQ(pf.st.BarCount, 0);
    EXPECT_DOUBLE_EQ(chart.frame().axisMax, 2);
    const auto &prims = chart.scene().primitives();
    EXPECT_EQ(std::count_if(prims.begin(), prims.end(), [](const Primitive &p) { return p.kind == Primitive::Box; }), 0);
}

// Regression: loading only DispBars + MaWidth2 bars left the long average's last step and the
// oscillators' oldest points reading cleared positions, and a chart scrolled back by BarOffset
// drew empty candles.
TEST_F(ChartFixture, LoadReachesEveryPositionTheDrawingReads)
{
    std::vector<Bar> flat;
    for (int p = 0; p < 300; ++p) flat.push_back({20240329 - p, 500, 510, 490, 500, 1000});
    ASSERT_TRUE(writePriceFile(pf.data + "1305.csv", {flat, {flat[0]}, {flat[0]}}));
    State &st = pf.st;
    st.CurCode = 1305;
    st.DispBars = 50;
    st.MaWidth2 = 26;
    st.IndicatorSel = 2;   // 乖離率 with 13 and 26: 1 everywhere on flat closes
    for (int offset : {0, 150}) {
        st.BarOffset = int16_t(offset);
        Chart chart(st, env.services);
        chart.chart(1);
        const ChartFrame &f = chart.frame();
        int yellow = 0, boxes = 0, kairi = 0;
        for (const Primitive &p : chart.scene().primitives()) {
            if (p.kind == Primitive::Line && p.colour == colours::yellow) {
                ++yellow;
                EXPECT_DOUBLE_EQ(p.y2, f.y(500)) << offset;
            }
            if (p.kind == Primitive::Box) {
                ++boxes;
                EXPECT_DOUBLE_EQ(p.y1, f.y(500)) << offset;
            }
            if (p.kind == Primitive::Line && p.colour == colours::magenta && p.penWidth == 2 && p.x1 < 6700) {
                ++kairi;
                EXPECT_DOUBLE_EQ(p.y2, 6500) << offset;   // 10500 - 4000 * 1
            }
        }
        EXPECT_EQ(yellow, 51) << offset;
        EXPECT_EQ(boxes, 51) << offset;
        EXPECT_EQ(kairi, 51) << offset;
    }
}

TEST_F(ChartFixture, LiveDisplayWithoutAQuoteDrawsTheStoredBarsAndSaysSo)
{
    // A section 4 stock (or 1002, or a page that failed) gives no live bar: the reader leaves it 0.
    pf.st.LiveMode = 1;
    pf.st.BarOffset = -1;
    Chart chart(pf.st, env.services);
    ASSERT_TRUE(chart.chart(1));
    EXPECT_EQ(pf.st.BarOffset, -1);   // the live display stays on for the next stock
    EXPECT_TRUE(chart.texts().panel.startsWith(QStringLiteral("始値：1000\r\n"))) << chart.texts().panel.toStdString();
    EXPECT_FALSE(chart.texts().panel.contains(QStringLiteral("-100"))) << chart.texts().panel.toStdString();
    EXPECT_TRUE(chart.texts().warnings.endsWith(noQuoteText())) << chart.texts().warnings.toStdString();
    EXPECT_EQ(noQuoteText(), QStringLiteral("リアルタイムの株価がありません（保存済みの株価を表示）"));
    // No candle at zero: every box lies above the price axis' bottom.
    const auto &prims = chart.scene().primitives();
    EXPECT_EQ(std::count_if(prims.begin(), prims.end(), [](const Primitive &p) { return p.kind == Primitive::Box; }), 101);
    EXPECT_TRUE(env.shell.messages().startsWith(QStringLiteral("0,20240329,1000,"))) << env.shell.messages().left(60).toStdString();
    // With a live bar the live candle is drawn as before, and nothing is said.
    pf.st.BarOffset = -1;
    class Quote final : public LiveQuote {
    public:
        void getVec(State &st) override
        {
            st.BarDate[0] = 20240401;
            st.BarOpen[0] = st.BarHigh[0] = st.BarLow[0] = 1000;
            st.BarClose[0] = 1010;
            st.BarVolume[0] = 1e5;
        }
    } quote;
    env.services.liveQuote = &quote;
    ASSERT_TRUE(chart.chart(1));
    EXPECT_FALSE(chart.texts().warnings.contains(noQuoteText()));
    EXPECT_TRUE(chart.texts().panel.startsWith(QStringLiteral("始値：1000\r\n高値：1000\r\n安値：1000\r\n終値：1010\r\n")))
        << chart.texts().panel.toStdString();
}

TEST_F(ChartFixture, AMinuteChartOfOneOrTwoBarsStaysInsideThePane)
{
    pf.st.CurPeriod = 3;
    for (int bars : {1, 2}) {
        Chart chart(pf.st, env.services);
        chart.hooks.readMinuteBars = [&](int) {
            test::setBar(pf.st, 0, 11301015, 1001, 1003, 1000, 1002, 100);
            if (bars == 2) test::setBar(pf.st, 1, 11301016, 1002, 1004, 1001, 1003, 300);
            pf.st.BarCount = int16_t(bars);
        };
        for (int disp : {100, 5}) {
            pf.st.DispBars = int16_t(disp);
            chart.chart(1);
            const auto &prims = chart.scene().primitives();
            int boxes = 0;
            for (const Primitive &p : prims) {
                if (p.kind != Primitive::Box) continue;
                ++boxes;
                // Inside the price pane: right of its left edge, left of its right edge, no candle at zero.
                EXPECT_GE(std::min(p.x1, p.x2), 1000) << bars << " bars, " << disp;
                EXPECT_LE(std::max(p.x1, p.x2), 6600) << bars << " bars, " << disp;
                EXPECT_GE(std::min(p.y1, p.y2), 500) << bars << " bars, " << disp;
                EXPECT_LE(std::max(p.y1, p.y2), 5500) << bars << " bars, " << disp;
            }
            EXPECT_EQ(boxes, bars) << disp;
            // The previous close (1000) is the lowest price: its label and value (text 150 high, about
            // 180 with the descent) end above the indicator's name at 5200.
            const auto label = std::find_if(prims.begin(), prims.end(), [](const Primitive &p) {
                return p.kind == Primitive::Text && p.text == QStringLiteral("前日終値") && p.x1 == 6650;
            });
            ASSERT_NE(label, prims.end());
            EXPECT_LE(label->y1 + 200 + 180, 5200 - 20);
        }
    }
    pf.st.DispBars = 100;
}
