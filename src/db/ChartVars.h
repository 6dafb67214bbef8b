#pragma once
// Display state of the chart and its commands (periods, oscillator, axis, overlays).
#include <cstdint>

namespace velor {

struct ChartVars {
    bool NikkeiOverlay = false;
    bool VolFilterOn = false;
    int32_t LastTradeDate = 0;
    int16_t DrawEnd = 0;
    double PrevClose = 0;
    bool Starting = false;      ///< start-up runs: commands change state but do not redraw
    double VolLimitAdj = 0;     ///< VolLimit for the period (yen)
    double MinTurnover = 0;     ///< the screens' turnover floor, scaled by the time of day while live
    double RealTurnover = 0;    ///< the monitor's turnover floor, scaled likewise
};

} // namespace velor
