#pragma once
// The working set: all stocks, a watch list or a result file, loaded by PL222_Click.
#include "lists/ListView.h"

#include <QString>
#include <expected>
#include <vector>

namespace velor {

/// The file of watch list n (1..3) in the program folder: touroku.dat, touroku2.dat, touroku3.dat.
QString watchListPath(const State &st, int n);
/// The message for a missing watch-list file (also used by add, delete and sort).
QString missingWatchListText(int n, const QString &path);
/// The numbers of a watch-list file in order, zeros included. Numbers are separated by line
/// ends, commas or blanks; an empty field between commas reads as 0.
std::expected<std::vector<long long>, QString> readListNumbers(const QString &path);

/// PL222_Click(request): 0 all stocks, 1-3 watch list, 4 result file (asks for it), negative:
/// reload the same kind without asking. Fills the working set, chooses the current stock,
/// refills the list and, unless the program is starting, asks for the chart with the list step.
void PL222_Click(Lists &c, int request);
/// F005_Click(index): the File menu's choice of working set; nothing in the minute period.
void F005_Click(Lists &c, int index);

} // namespace velor
