// The formula language: compiling any text and evaluating it on a small table. The first byte
// chooses how many bars the table holds; the rest is the text (UTF-8).
#include "FuzzSupport.h"
#include "formula/Formula.h"

#include <cmath>

using namespace velor;

namespace {

// Bars with zero volumes, equal closes, a zero close and a huge one: the edges of every function.
BarVars table(int count)
{
    BarVars b;
    for (int p = 0; p <= count + 1 && p < kBarTableSize; ++p) {
        const float c = p % 7 == 3 ? 0.0f : p % 11 == 5 ? 3.0e38f : float(100 + (p * 37) % 23 - (p % 3 == 0 ? 11 : 0));
        b.BarClose[size_t(p)] = c;
        b.BarOpen[size_t(p)] = c + 1, b.BarHigh[size_t(p)] = c + 5, b.BarLow[size_t(p)] = c - 5;
        b.BarVolume[size_t(p)] = p % 4 == 0 ? 0 : 1000.0 * p;
    }
    b.BarCount = int16_t(count);
    return b;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1) return 0;
    const int count = data[0] % 41;
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const auto p = formula::compile(text);
    if (!p) {
        VELOR_FUZZ_CHECK(p.error().position >= 0 && p.error().position <= text.size());
        VELOR_FUZZ_CHECK(!p.error().message.isEmpty());
        return 0;
    }
    VELOR_FUZZ_CHECK(p->lookback() >= 0 && p->lookback() < kBarTableSize - 2);
    const BarVars b = table(count);
    const std::vector<double> all = formula::evaluateRange(*p, b, 0, count + 2);
    VELOR_FUZZ_CHECK(all.size() == size_t(count + 3));
    for (int s = 0; s <= count + 2; ++s) {
        const auto v = formula::evaluate(*p, b, s);
        const double r = all[size_t(s)];
        // One position alone and the whole range agree; values are finite or absent.
        VELOR_FUZZ_CHECK(bool(v) == !std::isnan(r));
        if (v) VELOR_FUZZ_CHECK(std::isfinite(*v) && *v == r);
        if (s > count) VELOR_FUZZ_CHECK(!v);
    }
    // No value at a bar reads a newer one.
    if (count >= 4) {
        BarVars spoilt = b;
        for (int q = 0; q < 3; ++q) spoilt.BarClose[size_t(q)] = -1, spoilt.BarVolume[size_t(q)] = 7;
        const auto x = formula::evaluate(*p, b, 3), y = formula::evaluate(*p, spoilt, 3);
        VELOR_FUZZ_CHECK(bool(x) == bool(y) && (!x || *x == *y));
    }
    return 0;
}
