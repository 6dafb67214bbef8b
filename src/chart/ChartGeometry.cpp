#include "chart/ChartGeometry.h"

#include "db/State.h"

#include <algorithm>
#include <cmath>

namespace velor {

int effectiveDispBars(int dispBars) { return std::clamp(dispBars, kMinDispBars, kMaxDispBars); }

int computeDrawEnd(int barOffset, int dispBars, int barCount)
{
    return barCount >= barOffset + dispBars ? barOffset + dispBars + 1 : barCount;
}

namespace {

// Element of position p, or -1 when it lies outside the tables.
int elem(int p) { return (p + 1 >= 0 && p + 1 < kBarTableSize) ? p + 1 : -1; }

double axisMinimumFor(double low, int drawEnd)
{
    struct Rule { double from, unit; };
    static constexpr Rule rules[] = {{1e7, 1e6}, {1e6, 1e5}, {1e5, 1e4}, {1e4, 1e3}, {1e3, 100}, {100, 10}};
    for (const Rule &r : rules)
        if (low >= r.from) return (std::floor(low / r.unit) - 1) * r.unit;
    return drawEnd >= 50 ? 1 : 0;
}

double axisMaximumFor(double high)
{
    struct Rule { double upTo, unit; };
    // Beyond 10,000,000 the rounding continues in the same pattern, so the scale stays valid.
    static constexpr Rule rules[] = {{50, 5},       {100, 10},     {500, 50},     {1000, 100},   {5000, 500},
                                     {1e4, 1000},   {5e4, 5000},   {1e5, 1e4},    {5e5, 5e4},    {1e6, 1e5},
                                     {5e6, 5e5},    {1e7, 1e6},    {5e7, 5e6},    {1e8, 1e7},    {5e8, 5e7}};
    double unit = 1e8;
    for (const Rule &r : rules)
        if (high <= r.upTo) { unit = r.unit; break; }
    return (std::floor(high / unit) + 1) * unit;
}

} // namespace

double minuteVolume(const BarVars &st, int p)
{
    if (p <= 1) return 0;
    const int e = elem(p), e1 = elem(p - 1);
    if (e < 0 || e1 < 0) return 0;
    return std::max(0.0, st.BarVolume[size_t(e)] - st.BarVolume[size_t(e1)]);
}

void findExtremes(const State &st, ChartFrame &f)
{
    f.highest = 1;
    f.lowest = 1e10f;
    f.maxVolume = 0;
    if (st.CurPeriod == 3) {
        f.highest = f.lowest = float(st.PrevClose);
        for (int p = 0; p <= f.drawEnd + 1; ++p) {
            const int e = elem(p);
            if (e < 0) break;
            const float hi = st.BarHigh[size_t(e)], lo = st.BarLow[size_t(e)];
            if (hi != 0 && hi > f.highest) { f.highest = hi; f.highPos = p; }
            if (lo != 0 && lo < f.lowest) { f.lowest = lo; f.lowPos = p; }
            f.maxVolume = std::max(f.maxVolume, minuteVolume(st, p));
        }
        return;
    }
    for (int p = st.BarOffset; p < f.drawEnd; ++p) {
        const int e = elem(p);
        if (e < 0) break;
        if (st.BarLow[size_t(e)] < f.lowest) { f.lowest = st.BarLow[size_t(e)]; f.lowPos = p; }
        if (st.BarHigh[size_t(e)] > f.highest) { f.highest = st.BarHigh[size_t(e)]; f.highPos = p; }
        f.maxVolume = std::max(f.maxVolume, st.BarVolume[size_t(e)]);
    }
}

void priceAxis(const State &st, ChartFrame &f)
{
    if (st.BarOpen[1] == 0) {
        f.axisMax = double(f.highest) + 1;
        f.axisMin = double(f.highest) - 1;
    } else if (st.CurPeriod == 3) {
        f.axisMax = f.highest;
        f.axisMin = f.lowest;
    } else {
        f.axisMin = axisMinimumFor(f.lowest, f.drawEnd);
        f.axisMax = axisMaximumFor(f.highest);
    }
    if (st.AxisMode == 1) {
        f.axisMin = f.lowest;
        f.step = double(f.lowest) / 5;
    } else if (st.AxisMode == 2) {
        f.axisMin = double(f.highest) / 2;
        f.step = f.axisMin / 5;
    } else {
        f.step = (f.axisMax - f.axisMin) / 5;
    }
    f.scale = f.step > 0 ? geo::H / (5 * f.step) : 1;
}

void columns(int dispBars, ChartFrame &f)
{
    f.slotCount = (dispBars + 4) / 5 * 5;
    f.pitch = geo::W / f.slotCount;
    f.volScale = f.maxVolume > 0 ? geo::H / (2 * f.maxVolume) : 0;
}

ChartFrame computeFrame(const State &st)
{
    ChartFrame f;
    const int disp = effectiveDispBars(st.DispBars);
    f.first = st.CurPeriod == 3 ? 0 : st.BarOffset;
    f.firstInside = st.CurPeriod == 3;
    f.drawEnd = st.DrawEnd;
    f.loaded = st.BarCount;
    findExtremes(st, f);
    priceAxis(st, f);
    columns(disp, f);
    return f;
}

} // namespace velor
