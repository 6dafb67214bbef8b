#include "chart/Chart.h"
#include "chart/DisplayModes.h"
#include "chart/ChartTestData.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace velor;

namespace {

struct Modes {
    State st;
    test::TestEnv env;
    RecordingModeView view;
    ChartHooks hooks;
    ModeContext c{st, env.services, view, hooks};
};

} // namespace

TEST(DisplayModes, PeriodFromMinuteReturnsToDaily)
{
    Modes m;
    m.st.CurPeriod = 3;
    chgHSTF(m.c);
    EXPECT_EQ(m.st.CurPeriod, 0);
    EXPECT_EQ(m.view.captions.value("chart"), QStringLiteral("日足表示"));
    EXPECT_TRUE(m.view.checked("PU_HST", 0));
    EXPECT_FALSE(m.view.checked("PU_HST", 3));
    EXPECT_EQ(m.env.shell.redraws(), std::vector<int>{1});
    EXPECT_TRUE(m.env.shell.reloads().empty());
}

TEST(DisplayModes, PeriodCycleCaptions)
{
    Modes m;
    const char16_t *expected[] = {u"週足表示", u"月足表示", u"分足表示", u"日足表示"};
    for (int k = 0; k < 4; ++k) {
        chgHSTF(m.c);
        EXPECT_EQ(m.st.CurPeriod, (k + 1) % 4);
        EXPECT_EQ(m.view.captions.value("chart"), QString::fromUtf16(expected[k]));
    }
    m.st.CurPeriod = 7;   // anything else goes to daily
    chgHSTF(m.c);
    EXPECT_EQ(m.st.CurPeriod, 0);
}

TEST(DisplayModes, WeeklyItemWhileWeeklyKeepsWeekly)
{
    Modes m;
    m.st.CurPeriod = 1;
    PU_HST_click(m.c, 1);
    EXPECT_EQ(m.st.CurPeriod, 1);
    EXPECT_EQ(m.view.captions.value("chart"), QStringLiteral("週足表示"));
    PU_HST_click(m.c, 0);
    EXPECT_EQ(m.st.CurPeriod, 0);
}

TEST(DisplayModes, PeriodReloadsTheWorkingSetWhileTheSwitchIsOn)
{
    Modes m;
    m.st.VolFilterOn = true;
    m.st.WorkKind = 2;
    chgHSTF(m.c);
    EXPECT_EQ(m.env.shell.reloads(), std::vector<int>{-2});
    EXPECT_TRUE(m.env.shell.redraws().empty());
}

TEST(DisplayModes, LastTradeDateOfTheMinutePeriodComesFromTheClock)
{
    Modes m;
    m.st.CurPeriod = 2;
    m.env.clock.set(QDateTime(QDate(2024, 1, 5), QTime(9, 35)));
    chgHSTF(m.c);
    EXPECT_EQ(m.st.LastTradeDate, 9350105);
}

TEST(DisplayModes, LastTradeDateOfTheDailyPeriodIsTheNewestBar)
{
    test::ProgramFolder pf;
    pf.writeMaster({{1001, QStringLiteral("日経平均"), 0}});
    QByteArray f = "2,0,0\r\n20240112,1,1,1,1,1\r\n20240111,1,1,1,1,1\r\n";
    test::writeFile(pf.data + "1001.csv", f);
    test::TestEnv env;
    RecordingModeView view;
    ChartHooks hooks;
    ModeContext c{pf.st, env.services, view, hooks};
    pf.st.CurPeriod = 3;
    chgHSTF(c);
    EXPECT_EQ(pf.st.LastTradeDate, 20240112);
}

TEST(DisplayModes, IndicatorCycleFromPsychologicalReturnsToRsi)
{
    Modes m;
    m.st.IndicatorSel = 3;
    indicatorCycle(m.c);
    EXPECT_EQ(m.st.IndicatorSel, 0);
    EXPECT_EQ(m.view.captions.value("kindx"), QStringLiteral("RSI"));
    EXPECT_TRUE(m.view.checked("F061", 0));
    EXPECT_TRUE(m.view.checked("PL100", 0));
    EXPECT_FALSE(m.view.checked("F061", 3));
    EXPECT_EQ(m.env.shell.redraws(), std::vector<int>{0});
}

TEST(DisplayModes, IndicatorItemsSelectTheirOscillator)
{
    Modes m;
    const char16_t *names[] = {u"RSI", u"RCI", u"乖離率", u"サイコロ"};
    for (int i = 3; i >= 0; --i) {
        PL100_Click(m.c, i);
        EXPECT_EQ(m.st.IndicatorSel, i);
        EXPECT_EQ(m.view.captions.value("kindx"), QString::fromUtf16(names[i]));
    }
    m.st.IndicatorSel = 9;   // a stray settings value advances to RSI
    F061_Click(m.c, -1);
    EXPECT_EQ(m.st.IndicatorSel, 0);
}

