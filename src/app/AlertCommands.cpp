#include "app/AlertCommands.h"

#include "app/CliSession.h"
#include "lists/ListView.h"
#include "realtime/AlertHistory.h"
#include "realtime/AlertReach.h"
#include "realtime/MinuteBars.h"
#include "realtime/SurgeMonitor.h"

#include <cstdio>
#include <optional>

namespace velor {

namespace {

void printOut(const QString &text)
{
    std::fputs(text.toUtf8().constData(), stdout);
    std::fflush(stdout);   // a script reading the lines acts on each as it comes
}
void printErr(const QString &text) { std::fprintf(stderr, "%s\n", text.toUtf8().constData()); }

int failed(const QString &why)
{
    printErr(QStringLiteral("error: ") + why);
    return 1;
}

QString alertUsage()
{
    return QStringLiteral("usage: velor [--home DIR] alert set CODE [--above X] [--below Y] | alert clear CODE | alert list");
}

int usage(const QString &why = {})
{
    if (!why.isEmpty()) printErr(QStringLiteral("error: ") + why);
    printErr(alertUsage());
    return 2;
}

std::optional<int> codeArg(const QString &text)
{
    const auto code = codeFromInput(text);
    return code && isStockCode(*code) ? code : std::nullopt;
}

// Why the words left after the options name no stock; empty when they name one.
QString codeProblem(const QStringList &args)
{
    if (args.isEmpty()) return QStringLiteral("銘柄コードがありません。");
    if (args.size() > 1) return QStringLiteral("余分な引数 ") + args[1] + QStringLiteral(" があります。");
    if (!codeArg(args[0])) return args[0] + QStringLiteral(" は銘柄コードとして読めません。");
    return {};
}

// A level given twice would leave one of them unread.
QString repeatedOption(const QStringList &args)
{
    for (const char *name : {"--above", "--below"})
        if (args.count(QLatin1String(name)) > 1)
            return QLatin1String(name) + QStringLiteral(" が2回あります。価格は一つだけ指定してください。");
    return {};
}

// "--name VALUE" taken out of args as a level; nullopt (with the reason) when it is bad.
std::optional<float> takeLevel(QStringList &args, const QString &name, QString &problem)
{
    const int at = int(args.indexOf(name));
    if (at < 0) return 0.f;
    if (at + 1 >= args.size()) {
        problem = name + QStringLiteral(" に価格がありません。");
        return std::nullopt;
    }
    const QString value = args[at + 1];
    args.remove(at, 2);
    const auto level = parseLevel(value);
    if (!level || *level == 0) problem = name + QStringLiteral(" の ") + value + QStringLiteral(" は価格として読めません。");
    return level && *level > 0 ? level : std::nullopt;
}

bool knownStock(CliSession &s, int code)
{
    if (entryOf(s.st, code) != 0) return true;
    s.dialogs.message(QStringLiteral("このコード(") + codeText(code) + QStringLiteral(")の銘柄はありません。"), Icon::Error);
    return false;
}

int setCommand(CliSession &s, const QString &exeDir, QStringList args)
{
    QString problem = repeatedOption(args);
    if (!problem.isEmpty()) return usage(problem);
    const auto above = takeLevel(args, QStringLiteral("--above"), problem);
    const auto below = problem.isEmpty() ? takeLevel(args, QStringLiteral("--below"), problem) : std::nullopt;
    if (!problem.isEmpty()) return usage(problem);
    if (const QString p = codeProblem(args); !p.isEmpty()) return usage(p);
    const auto code = codeArg(args[0]);
    if (const QString p = levelsProblem(*above, *below); !p.isEmpty()) return usage(p);
    if (!s.open(exeDir, CliSession::Access::Write)) return 1;
    if (!knownStock(s, *code)) return 1;
    // An alert that could never fire is not kept; one that fires only sometimes says when.
    if (const QString never = alertNeverFires(s.st, *code); !never.isEmpty()) return failed(never);
    if (const QString when = alertReachWarning(s.st, *code, onWatchList(s.st, *code)); !when.isEmpty())
        printErr(QStringLiteral("warning: ") + when);
    AlertCenter center(s.st);
    if (auto r = center.reload(); !r) return failed(r.error());
    s.shell.setProgress(1, 3);
    center.prices().set(*code, *above, *below);
    s.shell.setProgress(2, 3);
    if (auto r = center.save(); !r) return failed(r.error());
    s.shell.setProgress(3, 3);
    printOut(alertLine(s.st, *center.prices().find(*code)) + QLatin1Char('\n'));
    return 0;
}

int clearCommand(CliSession &s, const QString &exeDir, const QStringList &args)
{
    if (const QString p = codeProblem(args); !p.isEmpty()) return usage(p);
    const auto code = codeArg(args[0]);
    if (!s.open(exeDir, CliSession::Access::Write)) return 1;
    AlertCenter center(s.st);
    if (auto r = center.reload(); !r) return failed(r.error());
    if (!center.prices().clear(*code)) {
        // Nothing to remove: the stock is without an alert, as asked.
        printErr(QStringLiteral("warning: ") + codeText(*code) + QStringLiteral(" にアラートはありません。"));
        return 0;
    }
    if (auto r = center.save(); !r) return failed(r.error());
    return 0;
}

int listCommand(CliSession &s, const QString &exeDir, const QStringList &args)
{
    if (!args.isEmpty()) return usage();
    if (!s.open(exeDir, CliSession::Access::Read)) return 1;
    AlertCenter center(s.st);
    if (auto r = center.reload(); !r) return failed(r.error());
    // When each last fired, from the log of fired alerts (an unreadable log only loses that).
    auto log = AlertHistory::load(alertLogPath(s.st));
    if (!log) printErr(QStringLiteral("warning: ") + log.error());
    QString out;
    for (const PriceAlert &a : center.prices().alerts()) {
        out += alertLine(s.st, a);
        if (const auto at = log ? log->lastFired(a.code) : std::nullopt)
            out += QStringLiteral(",最終=") + at->toString(QStringLiteral("yyyy-MM-dd HH:mm"));
        out += QLatin1Char('\n');
    }
    printOut(out);
    return 0;
}

} // namespace

int alertCommand(const CliOptions &o, const QString &exeDir)
{
    QStringList args = o.args;
    if (args.isEmpty()) return usage();
    const QString sub = args.takeFirst();
    CliSession s(o);
    if (sub == QLatin1String("set")) return setCommand(s, exeDir, args);
    if (sub == QLatin1String("clear")) return clearCommand(s, exeDir, args);
    if (sub == QLatin1String("list")) return listCommand(s, exeDir, args);
    return usage();
}

QString alertOutput(const std::vector<RaisedAlert> &alerts)
{
    QString out;
    for (const RaisedAlert &a : alerts)
        for (const QString &line : a.lines) out += QStringLiteral("alert: ") + line + QLatin1Char('\n');
    return out;
}

bool printMinuteAlerts(CliSession &s, const MinuteTick &tick)
{
    AlertCenter center(s.st);
    if (auto r = center.reload(); !r) {
        printErr(QStringLiteral("warning: ") + r.error());
        return false;
    }
    const std::vector<RaisedAlert> raised = center.checkPrices(tick.prices);
    printOut(alertOutput(raised));
    if (auto r = recordFired(s.st, hitsOf(raised), s.clock->now()); !r) printErr(QStringLiteral("warning: ") + r.error());
    if (!center.prices().changed()) return true;
    if (auto r = center.save(); !r) {
        printErr(QStringLiteral("warning: ") + r.error());
        return false;
    }
    return true;
}

void attachMonitorAlerts(CliSession &s, SurgeMonitor &monitor, AlertCenter &center)
{
    if (auto r = center.reload(); !r) printErr(QStringLiteral("warning: ") + r.error());
    monitor.onPassLists = [&s, &monitor, &center] {
        printOut(alertOutput(center.monitorPass(monitor, s.clock->now().date(), true)));
    };
}

} // namespace velor
