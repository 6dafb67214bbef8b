#include "chart/ChartGeometry.h"
#include "chart/ChartPainter.h"
#include "chart/ChartTestData.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace velor;
using velor::test::setBar;

namespace {

// 300 daily bars of a stock between 1234 and 1567, newest dated 20240301.
State stockState(int dispBars)
{
    State st;
    st.CurCode = 1301;
    st.DispBars = int16_t(dispBars);
    st.MaWidth1 = 5;
    st.MaWidth2 = 25;
    st.RsiPeriod1 = 9;
    st.RsiPeriod2 = 14;
    for (int p = 0; p < 300; ++p) {
        const float c = 1300 + float(p % 7) * 10;
        setBar(st, p, 20240301 - p, c, c + 5, c - 5, c + 2, 1000 + p);
    }
    setBar(st, 3, 20240226, 1300, 1567, 1290, 1310, 5000);
    setBar(st, 50, 20240110, 1300, 1310, 1234, 1300, 900);
    st.BarCount = 300;
    st.DrawEnd = int16_t(computeDrawEnd(st.BarOffset, dispBars, st.BarCount));
    return st;
}

std::vector<Primitive> draw(const State &st, const ChartFrame &f, const OverlayCloses &overlay = {})
{
    RecordingCanvas c;
    paintChart(st, f, overlay, c);
    return c.primitives();
}

std::vector<Primitive> ofKind(const std::vector<Primitive> &all, Primitive::Kind k)
{
    std::vector<Primitive> out;
    std::copy_if(all.begin(), all.end(), std::back_inserter(out), [&](const Primitive &p) { return p.kind == k; });
    return out;
}

bool hasText(const std::vector<Primitive> &all, double x, double y, const QString &text, Rgb colour = colours::black)
{
    return std::any_of(all.begin(), all.end(), [&](const Primitive &p) {
        return p.kind == Primitive::Text && p.x1 == x && p.y1 == y && p.text == text && p.colour == colour;
    });
}

} // namespace

TEST(ChartGeometry, HundredBarsGiveHundredAndOneCandlesAcrossThePane)
{
    const State st = stockState(100);
    const ChartFrame f = computeFrame(st);
    EXPECT_EQ(f.drawEnd, 101);
    EXPECT_DOUBLE_EQ(f.pitch, 56);
    const auto boxes = ofKind(draw(st, f), Primitive::Box);
    ASSERT_EQ(boxes.size(), 101u);
    EXPECT_DOUBLE_EQ((boxes.front().x1 + boxes.front().x2) / 2, 6600);
    EXPECT_DOUBLE_EQ((boxes.back().x1 + boxes.back().x2) / 2, 1000);
    EXPECT_DOUBLE_EQ(boxes.front().x1, 6628);   // R(0): the right side of the newest column
}

TEST(ChartGeometry, NinetyEightBarsRoundTheSlotsUp)
{
    const State st = stockState(98);
    const ChartFrame f = computeFrame(st);
    EXPECT_EQ(f.slotCount, 100);
    EXPECT_DOUBLE_EQ(f.pitch, 56);
    const auto boxes = ofKind(draw(st, f), Primitive::Box);
    ASSERT_EQ(boxes.size(), 99u);
    EXPECT_DOUBLE_EQ((boxes.back().x1 + boxes.back().x2) / 2, 1112);
}

TEST(ChartGeometry, CandleColoursAndWick)
{
    State st = stockState(100);
    const ChartFrame f = computeFrame(st);
    const auto all = draw(st, f);
    const auto boxes = ofKind(all, Primitive::Box);
    EXPECT_EQ(boxes[0].colour, colours::red);     // close 1302 >= open 1300
    setBar(st, 0, 20240301, 1310, 1315, 1290, 1300, 1000);
    const auto down = ofKind(draw(st, f), Primitive::Box);
    EXPECT_EQ(down[0].colour, colours::green);
    // wick of the newest bar: x = R(0) - 3*56/8 = 6607 in blue
    EXPECT_TRUE(std::any_of(all.begin(), all.end(), [](const Primitive &p) {
        return p.kind == Primitive::Line && p.x1 == 6607 && p.x2 == 6607 && p.colour == colours::blue;
    }));
}

TEST(ChartGeometry, AxisRoundsOutwardInModeZero)
{
    const State st = stockState(100);   // lowest 1234 at position 50, highest 1567 at position 3
    const ChartFrame f = computeFrame(st);
    EXPECT_FLOAT_EQ(f.lowest, 1234);
    EXPECT_EQ(f.lowPos, 50);
    EXPECT_FLOAT_EQ(f.highest, 1567);
    EXPECT_EQ(f.highPos, 3);
    EXPECT_DOUBLE_EQ(f.axisMin, 1100);
    EXPECT_DOUBLE_EQ(f.axisMax, 2000);
    EXPECT_DOUBLE_EQ(f.step, 180);
}

