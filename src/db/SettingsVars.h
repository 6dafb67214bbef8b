#pragma once
// The values read from VELOR.ini (and the paths derived from it), fixed for the whole run
// except DispBars, AxisMode and IndicatorSel, which the display commands change.
#include <QString>
#include <array>
#include <cstdint>

namespace velor {

struct SettingsVars {
    QString DataDir;      ///< line 1, always ending in a separator
    QString MasterPath;   ///< DataDir + "meigara.dat"
    QString LogPath;      ///< DataDir + "VELOR.log"
    QString BrowserPath;
    int16_t MaxStocks = 4400;

    int16_t MaWidth1 = 0, MaWidth2 = 0, DispBars = 0;                 // line 2
    int16_t AxisMode = 0, RankRows = 0, IndicatorSel = 0;            // line 3
    int16_t VolWindow = 0; double VolLimit = 0;                      // line 4
    int32_t FilterMinPrice = 0, FilterMaxPrice = 0; double FilterTurnoverBase = 0;   // line 5
    int16_t DoneSound = 0, RealSwitch = 0;                           // line 6
    int32_t RealMinPrice = 0, RealMaxPrice = 0; double RealTurnoverBase = 0; int32_t RealParam = 0;
    int16_t RsiPeriod1 = 0, RsiPeriod2 = 0;                          // line 7
    int16_t PsyPeriod1 = 0, PsyPeriod2 = 0;                          // line 8
    int16_t RciPeriod1 = 0, RciPeriod2 = 0;                          // line 9
    std::array<QString, 15> InfoUrl;                                 // lines 10-24
    std::array<QString, 4> BrokerUrl;                                // lines 25-28
    std::array<QString, 5> FavoriteUrl;                              // lines 29-33
};

} // namespace velor
