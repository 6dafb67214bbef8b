#include "backtest/FormulaBacktestScreen.h"

namespace velor {

void FormulaBacktestScreen::evaluate(const BarVars &tables, int first, int last, std::vector<uint8_t> &pass,
                                     std::vector<double> &score)
{
    pass.assign(size_t(last) + 1, 0);
    score.assign(size_t(last) + 1, kNoValue);
    const std::vector<double> f = formula::evaluateRange(m_filter, tables, first, last);
    int passed = 0;
    for (int p = first; p <= last; ++p) passed += (pass[size_t(p)] = formula::isTrue(f[size_t(p - first)]));
    // Most filters pass few days of a stock: their scores alone are worth computing then.
    if (passed * 8 < last - first + 1) {
        for (int p = first; p <= last; ++p)
            if (pass[size_t(p)]) score[size_t(p)] = formula::evaluate(m_score, tables, p).value_or(kNoValue);
        return;
    }
    const std::vector<double> s = formula::evaluateRange(m_score, tables, first, last);
    for (int p = first; p <= last; ++p) score[size_t(p)] = s[size_t(p - first)];
}

} // namespace velor
