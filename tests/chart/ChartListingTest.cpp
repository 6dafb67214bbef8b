// The price listing a redraw puts into the message pane is reused only for the very same bars.
#include "chart/Chart.h"
#include "db/PriceFile.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace velor;

namespace {

std::vector<Bar> bars(int n, float base)
{
    std::vector<Bar> out;
    for (int p = 0; p < n; ++p) out.push_back({20240329 - p, base + p, base + p + 2, base + p - 2, base + p, 2e5});
    return out;
}

struct ListingFixture : ::testing::Test {
    void SetUp() override
    {
        pf.writeMaster({{1001, QStringLiteral("日経平均"), 0}, {1301, QStringLiteral("極洋"), 1}});
        ASSERT_TRUE(writePriceFile(pf.data + "1001.csv", {bars(60, 30000), bars(12, 30000), bars(3, 30000)}));
        ASSERT_TRUE(writePriceFile(pf.data + "1301.csv", {bars(60, 1000), bars(12, 1000), bars(3, 1000)}));
        State &st = pf.st;
        st.ProgramDir = pf.program;
        st.DispBars = 20;
        st.MaWidth1 = 5;
        st.MaWidth2 = 10;
        st.RsiPeriod1 = 9;
        st.RsiPeriod2 = 14;
        st.CurCode = 1301;
        st.LastTradeDate = 20240329;
    }
    QString firstLine() const { return env.shell.messages().section(QStringLiteral("\r\n"), 0, 0); }
    test::ProgramFolder pf;
    test::TestEnv env;
};

} // namespace

TEST_F(ListingFixture, ARedrawAfterTheBarsChangedListsTheNewBars)
{
    Chart chart(pf.st, env.services);
    chart.chart(1);
    EXPECT_EQ(firstLine(), QStringLiteral("0,20240329,1000,1002,998,1000, (-1.), 20."));
    chart.chart(1);
    EXPECT_EQ(firstLine(), QStringLiteral("0,20240329,1000,1002,998,1000, (-1.), 20."));
    // A new close in the file.
    auto changed = bars(60, 1000);
    changed[0].close = 1007;
    ASSERT_TRUE(writePriceFile(pf.data + "1301.csv", {changed, bars(12, 1000), bars(3, 1000)}));
    chart.chart(1);
    EXPECT_EQ(firstLine(), QStringLiteral("0,20240329,1000,1002,998,1007, (+6.), 20."));
    // A redraw without reloading (it reloads only the two newest bars) lists the tables as they are.
    pf.st.BarVolume[5] = 310000;
    chart.chart(0);
    EXPECT_EQ(env.shell.messages().section(QStringLiteral("\r\n"), 4, 4), QStringLiteral("4,20240325,1004,1006,1002,1004, (-1.), 31."));
    EXPECT_EQ(env.shell.messages(), priceListing(pf.st));
    // Another offset, then the index: each lists its own bars.
    pf.st.BarOffset = 2;
    chart.chart(1);
    EXPECT_EQ(firstLine(), QStringLiteral("2,20240327,1002,1004,1000,1002, (-1.), 20."));
    EXPECT_EQ(env.shell.messages(), priceListing(pf.st));
    pf.st.BarOffset = 0;
    pf.st.CurCode = 1001;
    chart.chart(1);
    EXPECT_EQ(env.shell.messages(), priceListing(pf.st));
    EXPECT_TRUE(firstLine().startsWith(QStringLiteral("0,20240329,30000,30002,29998,30000, (-1),")));
}
