#pragma once
// Draws the chart of the loaded tables onto a canvas, in the documented order: grid, candles,
// short average with volume, long average, index overlay, indicator pane, texts.
#include "chart/ChartCanvas.h"
#include "chart/ChartGeometry.h"

#include <cstdint>
#include <vector>

namespace velor {

struct State;
struct BarVars;

/// One row of the indicator table: name, scale labels, value-to-y (y = base - gain * v) and the
/// periods of its two lines.
struct Oscillator {
    const char16_t *name;
    const double *labels;
    double base, gain;
    float (*calc)(const BarVars &, int16_t, int16_t);
    int16_t n1, n2;
};

/// The oscillator of IndicatorSel (RSI for 0 and any stray value).
Oscillator oscillatorFor(const State &st);

/// Closes of the index series loaded for the overlay (element k = position k-1); empty = none.
using OverlayCloses = std::vector<float>;

/// Draws everything. The tables, DrawEnd and PrevClose must be loaded (Chart does that).
void paintChart(const State &st, const ChartFrame &f, const OverlayCloses &overlay, ChartCanvas &c);

void paintGrid(ChartCanvas &c);
void paintCandles(const State &st, const ChartFrame &f, ChartCanvas &c);
/// One moving average by a sliding sum; the volume bars ride along with the short one.
void paintAverage(const State &st, const ChartFrame &f, int width, Rgb colour, bool withVolume, ChartCanvas &c);
void paintOverlay(const State &st, const ChartFrame &f, const OverlayCloses &overlay, ChartCanvas &c);
void paintIndicatorPane(const State &st, const ChartFrame &f, ChartCanvas &c);
void paintTexts(const State &st, const ChartFrame &f, ChartCanvas &c);

} // namespace velor
