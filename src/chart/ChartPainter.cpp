#include "chart/ChartPainter.h"

#include "chart/Indicators.h"
#include "common/NumText.h"
#include "db/State.h"

#include <algorithm>
#include <cmath>

namespace velor {

namespace {

using namespace colours;

float closeAt(const State &st, int p) { return (p + 1 >= 0 && p + 1 < kBarTableSize) ? st.BarClose[size_t(p + 1)] : 0.0f; }

bool inTables(int p) { return p + 1 >= 0 && p + 1 < kBarTableSize; }

// Scale labels: whole numbers as integers, the others by the print rule.
QString scaleLabel(double v)
{
    return v == std::round(v) ? printForm((long long)v) : printForm(v);
}

} // namespace

Oscillator oscillatorFor(const State &st)
{
    static constexpr double unit[] = {1, 0.8, 0.6, 0.4, 0.2, 0};
    static constexpr double rci[] = {1, 0.6, 0.2, -0.2, -0.6, -1};
    static constexpr double kairi[] = {1.25, 1.15, 1.05, 0.95, 0.85, 0.75};
    switch (st.IndicatorSel) {
    case 1: return {u"RCI", rci, 6500, 1000, calcRCI, st.RciPeriod1, st.RciPeriod2};
    case 2: return {u"乖離率", kairi, 10500, 4000, calcKAIRI, st.MaWidth1, st.MaWidth2};
    case 3: return {u"サイコロ", unit, 7500, 2000, calcPSYC, st.PsyPeriod1, st.PsyPeriod2};
    default: return {u"RSI", unit, 7500, 2000, calcRSI, st.RsiPeriod1, st.RsiPeriod2};   // 0 and any stray value
    }
}

void paintGrid(ChartCanvas &c)
{
    c.setPenWidth(1);
    c.setPenStyle(PenStyle::Solid);
    for (int k = 0; k <= 5; ++k) c.line(geo::X0, geo::Y0 - k * geo::Band, geo::XR, geo::Y0 - k * geo::Band, black);
    c.line(geo::X0, geo::IndBottom, geo::XR, geo::IndBottom, black);
    for (int k = 0; k <= 5; ++k)
        c.line(geo::X0 + k * geo::Column, geo::Y0 - geo::H, geo::X0 + k * geo::Column, geo::IndBottom, black);
    c.setPenStyle(PenStyle::Dotted);
    for (int k = 0; k <= 4; ++k)
        c.line(geo::X0, geo::Y0 - (k + 0.5) * geo::Band, geo::XR, geo::Y0 - (k + 0.5) * geo::Band, black);
    c.setPenStyle(PenStyle::Solid);
}

void paintCandles(const State &st, const ChartFrame &f, ChartCanvas &c)
{
    const bool minute = st.CurPeriod == 3;
    const int from = minute ? 0 : st.BarOffset;
    const int to = minute ? f.drawEnd : f.drawEnd - 1;
    for (int i = from; i <= to && inTables(i); ++i) {
        const size_t e = size_t(i + 1);
        // The minute chart walks one position past its last record: no candle at zero there.
        if (minute && st.BarHigh[e] == 0 && st.BarLow[e] == 0) continue;
        const double r = f.R(i);
        c.line(r - 3 * f.pitch / 8, f.y(st.BarHigh[e]), r - 3 * f.pitch / 8, f.y(st.BarLow[e]), blue);
        c.box(r, f.y(st.BarOpen[e]), r - f.pitch, f.y(st.BarClose[e]),
              st.BarClose[e] >= st.BarOpen[e] ? red : green);
    }
    if (!minute) return;
    const double y = f.y(st.PrevClose);
    c.line(geo::X0, y, geo::XR, y, cyan);
    // At the foot of the pane the two lines would run into the indicator's name below it (5200):
    // the lower one ends a text's height (about 180) above it.
    const double ly = std::min(y, geo::Y0 - 700);
    c.text(6650, ly - 100, QStringLiteral("前日終値"), black);
    c.text(6650, ly + 100, formatPattern(st.PrevClose, QStringLiteral("#########.#")), black);
}

void paintAverage(const State &st, const ChartFrame &f, int width, Rgb colour, bool withVolume, ChartCanvas &c)
{
    const bool minute = st.CurPeriod == 3;
    double prev = 0;
    if (width > 0 && st.BarCount >= st.BarOffset + width + 1) prev = f.y(calcMA(st, width, st.BarOffset));
    for (int i = st.BarOffset; i < f.drawEnd && inTables(i); ++i) {
        const double r = f.R(i);
        if (withVolume) {
            const double v = minute ? minuteVolume(st, i) : st.BarVolume[size_t(i + 1)];
            c.setPenWidth(1);
            c.line(r - f.pitch / 8, geo::Y0 - f.volScale * v * 2 / 5, r - f.pitch / 8, geo::Y0, magenta);
        }
        // The average ends where its window would leave the bars (in the file or loaded).
        if (minute || width <= 0 || i + width >= std::min<int>(st.BarCount, f.loaded)) continue;
        // The same average as the screens' formulas read (one implementation).
        const double next = f.y(calcMA(st, width, i + 1));
        c.setPenWidth(2);
        c.line(r - f.pitch / 4, prev, r - f.pitch / 4 - f.pitch, next, colour);
        prev = next;
    }
    c.setPenWidth(1);
}

void paintOverlay(const State &st, const ChartFrame &f, const OverlayCloses &overlay, ChartCanvas &c)
{
    if (!st.NikkeiOverlay || st.BarOffset == -1 || overlay.empty()) return;
    auto idx = [&](int p) { return (p + 1 >= 0 && size_t(p + 1) < overlay.size()) ? overlay[size_t(p + 1)] : 0.0f; };
    const float base = idx(st.BarOffset);
    const double ratio = base != 0 ? double(closeAt(st, st.BarOffset)) / base : 0;
    c.setPenStyle(PenStyle::Dotted);
    c.setPenWidth(1);
    for (int i = st.BarOffset; i < f.drawEnd && inTables(i); ++i) {
        const double x = f.R(i) - f.pitch / 4;
        c.line(x, f.y(ratio * idx(i)), x - f.pitch, f.y(ratio * idx(i + 1)), red);
    }
    c.setPenStyle(PenStyle::Solid);
}

void paintIndicatorPane(const State &st, const ChartFrame &f, ChartCanvas &c)
{
    const Oscillator o = oscillatorFor(st);
    c.setPenWidth(2);
    c.line(7100, 5600, 7250, 5600, cyan);
    c.line(7100, 5800, 7250, 5800, magenta);
    c.setPenWidth(1);
    c.setPenStyle(PenStyle::Dotted);
    for (int y : {5900, 6300, 6700, 7100}) c.line(geo::X0, y, geo::XR, y, red);
    c.setPenStyle(PenStyle::Solid);
    c.text(6850, 5200, QString::fromUtf16(o.name), black);
    for (int k = 0; k <= 5; ++k) c.text(6650, 5500 + k * 400 - 100, scaleLabel(o.labels[k]), black);
    c.text(7300, 5550, printForm((long long)o.n1), black);
    c.text(7300, 5750, printForm((long long)o.n2), black);
    c.setPenWidth(2);
    c.clip(geo::Y0, geo::IndBottom);
    const std::pair<int16_t, Rgb> lines[] = {{o.n1, cyan}, {o.n2, magenta}};
    for (const auto &[n, colour] : lines) {
        // Bars that the file has but the load did not reach end the line instead of being
        // read as zeros; a short file gives the oscillator's fallback as documented.
        const int last = f.loaded < st.BarCount ? f.loaded - n - 1 : f.drawEnd;
        if (st.BarOffset > last) continue;
        double prev = o.base - o.gain * o.calc(st, n, st.BarOffset);
        for (int i = st.BarOffset + 1; i <= std::min(f.drawEnd, last) && inTables(i); ++i) {
            const double next = o.base - o.gain * o.calc(st, n, int16_t(i));
            c.line(f.R(i - 1) - f.pitch / 4, prev, f.R(i) - f.pitch / 4, next, colour);
            prev = next;
        }
    }
    c.clip(0, 0);
    c.setPenWidth(1);
}

void paintChart(const State &st, const ChartFrame &f, const OverlayCloses &overlay, ChartCanvas &c)
{
    c.clear();
    paintGrid(c);
    // Prices outside the axis (the percentage modes, the overlay) and oscillator values outside
    // their scale stay inside their own pane instead of running over the other one.
    c.clip(geo::Y0 - geo::H, geo::Y0);
    paintCandles(st, f, c);
    paintAverage(st, f, st.MaWidth1, white, true, c);
    if (st.CurPeriod != 3) paintAverage(st, f, st.MaWidth2, yellow, false, c);
    paintOverlay(st, f, overlay, c);
    c.clip(0, 0);
    paintIndicatorPane(st, f, c);
    paintTexts(st, f, c);
}

} // namespace velor
