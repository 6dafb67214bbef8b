#pragma once
// The window's side of recorded splits: 株式分割・併合… under ファイル (a dialog that lists,
// adds and removes them) and 株価調整 under 表示 (bars adjusted or as stored).
namespace velor {

class MainWindow;

void wireSplits(MainWindow &w);

} // namespace velor
