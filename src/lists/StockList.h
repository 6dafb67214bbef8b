#pragma once
// The stock list beside the chart: its lines and label, the step that keeps the list in step
// with the shown stock, clicks, the code field and the F11/F12 stepping.
#include "lists/ListView.h"

namespace velor {

/// The list line of master entry e: " 1301 " + the first 5 name characters + " (1)".
QString listLine(const State &st, int entry);
/// The label: WorkTitle / WorkCount ( WorkCount + WorkMissing ) 銘柄.
QString listLabel(const State &st);
/// ListSet(count): refills the list with the first `count` entries and sets the label.
void ListSet(Lists &c, int count);

/// The list step of showing a stock (chart with argument 1): selects CurCode's row, falling
/// back to all stocks (volume limit off) when the working set lacks it, and shows the code.
/// The chart calls this before it draws.
void syncListToCurrent(Lists &c);

/// Left button on the stock list at `row` (0-based): shows that stock unless the program is
/// selecting the row itself or the row is a text line.
void List1_LeftClick(Lists &c, int row);
/// Whether the right button may open the list's popup menu (not in the minute period).
bool listPopupAllowed(const State &st);

/// Enter in the code field: shows a known code; an unknown one gives the error message.
/// The current stock changes only when the code is shown.
void txtCODE_Enter(Lists &c);

/// RHyouji_Click(i): 0 selects and shows the next row (F11), 1 the previous one (F12).
void RHyouji_Click(Lists &c, int i);

} // namespace velor
