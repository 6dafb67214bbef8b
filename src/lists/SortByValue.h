#pragma once
// The index sort shared by the watch lists, the screens and the monitor.
#include <cstdint>
#include <span>

namespace velor {

/// Fills index[1..count] with 1..count ordered by ascending value[entry] (both tables 1-based).
/// Stable sort: values are compared after rounding to single precision, so values
/// equal in single precision keep their entry order. Does nothing for count below 1.
/// Takes O(n log n) time.
void SortByValue(std::span<const double> value, std::span<int16_t> index, int count);
/// The same for tables of 32,768 entries or more.
void SortByValue(std::span<const double> value, std::span<int32_t> index, int count);

} // namespace velor
