#include "MonitorFixture.h"

using namespace velor;
using namespace velor::test;

TEST(SurgeMonitor, RefusesFromSevenToNineAndRunsAtNine)
{
    MonitorFixture f(3);
    f.env.clock.set(QDateTime(QDate(2026, 11, 30), QTime(8, 15)));
    EXPECT_FALSE(f.monitor.RealMeigara(0));
    ASSERT_EQ(f.env.dialogs.shown.size(), 1u);
    EXPECT_EQ(f.env.dialogs.shown[0].text, QStringLiteral("この機能は７：００～９：００の間は使えません"));
    EXPECT_EQ(f.env.dialogs.shown[0].icon, Icon::Warning);
    EXPECT_EQ(f.view.closed, 1);
    EXPECT_EQ(f.monitor.passCount(), 0);
    EXPECT_TRUE(f.env.net.requested.isEmpty());
    EXPECT_EQ(f.pf.st.QuoteMode, 0);

    f.env.clock.set(QDateTime(QDate(2026, 11, 30), QTime(9, 0)));
    for (int c = 1301; c <= 1303; ++c) f.page(c, "110", "100");
    EXPECT_TRUE(f.monitor.RealMeigara(0));
    EXPECT_EQ(f.monitor.passCount(), 2);
    EXPECT_EQ(f.env.net.requested.size(), 4);   // the index's futures page and three stocks
}

TEST(SurgeMonitor, FirstPassFillsNoListAndFetchesNothing)
{
    MonitorFixture f(3);
    f.view.stopAfter = 1;
    EXPECT_TRUE(f.monitor.RealMeigara(0));
    for (int k = 1; k <= 6; ++k) EXPECT_TRUE(f.monitor.lists()[size_t(k)].isEmpty()) << k;
    EXPECT_TRUE(f.env.net.requested.isEmpty());
    EXPECT_FLOAT_EQ(f.monitor.RealBase[3], 100.f);
    EXPECT_FLOAT_EQ(f.monitor.RealLast[3], 100.f);
    EXPECT_EQ(f.pf.st.BarOffset, -1);
    EXPECT_EQ(f.pf.st.QuoteMode, 7);
    EXPECT_EQ(f.env.shell.redraws(), (std::vector<int>{0}));
}

TEST(SurgeMonitor, ScoresAgainstCloseOpenAndThePreviousPass)
{
    MonitorFixture f(2);
    f.page(1301, "110", "100");
    f.page(1302, "95", "0");   // not traded yet: no score anywhere
    // The index rises most of all, but the index series are never listed.
    f.env.net.pages[QStringLiteral("https://futures.test/cme/")] = futuresPage().toUtf8();
    f.view.stopAfter = 3;
    int waits = 0;
    f.wait.during = [&] {
        if (++waits == 1) f.page(1301, "121", "100");
    };
    f.pf.st.RealParam = 1;
    EXPECT_TRUE(f.monitor.RealMeigara(0));
    // Second pass: 121 against 100 stored, 100 open, 110 seen in the pass before.
    const QStringList risers = {QStringLiteral("1301,\"銘柄000(1)\" , 1.21,  121,  15")};
    EXPECT_EQ(f.monitor.lists()[1], risers);
    EXPECT_EQ(f.monitor.lists()[2], risers);
    EXPECT_EQ(f.monitor.lists()[3], risers);
    EXPECT_EQ(f.monitor.lists()[5], QStringList{QStringLiteral("1301,\"銘柄000(1)\" , 1.1,  121,  15")});
    EXPECT_EQ(f.monitor.lists()[6], f.monitor.lists()[5]);
    EXPECT_FLOAT_EQ(f.monitor.RealLast[3], 121.f);
    // It waited between passes, and once stopped it says so rather than that it waits.
    EXPECT_TRUE(f.view.progressTexts.contains(QStringLiteral("待機中・・・")));
    EXPECT_EQ(f.view.progressText, QStringLiteral("停止中"));
    EXPECT_EQ(f.wait.waits, (std::vector<int>{1000, 1000}));
}

