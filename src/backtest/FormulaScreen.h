#pragma once
// A formula screen as the backtest runs it: a filter formula and an optional score formula,
// evaluated over every position of a stock's bars in one pass each.
#include "backtest/Backtest.h"
#include "formula/Formula.h"

#include <QString>
#include <expected>
#include <optional>

namespace velor {

class FormulaScreen final : public BacktestScreen {
public:
    /// Compiles both texts (an empty score: none); the error names which formula, the character
    /// position (1-based) and what is wrong: "条件式の 5 文字目: …".
    static std::expected<FormulaScreen, QString> compile(const QString &filter, const QString &score = {});

    bool hasScore() const override { return m_score.has_value(); }
    void evaluate(const BarVars &tables, int first, int last, std::vector<uint8_t> &pass, std::vector<double> &score) override;

    const formula::Program &filter() const { return m_filter; }

private:
    FormulaScreen(formula::Program filter, std::optional<formula::Program> score)
        : m_filter(std::move(filter)), m_score(std::move(score)) {}
    formula::Program m_filter;
    std::optional<formula::Program> m_score;
};

/// "条件式の 5 文字目: 使えない文字「@」があります" for an error of the formula `which` names.
QString formulaErrorText(const QString &which, const formula::Error &e);

} // namespace velor
