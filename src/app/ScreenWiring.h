#pragma once
// Connects the screen launchers of the main window (検索 / ランキング / 絞り込み menus and the
// toolbar's ranking button) to the ranking window.
namespace velor {

class MainWindow;
class RankingWindow;

/// Registers F14, tool:ranking, F175, F151A, F141, F230, F235, F236, F237, F757, F758, F_EPS,
/// F_BPS, F747, F751, F759, cmdMIN, cmdMIN2, F220A and F221.
void wireScreens(MainWindow &w);

/// The ranking window once a launcher has created it; null before.
RankingWindow *rankingWindow(MainWindow &w);

} // namespace velor