TEST(SurgeMonitor, FirstScoredPassGivesEqualCloseAndLoopRatios)
{
    MonitorFixture f(1);
    f.page(1301, "1,234.5", "1,200");
    EXPECT_TRUE(f.monitor.RealMeigara(0));
    EXPECT_EQ(f.monitor.lists()[1], QStringList{QStringLiteral("1301,\"銘柄000(1)\" , 12.345,  1234.5,  15")});
    EXPECT_EQ(f.monitor.lists()[5], f.monitor.lists()[1]);
    EXPECT_EQ(f.monitor.lists()[3], QStringList{QStringLiteral("1301,\"銘柄000(1)\" , 1.029,  1234.5,  15")});
    EXPECT_DOUBLE_EQ(f.monitor.RealScore[3][1], f.monitor.RealScore[3][5]);
}

TEST(SurgeMonitor, RisersHold26RowsAndFallers25)
{
    MonitorFixture f(40);
    // Stock k closes at 100 + k against its stored 100: 1340 rises most, 1301 least.
    for (int k = 0; k < 40; ++k) f.page(1301 + k, QString::number(60 + 2 * k), "80");
    EXPECT_TRUE(f.monitor.RealMeigara(0));
    for (int k = 1; k <= 6; ++k) {
        const QStringList &rows = f.monitor.lists()[size_t(k)];
        ASSERT_EQ(rows.size(), k % 2 ? 26 : 25) << k;
        EXPECT_TRUE(rows.first().startsWith(k % 2 ? "1340," : "1301,")) << rows.first().toStdString();
        EXPECT_TRUE(rows.last().startsWith(k % 2 ? "1315," : "1325,")) << rows.last().toStdString();
    }
    EXPECT_EQ(f.monitor.lists()[2].first(), QStringLiteral("1301,\"銘柄000(1)\" , .6,  60,  15"));
    // It waited between passes, and once stopped it says so rather than that it waits.
    EXPECT_TRUE(f.view.progressTexts.contains(QStringLiteral("待機中・・・")));
    EXPECT_EQ(f.view.progressText, QStringLiteral("停止中"));
}

TEST(SurgeMonitor, WaitFactorZeroMeansNoWaitOtherwiseSeconds)
{
    MonitorFixture f(1);
    f.page(1301, "110", "100");
    f.view.stopAfter = 3;
    EXPECT_TRUE(f.monitor.RealMeigara(0));
    EXPECT_EQ(f.view.waitText, QStringLiteral("0"));
    EXPECT_TRUE(f.wait.waits.empty());
    f.monitor.Text1_KeyPress(QStringLiteral("3 秒"));
    f.view.stopAfter = 3;
    f.monitor.Command2_Click();
    EXPECT_EQ(f.wait.waits, (std::vector<int>{3000, 3000}));
}

TEST(SurgeMonitor, StopDuringTheWaitActsAtOnce)
{
    MonitorFixture f(2);
    f.page(1301, "110", "100");
    f.page(1302, "90", "100");
    f.pf.st.RealParam = 60;
    f.pf.st.CurCode = 1302;
    f.view.stopAfter = 1000;
    f.wait.during = [&] { f.monitor.Command1_Click(); };
    EXPECT_TRUE(f.monitor.RealMeigara(0));
    EXPECT_EQ(f.wait.waits, (std::vector<int>{60000}));
    EXPECT_EQ(f.wait.wakes, 1);
    EXPECT_EQ(f.monitor.passCount(), 2);
    EXPECT_EQ(f.env.net.requested.size(), 3);   // no pass after the stop
    EXPECT_FALSE(f.monitor.running());
    EXPECT_TRUE(f.view.listsEnabled);
    EXPECT_TRUE(f.view.recalcEnabled);
    EXPECT_EQ(f.view.placed.back(), (std::pair<int, int>{9500, -1}));
    EXPECT_EQ(f.pf.st.CurCode, 1302);
    EXPECT_EQ(f.pf.st.BarOffset, -1);
}

