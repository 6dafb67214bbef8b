// A year's backtest against one whole-market formula screen of the same formula, in the same run:
// the screen (Screens::FormulaScreen, as the ranking window runs it) and the backtest of its
// newest 245 trading days (every price file read once, the formula evaluated at every day from
// it). Prints the medians and their ratio.
#include "DemoMarket.h"
#include "Median.h"
#include "app/Startup.h"
#include "backtest/Backtest.h"
#include "backtest/BacktestSetup.h"
#include "chart/ChartTexts.h"
#include "db/Bars.h"
#include "db/Services.h"
#include "db/State.h"
#include "screen/FormulaScreen.h"
#include "screen/Screens.h"

#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <memory>
#include <cstdlib>
#include <ctime>
#include <vector>

using namespace velor;
using Steady = std::chrono::steady_clock;

namespace {

double msSince(Steady::time_point t0) { return std::chrono::duration<double, std::milli>(Steady::now() - t0).count(); }

// The calling thread's processor time, shown beside the wall times: on a machine shared with
// other work the wall times of both sides stretch unevenly.
double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_backtest PROGRAM_DIR [RUNS] [DAYS] [FORMULA]\n");
        return 2;
    }
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const int days = argc > 3 ? std::max(1, std::atoi(argv[3])) : 245;
    const QString formulaText = argc > 4 ? QString::fromLocal8Bit(argv[4]) : QStringLiteral("CROSS(C, MA(C,25))");
    const auto market = std::make_unique<bench::DemoMarket>();   // big tables: on the heap
    if (!market->load(argv[1], days)) return 1;
    State &st = market->st;
    Services &sv = market->sv;
    if (st.BarCount < days) {
        std::fprintf(stderr, "error: 1001 holds %d days, fewer than %d\n", int(st.BarCount), days);
        return 1;
    }
    BacktestOptions options;
    options.from = st.BarDate[size_t(days)], options.to = st.BarDate[1];
    options.holds = {1, 5, 20};
    options.top = 10;

    FormulaScreenText text;
    text.filter = formulaText;
    auto plan = prepareFormulaScreen(st, text);
    auto prepared = prepareBacktest(st, text, options);
    if (!plan || !prepared) {
        std::fprintf(stderr, "error: %s\n", qPrintable(plan ? prepared.error() : plan.error()));
        return 1;
    }
    MemoryScreenView view;
    Screens screens(st, sv, view);
    BacktestOptions oneThread = prepared->options;
    oneThread.readAhead = false;
    std::vector<double> screenMs, backtestMs, oneThreadMs, screenCpu, oneThreadCpu;
    long long sink = 0;
    for (int r = 0; r < runs; ++r) {
        auto t0 = Steady::now();
        double c0 = threadCpuMs();
        screens.FormulaScreen(*plan);
        screenMs.push_back(msSince(t0));
        screenCpu.push_back(threadCpuMs() - c0);
        sink += view.lines().size();
        t0 = Steady::now();
        auto result = runBacktest(st, prepared->screen, prepared->options);
        backtestMs.push_back(msSince(t0));
        if (!result) {
            std::fprintf(stderr, "error: %s\n", qPrintable(result.error()));
            return 1;
        }
        sink += (long long)result->picks.size();
        t0 = Steady::now();
        c0 = threadCpuMs();
        result = runBacktest(st, prepared->screen, oneThread);
        oneThreadMs.push_back(msSince(t0));
        oneThreadCpu.push_back(threadCpuMs() - c0);
        sink += result ? (long long)result->picks.size() : 0;
    }
    const double s = median(screenMs), b = median(backtestMs), one = median(oneThreadMs);
    std::printf("backtest of %s over %d days and %d stocks: median %.1f ms (reading on one thread with the evaluation: "
                "%.1f ms, ratio %.2f); one whole-market formula screen: median %.1f ms; ratio %.2f (target <= 5)\n",
                qPrintable(formulaText), days, int(st.StockCount), b, one, one / s, s, b / s);
    std::printf("processor time of the thread: backtest on one thread %.1f ms, screen %.1f ms, ratio %.2f\n", median(oneThreadCpu),
                median(screenCpu), median(oneThreadCpu) / median(screenCpu));
    return sink < 0 ? 1 : 0;
}
