#pragma once
// The four oscillators of the indicator pane and the screens, computed from the close table of
// the current stock. Position p is table element p+1 (0 = newest stored bar, -1 = live slot).
#include <cstdint>
#include <span>

namespace velor {

struct BarVars;

/// The chart's moving average: the n closes at s .. s+n-1 summed in double, newest first, over n;
/// NaN when the window leaves the bars (BarCount) or the tables, or n < 1.
double calcMA(const BarVars &st, int n, int s);
/// Share of upward moves in all moves over the n steps ending at position s (0..1).
/// All-equal closes give 0; fewer than n+s+1 bars give 0.5.
float calcRSI(const BarVars &st, int16_t n, int16_t s);
/// Rank correlation of the n closes ending at s with time (-1..+1); too few bars (or n < 2) give 0.
float calcRCI(const BarVars &st, int16_t n, int16_t s);
/// Close at s divided by the n-bar average ending at s; too few bars give 1, an all-zero window 0.
float calcKAIRI(const BarVars &st, int16_t n, int16_t s);
/// Share of the n bars ending at s that closed strictly above the bar before; too few bars give 0.5.
float calcPSYC(const BarVars &st, int16_t n, int16_t s);

/// Ranks values(1..n) into ranks(1..n), 1 = smallest; ties never share a rank: of equal values
/// the one with the higher index gets the lower rank. Both spans hold at least n+1 elements
/// (element 0 unused).
void rankRCI(std::span<const float> values, std::span<int16_t> ranks, int n);

} // namespace velor
