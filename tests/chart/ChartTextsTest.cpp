#include "chart/ChartTexts.h"
#include "chart/ChartTestData.h"

#include <gtest/gtest.h>

using namespace velor;
using velor::test::setBar;

namespace {

void addStock(State &st, int code, const QString &name, int section)
{
    st.StockCode.push_back(int16_t(code));
    st.StockName.push_back(name.leftJustified(10, ' '));
    st.StockSection.push_back(int16_t(section));
    st.StockCount = int16_t(st.StockCode.size() - 1);
    st.StockIndex[size_t(code)] = st.StockCount;
}

State textState()
{
    State st;
    addStock(st, 1001, QStringLiteral("日経平均"), 0);
    addStock(st, 1301, QStringLiteral("極洋水産株式会社"), 1);
    addStock(st, 1332, QStringLiteral("日水"), 4);
    st.CurCode = 1301;
    st.ProgramDir = QStringLiteral("/opt/velor/");
    st.DataDir = QStringLiteral("/data/");
    st.VolWindow = 5;
    st.VolLimit = 100'000'000;
    st.FilterTurnoverBase = 100'000'000;
    st.RealTurnoverBase = 50'000'000;
    for (int p = 0; p < 10; ++p) setBar(st, p, 20240110 - p, 1000, 1020, 990, 1000, 200'000);
    setBar(st, 0, 20240110, 1050, 1120, 1040, 1100, 150'000);
    st.BarCount = 10;
    st.DrawEnd = 3;
    st.LastTradeDate = 20240110;
    return st;
}

const QDateTime kMorning(QDate(2024, 1, 10), QTime(10, 15));

} // namespace

TEST(ChartTexts, WindowTitle)
{
    State st = textState();
    EXPECT_EQ(windowTitle(st), QStringLiteral("1301 極洋水産株   - VELOR Pro -  /opt/velor     株価データフォルダ＝/data"
                                              "        リアルタイム=オフ"));
    // Regression: a program folder given with a doubled or trailing separator shows neither.
    st.ProgramDir = QStringLiteral("/opt//velor//");
    st.DataDir = QStringLiteral("/opt/velor/data//");
    EXPECT_EQ(windowTitle(st), QStringLiteral("1301 極洋水産株   - VELOR Pro -  /opt/velor     株価データフォルダ＝/opt/velor/data"
                                              "        リアルタイム=オフ"));
    st.CurPeriod = 3;
    EXPECT_TRUE(windowTitle(st).endsWith(QStringLiteral("リアルタイム=オン")));
}

TEST(ChartTexts, PanelShowsTheChangeWithThePatternsPoint)
{
    const State st = textState();
    const QString panel = infoPanel(st);
    EXPECT_TRUE(panel.startsWith(QStringLiteral("始値：1050\r\n高値：1120\r\n安値：1040\r\n終値：1100\r\n騰落率%： 10.\r\n"
                                                "出来高（万株）：15.\r\n")))
        << panel.toStdString();
}

TEST(ChartTexts, FundamentalsBlockForStocksOutsideSectionFour)
{
    State st = textState();
    st.CurTurnover = 165'000'000;
    st.QuotePER = 12.5;
    st.MarginBuy = 1000;
    st.MarginSell = 400;
    st.MarginRatio = 2.5;
    st.MarginDate = 20240105;
    EXPECT_EQ(infoPanel(st), QStringLiteral("始値：1050\r\n高値：1120\r\n安値：1040\r\n終値：1100\r\n騰落率%： 10.\r\n"
                                            "出来高（万株）：15.\r\n出来高（億円）：1.65\r\n\r\n配当利回り% 0\r\n一株配当 0\r\n"
                                            "(PER) 12.5\r\n(PBR) 0\r\n(EPS) 0\r\n(BPS) 0\r\n最低購入代金0\r\n年初来高値0\r\n"
                                            "年初来安値0\r\n\r\n信用買残1000\r\n信用売残400\r\n信用倍率2.5  (20240105)\r\n"));
    st.CurCode = 1332;   // section 4: volume lines only
    EXPECT_TRUE(infoPanel(st).endsWith(QStringLiteral("出来高（億円）：1.65\r\n")));
    st.CurCode = 1001;   // index series: neither volume nor fundamentals
    EXPECT_TRUE(infoPanel(st).endsWith(QStringLiteral("騰落率%： 10.\r\n")));
    st.CurPeriod = 3;    // no change in the minute period
    EXPECT_TRUE(infoPanel(st).endsWith(QStringLiteral("騰落率%： 0.\r\n")));
}

TEST(ChartTexts, VolumeWarningWithinTheWindow)
{
    State st = textState();
    updateTurnoverLimits(st, kMorning);
    EXPECT_EQ(warningText(st), QString());   // 1100 x 150,000 = 165 million
    setBar(st, 4, 20240106, 1000, 1000, 1000, 1000, 99'999);
    EXPECT_EQ(warningText(st), QStringLiteral("出来高不足"));
    setBar(st, 4, 20240106, 1000, 1000, 1000, 1000, 200'000);
    setBar(st, 5, 20240105, 1000, 1000, 1000, 1000, 99'999);   // outside the five newest
    EXPECT_EQ(warningText(st), QString());
    st.LastTradeDate = 20240111;
    EXPECT_EQ(warningText(st), QStringLiteral("\r\n日付不一致,上場廃止？"));
    st.CurCode = 1001;
    setBar(st, 1, 20240109, 1, 1, 1, 1, 1);
    EXPECT_EQ(warningText(st), QStringLiteral("\r\n日付不一致,上場廃止？"));   // no volume check for the index
}

TEST(ChartTexts, StatusLineOfTheWeeklyPeriod)
{
    State st = textState();
    st.CurPeriod = 1;
    updateTurnoverLimits(st, kMorning);
    EXPECT_DOUBLE_EQ(st.VolLimitAdj, 500'000'000);
    EXPECT_EQ(statusLine(st, kMorning),
              QStringLiteral("銘柄数= 3/4400  オフセット= 0  先頭週 = 20240110 表示出来高制限値（億円）, 期間= 5., 5 "
                             "絞込出来高制限値（億円）= 5."));
}

TEST(ChartTexts, LiveLimitsFollowTheTimeOfDay)
{
    State st = textState();
    st.LiveMode = 1;
    updateTurnoverLimits(st, kMorning);
    EXPECT_DOUBLE_EQ(st.MinTurnover, 20'000'000);
    EXPECT_DOUBLE_EQ(st.RealTurnover, 10'000'000);
    EXPECT_EQ(statusLine(st, kMorning),
              QStringLiteral("銘柄数= 3/4400  オフセット= 0  先頭日 = 20240110 表示出来高制限値（億円）, 期間= 1., 5 "
                             "絞込出来高制限値（億円）= 0.2   10:15:00"));
    // after the close the limits keep the last values
    updateTurnoverLimits(st, QDateTime(QDate(2024, 1, 10), QTime(16, 0)));
    EXPECT_DOUBLE_EQ(st.MinTurnover, 20'000'000);
    st.LiveMode = 0;
    updateTurnoverLimits(st, QDateTime(QDate(2024, 1, 10), QTime(16, 0)));
    EXPECT_DOUBLE_EQ(st.MinTurnover, 100'000'000);
}

TEST(ChartTexts, TimeOfDaySchedule)
{
    // The last band ends at the close: 15:00 until 2024-11-04, 15:30 from 2024-11-05 on.
    struct Case { int32_t day; int hhmm; bool known; double factor; };
    const Case cases[] = {{20241104, 700, false, 0}, {20241104, 701, true, 0}, {20241104, 929, true, 0},
                          {20241104, 930, true, 0.1}, {20241104, 959, true, 0.1}, {20241104, 1000, true, 0.2},
                          {20241104, 1029, true, 0.2}, {20241104, 1030, true, 0.4}, {20241104, 1229, true, 0.4},
                          {20241104, 1230, true, 0.6}, {20241104, 1329, true, 0.6}, {20241104, 1330, true, 0.8},
                          {20241104, 1459, true, 0.8}, {20241104, 1500, false, 0}, {20241104, 1529, false, 0},
                          {20241104, 2300, false, 0}, {20241105, 1329, true, 0.6}, {20241105, 1459, true, 0.8},
                          {20241105, 1500, true, 0.8}, {20241105, 1529, true, 0.8}, {20241105, 1530, false, 0},
                          {20261130, 1515, true, 0.8}, {20261130, 1600, false, 0}};
    for (const Case &c : cases) {
        double f = -1;
        EXPECT_EQ(timeOfDayFactor(c.hhmm, f, c.day), c.known) << c.day << ' ' << c.hhmm;
        if (c.known) {
            EXPECT_DOUBLE_EQ(f, c.factor) << c.day << ' ' << c.hhmm;
        }
    }
}

TEST(ChartTexts, NameLabel)
{
    State st = textState();
    EXPECT_EQ(nameLabel(st), QStringLiteral("極洋水産株, 1部"));
}

TEST(ChartTexts, PriceListingOfAStock)
{
    State st = textState();
    setBar(st, 1, 20240109, 1000, 1020, 990, 1100, 123'456);
    setBar(st, 2, 20240108, 1000, 1020, 990, 1112.5f, 200'000);
    EXPECT_EQ(priceListing(st), QStringLiteral("0,20240110,1050,1120,1040,1100, (+0), 15.\r\n"
                                               "1,20240109,1000,1020,990,1100, (-12.5), 12.346\r\n"
                                               "2,20240108,1000,1020,990,1112.5, (+112.5), 20.\r\n"));
}

TEST(ChartTexts, PriceListingOfTheIndex)
{
    State st = textState();
    st.CurCode = 1001;
    setBar(st, 0, 20240110, 33000.4f, 33100.6f, 32900.2f, 33050.7f, 1'234'567);
    setBar(st, 1, 20240109, 33000, 33100, 32900, 33100.2f, 1'000'000);
    st.DrawEnd = 2;
    EXPECT_EQ(priceListing(st), QStringLiteral("0,20240110,33000,33101,32900,33051, (-49), 12345.67\r\n"
                                               "1,20240109,33000,33100,32900,33100, (+32100), 10000.\r\n"));
}

TEST(ChartTexts, NoMarginDateReadShowsEmptyBrackets)
{
    State st = textState();
    st.MarginBuy = 1000;
    st.MarginSell = 400;
    st.MarginRatio = 2.5;
    EXPECT_TRUE(infoPanel(st).endsWith(QStringLiteral("信用倍率2.5  ()\r\n"))) << infoPanel(st).toStdString();
    st.MarginDateText = QStringLiteral("11/27");
    EXPECT_TRUE(infoPanel(st).endsWith(QStringLiteral("信用倍率2.5  (11/27)\r\n")));
}
