#include "app/ImportCommands.h"

#include "app/CliSession.h"
#include "app/CommandLine.h"
#include "app/FirstRun.h"
#include "app/QuitWatch.h"
#include "db/Sites.h"
#include "import/AutoDownload.h"
#include "import/DailyImport.h"
#include "import/JQuantsClient.h"
#include "import/JQuantsDownload.h"
#include "import/JQuantsData.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QUrl>

#include <cstdio>
#include <functional>

namespace velor {

namespace {

// The pane holds the newest line on top; a terminal reads best oldest first.
void printPane(const QString &pane)
{
    QStringList lines = pane.split(QStringLiteral("\r\n"));
    for (auto it = lines.crbegin(); it != lines.crend(); ++it)
        if (!it->isEmpty()) std::printf("%s\n", it->toUtf8().constData());
    std::fflush(stdout);
}

int run(const CliOptions &o, const QString &exeDir, const std::function<bool(State &, Services &)> &body)
{
    if (!o.args.isEmpty()) {
        std::fprintf(stderr, "%s\n", usageText().toUtf8().constData());
        return 2;
    }
    // SIGTERM, SIGHUP or Ctrl+C: the work ends within moments, the locks go with it, and the
    // exit says what was left (the journal finishes an import cut short at the next run).
    QuitWatch watch(kQuitGraceMs, true);
    CliSession session(o);
    if (!session.open(exeDir)) return 1;
    const State &st = session.st;
    QuitWatch::watchLockFile(st.ProgramDir + QStringLiteral("velor.lock"));
    QuitWatch::watchLockFile(st.DataDir + QStringLiteral("velor.lock"));
    QuitWatch::watchJournal(st.DataDir + QStringLiteral("VELOR.jnl"));
    const bool ok = body(session.st, session.sv);
    printPane(session.shell.messages());
    // One rule for scripts: 1 exactly when an error was said (a run that only skipped something,
    // or found nothing to do, says so as a warning and succeeds).
    const int errors = session.dialogs.errorCount(), warnings = session.dialogs.warningCount();
    if (!ok && errors == 0 && warnings == 0) std::fprintf(stderr, "error: %s\n", "取り込みを完了できませんでした。");
    return errors > 0 || (!ok && warnings == 0) ? 1 : 0;
}

} // namespace

int importCommand(const CliOptions &o, const QString &exeDir) { return run(o, exeDir, SHUDOU); }

int downloadCommand(const CliOptions &o, const QString &exeDir)
{
    QCommandLineParser p;
    const QCommandLineOption sinceOption(QStringLiteral("since"), QString(), QStringLiteral("YYYY-MM-DD"));
    p.addOption(sinceOption);
    if (!p.parse(QStringList{QStringLiteral("download")} + o.args) || !p.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "%s\n", usageText().toUtf8().constData());
        return 2;
    }
    int32_t since = 0;
    if (p.isSet(sinceOption)) {
        since = jq::apiDate(p.value(sinceOption));
        if (since == 0 || p.value(sinceOption).size() != 10) {
            std::fprintf(stderr, "error: --since は YYYY-MM-DD の形で指定して下さい。\n");
            return 2;
        }
    }
    CliOptions rest = o;
    rest.args.clear();
    return run(rest, exeDir, [since](State &st, Services &sv) {
        if (since != 0 && !st.sites.usesJQuants()) {
            sv.dialogs.report(QStringLiteral("--since は株価の取得元が J-Quants API（sites.ini の PriceSource=jquants）のときに使えます。"),
                              Icon::Error, true);
            return false;
        }
        return downloadPrices(st, sv, since);
    });
}

int initCommand(const CliOptions &o)
{
    QCommandLineParser p;
    const QCommandLineOption source(QStringLiteral("source"), QString(), QStringLiteral("site|jquants"), QStringLiteral("site"));
    const QCommandLineOption plan(QStringLiteral("plan"), QString(), QStringLiteral("plan"), QStringLiteral("free"));
    const QCommandLineOption url(QStringLiteral("api-url"), QString(), QStringLiteral("URL"));
    p.addOptions({source, plan, url});
    if (!p.parse(QStringList{QStringLiteral("init")} + o.args) || p.positionalArguments().size() != 1) {
        std::fprintf(stderr, "%s\n", usageText().toUtf8().constData());
        return 2;
    }
    const QString kind = p.value(source).toLower();
    const auto chosenPlan = jq::planFromText(p.value(plan));
    const QUrl address(p.value(url));
    QString refused;
    if (kind != QLatin1String("site") && kind != QLatin1String("jquants"))
        refused = QStringLiteral("--source は site か jquants です。");
    else if (!chosenPlan)
        refused = QStringLiteral("--plan は free、light、standard、premium のどれかです。");
    else if (p.isSet(url) && (!address.isValid() || (address.scheme() != QLatin1String("http") && address.scheme() != QLatin1String("https"))))
        refused = QStringLiteral("--api-url は http:// か https:// で始まるアドレスです。");
    else if ((p.isSet(plan) || p.isSet(url)) && kind != QLatin1String("jquants"))
        refused = QStringLiteral("--plan と --api-url は --source jquants と共に指定します。");
    if (!refused.isEmpty()) {
        std::fprintf(stderr, "error: %s\n", refused.toUtf8().constData());
        return 2;
    }
    const QString dir = QDir(p.positionalArguments()[0]).absolutePath();
    // Never over a program folder someone uses: its settings and database stay as they are.
    if (QFile::exists(dir + QStringLiteral("/VELOR.ini"))) {
        std::fprintf(stderr, "error: %s\n",
                     (dir + QStringLiteral(" にはすでにプログラムフォルダーがあります（VELOR.ini）。何も変えていません。")).toUtf8().constData());
        return 1;
    }
    if (auto r = writeEmptyProgramFolder(dir); !r) {
        std::fprintf(stderr, "error: %s\n", r.error().toUtf8().constData());
        return 1;
    }
    if (kind == QLatin1String("jquants")) {
        QList<std::pair<QString, QString>> keys{{QStringLiteral("PriceSource"), QStringLiteral("jquants")},
                                                {QStringLiteral("JQuantsPlan"), jq::planText(*chosenPlan)}};
        if (p.isSet(url)) keys.push_back({QStringLiteral("JQuantsBaseUrl"), p.value(url)});
        if (auto r = setSitesKeys(dir + QStringLiteral("/sites.ini"), keys); !r) {
            std::fprintf(stderr, "error: %s\n", r.error().toUtf8().constData());
            return 1;
        }
    }
    std::printf("%s\n", qUtf8Printable(QStringLiteral("プログラムフォルダー %1 を作りました。").arg(dir)));
    if (kind == QLatin1String("jquants"))
        std::printf("%s\n", qUtf8Printable(QStringLiteral("最初の取り込み: velor --home %1 download --since YYYY-MM-DD --yes"
                                                           "（API キーは環境変数 JQUANTS_API_KEY か「設定…」で保存したもの）").arg(dir)));
    return 0;
}

} // namespace velor
