#include "lists/SortByValue.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace velor {

namespace {

// The insertion sort the order is defined by; only used where a NaN makes the single-precision
// comparison no ordering at all, so that such tables keep the order they always had.
template <typename I> void insertionSort(std::span<const double> value, std::span<I> index, int count)
{
    index[1] = 1;
    for (int e = 2; e <= count; ++e) {
        const float v = float(value[size_t(e)]);
        int k = 1;
        while (k < e && float(value[size_t(index[size_t(k)])]) <= v) ++k;
        // k is the first position whose value is strictly greater; e goes in front of it.
        for (int j = e; j > k; --j) index[size_t(j)] = index[size_t(j - 1)];
        index[size_t(k)] = I(e);
    }
}

template <typename I> void sortIndex(std::span<const double> value, std::span<I> index, int count)
{
    if (count < 1) return;
    const auto first = value.begin() + 1, last = first + count;
    if (std::any_of(first, last, [](double v) { return std::isnan(float(v)); })) return insertionSort(value, index, count);
    // Inserting each entry before the first strictly greater one is a stable ascending sort.
    std::iota(index.begin() + 1, index.begin() + 1 + count, I(1));
    std::stable_sort(index.begin() + 1, index.begin() + 1 + count,
                     [&](I a, I b) { return float(value[size_t(a)]) < float(value[size_t(b)]); });
}

} // namespace

void SortByValue(std::span<const double> value, std::span<int16_t> index, int count)
{
    sortIndex(value, index, std::min(count, 32767));
}

void SortByValue(std::span<const double> value, std::span<int32_t> index, int count)
{
    sortIndex(value, index, count);
}

} // namespace velor
