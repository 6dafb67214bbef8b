#pragma once
// A demo folder whose sites name the demo's page server on this machine gets it from the window:
// started with the window, stopped when the program ends.
namespace velor {

class MainWindow;
namespace demo {
class DemoServer;
}

/// Starts the page server when the program folder is a demo folder whose quote or futures pages
/// are at http://127.0.0.1:<port>; a port already taken gets a line in the message pane.
void wireDemoServer(MainWindow &w);

/// The window's page server (null when none runs).
demo::DemoServer *demoServerOf(MainWindow &w);

} // namespace velor
