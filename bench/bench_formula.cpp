// Formula screens against the built-in screens they reproduce, over a whole market in the same
// run: each pair runs alternately RUNS times; medians and their ratio (target <= 1.5).
#include "DemoMarket.h"
#include "Median.h"
#include "app/Startup.h"
#include "chart/ChartTexts.h"
#include "db/Bars.h"
#include "db/Services.h"
#include "db/State.h"
#include "formula/SavedScreens.h"
#include "screen/FormulaScreen.h"
#include "screen/Screens.h"

#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <memory>
#include <functional>

using namespace velor;
using Steady = std::chrono::steady_clock;

namespace {

double msSince(Steady::time_point t0) { return std::chrono::duration<double, std::milli>(Steady::now() - t0).count(); }

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_formula PROGRAM_DIR [RUNS]\n");
        return 2;
    }
    const int runs = argc > 2 ? std::atoi(argv[2]) : 7;
    const auto market = std::make_unique<bench::DemoMarket>();   // big tables: on the heap
    if (!market->load(argv[1], 2)) return 1;
    State &st = market->st;
    Services &sv = market->sv;

    MemoryScreenView view;
    Screens screens(st, sv, view);
    const auto examples = exampleScreens(st.RsiPeriod1, st.RciPeriod1, st.MaWidth2, st.PsyPeriod1);
    auto example = [&](const QString &name) {
        for (const FormulaScreenText &t : examples)
            if (t.name == name) return *prepareFormulaScreen(st, t);
        std::abort();
    };
    struct Pair {
        const char *label;
        std::function<void()> builtIn;
        FormulaScreenPlan formula;
    };
    const Pair pairs[] = {
        {"RSI (rsi / RSI大)", [&] { screens.SRSI(); }, example(QStringLiteral("RSI大"))},
        {"RCI (rci / RCI大)", [&] { screens.SRCI(); }, example(QStringLiteral("RCI大"))},
        {"乖離率 (kairi / 乖離率大)", [&] { screens.SKAIRI(); }, example(QStringLiteral("乖離率大"))},
        {"値幅率 (haba 0 / 値幅率0)", [&] { screens.neHABA(0); }, example(QStringLiteral("値幅率0"))},
    };
    long sink = 0;
    double worst = 0;
    for (const Pair &p : pairs) {
        std::vector<double> b, f;
        for (int r = 0; r < runs; ++r) {
            auto t0 = Steady::now();
            p.builtIn();
            b.push_back(msSince(t0));
            sink += view.lines().size();
            t0 = Steady::now();
            screens.FormulaScreen(p.formula);
            f.push_back(msSince(t0));
            sink += view.lines().size();
        }
        const double mb = median(b), mf = median(f);
        worst = std::max(worst, mf / mb);
        std::printf("%s over %d stocks: built-in median %.2f ms; formula median %.2f ms; ratio %.2f (target <= 1.5)\n",
                    p.label, int(st.StockCount), mb, mf, mf / mb);
    }
    std::printf("formula screens / built-in screens: worst ratio %.2f (target <= 1.5)\n", worst);
    return sink == -1 ? 1 : 0;
}
