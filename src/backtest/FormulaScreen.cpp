#include "backtest/FormulaScreen.h"

namespace velor {

QString formulaErrorText(const QString &which, const formula::Error &e)
{
    return which + QStringLiteral("の ") + QString::number(e.position + 1) + QStringLiteral(" 文字目: ") + e.message;
}

std::expected<FormulaScreen, QString> FormulaScreen::compile(const QString &filter, const QString &score)
{
    auto f = formula::compile(filter);
    if (!f) return std::unexpected(formulaErrorText(QStringLiteral("条件式"), f.error()));
    if (score.trimmed().isEmpty()) return FormulaScreen(std::move(*f), std::nullopt);
    auto s = formula::compile(score);
    if (!s) return std::unexpected(formulaErrorText(QStringLiteral("並べ替えの式"), s.error()));
    return FormulaScreen(std::move(*f), std::move(*s));
}

void FormulaScreen::evaluate(const BarVars &tables, int first, int last, std::vector<uint8_t> &pass, std::vector<double> &score)
{
    pass.assign(size_t(last) + 1, 0);
    const std::vector<double> f = formula::evaluateRange(m_filter, tables, first, last);
    for (int p = first; p <= last; ++p) pass[size_t(p)] = formula::isTrue(f[size_t(p - first)]);
    if (!m_score) return;
    score.assign(size_t(last) + 1, kNoValue);
    const std::vector<double> s = formula::evaluateRange(*m_score, tables, first, last);
    for (int p = first; p <= last; ++p) score[size_t(p)] = s[size_t(p - first)];
}

} // namespace velor
