#pragma once
// The three watch lists: add, delete, sort, open in the editor. Every rewrite is atomic.
#include "lists/ListView.h"

namespace velor {

enum class AddResult { Added, AlreadyListed, NoStock, Failed };

/// Adds `code` to watch list n (1..3). A code of 0 (a text line) does nothing. A code already
/// listed beeps unless `quietBeep`, and changes nothing. Otherwise the code is appended (the
/// file is created when missing), the list becomes the working set and the stock is shown.
AddResult addToWatchList(Lists &c, int n, int code, bool quietBeep = false);
/// F402_Click(n): adds the stock of the selected list row; no beep while minute bars show.
void F402_Click(Lists &c, int n);

enum class RemoveResult { Removed, LastStockKept, Missing, Failed };

/// Removes every occurrence of `code` from watch list n and reloads it as the working set.
/// A list is never emptied: when nothing would remain the file stays as it was.
RemoveResult removeFromWatchList(Lists &c, int n, int code);
/// DelM_Click: removes the selected stock from the watch list that is the working set; beeps
/// when the working set was not chosen as a watch list.
void DelM_Click(Lists &c);

/// Sorts watch list n ascending (codes of 1000 or less left out, duplicates kept). False with
/// the message shown when the file is missing or cannot be rewritten.
bool sortWatchList(Lists &c, int n);
/// FSORT_Click: sorts lists 1, 2 and 3, then reloads watch list 1 as the working set.
void FSORT_Click(Lists &c);

/// F00551..F00553: opens watch list n in the text editor (an empty file is made first when
/// missing, so that the user can type a new list).
void openWatchListInEditor(Lists &c, int n);

/// The codes of a watch list as they are written: one number print form per line, CR LF.
QByteArray watchListBytes(const std::vector<long long> &codes);

} // namespace velor
