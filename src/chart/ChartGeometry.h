#pragma once
// Where things go on the chart: which positions are drawn, the price extremes, the price axis,
// the columns and the scales, all in the fixed twip units of the drawing surface.
#include <cstdint>

namespace velor {

struct State;
struct BarVars;

namespace geo {
constexpr double X0 = 1000, W = 5600, XR = 6600, Y0 = 5500, H = 5000, Band = 1000, IndBottom = 7500,
                 Column = 1120;
}

/// Smallest and largest number of bar intervals the chart shows; the display-period commands
/// keep DispBars inside, and the chart clamps a value read from the settings file.
constexpr int kMinDispBars = 1;
constexpr int kMaxDispBars = 1600;
int effectiveDispBars(int dispBars);
/// Largest BarOffset the chart is scrolled back to (the command line's --offset, the drag):
/// the date labels stop at position 300.
constexpr int kMaxBarOffset = 299;

struct ChartFrame {
    int first = 0;             ///< position centred on the right edge (BarOffset; 0 for minutes)
    int drawEnd = 0;           ///< one past the oldest position drawn
    int loaded = 0;            ///< positions 0..loaded-1 hold loaded bars (BarCount unless told)
    float highest = 1, lowest = 1e10f;
    int highPos = 0, lowPos = 0;
    double maxVolume = 0;
    double axisMax = 0, axisMin = 0, step = 0, scale = 1;
    int slotCount = 5;
    double pitch = 1120;
    double volScale = 0;

    /// The minute chart's first column ends at the right edge instead of being centred on it, so
    /// a chart of a few wide minute bars stays inside the pane and clear of the 前日終値 label.
    bool firstInside = false;

    /// Right side of the column of position i.
    double R(int i) const { return geo::XR + (firstInside ? 0 : pitch / 2) - pitch * (i - first); }
    /// Centre of the candle of position i.
    double centre(int i) const { return R(i) - pitch / 2; }
    /// y of a price.
    double y(double v) const { return geo::Y0 - (v - axisMin) * scale; }
};

/// DrawEnd: BarOffset + DispBars + 1 when BarCount >= BarOffset + DispBars, else BarCount.
int computeDrawEnd(int barOffset, int dispBars, int barCount);
/// Per-bar volume of a minute position from the cumulative volumes (0 for positions 0 and 1 and
/// where the difference is negative).
double minuteVolume(const BarVars &st, int p);
/// Highest high, lowest low (with positions) and largest volume of the drawn positions.
void findExtremes(const State &st, ChartFrame &f);
/// Axis minimum, maximum, step and price scale for the axis mode and the period.
void priceAxis(const State &st, ChartFrame &f);
/// Slots, pitch and volume scale.
void columns(int dispBars, ChartFrame &f);
/// The whole frame for the current tables: DrawEnd, extremes, axis, columns.
ChartFrame computeFrame(const State &st);

} // namespace velor
