#include "lists/StockList.h"

#include "common/Utils.h"

namespace velor {

QString listLine(const State &st, int entry)
{
    return QStringLiteral(" ") + codeText(st.StockCode[size_t(entry)]) + QStringLiteral(" ") +
           st.StockName[size_t(entry)].left(5) + QStringLiteral(" (") + NumStr(st.StockSection[size_t(entry)]) +
           QStringLiteral(")");
}

QString listLabel(const State &st)
{
    return st.WorkTitle + QStringLiteral(" / ") + QString::number(st.WorkCount) + QStringLiteral(" ( ") +
           QString::number(st.WorkCount + st.WorkMissing) + QStringLiteral(" ) 銘柄");
}

void ListSet(Lists &c, int count)
{
    const State &st = c.st;
    QStringList lines;
    qsizetype text = 0;
    for (int k = 1; k <= count && k < int(st.WorkSet.size()); ++k) {
        const int e = st.WorkSet[size_t(k)];
        // A text line of a watch list (a zero in the file) has no text: it shows empty.
        if (e < 1) lines << (text < st.WorkText.size() ? st.WorkText[text++] : QString());
        else lines << listLine(st, e);
    }
    c.view.setLines(lines);
    c.view.setLabel(listLabel(st));
}

namespace {

int rowOfCurrent(const State &st)
{
    for (int k = 1; k <= st.WorkCount; ++k) {
        const int e = st.WorkSet[size_t(k)];
        if (e > 0 && st.StockCode[size_t(e)] == st.CurCode) return k;
    }
    return 0;
}

void showAllStocks(Lists &c)
{
    State &st = c.st;
    st.WorkSet.assign(size_t(st.StockCount) + 1, 0);
    for (int i = 1; i <= st.StockCount; ++i) st.WorkSet[size_t(i)] = int16_t(i);
    st.WorkCount = st.StockCount;
    st.WorkMissing = 0;
    st.WorkKind = 0;
    st.WorkTitle = QStringLiteral("全銘柄");
    st.VolFilterOn = false;
    c.view.setVolumeCaption(QStringLiteral("出来高制限無"));
    ListSet(c, st.StockCount);
}

} // namespace

void syncListToCurrent(Lists &c)
{
    State &st = c.st;
    st.CurIndex = entryOf(st, st.CurCode);
    int k = rowOfCurrent(st);
    if (k == 0) {
        c.sv.shell.prependMessage(QStringLiteral("★この銘柄 (") + codeText(st.CurCode) +
                                  QStringLiteral(")はリストボックスにありません。全銘柄をロードして再検索します★\r\n"));
        showAllStocks(c);
        k = rowOfCurrent(st);
    }
    if (k > 0) {
        st.CurIndex = st.WorkSet[size_t(k)];
        st.ListSyncing = true;
        c.view.setCurrentRow(k - 1);
        st.ListSyncing = false;
    }
    c.view.setCodeText(codeText(st.CurCode));
}

void List1_LeftClick(Lists &c, int row)
{
    State &st = c.st;
    if (st.ListSyncing || row < 0 || row + 1 > st.WorkCount) return;
    const int e = st.WorkSet[size_t(row + 1)];
    if (e < 1) return;
    st.CurIndex = e;
    st.CurCode = st.StockCode[size_t(e)];
    c.sv.shell.clearMessages();
    c.sv.shell.redrawChart(1);
}

bool listPopupAllowed(const State &st) { return st.CurPeriod != 3; }

void txtCODE_Enter(Lists &c)
{
    // "130a" is taken as 130A; anything else as before, by its leading number.
    const auto code = codeFromInput(c.view.codeText());
    const long long typed = code ? *code : leadingNumber(c.view.codeText());
    if (entryOf(c.st, typed) > 0) {
        c.st.CurCode = int(typed);
        c.sv.shell.redrawChart(1);
        return;
    }
    c.sv.dialogs.message(QStringLiteral("このコード(") + (code ? codeText(*code) : QString::number(typed)) +
                             QStringLiteral(")の銘柄はありません。"),
                         Icon::Error);
}

void RHyouji_Click(Lists &c, int i)
{
    const int l = c.view.currentRow();
    const int n = c.view.rowCount();
    int target = -1;
    if (i == 0 && l + 1 < n) target = l + 1;
    else if (i == 1 && l >= 1) target = l - 1;
    if (target < 0) return;
    c.view.setCurrentRow(target);
    List1_LeftClick(c, target);
}

} // namespace velor
