#pragma once
// Connects the import menu items of the main window.

namespace velor {

class MainWindow;

/// SHUDOU (manual import of the inbox) and JIDOU (automatic download, F2).
void wireImport(MainWindow &w);

} // namespace velor
