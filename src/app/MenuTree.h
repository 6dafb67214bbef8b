#pragma once
// The main window's menu bar, its two context menus and the toolbar, as data.
#include <QString>
#include <vector>

namespace velor {

struct MenuEntry {
    int depth;            ///< 0 top-level menu, 1 item, 2 submenu item, 3 sub-submenu item
    const char *name;     ///< control name
    int index;            ///< index within an indexed group, -1 for a plain control
    const char16_t *caption;
    const char *shortcut = "";
    bool checked = false;
    bool enabled = true;
};

/// The menu bar in order; the hidden 連続表示 menu (`Rh`) is among them.
const std::vector<MenuEntry> &menuBarEntries();
/// Context menu of the chart (`PU_HST0`).
const std::vector<MenuEntry> &chartPopupEntries();
/// Context menu of the stock list (`PL200`).
const std::vector<MenuEntry> &listPopupEntries();

struct ToolButtonDef {
    const char16_t *caption;
    const char *key;
};
/// The eight toolbar buttons in order.
const std::vector<ToolButtonDef> &toolButtons();
/// The order in which a toolbar click compares keys.
const std::vector<const char *> &toolKeyOrder();

/// "F005:1" for an indexed item, "JIDOU" for a plain one.
QString actionKey(const char *name, int index);

} // namespace velor
