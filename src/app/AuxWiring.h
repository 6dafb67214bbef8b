#pragma once
// The about box, the manual, the link menus of 情報 and the inbox and log shortcuts.
namespace velor {

class MainWindow;

/// Connects バージョン情報, 使い方 (F1), F800/F805/F806, tmpフォルダを開く and ログ・ファイルを開く.
void wireAuxiliary(MainWindow &w);

} // namespace velor
