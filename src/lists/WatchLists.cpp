#include "lists/WatchLists.h"

#include "common/NumText.h"
#include "common/TextFile.h"
#include "common/Launcher.h"
#include "common/Utils.h"
#include "lists/SortByValue.h"
#include "lists/WorkingSet.h"

#include <algorithm>
#include <cstdlib>

namespace velor {

QByteArray watchListBytes(const std::vector<long long> &codes)
{
    QByteArray out;
    for (long long v : codes) out += listForm(v).toLatin1() + "\r\n";
    return out;
}

AddResult addToWatchList(Lists &c, int n, int code, bool quietBeep)
{
    if (code == 0) return AddResult::NoStock;
    State &st = c.st;
    st.ListChoice = int16_t(n);
    const QString path = watchListPath(st, n);
    QByteArray bytes;
    if (FileExist(path)) {
        auto numbers = readListNumbers(path);
        auto old = readBytes(path);
        if (!numbers || !old) {
            c.sv.dialogs.message(numbers ? old.error() : numbers.error(), Icon::Error);
            return AddResult::Failed;
        }
        if (std::find(numbers->begin(), numbers->end(), listValue(code)) != numbers->end()) {
            if (!quietBeep) c.sv.sound.beep();
            return AddResult::AlreadyListed;
        }
        bytes = *old;
        // A hand-typed list may lack the final line end; the new code must not join that line.
        if (!bytes.isEmpty() && !bytes.endsWith('\n')) bytes += "\r\n";
    }
    bytes += watchListBytes({listValue(code)});
    if (auto r = saveBytes(path, bytes); !r) {
        c.sv.dialogs.message(r.error(), Icon::Error);
        return AddResult::Failed;
    }
    PL222_Click(c, n);
    st.CurCode = code;
    c.sv.shell.redrawChart(1);
    return AddResult::Added;
}

void F402_Click(Lists &c, int n)
{
    addToWatchList(c, n, codeOfLine(c.view.rowText(c.view.currentRow())), c.st.MinuteBarsOn);
}

RemoveResult removeFromWatchList(Lists &c, int n, int code)
{
    const QString path = watchListPath(c.st, n);
    if (!FileExist(path)) {
        c.sv.dialogs.message(missingWatchListText(n, path), Icon::Warning);
        return RemoveResult::Missing;
    }
    auto numbers = readListNumbers(path);
    if (!numbers) {
        c.sv.dialogs.message(numbers.error(), Icon::Error);
        return RemoveResult::Failed;
    }
    std::vector<long long> kept;
    for (long long v : *numbers)
        if (v != listValue(code)) kept.push_back(v);
    RemoveResult result = RemoveResult::LastStockKept;
    if (!kept.empty()) {
        if (auto r = saveBytes(path, watchListBytes(kept)); !r) {
            c.sv.dialogs.message(r.error(), Icon::Error);
            return RemoveResult::Failed;
        }
        result = RemoveResult::Removed;
    }
    PL222_Click(c, n);
    return result;
}

void DelM_Click(Lists &c)
{
    State &st = c.st;
    const int row = c.view.currentRow();
    // A reload of the same list (the volume switch, an import) records its request as negative;
    // the list shown is still that watch list.
    const int n = std::abs(st.ListChoice);
    // A text line or no selection names no stock either.
    if (n < 1 || n > 3 || st.WorkKind != n || row < 0 || row + 1 > st.WorkCount || st.WorkSet[size_t(row + 1)] < 1) {
        c.sv.sound.beep();
        return;
    }
    removeFromWatchList(c, n, st.StockCode[size_t(st.WorkSet[size_t(row + 1)])]);
}

bool sortWatchList(Lists &c, int n)
{
    const QString path = watchListPath(c.st, n);
    if (!FileExist(path)) {
        c.sv.dialogs.message(missingWatchListText(n, path), Icon::Warning);
        return false;
    }
    auto numbers = readListNumbers(path);
    if (!numbers) {
        c.sv.dialogs.message(numbers.error(), Icon::Error);
        return false;
    }
    // Sorted in the exchange's order of codes; numbers that are no code keep their numeric order.
    std::vector<long long> kept(1, 0);
    std::vector<double> value(1, 0.0);
    for (long long v : *numbers)
        if (v != 0) {
            kept.push_back(v);
            const int code = listCode(v);
            value.push_back(code ? double(codeOrderKey(code)) : v < 0 ? double(v) : double(kCodeSpace) + double(v));
        }
    const int count = int(value.size()) - 1;
    std::vector<int32_t> index(size_t(count) + 1, 0);   // a list may hold more than 32,767 lines
    SortByValue(value, index, count);
    std::vector<long long> sorted;
    for (int k = 1; k <= count; ++k)
        if (const long long v = kept[size_t(index[size_t(k)])]; v > 1000) sorted.push_back(v);
    if (auto r = saveBytes(path, watchListBytes(sorted)); !r) {
        c.sv.dialogs.message(r.error(), Icon::Error);
        return false;
    }
    return true;
}

void FSORT_Click(Lists &c)
{
    for (int n = 1; n <= 3; ++n) sortWatchList(c, n);
    PL222_Click(c, -1);
}

void openWatchListInEditor(Lists &c, int n)
{
    const QString path = watchListPath(c.st, n);
    if (!FileExist(path)) {
        if (auto r = saveBytes(path, {}); !r) {
            c.sv.dialogs.message(r.error(), Icon::Error);
            return;
        }
    }
    if (!c.sv.launcher.openInEditor(path))
        c.sv.dialogs.message(launchFailedText(LaunchKind::Editor, path), Icon::Error);
}

} // namespace velor
