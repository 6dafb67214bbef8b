#include "app/ImportCommands.h"

#include "app/CliSession.h"
#include "app/QuitWatch.h"
#include "import/AutoDownload.h"
#include "import/DailyImport.h"

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

int downloadCommand(const CliOptions &o, const QString &exeDir) { return run(o, exeDir, JIDOU); }

} // namespace velor
