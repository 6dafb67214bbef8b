#include "lists/SortByValue.h"
#include "screen/RowText.h"
#include "screen/Screens.h"

#include <gtest/gtest.h>

using namespace velor;

TEST(RowText, ScoreKeepsThreeDecimalsAndAlwaysThePoint)
{
    const std::pair<double, const char *> cases[] = {
        {12, "12."}, {0.5, ".5"}, {1.23456, "1.235"}, {1, "1."}, {0, "."}, {-1, "-1."}, {10000000, "10000000."},
        {20240109, "20240109."}, {0.0022, ".002"}};
    for (const auto &[v, text] : cases) EXPECT_EQ(scoreText(v), QString::fromUtf8(text)) << v;
}

TEST(RowText, NineFields)
{
    RowValues r;
    r.code = 1301;
    r.name = QStringLiteral("極洋        ");
    r.section = 1;
    r.score = 12;
    r.open = 1520;
    r.high = 1545.5f;
    r.low = 1511;
    r.close = 1530;
    r.volume = 118300;
    r.prevClose = 1512;
    EXPECT_EQ(rowText(r), QStringLiteral("1301,\"極洋   (1)\",12.,1520,1545.5,1511,1530,11.83,↑"));
    r.prevClose = 1530;
    r.name = QStringLiteral("マルハニチロ    ");
    EXPECT_EQ(rowText(r), QStringLiteral("1301,\"マルハニチ(1)\",12.,1520,1545.5,1511,1530,11.83,→"));
    r.prevClose = 1530.5f;
    EXPECT_TRUE(rowText(r).endsWith(QStringLiteral(",↓")));
}

TEST(RowText, StampAndLabel)
{
    EXPECT_EQ(stampText(0, 20240110, timeText(9, 5, 7)), QStringLiteral(" 日= 20240110 9:05:07"));
    EXPECT_EQ(stampText(1, 20240105, QStringLiteral("t")), QStringLiteral(" 週= 20240105 t"));
    EXPECT_EQ(stampText(2, 20240131, QStringLiteral("t")), QStringLiteral(" 月= 20240131 t"));
    EXPECT_EQ(stampText(3, 15300110, QStringLiteral("t")), QStringLiteral(" 分=15300110 t"));
    EXPECT_EQ(priceBandText(100), QStringLiteral("100"));
    EXPECT_EQ(priceBandText(100000), QStringLiteral("100000"));
    EXPECT_EQ(priceBandText(250000), QStringLiteral("250k"));
    EXPECT_EQ(priceBandText(100499), QStringLiteral("100k"));
    EXPECT_EQ(startLabel(100, 250000, 1e8, QStringLiteral("10:15:00")),
              QStringLiteral("絞込最低値、最大値=100, 250k\r\n絞込最低出来高(億円）=1.\r\n10:15:00"));
    EXPECT_EQ(startLabel(50, 5000, 1.25e8, QStringLiteral("x")),
              QStringLiteral("絞込最低値、最大値=50, 5000\r\n絞込最低出来高(億円）=1.25\r\nx"));
}

TEST(SortScores, SameOrderAsTheInsertionSort)
{
    // Ties in single precision (1.0 and 1.00000001), negatives, huge values and infinity.
    const std::vector<std::vector<double>> tables = {
        {0, 1.0, 1.00000001, 0.5, 1.0, -1, 1e12, 20240109, 1e40, 1.0, 0.5},
        {0, 3, 3, 3, 3},
        {0, 5},
        {0, 2, 1},
    };
    for (const auto &values : tables) {
        const int n = int(values.size()) - 1;
        std::vector<int16_t> a(values.size()), b(values.size());
        SortByValue(values, a, n);
        sortScores(values, b, n);
        EXPECT_EQ(a, b);
    }
    std::vector<double> big(4001);
    std::vector<int16_t> a(big.size()), b(big.size());
    for (int e = 1; e <= 4000; ++e) big[size_t(e)] = (e * 7919 % 97) / 7.0;
    SortByValue(big, a, 4000);
    sortScores(big, b, 4000);
    EXPECT_EQ(a, b);
    const std::vector<double> first = {0, 1.0, 1.00000001, 0.5};
    sortScores(first, b, 3);
    EXPECT_EQ(std::vector<int16_t>(b.begin() + 1, b.begin() + 4), (std::vector<int16_t>{3, 1, 2}));
}
