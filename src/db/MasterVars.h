#pragma once
// The stock master as loaded by MEIGARAIN, and the bar tables of the current stock (KDOPN).
#include "common/StockCode.h"

#include <QString>
#include <array>
#include <cstdint>
#include <vector>

namespace velor {

/// Bar tables hold positions -1..1600 as elements 0..1601 (and one spare for the overlay's i+1).
constexpr int kBarTableSize = 1603;

struct MasterVars {
    int16_t StockCount = 0, CapDaily = 0, CapWeekly = 0, CapMonthly = 0;
    std::vector<int> StockCode = std::vector<int>(1);             ///< 1..StockCount
    std::vector<int16_t> StockSection = std::vector<int16_t>(1);  ///< 1..StockCount
    std::vector<QString> StockName = std::vector<QString>(1);     ///< 10 characters, blank-padded
    std::vector<int16_t> StockIndex = std::vector<int16_t>(kCodeSpace);   ///< code -> entry, 0 = not listed

    /// The master entry of a code, 0 when the code is not listed (or is no code at all).
    int entryOf(int code) const { return code >= 0 && code < kCodeSpace ? StockIndex[size_t(code)] : 0; }
};

struct BarVars {
    int CurCode = 1001;
    int16_t CurPeriod = 0;      ///< 0 daily, 1 weekly, 2 monthly, 3 minute
    int16_t BarCount = 0;
    int16_t BarOffset = 0;      ///< 0 newest stored bar; -1 the live quote
    double CurTurnover = 0;
    std::vector<int32_t> BarDate = std::vector<int32_t>(kBarTableSize);
    std::vector<float> BarOpen = std::vector<float>(kBarTableSize);
    std::vector<float> BarHigh = std::vector<float>(kBarTableSize);
    std::vector<float> BarLow = std::vector<float>(kBarTableSize);
    std::vector<float> BarClose = std::vector<float>(kBarTableSize);
    std::vector<double> BarVolume = std::vector<double>(kBarTableSize);
};

} // namespace velor
