#include "app/ListsCommands.h"

#include "app/CliSession.h"
#include "common/TextFile.h"
#include "common/Utils.h"
#include "lists/ListView.h"
#include "lists/NameSearch.h"
#include "lists/WatchLists.h"
#include "lists/WorkingSet.h"

#include <cstdio>

namespace velor {

namespace {

void printOut(const QString &text) { std::fprintf(stdout, "%s\n", text.toUtf8().constData()); }
void printErr(const QString &text) { std::fprintf(stderr, "%s\n", text.toUtf8().constData()); }

int usage()
{
    printErr(usageText());
    return 2;
}

// A watch-list number 1..3 given as an argument; 0 when it is not one.
int argNumber(const QString &text, int low, int high)
{
    bool ok = false;
    const int v = text.toInt(&ok);
    return ok && v >= low && v <= high ? v : 0;
}

int listCommand(CliSession &s, int n)
{
    const QString path = watchListPath(s.st, n);
    if (!FileExist(path)) {
        s.dialogs.message(missingWatchListText(n, path), Icon::Error);
        return 1;
    }
    auto numbers = readListNumbers(path);
    if (!numbers) {
        s.dialogs.message(numbers.error(), Icon::Error);
        return 1;
    }
    for (long long v : *numbers)
        if (v != 0) printOut(hasLetter(listCode(v)) ? codeText(listCode(v)) : QString::number(v));
    return 0;
}

int addCommand(Lists &l, CliSession &s, int n, int code)
{
    if (entryOf(s.st, code) == 0) {
        s.dialogs.message(QStringLiteral("このコード(") + codeText(code) + QStringLiteral(")の銘柄はありません。"),
                          Icon::Error);
        return 1;
    }
    switch (addToWatchList(l, n, code)) {
    case AddResult::Added: return 0;
    case AddResult::AlreadyListed:
        s.dialogs.message(QStringLiteral("コード ") + codeText(code) + QStringLiteral(" はすでに ") +
                              FileNameOf(watchListPath(s.st, n)) + QStringLiteral(" にあります。"),
                          Icon::Warning);
        return 0;
    default: return 1;
    }
}

int removeCommand(Lists &l, CliSession &s, int n, int code)
{
    switch (removeFromWatchList(l, n, code)) {
    case RemoveResult::Removed: return 0;
    case RemoveResult::LastStockKept:
        s.dialogs.message(QStringLiteral("登録銘柄を空にはできません。") + FileNameOf(watchListPath(s.st, n)) +
                              QStringLiteral(" は変更しませんでした。"),
                          Icon::Warning);
        return 0;
    default: return 1;
    }
}

} // namespace

int searchCommand(const CliOptions &o, const QString &exeDir)
{
    if (o.args.size() != 1 || o.args[0].isEmpty()) return usage();
    CliSession s(o);
    if (!s.open(exeDir, CliSession::Access::Read)) return 1;
    for (const QString &line : searchNames(s.st, o.args[0])) printOut(line);
    return 0;
}

int watchCommand(const CliOptions &o, const QString &exeDir)
{
    const QStringList &a = o.args;
    const QString verb = a.value(0);
    const bool shapeOk = (verb == QLatin1String("list") && a.size() == 2) ||
                         ((verb == QLatin1String("add") || verb == QLatin1String("remove")) && a.size() == 3) ||
                         (verb == QLatin1String("sort") && a.size() == 1);
    if (!shapeOk) return usage();
    const int n = verb == QLatin1String("sort") ? 1 : argNumber(a[1], 1, 3);
    const int code = a.size() == 3 ? codeFromInput(a[2]).value_or(0) : 1;
    if (n == 0 || code == 0) return usage();
    CliSession s(o);
    if (!s.open(exeDir, verb == QLatin1String("list") ? CliSession::Access::Read : CliSession::Access::Write)) return 1;
    s.st.Starting = true;   // no window to draw in
    MemoryListView view;
    Lists l{s.st, s.sv, view};
    if (verb == QLatin1String("list")) return listCommand(s, n);
    if (verb == QLatin1String("add")) return addCommand(l, s, n, code);
    if (verb == QLatin1String("remove")) return removeCommand(l, s, n, code);
    bool ok = true;
    for (int k = 1; k <= 3; ++k) ok = sortWatchList(l, k) && ok;
    return ok ? 0 : 1;
}

} // namespace velor
