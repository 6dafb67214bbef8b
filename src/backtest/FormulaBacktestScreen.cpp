#include "backtest/FormulaBacktestScreen.h"

namespace velor {

namespace {

QString errorText(const QString &which, const formula::Error &e)
{
    return which + QStringLiteral("の ") + QString::number(e.position + 1) + QStringLiteral(" 文字目: ") + e.message;
}

} // namespace

std::expected<FormulaBacktestScreen, QString> compileBacktestScreen(const QString &filter, const QString &score)
{
    auto f = formula::compile(filter);
    if (!f) return std::unexpected(errorText(QStringLiteral("条件式"), f.error()));
    auto s = formula::compile(score.trimmed().isEmpty() ? QStringLiteral("TURNOVER") : score);
    if (!s) return std::unexpected(errorText(QStringLiteral("並べ替えの式"), s.error()));
    return FormulaBacktestScreen(std::move(*f), std::move(*s));
}

void FormulaBacktestScreen::evaluate(const BarVars &tables, int first, int last, std::vector<uint8_t> &pass,
                                     std::vector<double> &score)
{
    pass.assign(size_t(last) + 1, 0);
    score.assign(size_t(last) + 1, kNoValue);
    const std::vector<double> f = formula::evaluateRange(m_filter, tables, first, last);
    for (int p = first; p <= last; ++p) pass[size_t(p)] = formula::isTrue(f[size_t(p - first)]);
    const std::vector<double> s = formula::evaluateRange(m_score, tables, first, last);
    for (int p = first; p <= last; ++p) score[size_t(p)] = s[size_t(p - first)];
}

} // namespace velor