TEST(SurgeMonitor, FailedPagesAreCountedNotShownOneByOne)
{
    MonitorFixture f(3);
    f.page(1301, "110", "100");
    f.page(1303, "120", "100");   // 1302 has no page
    EXPECT_TRUE(f.monitor.RealMeigara(0));
    EXPECT_TRUE(f.env.dialogs.shown.empty());
    EXPECT_EQ(f.monitor.failedPages(), 1);
    EXPECT_EQ(f.monitor.firstError(), QStringLiteral("目的銘柄: 1302, 銘柄001      のリアルタイムデータ取得に失敗しました（見つかりません）"));
    EXPECT_TRUE(f.view.status.endsWith(QStringLiteral("\r\n取得失敗=1件　") + f.monitor.firstError()));
    EXPECT_TRUE(f.view.status.startsWith(QStringLiteral("LOOP Count=1,  時刻　10:15:00\r\n絞込最低株価、最高株価=1,100000\r\n絞込出来高（億円）=0")));
    EXPECT_EQ(f.monitor.lists()[1].size(), 2);
}

TEST(SurgeMonitor, SwitchFiltersOnTheStoredBarBeforeFetching)
{
    MonitorFixture f(3);
    f.pf.st.RealSwitch = 1;
    f.pf.st.RealMinPrice = 101;   // every stored close is 100
    EXPECT_TRUE(f.monitor.RealMeigara(0));
    EXPECT_TRUE(f.env.net.requested.isEmpty());
    // It waited between passes, and once stopped it says so rather than that it waits.
    EXPECT_TRUE(f.view.progressTexts.contains(QStringLiteral("待機中・・・")));
    EXPECT_EQ(f.view.progressText, QStringLiteral("停止中"));
    f.pf.st.RealMinPrice = 100;
    f.page(1301, "110", "100");
    f.page(1302, "110", "100");
    f.page(1303, "110", "100");
    f.view.stopAfter = 2;
    f.monitor.Command2_Click();
    EXPECT_EQ(f.env.net.requested.size(), 4);
    EXPECT_EQ(f.monitor.lists()[1].size(), 3);
}

TEST(SurgeMonitor, CloseRestoresTheSavedDisplayState)
{
    MonitorFixture f(1);
    f.page(1301, "110", "100");
    State &st = f.pf.st;
    st.BarOffset = 0;
    st.LiveMode = 0;
    st.QuoteMode = 0;
    f.view.stopAfter = 1000;
    f.wait.during = [&] { f.monitor.cmdEXIT_Click(); };
    st.RealParam = 5;
    EXPECT_TRUE(f.monitor.RealMeigara(0));
    EXPECT_EQ(st.BarOffset, 0);
    EXPECT_EQ(st.LiveMode, 0);
    EXPECT_EQ(st.QuoteMode, 0);
    EXPECT_EQ(f.view.closed, 1);
    EXPECT_FALSE(f.view.monitorChecked);
    EXPECT_FALSE(f.monitor.isOpen());
}

TEST(SurgeMonitor, ListClickShowsTheStock)
{
    MonitorFixture f(1);
    EXPECT_EQ(f.monitor.listMouseDown(3, QStringLiteral("1301,\"銘柄000(1)\" , 1.1,  110,  15"), true), 1301);
    EXPECT_EQ(f.pf.st.CurCode, 1301);
    EXPECT_EQ(f.pf.st.BarOffset, -1);
    EXPECT_EQ(f.monitor.listClicked(), 3);
    EXPECT_EQ(f.env.shell.redraws(), (std::vector<int>{1}));
    EXPECT_EQ(f.monitor.listMouseDown(4, QString(), false), 0);
    EXPECT_EQ(f.monitor.listClicked(), 4);
    EXPECT_EQ(f.env.shell.redraws().size(), 1u);
}

TEST(SurgeMonitor, RowVolumesPrintAsSinglesAndStopLeavesNoWaitingStatus)
{
    MonitorFixture f(1);
    // 70,451,694 shares: 7045.1694 in single precision, whose text has seven digits.
    f.env.net.pages[f.address(1301)] = monitorPage(QStringLiteral("110"), QStringLiteral("100"), QStringLiteral("70,451,694"));
    f.pf.st.RealParam = 1;
    EXPECT_TRUE(f.monitor.RealMeigara(0));
    ASSERT_EQ(f.monitor.lists()[1].size(), 1);
    EXPECT_EQ(f.monitor.lists()[1][0], QStringLiteral("1301,\"銘柄000(1)\" , 1.1,  110,  7045.169"));
    // Stopped after the wait: the progress text no longer says "待機中・・・".
    EXPECT_EQ(f.view.progressText, QStringLiteral("停止中"));
}
