#include "lists/WorkingSet.h"

#include "common/TextFile.h"
#include "common/Utils.h"
#include "lists/StockList.h"

#include <QFileInfo>
#include <cstdlib>

namespace velor {

namespace {

// What a request gathers before it replaces the working set.
struct Gathered {
    std::vector<long long> values;   // codes; below 1 a text line
    QStringList texts;               // the text lines of a result file, in order
    QString title;
    QString file;                    // WorkFile after loading
    int kind = 0;
};

const char16_t *const kWatchTitles[] = {u"登録銘柄", u"登録銘柄２", u"登録銘柄３"};
const char16_t *const kWatchFiles[] = {u"touroku.dat", u"touroku2.dat", u"touroku3.dat"};

void gatherAll(const State &st, Gathered &g)
{
    g.kind = 0;
    g.title = QStringLiteral("全銘柄");
    g.values.clear();
    g.texts.clear();
    for (int i = 1; i <= st.StockCount; ++i) g.values.push_back(listValue(st.StockCode[size_t(i)]));
}

// A result file: each line's leading number is its code; 0 marks a text line kept as it stands.
std::expected<void, QString> gatherResultFile(const QString &path, Gathered &g)
{
    auto lines = readLinesCp932(path);
    if (!lines) return std::unexpected(lines.error());
    for (const QString &line : *lines) {
        // The plain leading number: a digit in a name field must not join the code.
        const long long v = leadingCode(line);
        const long long code = (v >= 1 && v <= 32767) || listCode(v) != 0 ? v : 0;
        g.values.push_back(code);
        if (code < 1) g.texts << line;
    }
    g.title = FileNameOf(path);
    return {};
}

// The kind 4 part: false when the operation ends with nothing changed.
bool gatherResult(Lists &c, int request, Gathered &g)
{
    State &st = c.st;
    const QString folder = pathIn(st.ProgramDir, QStringLiteral("VEDAT"));
    ChDirTo(folder);
    QString file = st.WorkFile;
    if (request > 0) {
        file = c.sv.dialogs.openFile(QStringLiteral("検索／ランキング／絞り込み結果ファイルの指定"), folder, {});
        if (file.isEmpty()) return false;
    }
    g.kind = 4;
    g.file = file;
    if (!FileExist(file)) {
        // A reload of a result file removed meanwhile: the same fall-back as a missing watch list.
        c.sv.dialogs.message(QStringLiteral("検索／ランキング／絞り込み結果ファイル：　") + file +
                                 QStringLiteral(" がありません。"), Icon::Warning);
        gatherAll(st, g);
        return true;
    }
    if (auto r = gatherResultFile(file, g); !r) {
        c.sv.dialogs.message(r.error(), Icon::Error);
        return false;
    }
    return true;
}

void gatherWatchList(Lists &c, int kind, Gathered &g)
{
    const QString path = watchListPath(c.st, kind);
    if (kind == 1) g.file = path;
    auto numbers = FileExist(path) ? readListNumbers(path)
                                   : std::unexpected(missingWatchListText(kind, path));
    if (!numbers) {
        c.sv.dialogs.message(numbers.error(), Icon::Warning);
        gatherAll(c.st, g);
        return;
    }
    g.kind = kind;
    g.values = std::move(*numbers);
    g.title = QString::fromUtf16(kWatchTitles[kind - 1]);
}

// Step 4: the stock to show after loading.
void chooseCurrent(State &st, int request)
{
    if (request < 1 && entryOf(st, st.LastCode) > 0) {
        st.CurCode = st.LastCode;
        return;
    }
    // The first stock entry: the second line when the first is a heading, and so on. A set
    // without any stock keeps the current stock (the list step then falls back to all stocks).
    for (int k = 1; k <= st.WorkCount; ++k)
        if (st.WorkSet[size_t(k)] > 0) {
            st.CurCode = st.StockCode[size_t(st.WorkSet[size_t(k)])];
            return;
        }
}

void build(Lists &c, const Gathered &g)
{
    State &st = c.st;
    const size_t limit = size_t(std::max<int>(st.MaxStocks, 1));
    if (g.kind != 0 && g.values.size() > limit)
        c.sv.dialogs.message(QStringLiteral("%1 件を超える分は読み込みません。").arg(limit), Icon::Warning);
    st.WorkSet.assign(1, 0);
    st.WorkMissing = 0;
    size_t textLines = 0;
    for (size_t i = 0; i < g.values.size() && (g.kind == 0 || i < limit); ++i) {
        const long long v = g.values[i];
        if (v < 1) {
            st.WorkSet.push_back(-999);
            ++textLines;
        } else if (const int e = st.entryOf(listCode(v)); e > 0) {
            st.WorkSet.push_back(int16_t(e));
        } else {
            ++st.WorkMissing;
        }
    }
    st.WorkCount = int16_t(st.WorkSet.size() - 1);
    st.WorkText = g.texts.mid(0, qsizetype(textLines));
    st.WorkKind = int16_t(g.kind);
    st.WorkTitle = g.title;
    if (g.kind == 4 || (g.kind == 1 && !g.file.isEmpty())) st.WorkFile = g.file;
}

} // namespace

QString watchListPath(const State &st, int n)
{
    return pathIn(st.ProgramDir, QString::fromUtf16(kWatchFiles[std::clamp(n, 1, 3) - 1]));
}

QString missingWatchListText(int n, const QString &path)
{
    const QString head = n == 2 ? QStringLiteral("銘柄登録ファイル２：　")
                       : n == 3 ? QStringLiteral("銘柄登録ファイル３：　")
                                : QStringLiteral("銘柄登録ファイル：　");
    return head + path + QStringLiteral(" がありません。");
}

std::expected<std::vector<long long>, QString> readListNumbers(const QString &path)
{
    auto bytes = readBytes(path);
    if (!bytes) return std::unexpected(bytes.error());
    std::vector<long long> out;
    for (const QByteArray &line : splitLines(withoutByteOrderMark(*bytes))) {
        const QList<QByteArray> fields = line.split(',');
        for (const QByteArray &field : fields) {
            const QList<QByteArray> words = field.simplified().split(' ');
            if (fields.size() == 1 && words.size() == 1 && words[0].isEmpty()) continue;   // empty line
            for (const QByteArray &w : words) out.push_back(leadingCode(QString::fromLatin1(w)));
        }
    }
    return out;
}

void PL222_Click(Lists &c, int request)
{
    const int kind = std::abs(request);
    if (kind > 4) return;
    Gathered g;
    if (kind == 0) gatherAll(c.st, g);
    else if (kind <= 3) gatherWatchList(c, kind, g);
    else if (!gatherResult(c, request, g)) return;   // cancelled: nothing changes
    State &st = c.st;
    st.ListChoice = int16_t(request);
    st.AllStocks = kind == 0;
    build(c, g);
    chooseCurrent(st, request);
    ListSet(c, st.WorkCount);
    if (!st.Starting) c.sv.shell.redrawChart(1);
}

void F005_Click(Lists &c, int index)
{
    if (c.st.CurPeriod == 3) return;
    PL222_Click(c, index);
}

} // namespace velor
