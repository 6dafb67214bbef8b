#include "app/DemoCommands.h"

#include "app/QuitWatch.h"
#include "common/Clock.h"
#include "common/Quit.h"
#include "common/TextFile.h"
#include "common/Utils.h"
#include "db/Sites.h"
#include "db/State.h"
#include "demo/DemoParameters.h"
#include "demo/DemoServer.h"
#include "demo/JQuantsTwin.h"

#include <QEventLoop>
#include <QTimer>
#include <cstdio>
#include <memory>

namespace velor {

namespace {

void printErr(const QString &text) { std::fprintf(stderr, "%s\n", text.toUtf8().constData()); }

// Takes "--name VALUE" out of args as a whole number in [low, high]: nullopt when absent, an
// error line when the value is missing or out of range.
std::expected<std::optional<int>, QString> takeNumber(QStringList &args, const QString &name, int low, int high)
{
    const int at = int(args.indexOf(name));
    if (at < 0) return std::optional<int>();
    bool ok = false;
    const int v = at + 1 < args.size() ? args[at + 1].toInt(&ok) : 0;
    if (!ok || v < low || v > high)
        return std::unexpected(QStringLiteral("error: %1 は %2 から %3 までの数です。").arg(name).arg(low).arg(high));
    args.remove(at, 2);
    return std::optional<int>(v);
}

// Takes "--name VALUE" out of args as text: nullopt when absent, an error line when the value is
// missing or empty.
std::expected<std::optional<QString>, QString> takeText(QStringList &args, const QString &name)
{
    const int at = int(args.indexOf(name));
    if (at < 0) return std::optional<QString>();
    if (at + 1 >= args.size() || args[at + 1].isEmpty() || args[at + 1].startsWith(QLatin1String("--")))
        return std::unexpected(QStringLiteral("error: %1 の後に値を指定します。").arg(name));
    const QString value = args[at + 1];
    args.remove(at, 2);
    return std::optional<QString>(value);
}

// Runs the event loop until a quit request or, when given, for that many seconds.
void serveUntilQuit(const std::optional<int> &seconds)
{
    QEventLoop loop;
    if (seconds) QTimer::singleShot(*seconds * 1000, &loop, &QEventLoop::quit);
    if (!quitRequested()) loop.exec();
}

// The offline twin of the exchange's data API on the demo market, in the foreground.
int serveJQuantsTwin(const demo::MarketOptions &market, Clock &clock, const demo::TwinOptions &options, int port,
                     const std::optional<int> &seconds)
{
    QuitWatch quitWatch(kQuitGraceMs);
    demo::JQuantsTwin twin(market, clock, options);
    if (!twin.listen(port)) {
        printErr(QStringLiteral("error: 127.0.0.1:%1 で待ち受けできません（%2）。").arg(port).arg(twin.errorText()));
        return 1;
    }
    std::printf("%s\n", qUtf8Printable(twin.baseAddress()));
    std::fflush(stdout);
    QString limits = QStringLiteral("API キー：") + options.apiKey;
    if (options.perMinute > 0) limits += QStringLiteral("、1 分に %1 件まで").arg(options.perMinute);
    printErr(QStringLiteral("info: デモの J-Quants API（v2）を ") + twin.baseAddress() +
             (seconds ? QStringLiteral(" で %1 秒間配信します（%2）。").arg(*seconds).arg(limits)
                      : QStringLiteral(" で配信しています（%1、Ctrl+C で終了）。").arg(limits)));
    serveUntilQuit(seconds);
    twin.close();
    printErr(QStringLiteral("info: 配信を終了しました（%1 件の要求）。").arg(twin.requests()));
    return 0;
}

// A grace far beyond what closing the server takes: the watchdog only matters for a hung ending.

} // namespace

bool isDemoServe(const QStringList &args)
{
    return args.size() >= 2 && args[0] == QLatin1String("serve") && !args[1].startsWith(QLatin1String("--"));
}

std::expected<MovingRequest, QString> takeMovingOptions(QStringList &args)
{
    MovingRequest r;
    if (const int at = int(args.indexOf(QStringLiteral("--moving"))); at >= 0) {
        r.moving = true;
        args.remove(at);
    }
    const auto port = takeNumber(args, QStringLiteral("--port"), 1, 65535);
    if (!port) return std::unexpected(port.error());
    if (*port && !r.moving) return std::unexpected(QStringLiteral("error: --port は --moving と共に指定します。"));
    r.port = port->value_or(demo::kDefaultServerPort);
    return r;
}

std::unique_ptr<demo::DemoServer> startDemoServerFor(const State &st, Clock &clock)
{
    const std::optional<int> port = demo::demoServerPort(st.ProgramDir, st.sites);
    const auto options = demo::readDemoParameters(st.ProgramDir);
    if (!port || !options) return nullptr;
    auto server = std::make_unique<demo::DemoServer>(*options, clock);
    if (!server->listen(*port)) return nullptr;
    return server;
}

std::expected<void, QString> makeFolderMoving(const QString &dir, int port)
{
    // Only the two addresses change; every other line (the split list's among them) stays.
    const QString path = pathIn(dir, QStringLiteral("sites.ini"));
    for (const char *key : {"QuoteUrl", "FuturesUrl"})
        if (auto r = setSitesKey(path, QString::fromLatin1(key), demo::serverBase(port)); !r) return r;
    return {};
}

int demoServeCommand(const CliOptions &o)
{
    QStringList args = o.args.mid(1);
    const int twinAt = int(args.indexOf(QStringLiteral("--jquants")));
    if (twinAt >= 0) args.remove(twinAt);
    const auto port = takeNumber(args, QStringLiteral("--port"), 0, 65535);
    const auto seconds = takeNumber(args, QStringLiteral("--for"), 0, 24 * 3600);
    const auto key = takeText(args, QStringLiteral("--key"));
    const auto pageSize = takeNumber(args, QStringLiteral("--page-size"), 1, 100000);
    const auto rate = takeNumber(args, QStringLiteral("--rate"), 0, 100000);
    if (!port || !seconds || !key || !pageSize || !rate || args.size() != 1) {
        printErr(!port ? port.error() : !seconds ? seconds.error() : !key ? key.error() : !pageSize ? pageSize.error()
                 : !rate ? rate.error() : usageText());
        return 2;
    }
    if (twinAt < 0 && (*key || *pageSize || *rate)) {
        printErr(QStringLiteral("error: --key、--page-size、--rate は --jquants と共に指定します。"));
        return 2;
    }
    const QString dir = args[0];
    const auto options = demo::readDemoParameters(dir);
    if (!options) {
        printErr(QStringLiteral("error: ") + options.error());
        return 1;
    }
    std::unique_ptr<Clock> clock;
    if (!o.now.isEmpty()) clock = std::make_unique<RunningClock>(parseNow(o.now));
    else clock = std::make_unique<SystemClock>();
    if (twinAt >= 0) {
        demo::TwinOptions twin;
        if (*key) twin.apiKey = **key;
        twin.pageSize = pageSize->value_or(twin.pageSize);
        twin.perMinute = rate->value_or(twin.perMinute);
        return serveJQuantsTwin(*options, *clock, twin, port->value_or(demo::kDefaultTwinPort), *seconds);
    }
    // The port the folder's sites.ini names, unless told otherwise.
    const int chosen = port->value_or(
        demo::demoServerPort(dir, readSites(pathIn(dir, QStringLiteral("sites.ini")))).value_or(demo::kDefaultServerPort));
    QuitWatch quitWatch(kQuitGraceMs);
    demo::DemoServer server(*options, *clock);
    if (!server.listen(chosen)) {
        printErr(QStringLiteral("error: 127.0.0.1:%1 で待ち受けできません（%2）。").arg(chosen).arg(server.errorText()));
        return 1;
    }
    std::printf("%s\n", qUtf8Printable(server.baseAddress()));
    std::fflush(stdout);
    printErr(QStringLiteral("info: デモの相場ページを ") + server.baseAddress() +
             (*seconds ? QStringLiteral(" で %1 秒間配信します。").arg(**seconds) : QStringLiteral(" で配信しています（Ctrl+C で終了）。")));
    serveUntilQuit(*seconds);
    server.close();
    printErr(QStringLiteral("info: 配信を終了しました（%1 件のページ要求）。").arg(server.requests()));
    return 0;
}

} // namespace velor
