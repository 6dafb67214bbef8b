#pragma once
// Connects the quote reader and the live-display switch (menu リアルタイム表示) to the main window.
namespace velor {

class MainWindow;

/// Gives the window a quote reader (owned by the window from now on) as its LiveQuote and
/// handles "vec" 1 (オン) and 2 (オフ).
void wireRealtime(MainWindow &w);

} // namespace velor
