#pragma once
// Ending the program at any moment. The close box, 終了 and the desktop's SIGTERM/SIGHUP ask the
// whole process to end; every wait and every long loop checks the request and gives up at its
// next step, so that no nested event loop keeps a process without a window alive.
namespace velor {

/// Whether the program has been asked to end.
bool quitRequested();

/// Asks the program to end: every event loop running returns, later ones return at once, and
/// the waits and long commands that check quitRequested() stop at their next step. Calls the
/// observer (the emergency exit's watchdog) each time.
void requestQuit();

/// Called by requestQuit(); main() arms its watchdog with it. Null clears it.
void setQuitObserver(void (*observer)());

/// Forgets a request, so that one process can run several lives (tests).
void clearQuitRequest();

} // namespace velor
