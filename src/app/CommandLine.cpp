#include "app/CommandLine.h"

#include "app/AlertCommands.h"
#include "app/BacktestCommand.h"
#include "app/RealtimeCommands.h"
#include "app/ListsCommands.h"
#include "app/ChartCommands.h"
#include "app/DemoCommands.h"
#include "app/ImportCommands.h"
#include "app/ScreenCommands.h"
#include "app/Startup.h"
#include "common/Clock.h"
#include "common/Dialogs.h"
#include "common/Launcher.h"
#include "common/Net.h"
#include "common/Sound.h"
#include "db/Services.h"
#include "db/State.h"
#include "app/SplitCommands.h"
#include "app/CheckCommand.h"
#include "demo/DemoFolder.h"

#include <QFile>
#include <cstdio>

namespace velor {

namespace {

void printErr(const QString &text) { std::fprintf(stderr, "%s\n", text.toUtf8().constData()); }

// Takes "--name VALUE" out of args; false when the value is missing.
bool takeOption(QStringList &args, const QString &name, QString &value, bool &present)
{
    const int at = int(args.indexOf(name));
    if (at < 0) return true;
    present = true;
    if (at + 1 >= args.size()) return false;
    value = args[at + 1];
    args.remove(at, 2);
    return true;
}

int demoCommand(const CliOptions &o, const QString &exeDir)
{
    if (isDemoServe(o.args)) return demoServeCommand(o);
    QStringList args = o.args;
    const auto moving = takeMovingOptions(args);
    if (!moving) {
        printErr(moving.error());
        return 2;
    }
    QString stocks, seed;
    bool hasStocks = false, hasSeed = false;
    // A market as it was before codes with letters, for comparing with folders made then.
    const bool digitsOnly = args.removeAll(QStringLiteral("--digits-only")) > 0;
    if (!takeOption(args, QStringLiteral("--stocks"), stocks, hasStocks) ||
        !takeOption(args, QStringLiteral("--seed"), seed, hasSeed) || args.size() != 1) {
        printErr(usageText());
        return 2;
    }
    demo::MarketOptions mo;
    bool ok = true;
    if (hasStocks) mo.stocks = stocks.toInt(&ok);
    if (!ok || mo.stocks < 0 || mo.stocks > 4398) {
        printErr(QStringLiteral("error: --stocks は 0 から 4398 までの数です。"));
        return 2;
    }
    if (hasSeed) mo.seed = seed.toULongLong(&ok);
    if (!ok) {
        printErr(QStringLiteral("error: --seed は数です。"));
        return 2;
    }
    mo.letterCodes = digitsOnly ? 0 : demo::defaultLetterCodes(mo.stocks);
    mo.splits = !digitsOnly && mo.stocks >= 20;
    auto r = demo::writeDemoFolder(args[0], mo);
    if (!r) {
        printErr(QStringLiteral("error: ") + r.error());
        return 1;
    }
    if (moving->moving)
        if (auto m = makeFolderMoving(args[0], moving->port); !m) {
            printErr(QStringLiteral("error: ") + m.error());
            return 1;
        }
    // The manual built beside the program goes into the demo's program folder too.
    QString manual = exeDir + QStringLiteral("/VELORmanual.pdf");
    if (!QFile::exists(manual)) manual = exeDir + QStringLiteral("/../share/doc/velor/VELORmanual.pdf");   // installed
    const QString manualCopy = args[0] + QStringLiteral("/VELORmanual.pdf");
    if (QFile::exists(manual) && !QFile::exists(manualCopy) && !QFile::copy(manual, manualCopy)) {
        printErr(QStringLiteral("error: マニュアル ") + manualCopy + QStringLiteral(" を書けませんでした。"));
        return 1;
    }
    printErr(QStringLiteral("info: デモ用のフォルダー ") + args[0] + QStringLiteral(" を作成しました。"));
    return 0;
}

} // namespace

QString usageText()
{
    return QStringLiteral(
        "usage: velor [--home DIR] [--now \"YYYY-MM-DD HH:MM\"] [--yes] [COMMAND]\n"
        "       velor --version | --help\n"
        "  (no command) [--screenshot FILE]   open the main window (or grab it to a PNG after start-up)\n"
        "  demo DIR [--stocks N] [--seed S] [--digits-only] [--moving [--port N]]   write a demo program folder\n"
        "                               (--digits-only: no codes with letters, the market of earlier versions;\n"
        "                                --moving: its quote pages come from the page server, which the window starts)\n"
        "  demo serve DIR [--port N] [--for SECONDS]   serve the demo folder's quote pages as the day goes on\n"
        "  demo serve DIR --jquants [--port N] [--for SECONDS] [--key K] [--page-size N] [--rate N]\n"
        "                               serve the demo market as the J-Quants API (v2) on 127.0.0.1 (port 47502)\n"
        "  quote CODE [--mode 0|1|7|11] [--offset N]   read the stock's quote page and print its values\n"
        "  monitor [--passes N] [--wait W] [--notify]   run the surge/plunge monitor and print its six lists\n"
        "                               (--notify: print each alert as \"alert: ...\" as it is raised)\n"
        "  minute collect | minute show CODE   collect one minute of bars / print a stock's minute bars\n"
        "  alert set CODE [--above X] [--below Y] | alert clear CODE | alert list   price alerts (alerts.dat)\n"
        "  split add CODE YYYY-MM-DD OLD:NEW | split remove CODE YYYY-MM-DD | split list   recorded splits (split.dat)\n"
        "  check                        check every price file of the database\n"
        "  search KEYWORD               list the stocks whose name holds the keyword\n"
        "  watch list N | add N CODE | remove N CODE | sort   the watch lists 1-3\n"
        "  import                       import the inbox\n"
        "  init DIR [--source site|jquants] [--plan free|light|standard|premium] [--api-url URL]\n"
        "                               make an empty program folder for the chosen price source\n"
        "  download [--yes] [--since YYYY-MM-DD]   fetch the new days from the price source and import them\n"
        "                               (--since: the first day of a first fill from the J-Quants API)\n") + chartUsage() + QLatin1Char('\n') + screenUsage() +
           QLatin1Char('\n') + backtestUsage();
}

std::expected<CliOptions, QString> parseCommandLine(const QStringList &arguments)
{
    CliOptions o;
    QStringList rest = arguments.mid(1);
    bool present = false;
    if (!takeOption(rest, QStringLiteral("--home"), o.home, present)) return std::unexpected(usageText());
    present = false;
    if (!takeOption(rest, QStringLiteral("--now"), o.now, present)) return std::unexpected(usageText());
    if (present && !parseNow(o.now).isValid())
        return std::unexpected(QStringLiteral("error: --now は \"YYYY-MM-DD HH:MM\" の形で指定してください。"));
    present = false;
    if (!takeOption(rest, QStringLiteral("--screenshot"), o.screenshot, present)) return std::unexpected(usageText());
    if (const int y = int(rest.indexOf(QStringLiteral("--yes"))); y >= 0) {
        o.yes = true;
        rest.remove(y);
    }
    if (!rest.isEmpty() && !rest[0].startsWith(QLatin1String("--"))) o.command = rest.takeFirst();
    else if (!rest.isEmpty()) return std::unexpected(usageText());
    o.args = rest;
    return o;
}

int runCommand(const CliOptions &o, const QString &exeDir)
{
    if (o.command == QLatin1String("demo")) return demoCommand(o, exeDir);
    if (o.command == QLatin1String("quote")) return quoteCommand(o, exeDir);
    if (o.command == QLatin1String("monitor")) return monitorCommand(o, exeDir);
    if (o.command == QLatin1String("minute")) return minuteCommand(o, exeDir);
    if (o.command == QLatin1String("alert")) return alertCommand(o, exeDir);
    if (o.command == QLatin1String("search")) return searchCommand(o, exeDir);
    if (o.command == QLatin1String("watch")) return watchCommand(o, exeDir);
    if (o.command == QLatin1String("chart")) return chartCommand(o, exeDir);
    if (o.command == QLatin1String("export")) return exportCommand(o, exeDir);
    if (o.command == QLatin1String("import")) return importCommand(o, exeDir);
    if (o.command == QLatin1String("download")) return downloadCommand(o, exeDir);
    if (o.command == QLatin1String("init")) return initCommand(o);
    if (o.command == QLatin1String("screen")) return screenCommand(o, exeDir);
    if (o.command == QLatin1String("split")) return splitCommand(o, exeDir);
    if (o.command == QLatin1String("check")) return checkCommand(o, exeDir);
    if (o.command == QLatin1String("backtest")) return backtestCommand(o, exeDir);
    printErr(usageText());
    return 2;
}

} // namespace velor
