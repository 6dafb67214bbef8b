#include "app/CheckCommand.h"

#include "app/CliSession.h"
#include "db/DataCheck.h"

#include <cstdio>

namespace velor {

namespace {

void printOut(const QString &text) { std::fprintf(stdout, "%s\n", text.toUtf8().constData()); }
void printErr(const QString &text) { std::fprintf(stderr, "%s\n", text.toUtf8().constData()); }

} // namespace

int checkCommand(const CliOptions &o, const QString &exeDir)
{
    if (!o.args.isEmpty()) {
        printErr(QStringLiteral("usage: velor [--home DIR] check"));
        return 2;
    }
    CliSession s(o);
    if (!s.open(exeDir, CliSession::Access::Read)) return 1;
    const DataCheckReport report = checkDataFolder(s.st.DataDir);
    for (const auto &f : report.findings) printOut(findingLine(f));
    // Every kind, with or without findings, so that the summary always has the same lines.
    const auto counts = report.counts();
    for (int k = 0; k < kCheckKinds; ++k) printOut(checkKindName(CheckKind(k)) + QStringLiteral(": ") + QString::number(counts[size_t(k)]));
    std::fflush(stdout);
    if (!report.errors.isEmpty()) {
        for (const auto &e : report.errors) printErr(QStringLiteral("error: ") + e);
        return 1;
    }
    if (!report.findings.empty())
        printErr(QStringLiteral("warning: %1 件の問題が見つかりました。").arg(report.findings.size()));
    else
        printErr(QStringLiteral("info: 問題は見つかりませんでした。"));
    return 0;
}

} // namespace velor
