#include "chart/Indicators.h"
#include "chart/ChartTestData.h"

#include <gtest/gtest.h>

#include <vector>

using namespace velor;
using velor::test::setCloses;

TEST(Indicators, RsiOfAllEqualClosesIsZeroNotTheFallback)
{
    BarVars st;
    setCloses(st, {500, 500, 500, 500, 500, 500});
    EXPECT_FLOAT_EQ(calcRSI(st, 5, 0), 0.0f);
}

TEST(Indicators, RsiOfRisingFallingAndMixedWindows)
{
    BarVars st;
    setCloses(st, {100, 101, 103, 106});
    EXPECT_FLOAT_EQ(calcRSI(st, 3, 0), 1.0f);
    setCloses(st, {106, 103, 101, 100});
    EXPECT_FLOAT_EQ(calcRSI(st, 3, 0), 0.0f);
    // moves +10, -5, +5: rises 15 of 20
    setCloses(st, {100, 110, 105, 110});
    EXPECT_FLOAT_EQ(calcRSI(st, 3, 0), 0.75f);
    // started one bar back: moves +10, -5
    EXPECT_FLOAT_EQ(calcRSI(st, 2, 1), 10.0f / 15.0f);
}

TEST(Indicators, RciOfTheNineCloseExample)
{
    BarVars st;
    setCloses(st, {0, 1, 2, 3, 4, 5, 6, 7, 9, 8});   // one older bar for the guard
    EXPECT_FLOAT_EQ(calcRCI(st, 9, 0), 0.98333333f);   // 1 - 12/720
}

TEST(Indicators, RciRisingFallingAndFlat)
{
    BarVars st;
    setCloses(st, {1, 2, 3, 4, 5, 6});
    EXPECT_FLOAT_EQ(calcRCI(st, 5, 0), 1.0f);
    setCloses(st, {6, 5, 4, 3, 2, 1});
    EXPECT_FLOAT_EQ(calcRCI(st, 5, 0), -1.0f);
    setCloses(st, {7, 7, 7, 7, 7, 7});
    EXPECT_FLOAT_EQ(calcRCI(st, 5, 0), 1.0f);   // equal closes rank older-first, like a rise
}

TEST(Indicators, RankRciGivesDistinctRanksOlderFirstAmongTies)
{
    // values(1) is the newest; 5 appears at indices 1 and 3, 2 at indices 2 and 4.
    const std::vector<float> values = {0, 5, 2, 5, 2, 9};
    std::vector<int16_t> ranks(6);
    rankRCI(values, ranks, 5);
    EXPECT_EQ(ranks, (std::vector<int16_t>{0, 4, 2, 3, 1, 5}));
}

TEST(Indicators, RciBeyondTheSixteenBitDenominator)
{
    // 40 closes, the two newest swapped: d = 2, 40*(1600-1) = 63960 leaves the 16-bit range.
    BarVars st;
    for (int p = 0; p < 41; ++p) st.BarClose[size_t(p + 1)] = float(1000 - p);
    std::swap(st.BarClose[1], st.BarClose[2]);
    st.BarCount = 41;
    EXPECT_FLOAT_EQ(calcRCI(st, 40, 0), 0.99981237f);   // 1 - 12/63960
    // n = 33: 33*1088 = 35904
    EXPECT_FLOAT_EQ(calcRCI(st, 33, 0), 0.99966578f);   // 1 - 12/35904
}

TEST(Indicators, KairiWithOneBarIsExactlyOne)
{
    BarVars st;
    setCloses(st, {800, 1234.5f});
    EXPECT_EQ(calcKAIRI(st, 1, 0), 1.0f);
    setCloses(st, {90, 100, 100, 120});
    EXPECT_FLOAT_EQ(calcKAIRI(st, 3, 0), 120.0f / (320.0f / 3));
    setCloses(st, {0, 0, 0, 0, 0});
    EXPECT_EQ(calcKAIRI(st, 3, 0), 0.0f);
}

TEST(Indicators, PsycCountsOnlyStrictRises)
{
    BarVars st;
    setCloses(st, {10, 10, 10, 10, 10});
    EXPECT_FLOAT_EQ(calcPSYC(st, 4, 0), 0.0f);
    setCloses(st, {10, 11, 11, 12, 11});
    EXPECT_FLOAT_EQ(calcPSYC(st, 4, 0), 0.5f);
}

TEST(Indicators, GuardOneBarShortAndExactlyEnough)
{
    struct Case { const char *name; float (*f)(const BarVars &, int16_t, int16_t); float fallback; float computed; };
    // closes oldest..newest 100, 102, 101, 104, 108 (positions 4..0); n = 3, s = 1
    const Case cases[] = {
        {"RSI", calcRSI, 0.5f, 5.0f / 6.0f},
        {"RCI", calcRCI, 0.0f, 0.5f},
        {"KAIRI", calcKAIRI, 1.0f, 104.0f / (307.0f / 3)},
        {"PSYC", calcPSYC, 0.5f, 2.0f / 3.0f},
    };
    for (const Case &c : cases) {
        BarVars st;
        setCloses(st, {100, 102, 101, 104, 108}, 4);   // BarCount = n + s: one short
        EXPECT_FLOAT_EQ(c.f(st, 3, 1), c.fallback) << c.name;
        st.BarCount = 5;                               // n + s + 1
        EXPECT_FLOAT_EQ(c.f(st, 3, 1), c.computed) << c.name;
    }
}

TEST(Indicators, NonPositivePeriodsTakeTheFallback)
{
    BarVars st;
    setCloses(st, {1, 2, 3, 4});
    EXPECT_FLOAT_EQ(calcRSI(st, 0, 0), 0.5f);
    EXPECT_FLOAT_EQ(calcRCI(st, 1, 0), 0.0f);
    EXPECT_FLOAT_EQ(calcKAIRI(st, -2, 0), 1.0f);
    EXPECT_FLOAT_EQ(calcPSYC(st, 0, 0), 0.5f);
}
