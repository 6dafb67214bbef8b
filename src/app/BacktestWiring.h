#pragma once
// Connects 検索 → バックテスト to the backtest window, which opens beside the main window.
namespace velor {

class MainWindow;
class BacktestWindow;

/// Registers F_BACKTEST.
void wireBacktest(MainWindow &w);

/// The backtest window once the menu has opened it; null before.
BacktestWindow *backtestWindow(MainWindow &w);

} // namespace velor
