// 自作スクリーニング: a filter and a score formula over the market, the working set or a watch
// list, through the same frame, floors, sort and rows as the built-in screens.
#include "screen/FormulaScreen.h"

#include "common/Quit.h"
#include "db/State.h"
#include "lists/ListView.h"
#include "lists/WorkingSet.h"
#include "screen/Screens.h"

#include <algorithm>
#include <set>

namespace velor {

QString formulaErrorText(const QString &which, const formula::Error &e)
{
    return which + QStringLiteral("の ") + QString::number(e.position + 1) + QStringLiteral(" 文字目: ") + e.message;
}

std::expected<FormulaScreenPlan, QString> prepareFormulaScreen(const State &st, const FormulaScreenText &t, int *unknown)
{
    FormulaScreenPlan plan;
    plan.name = t.name;
    plan.bottom = t.bottom;
    plan.rows = t.rows;
    auto filter = formula::compile(t.filter);
    if (!filter) return std::unexpected(formulaErrorText(QStringLiteral("条件式"), filter.error()));
    plan.filter = *filter;
    auto score = formula::compile(t.score.trimmed().isEmpty() ? QString::fromUtf16(kDefaultScore) : t.score);
    if (!score) return std::unexpected(formulaErrorText(QStringLiteral("スコアの式"), score.error()));
    plan.score = *score;
    if (t.rows < 0 || t.rows > kMaxFormulaRows)
        return std::unexpected(QStringLiteral("行数は 0 から ") + QString::number(kMaxFormulaRows) + QStringLiteral(" までです"));
    if (unknown) *unknown = 0;
    std::set<int> entries;
    switch (t.scope) {
    case ScreenScope::Market: return plan;
    case ScreenScope::WorkingSet:
        for (int k = 1; k <= st.WorkCount && size_t(k) < st.WorkSet.size(); ++k) {
            const int e = st.WorkSet[size_t(k)];
            if (e >= 1 && e <= st.StockCount) entries.insert(e);
        }
        break;
    default: {
        const int n = t.scope == ScreenScope::List1 ? 1 : t.scope == ScreenScope::List2 ? 2 : 3;
        const QString path = watchListPath(st, n);
        const auto numbers = readListNumbers(path);
        if (!numbers) return std::unexpected(missingWatchListText(n, path));
        for (long long v : *numbers) {
            const int code = listCode(v);
            if (code == 0) continue;
            const int e = st.entryOf(code);
            if (e >= 1 && e <= st.StockCount) entries.insert(e);
            else if (unknown) ++*unknown;
        }
    }
    }
    plan.entries = std::vector<int>(entries.begin(), entries.end());
    return plan;
}

QString FormulaProblem::text() const
{
    return formulaErrorText(inScore ? QStringLiteral("スコアの式") : QStringLiteral("条件式"), error);
}

std::optional<FormulaProblem> checkFormulas(const FormulaScreenText &t)
{
    if (auto f = formula::compile(t.filter); !f) return FormulaProblem{false, f.error()};
    if (!t.score.trimmed().isEmpty())
        if (auto f = formula::compile(t.score); !f) return FormulaProblem{true, f.error()};
    return std::nullopt;
}

std::vector<OfferedScreen> offeredScreens(const State &st, QString *error)
{
    std::vector<OfferedScreen> out;
    auto saved = SavedScreens::load(SavedScreens::pathIn(st.ProgramDir));
    if (!saved && error) *error = saved.error();
    if (saved)
        for (const FormulaScreenText &t : saved->screens()) out.push_back({t, false});
    for (const FormulaScreenText &t : exampleScreens(st.RsiPeriod1, st.RciPeriod1, st.MaWidth2, st.PsyPeriod1))
        if (!saved || !saved->find(t.name)) out.push_back({t, true});
    return out;
}

std::expected<void, QString> saveFormulaScreen(const QString &programDir, const FormulaScreenText &t)
{
    if (const auto problem = SavedScreens::nameProblem(t.name)) return std::unexpected(*problem);
    if (const auto problem = checkFormulas(t)) return std::unexpected(problem->text());
    const QString path = SavedScreens::pathIn(programDir);
    auto saved = SavedScreens::load(path);
    if (!saved) return std::unexpected(saved.error());
    saved->put(t);
    return saved->save(path);
}

std::expected<void, QString> deleteFormulaScreen(const QString &programDir, const QString &name)
{
    const QString path = SavedScreens::pathIn(programDir);
    auto saved = SavedScreens::load(path);
    if (!saved) return std::unexpected(saved.error());
    if (!saved->remove(name))
        return std::unexpected(QStringLiteral("保存された自作スクリーニング「") + name + QStringLiteral("」はありません。"));
    return saved->save(path);
}

void Screens::FormulaScreen(const FormulaScreenPlan &plan)
{
    run([this, &plan] {
        if (m_st.LiveMode) m_st.QuoteMode = 7;
        const QString name = plan.name.isEmpty() ? QStringLiteral("条件式") : plan.name;
        const QString stamp = BeginScreen(QStringLiteral("自作スクリーニング：") + name);
        const int k = std::clamp(ref(), 0, kBarTableSize - 2);
        const int need = std::min(std::max({plan.filter.barsNeeded(k), plan.score.barsNeeded(k), k + 2}),
                                  kBarTableSize - 2);
        std::vector<int> hits;
        auto examine = [&](int i) {
            Score1[size_t(i)] = 0;
            // The index series write no row.
            if (m_st.CurCode <= 1002) return;
            load(need);
            const float C = m_st.BarClose[size_t(k)];
            // The floors of every screen: price band and turnover of the reference bar.
            if (!admitted(double(C) * m_st.BarVolume[size_t(k)], C)) return;
            if (!formula::isTrue(formula::evaluate(plan.filter, m_st, k))) return;
            const auto s = formula::evaluate(plan.score, m_st, k);
            if (!s) return;
            Score1[size_t(i)] = *s;
            hits.push_back(i);
        };
        if (plan.entries) walkEntries(*plan.entries, examine);
        else walkMaster(examine);
        // The built-in screens' order: ascending as singles, stable in master order; the top is
        // read from the end.
        std::stable_sort(hits.begin(), hits.end(),
                         [this](int a, int b) { return float(Score1[size_t(a)]) < float(Score1[size_t(b)]); });
        const int m = int(hits.size());
        for (int p = 1; p <= m; ++p) RankIndex[size_t(p)] = int16_t(hits[size_t(p - 1)]);
        m_view.clearLines();
        m_view.addLine(QStringLiteral("★") + name + (plan.bottom ? QStringLiteral("（下位）") : QStringLiteral("（上位）")) +
                       QStringLiteral("★　５値 ") + stamp);
        const int rows = plan.rows > 0 ? plan.rows : m_st.RankRows;
        for (int w = 0; w < std::min(rows, m); ++w) {
            const int pos = plan.bottom ? 1 + w : m - w;
            m_st.CurCode = m_st.StockCode[size_t(RankIndex[size_t(pos)])];
            AddRow(Score1, pos);
        }
        EndScreen();
    });
}

bool Screens::walkEntries(const std::vector<int> &entries, const std::function<void(int)> &body)
{
    m_view.setProgressMax(int(entries.size()));
    int done = 0;
    for (int i : entries) {
        progress(++done, false);
        if (quitRequested()) return m_stopped = true, false;
        if (i < 1 || i > m_st.StockCount) continue;
        m_st.CurCode = m_st.StockCode[size_t(i)];
        body(i);
    }
    return true;
}

} // namespace velor
