#pragma once
// Connects every subsystem to the main window, in the order the program needs.
namespace velor {

class MainWindow;

/// Quote reader first (the chart's loads use it), then lists, chart, import and the links.
void wireSubsystems(MainWindow &w);

} // namespace velor
