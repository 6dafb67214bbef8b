#include "app/BacktestCommand.h"

#include "app/CliSession.h"
#include "app/SplitCommands.h"
#include "backtest/Backtest.h"
#include "backtest/BacktestReport.h"
#include "backtest/BacktestSetup.h"

#include <cstdio>

namespace velor {

namespace {

void printOut(const QString &text) { std::fprintf(stdout, "%s\n", text.toUtf8().constData()); }
void printErr(const QString &text) { std::fprintf(stderr, "%s\n", text.toUtf8().constData()); }

// Arguments that cannot be read: the reason, then how the command is written.
int refuse(const QString &why)
{
    printErr(QStringLiteral("error: ") + why);
    printErr(QStringLiteral("usage: velor [--home DIR] backtest (NAME | --formula \"FILTER\" [--score \"SCORE\"] [--bottom]) "
                            "--from DATE --to DATE [--hold 1,5,20] [--top K] [--csv]"));
    return 1;
}

int failed(const QString &why)
{
    printErr(QStringLiteral("error: ") + why);
    return 1;
}

} // namespace

QString backtestUsage()
{
    return QStringLiteral(
        "  backtest (NAME | --formula \"FILTER\" [--score \"SCORE\"] [--bottom]) --from DATE --to DATE [--hold 1,5,20] [--top K] [--csv]\n"
        "        run a screen as of every trading day of the range and measure its picks (DATE: YYYY-MM-DD or YYYYMMDD)");
}

std::expected<BacktestRequest, QString> parseBacktestArgs(const QStringList &args)
{
    BacktestRequest r;
    bool hasFormula = false, hasScore = false;
    QStringList names;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == QLatin1String("--bottom")) { r.bottom = true; continue; }
        if (a == QLatin1String("--csv")) { r.csv = true; continue; }
        static const QStringList valued{QStringLiteral("--formula"), QStringLiteral("--score"), QStringLiteral("--from"),
                                        QStringLiteral("--to"), QStringLiteral("--hold"), QStringLiteral("--top")};
        if (!valued.contains(a)) {
            if (a.startsWith(QLatin1String("--"))) return std::unexpected(QStringLiteral("不明なオプション ") + a + QStringLiteral(" です。"));
            names << a;
            continue;
        }
        if (i + 1 >= args.size()) return std::unexpected(a + QStringLiteral(" の値がありません。"));
        const QString v = args[++i];
        if (a == QLatin1String("--formula")) r.filter = v, hasFormula = true;
        else if (a == QLatin1String("--score")) r.score = v, hasScore = true;
        else if (a == QLatin1String("--from") || a == QLatin1String("--to")) {
            const int32_t d = dateArg(v);
            if (d == 0) return std::unexpected(a + QStringLiteral(" の ") + v + QStringLiteral(" は日付（YYYY-MM-DD または YYYYMMDD）ではありません。"));
            (a == QLatin1String("--from") ? r.from : r.to) = d;
        } else if (a == QLatin1String("--hold")) {
            const auto holds = parseHolds(v);
            if (!holds) return std::unexpected(QStringLiteral("--hold の ") + v + QStringLiteral(" は日数をカンマで区切ったもの（例 1,5,20）ではありません。"));
            r.holds = *holds;
        } else {
            bool ok = false;
            r.top = v.toInt(&ok);
            if (!ok) return std::unexpected(QStringLiteral("--top の ") + v + QStringLiteral(" は銘柄の数ではありません。"));
        }
    }
    if (names.size() > 1) return std::unexpected(QStringLiteral("保存したスクリーニングの名前は 1 つです（") + names.join(QLatin1Char(' ')) + QStringLiteral("）。"));
    if (!names.isEmpty()) r.name = names.front();
    if (hasFormula && !r.name.isEmpty())
        return std::unexpected(QStringLiteral("保存したスクリーニングの名前と --formula は一緒に使えません。"));
    if (!hasFormula && r.name.isEmpty())
        return std::unexpected(QStringLiteral("保存したスクリーニングの名前か --formula \"条件式\" を指定してください。"));
    if (!hasFormula && (hasScore || r.bottom))
        return std::unexpected(QStringLiteral("--score と --bottom は --formula と一緒に使います（保存したスクリーニングは保存した並べ方で選びます）。"));
    if (r.from == 0 || r.to == 0) return std::unexpected(QStringLiteral("--from と --to で期間を指定してください。"));
    return r;
}

int backtestCommand(const CliOptions &o, const QString &exeDir)
{
    auto r = parseBacktestArgs(o.args);
    if (!r) return refuse(r.error());
    CliSession s(o);
    // A backtest only reads: it runs beside the open window.
    if (!s.open(exeDir, CliSession::Access::Read)) return 1;

    FormulaScreenText text;
    if (!r->name.isEmpty()) {
        auto saved = savedFormulaScreen(s.st, r->name);
        if (!saved) return failed(saved.error());
        text = *saved;
    } else {
        text.filter = r->filter, text.score = r->score, text.bottom = r->bottom;
    }
    BacktestOptions options;
    options.from = r->from, options.to = r->to, options.holds = r->holds, options.top = r->top;
    auto prepared = prepareBacktest(s.st, text, options);
    if (!prepared) return failed(prepared.error());
    // Progress on standard error when that is a terminal, as velor screen shows it.
    const bool tty = stderrIsTerminal();
    int shown = -1;
    auto result = runBacktest(s.st, prepared->screen, prepared->options, [&](int done, int total) {
        s.shell.setProgress(done, total);
        const int percent = total > 0 ? int(100LL * done / total) : 100;
        if (tty && percent != shown) {
            shown = percent;
            std::fprintf(stderr, "\r%d/%d (%d%%)", done, total, percent);
            std::fflush(stderr);
        }
        return true;
    });
    if (tty && shown >= 0) std::fprintf(stderr, "\r%40s\r", "");
    if (!result) return failed(result.error());
    const QStringList lines = r->csv ? backtestCsv(*result) : backtestSummary(*result, prepared->title, prepared->options);
    for (const QString &l : lines) printOut(l);
    std::fflush(stdout);
    if (result->missingFiles > 0)
        printErr(QStringLiteral("warning: データファイルのない銘柄 %1 件は除きました。").arg(result->missingFiles));
    if (!result->unreadable.isEmpty())
        printErr(QStringLiteral("warning: 読めないデータファイル %1 件は除きました（%2").arg(result->unreadable.size()).arg(result->unreadable.front()) +
                 (result->unreadable.size() > 1 ? QStringLiteral(" ほか）。") : QStringLiteral("）。")));
    return s.dialogs.errorCount() > 0 ? 1 : 0;
}

} // namespace velor
