#pragma once
// The index sort shared by the watch lists, the screens and the monitor.
#include <cstdint>
#include <span>

namespace velor {

/// Fills index[1..count] with 1..count ordered by ascending value[entry] (both tables 1-based).
/// Stable insertion sort: values are compared after rounding to single precision, so values
/// equal in single precision keep their entry order. Does nothing for count below 1.
void SortByValue(std::span<const double> value, std::span<int16_t> index, int count);

} // namespace velor
