#pragma once
// Draws the chart of the loaded tables onto a canvas, in the documented order: grid, candles,
// short average with volume, long average, index overlay, indicator pane, texts.
#include "chart/ChartCanvas.h"
#include "chart/ChartGeometry.h"

#include <vector>

namespace velor {

struct State;

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