TEST(DisplayModes, MaxMinItemGivesModeZero)
{
    Modes m;
    m.st.AxisMode = 2;
    PL105_Click(m.c, 1);
    EXPECT_EQ(m.st.AxisMode, 0);
    EXPECT_EQ(m.view.captions.value("correl"), QStringLiteral("最小-最大表示"));
    EXPECT_TRUE(m.view.checked("PL105", 1));
    EXPECT_FALSE(m.view.checked("PL105", 0));
    EXPECT_EQ(m.env.shell.redraws(), std::vector<int>{1});
}

TEST(DisplayModes, AxisItemsAndCycle)
{
    struct Case { int item; int mode; const char16_t *caption; int checkedItem; };
    const Case cases[] = {{0, 2, u"最大100%表示", 0}, {1, 0, u"最小-最大表示", 1}, {2, 1, u"最小100%表示", 2}};
    for (const Case &c : cases) {
        Modes m;
        PL105_Click(m.c, c.item);
        EXPECT_EQ(m.st.AxisMode, c.mode);
        EXPECT_EQ(m.view.captions.value("correl"), QString::fromUtf16(c.caption));
        for (int i = 0; i < 3; ++i) EXPECT_EQ(m.view.checked("PL105", i), i == c.checkedItem);
    }
    Modes m;
    axisCycle(m.c);
    EXPECT_EQ(m.st.AxisMode, 1);
}

TEST(DisplayModes, DisplayPeriodHalvesAndDoublesWithinBounds)
{
    struct Case { int from, item, to; };
    const Case cases[] = {{101, 1, 50}, {50, 0, 100}, {1, 1, 1}, {1000, 0, 1600}, {0, 0, 1}, {3, 1, 1}};
    for (const Case &c : cases) {
        Modes m;
        m.st.DispBars = int16_t(c.from);
        F051A_Click(m.c, c.item);
        EXPECT_EQ(m.st.DispBars, c.to) << c.from;
        EXPECT_EQ(m.env.shell.redraws(), std::vector<int>{1});
    }
}

TEST(DisplayModes, OverlayToggleReloadsWithoutLookup)
{
    Modes m;
    F065_Click(m.c);
    EXPECT_TRUE(m.st.NikkeiOverlay);
    EXPECT_TRUE(m.view.checked("F065"));
    F065_Click(m.c);
    EXPECT_FALSE(m.st.NikkeiOverlay);
    EXPECT_FALSE(m.view.checked("F065"));
    EXPECT_EQ(m.env.shell.redraws(), (std::vector<int>{11, 11}));
}

TEST(DisplayModes, VolumeSwitchCaptionsAndReload)
{
    Modes m;
    m.st.WorkKind = 4;
    chgDCFLG(m.c);
    EXPECT_EQ(m.view.captions.value("showd"), QStringLiteral("出来高制限有"));
    chgDCFLG(m.c);
    EXPECT_EQ(m.view.captions.value("showd"), QStringLiteral("出来高制限無"));
    EXPECT_EQ(m.env.shell.reloads(), (std::vector<int>{-4, -4}));
}

TEST(DisplayModes, StartUpSetsTheModesWithoutDrawing)
{
    Modes m;
    m.st.IndicatorSel = 3;
    m.st.AxisMode = 2;
    m.st.CurCode = 1301;
    m.st.BarOffset = 5;
    m.st.Starting = true;
    startupModes(m.c);
    EXPECT_EQ(m.st.IndicatorSel, 0);
    EXPECT_EQ(m.view.captions.value("kindx"), QStringLiteral("RSI"));
    EXPECT_FALSE(m.st.NikkeiOverlay);
    EXPECT_FALSE(m.view.checked("F065"));
    EXPECT_EQ(m.st.AxisMode, 0);
    EXPECT_EQ(m.view.captions.value("correl"), QStringLiteral("最小-最大表示"));
    EXPECT_EQ(m.st.CurCode, 1001);
    EXPECT_EQ(m.st.BarOffset, 0);
    EXPECT_EQ(m.st.CurPeriod, 0);
    EXPECT_EQ(m.view.captions.value("chart"), QStringLiteral("日足表示"));
    EXPECT_FALSE(m.st.VolFilterOn);
    EXPECT_EQ(m.view.captions.value("showd"), QStringLiteral("出来高制限無"));
    EXPECT_TRUE(m.env.shell.redraws().empty());
    EXPECT_TRUE(m.env.shell.reloads().empty());
    EXPECT_TRUE(m.st.Starting);
}