TEST(ChartGeometry, AxisCases)
{
    struct Case { float low, high; int drawEnd; double min, max; };
    const Case cases[] = {
        {87, 95, 101, 1, 100},
        {87, 95, 31, 0, 100},
        {6'900'000, 7'300'000, 101, 6'800'000, 8'000'000},
        {45, 50, 101, 1, 55},
        {12'345'678, 12'400'000, 101, 11'000'000, 15'000'000},   // beyond 10,000,000 still rounded
    };
    for (const Case &c : cases) {
        State st;
        st.BarOpen[1] = 1;
        ChartFrame f;
        f.lowest = c.low;
        f.highest = c.high;
        f.drawEnd = c.drawEnd;
        priceAxis(st, f);
        EXPECT_DOUBLE_EQ(f.axisMin, c.min) << c.low;
        EXPECT_DOUBLE_EQ(f.axisMax, c.max) << c.high;
    }
}

TEST(ChartGeometry, NothingLoadedGivesTheFallbackAxis)
{
    State st;
    st.DispBars = 100;
    const ChartFrame f = computeFrame(st);
    EXPECT_DOUBLE_EQ(f.axisMax, 2);
    EXPECT_DOUBLE_EQ(f.axisMin, 0);
    EXPECT_TRUE(ofKind(draw(st, f), Primitive::Box).empty());
}

TEST(ChartGeometry, AxisModeOneRunsFromTheLowestToTwice)
{
    State st = stockState(100);
    for (int p = 0; p < 300; ++p) setBar(st, p, 20240301 - p, 600, 700, 550, 650, 100);
    setBar(st, 10, 20240220, 600, 700, 500, 650, 100);
    st.AxisMode = 1;
    const ChartFrame f = computeFrame(st);
    EXPECT_DOUBLE_EQ(f.axisMin, 500);
    EXPECT_DOUBLE_EQ(f.step, 100);
    const auto all = draw(st, f);
    EXPECT_TRUE(hasText(all, 50, 5450, QStringLiteral("500.")));
    EXPECT_TRUE(hasText(all, 50, 450, QStringLiteral("1000.")));
    EXPECT_TRUE(hasText(all, 50, 4950, QStringLiteral("550.")));   // mid-band
    EXPECT_TRUE(hasText(all, 600, 5450, QStringLiteral("100.%"), colours::red));
    EXPECT_TRUE(hasText(all, 600, 450, QStringLiteral("200.%"), colours::red));
}

TEST(ChartGeometry, AxisModeTwoRunsFromHalfTheHighestToIt)
{
    State st = stockState(100);
    for (int p = 0; p < 300; ++p) setBar(st, p, 20240301 - p, 600, 700, 550, 650, 100);
    setBar(st, 10, 20240220, 600, 800, 550, 650, 100);
    st.AxisMode = 2;
    const ChartFrame f = computeFrame(st);
    EXPECT_DOUBLE_EQ(f.axisMin, 400);
    EXPECT_DOUBLE_EQ(f.step, 80);
    const auto all = draw(st, f);
    EXPECT_TRUE(hasText(all, 50, 5450, QStringLiteral("400.")));
    EXPECT_TRUE(hasText(all, 50, 450, QStringLiteral("800.")));
    EXPECT_TRUE(hasText(all, 600, 5450, QStringLiteral("50.%"), colours::red));
    EXPECT_TRUE(hasText(all, 600, 450, QStringLiteral("100.%"), colours::red));
}

TEST(ChartGeometry, ModeZeroPercentagesHaveOneDecimal)
{
    const State st = stockState(100);
    const auto all = draw(st, computeFrame(st));
    EXPECT_TRUE(hasText(all, 50, 5450, QStringLiteral("1100.")));
    EXPECT_TRUE(hasText(all, 600, 5450, QStringLiteral("100.0%"), colours::red));
    EXPECT_TRUE(hasText(all, 600, 4450, QStringLiteral("116.4%"), colours::red));   // 100 + 18000/1100
}

