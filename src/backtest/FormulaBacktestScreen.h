#pragma once
// A formula screen as the backtest runs it: a filter formula and a score formula, each evaluated
// over every position of a stock's bars in one pass.
#include "backtest/Backtest.h"
#include "formula/Formula.h"

#include <QString>
#include <algorithm>
#include <expected>

namespace velor {

class FormulaBacktestScreen final : public BacktestScreen {
public:
    FormulaBacktestScreen(formula::Program filter, formula::Program score)
        : m_filter(std::move(filter)), m_score(std::move(score)) {}

    bool hasScore() const override { return true; }
    int lookback() const override { return std::max(m_filter.lookback(), m_score.lookback()); }
    void evaluate(const BarVars &tables, int first, int last, std::vector<uint8_t> &pass, std::vector<double> &score) override;

private:
    formula::Program m_filter, m_score;
};

} // namespace velor
