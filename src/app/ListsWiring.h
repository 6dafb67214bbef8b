#pragma once
// Connects the main window's stock list, code field, list menus, search window and stock-page
// buttons to the list logic.

namespace velor {

class MainWindow;

/// Registers the handlers PL222, F005, F402, DelM, FSORT, F00551-F00553, F020, tool:search,
/// RHyouji, cmdJMP, Command1, Command3 and the List1 mouse and txtCODE Enter events.
void wireLists(MainWindow &w);

/// The list step of chart(1): selects CurCode in the stock list (falling back to all stocks
/// when the working set lacks it) and shows the code in txtCODE. The chart calls it first.
/// Does nothing when wireLists has not run on this window.
void syncListToCurrent(MainWindow &w);

/// Adds a code to watch list n as the lists' own add command does (other windows' popups).
void addToWatchListOf(MainWindow &w, int n, int code);

} // namespace velor
