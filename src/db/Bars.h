#pragma once
// Loading the newest bars of the current stock into the bar tables.
#include <cstdint>

namespace velor {

struct State;
struct Services;

/// KDOPN: loads up to n newest bars of CurCode for CurPeriod into positions 1..n of the bar
/// tables, sets BarCount and CurTurnover, and clears the live slot (element 0).
/// A missing file puts "銘柄:code:name のデータファイルがありません" in front of the message pane and
/// sets BarCount to 0; a malformed file does the same with a line naming the file and line, and
/// loads nothing. The live quote is fetched when BarOffset is -1 or QuoteMode is set (n != 1).
void KDOPN(State &st, Services &sv, int n);

} // namespace velor
