#include "backtest/BacktestSetup.h"

#include "db/State.h"
#include "screen/FormulaScreen.h"

namespace velor {

std::expected<FormulaScreenText, QString> savedFormulaScreen(const State &st, const QString &name)
{
    auto saved = SavedScreens::load(SavedScreens::pathIn(st.ProgramDir));
    if (!saved) return std::unexpected(saved.error());
    std::optional<FormulaScreenText> found;
    if (const FormulaScreenText *s = saved->find(name)) found = *s;
    if (!found)
        for (const FormulaScreenText &e : exampleScreens(st.RsiPeriod1, st.RciPeriod1, st.MaWidth2, st.PsyPeriod1))
            if (e.name == name) found = e;
    if (!found) return std::unexpected(QStringLiteral("保存したスクリーニング「") + name + QStringLiteral("」はありません。"));
    if (found->scope == ScreenScope::WorkingSet) found->scope = ScreenScope::List1;
    return *found;
}

std::expected<PreparedBacktest, QString> prepareBacktest(const State &st, const FormulaScreenText &text, BacktestOptions options)
{
    auto plan = prepareFormulaScreen(st, text);
    if (!plan) return std::unexpected(plan.error());
    options.bottom = plan->bottom;
    options.entries = plan->entries;
    // The floors every screen applies to its reference bar, for daily bars after the close.
    options.minTurnover = st.FilterTurnoverBase;
    options.minPrice = st.FilterMinPrice;
    options.maxPrice = st.FilterMaxPrice;
    QString title = text.name.isEmpty() ? text.filter : text.name + QStringLiteral("（") + text.filter + QStringLiteral("）");
    title += QStringLiteral("  スコア: ") + (text.score.trimmed().isEmpty() ? QString::fromUtf16(kDefaultScore) : text.score) +
             (plan->bottom ? QStringLiteral("（小さい順）") : QStringLiteral("（大きい順）"));
    return PreparedBacktest{FormulaBacktestScreen(plan->filter, plan->score), std::move(options), title};
}

} // namespace velor
