#pragma once
// Connects every subsystem to the main window, in the order the program needs.
namespace velor {

class MainWindow;

/// A demo folder's page server first, then the quote reader (the chart's loads use it), then lists,
/// chart, import and the links.
void wireSubsystems(MainWindow &w);

} // namespace velor
