#include "chart/Indicators.h"

#include "db/MasterVars.h"

#include <array>
#include <cmath>
#include <vector>

namespace velor {

namespace {

// The guard shared by all four: BarCount >= n+s+1, and every position read lies in the tables.
bool enoughBars(const BarVars &st, int n, int s)
{
    if (n <= 0 || s < -1) return false;
    if (n + s + 1 >= kBarTableSize) return false;
    return st.BarCount >= n + s + 1;
}

inline float closeAt(const BarVars &st, int p) { return st.BarClose[size_t(p + 1)]; }

} // namespace

double calcMA(const BarVars &st, int n, int s)
{
    // The window's oldest element s+n lies within the bars the tables can hold (1601).
    if (n < 1 || s < -1 || s + n > kBarTableSize - 2 || s + n > st.BarCount) return std::nan("");
    double sum = 0;
    for (int p = s; p < s + n; ++p) sum += closeAt(st, p);
    return sum / n;
}

float calcRSI(const BarVars &st, int16_t n, int16_t s)
{
    if (!enoughBars(st, n, s)) return 0.5f;
    float total = 0, rise = 0;
    for (int p = s + 1; p <= s + n; ++p) {
        const float newer = closeAt(st, p - 1), older = closeAt(st, p);
        const float d = newer - older;
        total += std::fabs(d);
        if (newer > older) rise += d;
    }
    return total != 0 ? rise / total : 0.0f;
}

void rankRCI(std::span<const float> values, std::span<int16_t> ranks, int n)
{
    if (n < 1) return;
    std::vector<int> order(size_t(n) + 1);   // indices sorted by value, ascending
    ranks[1] = 1;
    order[1] = 1;
    for (int i = 2; i <= n; ++i) {
        const float v = values[size_t(i)];
        int k = 1;
        while (k <= i - 1 && v > values[size_t(order[size_t(k)])]) ++k;
        if (k > i - 1) {
            ranks[size_t(i)] = int16_t(i);
            order[size_t(i)] = i;
            continue;
        }
        for (int j = 1; j < i; ++j)
            if (ranks[size_t(j)] >= k) ++ranks[size_t(j)];
        ranks[size_t(i)] = int16_t(k);
        for (int j = i; j > k; --j) order[size_t(j)] = order[size_t(j - 1)];
        order[size_t(k)] = i;
    }
}

float calcRCI(const BarVars &st, int16_t n, int16_t s)
{
    // n = 1 has no denominator; it takes the fallback like too few bars.
    if (n < 2 || !enoughBars(st, n, s)) return 0.0f;
    std::vector<float> v(size_t(n) + 1);
    std::vector<int16_t> r(size_t(n) + 1);
    for (int i = 1; i <= n; ++i) v[size_t(i)] = closeAt(st, s + i - 1);
    rankRCI(v, r, n);
    float d = 0;
    for (int j = 1; j <= n; ++j) {
        const int diff = r[size_t(n - j + 1)] - j;   // D(j) - j, D in time order
        d += float(diff * diff);
    }
    // n*(n*n-1) leaves the 16-bit range from n = 33 and the 32-bit range near n = 1300.
    const long long denom = (long long)n * ((long long)n * n - 1);
    return 1.0f - 6.0f * d / float(denom);
}

float calcKAIRI(const BarVars &st, int16_t n, int16_t s)
{
    if (!enoughBars(st, n, s)) return 1.0f;
    float sum = 0;
    for (int p = s; p <= s + n - 1; ++p) sum += closeAt(st, p);
    if (sum == 0) return 0.0f;
    return closeAt(st, s) / sum * float(n);
}

float calcPSYC(const BarVars &st, int16_t n, int16_t s)
{
    if (!enoughBars(st, n, s)) return 0.5f;
    int count = 0;
    for (int p = s; p <= s + n - 1; ++p)
        if (closeAt(st, p) > closeAt(st, p + 1)) ++count;
    return float(count) / float(n);
}

} // namespace velor
