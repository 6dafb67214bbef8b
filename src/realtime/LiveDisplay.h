#pragma once
// vec_Click: the live display switched on (1, オン) or off (2, オフ).
namespace velor {

class Shell;
struct State;

/// The check marks of the two menu items after a switch.
struct VecChecks {
    bool on = false;    ///< item 1, オン
    bool off = true;    ///< item 2, オフ
};

/// Index 1: LiveMode on, BarOffset -1, chart(11). Index 2: LiveMode off, BarOffset 0, chart(1).
/// Both put a line break in front of the message pane. Any other index changes nothing and
/// returns the marks of the current LiveMode.
VecChecks vec_Click(State &st, Shell &shell, int index);

} // namespace velor
