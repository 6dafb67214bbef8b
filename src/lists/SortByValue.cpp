#include "lists/SortByValue.h"

namespace velor {

void SortByValue(std::span<const double> value, std::span<int16_t> index, int count)
{
    if (count < 1) return;
    index[1] = 1;
    for (int e = 2; e <= count; ++e) {
        const float v = float(value[size_t(e)]);
        int k = 1;
        while (k < e && float(value[size_t(index[size_t(k)])]) <= v) ++k;
        // k is the first position whose value is strictly greater; e goes in front of it.
        for (int j = e; j > k; --j) index[size_t(j)] = index[size_t(j - 1)];
        index[size_t(k)] = int16_t(e);
    }
}

} // namespace velor
