#include "chart/DisplayModes.h"

#include "chart/Chart.h"
#include "chart/ChartGeometry.h"
#include "db/Bars.h"
#include "db/Services.h"
#include "db/State.h"

#include <algorithm>
#include <cstdlib>

namespace velor {

namespace {

const QString kF061 = QStringLiteral("F061"), kPL100 = QStringLiteral("PL100");

void refreshLastTradeDate(ModeContext &c)
{
    State &st = c.st;
    if (st.CurPeriod == 3) {
        readMinuteBars(st, c.hooks, 1);
        const QDateTime now = c.sv.clock.now();
        const int hhmm = now.time().hour() * 100 + now.time().minute();
        const int mmdd = now.date().month() * 100 + now.date().day();
        st.LastTradeDate = hhmm * 10000 + mmdd;
        return;
    }
    KDOPN(st, c.sv, 2);
    st.LastTradeDate = st.BarDate[1];
}

} // namespace

void chgHSTF(ModeContext &c)
{
    State &st = c.st;
    st.CurPeriod = (st.CurPeriod >= 0 && st.CurPeriod < 3) ? int16_t(st.CurPeriod + 1) : int16_t(0);
    static const char16_t *names[] = {u"日足表示", u"週足表示", u"月足表示", u"分足表示"};
    c.view.setToolCaption(QStringLiteral("chart"), QString::fromUtf16(names[st.CurPeriod]));
    for (int i = 0; i <= 3; ++i) c.view.setChecked(QStringLiteral("PU_HST"), i, i == st.CurPeriod);
    refreshLastTradeDate(c);
    if (st.Starting) return;
    if (st.VolFilterOn) c.sv.shell.loadWorkSet(-st.WorkKind);
    else c.sv.shell.redrawChart(1);
}

void PU_HST_click(ModeContext &c, int i)
{
    c.st.CurPeriod = int16_t(i - 1);
    chgHSTF(c);
}

void F061_Click(ModeContext &c, int i)
{
    State &st = c.st;
    c.view.setChecked(kF061, st.IndicatorSel, false);
    c.view.setChecked(kPL100, st.IndicatorSel, false);
    if (i >= 0) st.IndicatorSel = int16_t(i - 1);
    st.IndicatorSel = (st.IndicatorSel >= 0 && st.IndicatorSel <= 2) ? int16_t(st.IndicatorSel + 1) : int16_t(0);
    static const char16_t *names[] = {u"RSI", u"RCI", u"乖離率", u"サイコロ"};
    c.view.setToolCaption(QStringLiteral("kindx"), QString::fromUtf16(names[st.IndicatorSel]));
    c.view.setChecked(kF061, st.IndicatorSel, true);
    c.view.setChecked(kPL100, st.IndicatorSel, true);
    // Start-up draws once at its end; at any other time the choice is drawn at once.
    if (!st.Starting) c.sv.shell.redrawChart(0);
}

void indicatorCycle(ModeContext &c) { F061_Click(c, c.st.IndicatorSel + 1); }

void axisCycle(ModeContext &c)
{
    State &st = c.st;
    st.AxisMode = (st.AxisMode == 0 || st.AxisMode == 1) ? int16_t(st.AxisMode + 1) : int16_t(0);
    static const char16_t *names[] = {u"最小-最大表示", u"最小100%表示", u"最大100%表示"};
    c.view.setToolCaption(QStringLiteral("correl"), QString::fromUtf16(names[st.AxisMode]));
    if (!st.Starting) c.sv.shell.redrawChart(1);
    static constexpr int checkedItem[] = {1, 2, 0};   // item of mode 0, 1, 2
    for (int i = 0; i <= 2; ++i) c.view.setChecked(QStringLiteral("PL105"), i, i == checkedItem[st.AxisMode]);
}

void PL105_Click(ModeContext &c, int i)
{
    static constexpr int16_t before[] = {1, 2, 0};
    if (i < 0 || i > 2) return;
    c.st.AxisMode = before[i];
    axisCycle(c);
}

void F051A_Click(ModeContext &c, int i)
{
    State &st = c.st;
    const int bars = i == 0 ? 2 * int(st.DispBars) : int(st.DispBars) / 2;
    st.DispBars = int16_t(std::clamp(bars, kMinDispBars, kMaxDispBars));
    c.sv.shell.redrawChart(1);
}

bool shiftBarOffset(ModeContext &c, int delta, int barCount)
{
    State &st = c.st;
    if (st.CurPeriod == 3 || delta == 0) return false;   // the minute chart always starts at 9:00
    const int lowest = st.LiveMode ? -1 : 0;
    const int highest = std::clamp(barCount - 1, lowest, kMaxBarOffset);
    const int from = st.BarOffset;
    // An offset already outside the range (set elsewhere) only moves back towards it.
    const int to = delta > 0 ? std::min(from + delta, std::max(highest, from)) : std::max(from + delta, std::min(lowest, from));
    if (to == from) return false;
    st.BarOffset = int16_t(to);
    c.sv.shell.redrawChart(1);
    return true;
}

void wheelBars(ModeContext &c, int steps)
{
    for (int k = 0; k < std::abs(steps); ++k) F051A_Click(c, steps > 0 ? 1 : 0);
}

void F065_Click(ModeContext &c)
{
    State &st = c.st;
    st.NikkeiOverlay = !st.NikkeiOverlay;
    c.view.setChecked(QStringLiteral("F065"), -1, st.NikkeiOverlay);
    if (!st.Starting) c.sv.shell.redrawChart(11);
}

void chgDCFLG(ModeContext &c)
{
    State &st = c.st;
    st.VolFilterOn = !st.VolFilterOn;
    c.view.setToolCaption(QStringLiteral("showd"), st.VolFilterOn ? QStringLiteral("出来高制限有") : QStringLiteral("出来高制限無"));
    if (!st.Starting) c.sv.shell.loadWorkSet(-st.WorkKind);
}

void toolChart(ModeContext &c)
{
    chgHSTF(c);
    if (!c.st.Starting) c.sv.shell.redrawChart(1);
}

void startupModes(ModeContext &c)
{
    State &st = c.st;
    const bool wasStarting = st.Starting;
    st.Starting = true;
    F061_Click(c, -1);
    st.NikkeiOverlay = true;
    F065_Click(c);
    axisCycle(c);
    st.CurCode = 1001;
    st.BarOffset = 0;
    st.CurPeriod = 3;
    chgHSTF(c);
    st.VolFilterOn = true;
    chgDCFLG(c);
    st.Starting = wasStarting;
}

} // namespace velor
