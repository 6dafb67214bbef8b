#pragma once
// The median of a benchmark's timed runs (the upper middle one for an even count).
#include <algorithm>
#include <vector>

inline double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}