TEST(ChartGeometry, MinutePeriodDrawsThePreviousCloseInsideTheScale)
{
    State st;
    st.CurPeriod = 3;
    st.DispBars = 100;
    st.PrevClose = 1020;
    setBar(st, 0, 901, 1000, 1010, 995, 1005, 1000);
    setBar(st, 1, 902, 1005, 1008, 1000, 1002, 3000);
    setBar(st, 2, 903, 1002, 1004, 998, 1000, 3500);
    st.BarCount = 3;
    st.DrawEnd = int16_t(computeDrawEnd(0, 100, 3));
    const ChartFrame f = computeFrame(st);
    EXPECT_FLOAT_EQ(f.highest, 1020);
    EXPECT_FLOAT_EQ(f.lowest, 995);
    EXPECT_DOUBLE_EQ(f.maxVolume, 500);   // cumulative 3000 -> 3500; positions 0 and 1 count 0
    const auto all = draw(st, f);
    const double y = 5500 - (1020 - 995) * (5000 / 25.0);
    EXPECT_TRUE(std::any_of(all.begin(), all.end(), [&](const Primitive &p) {
        return p.kind == Primitive::Line && p.colour == colours::cyan && p.x1 == 1000 && p.x2 == 6600 && p.y1 == y;
    }));
    EXPECT_TRUE(hasText(all, 6650, y - 100, QStringLiteral("前日終値")));
    EXPECT_TRUE(hasText(all, 6650, y + 100, QStringLiteral("1020.")));
    // no moving averages in the minute period: no white or yellow lines
    EXPECT_FALSE(std::any_of(all.begin(), all.end(), [](const Primitive &p) {
        return p.kind == Primitive::Line && (p.colour == colours::white || p.colour == colours::yellow);
    }));
}

TEST(ChartGeometry, NoOverlayAtTheLiveOffset)
{
    State st = stockState(100);
    st.NikkeiOverlay = true;
    OverlayCloses idx(kBarTableSize, 30000.0f);
    auto dottedRed = [](const std::vector<Primitive> &all) {
        return std::count_if(all.begin(), all.end(), [](const Primitive &p) {
            return p.kind == Primitive::Line && p.colour == colours::red && p.style == PenStyle::Dotted;
        });
    };
    EXPECT_EQ(dottedRed(draw(st, computeFrame(st), idx)), 4 + 101);   // pane lines + one per bar
    st.BarOffset = -1;
    st.DrawEnd = int16_t(computeDrawEnd(-1, 100, st.BarCount));
    EXPECT_EQ(dottedRed(draw(st, computeFrame(st), idx)), 4);
}

TEST(ChartGeometry, MovingAverageBySlidingSum)
{
    State st = stockState(10);
    st.MaWidth1 = 2;
    for (int p = 0; p < 300; ++p) setBar(st, p, 20240301 - p, 1000, 1010, 990, 1000 + (p % 2) * 100, 100);
    const ChartFrame f = computeFrame(st);
    RecordingCanvas c;
    paintAverage(st, f, st.MaWidth1, colours::white, false, c);
    const auto lines = ofKind(c.primitives(), Primitive::Line);
    ASSERT_EQ(lines.size(), 11u);
    // every window of two closes averages 1050
    for (const Primitive &p : lines) {
        EXPECT_DOUBLE_EQ(p.y1, f.y(1050));
        EXPECT_EQ(p.penWidth, 2);
    }
    EXPECT_DOUBLE_EQ(lines[0].x1, f.R(0) - f.pitch / 4);
    EXPECT_DOUBLE_EQ(lines[0].x2, f.R(0) - f.pitch / 4 - f.pitch);
}

TEST(ChartGeometry, IndicatorPaneLabelsAndTopLine)
{
    State st = stockState(100);
    st.IndicatorSel = 1;
    st.RciPeriod1 = 9;
    st.RciPeriod2 = 26;
    const auto all = draw(st, computeFrame(st));
    EXPECT_TRUE(hasText(all, 6850, 5200, QStringLiteral("RCI")));
    EXPECT_TRUE(hasText(all, 6650, 5400, QStringLiteral(" 1 ")));
    EXPECT_TRUE(hasText(all, 6650, 5800, QStringLiteral(" .6 ")));
    EXPECT_TRUE(hasText(all, 6650, 6600, QStringLiteral("-.2 ")));
    EXPECT_TRUE(hasText(all, 6650, 7400, QStringLiteral("-1 ")));
    EXPECT_TRUE(hasText(all, 7300, 5750, QStringLiteral(" 26 ")));
    EXPECT_TRUE(hasText(all, 6650, 4250, QStringLiteral("出来高")));
    EXPECT_TRUE(hasText(all, 6650, 4450, QStringLiteral(" .5 ")));   // 5000 shares / 10,000
    EXPECT_TRUE(hasText(all, 100, 100,
                        QStringLiteral("表示データ数 = 100 　移動平均の幅 = 5 , 25  　高値： 20240226 , 1567 　安値： "
                                       "20240110 , 1234 ")));
    EXPECT_TRUE(hasText(all, 6100, 7700, QStringLiteral(" 20240301 ")));
    EXPECT_TRUE(hasText(all, 6100 - 1120, 7700, QStringLiteral(" 20240281 ")));   // position 20
}
