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
};

} // namespace velor
