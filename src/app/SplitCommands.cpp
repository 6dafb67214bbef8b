#include "app/SplitCommands.h"

#include "app/CliSession.h"
#include "common/StockCode.h"
#include "common/TextFile.h"
#include "db/CorporateActions.h"
#include "lists/ListView.h"

#include <QDate>
#include <cstdio>

namespace velor {

namespace {

void printOut(const QString &text) { std::fprintf(stdout, "%s\n", text.toUtf8().constData()); }
void printErr(const QString &text) { std::fprintf(stderr, "%s\n", text.toUtf8().constData()); }

int usage(const QString &why = {})
{
    if (!why.isEmpty()) printErr(QStringLiteral("error: ") + why);
    printErr(QStringLiteral("usage: velor [--home DIR] split add CODE YYYY-MM-DD OLD:NEW | split remove CODE YYYY-MM-DD | split list"));
    return 2;
}

int failed(const QString &why)
{
    printErr(QStringLiteral("error: ") + why);
    return 1;
}

QString dateText(int32_t d) { return QStringLiteral("%1-%2-%3").arg(d / 10000).arg(d / 100 % 100, 2, 10, QLatin1Char('0')).arg(d % 100, 2, 10, QLatin1Char('0')); }

} // namespace

int32_t dateArg(const QString &text)
{
    QDate d = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
    if (!d.isValid()) d = QDate::fromString(text, QStringLiteral("yyyyMMdd"));
    return d.isValid() ? d.year() * 10000 + d.month() * 100 + d.day() : 0;
}

int splitCommand(const CliOptions &o, const QString &exeDir)
{
    const QStringList &a = o.args;
    const QString verb = a.value(0);
    const bool shapeOk = (verb == QLatin1String("add") && a.size() == 4) || (verb == QLatin1String("remove") && a.size() == 3) ||
                         (verb == QLatin1String("list") && a.size() == 1);
    if (!shapeOk) return usage();
    CorporateAction action;
    if (verb != QLatin1String("list")) {
        const auto code = codeFromInput(a[1]);
        if (!code) return usage(a[1] + QStringLiteral(" は銘柄コードではありません。"));
        action.code = *code;
        action.exDate = dateArg(a[2]);
        if (action.exDate == 0) return usage(a[2] + QStringLiteral(" は日付（YYYY-MM-DD）ではありません。"));
        if (verb == QLatin1String("add")) {
            const auto ratio = parseRatio(a[3]);
            if (!ratio) return usage(a[3] + QStringLiteral(" は比率（分割前:分割後、例 1:5）ではありません。"));
            if (ratio->first == ratio->second) return usage(a[3] + QStringLiteral(" では株数が変わりません。"));
            action.before = ratio->first, action.after = ratio->second;
        }
    }
    CliSession s(o);
    if (!s.open(exeDir, verb == QLatin1String("list") ? CliSession::Access::Read : CliSession::Access::Write)) return 1;
    const QString path = actionsPath(s.st.DataDir);
    CorporateActions table;
    if (auto r = table.load(path); !r) return failed(r.error());
    if (verb == QLatin1String("list")) {
        for (const auto &x : table.all()) printOut(codeText(x.code) + QLatin1Char(',') + dateText(x.exDate) + QLatin1Char(',') + ratioText(x));
        if (table.unreadableLines() > 0)
            printErr(QStringLiteral("warning: ") + path + QStringLiteral(" の読めない行 %1 行は使わずにそのまま残しています。").arg(table.unreadableLines()));
        return 0;
    }
    const QString what = codeText(action.code) + QStringLiteral(" の ") + dateText(action.exDate);
    if (verb == QLatin1String("add")) {
        if (entryOf(s.st, action.code) == 0) return failed(QStringLiteral("このコード(") + codeText(action.code) + QStringLiteral(")の銘柄はありません。"));
        if (!table.add(action)) {
            printErr(QStringLiteral("warning: ") + what + QStringLiteral(" の分割・併合は既に記録されています（変更しませんでした）。"));
            return 0;
        }
    } else if (!table.remove(action.code, action.exDate)) {
        printErr(QStringLiteral("warning: ") + what + QStringLiteral(" の分割・併合は記録されていません。"));
        return 0;
    }
    if (auto r = saveBytes(path, table.bytes()); !r) return failed(r.error());
    if (verb == QLatin1String("add")) printOut(codeText(action.code) + QLatin1Char(',') + dateText(action.exDate) + QLatin1Char(',') + ratioText(action));
    return 0;
}

} // namespace velor
