#pragma once
// Connects the quote reader, the live-display switch (menu リアルタイム表示), the minute-bar
// switch with Timer2 and the surge/plunge monitor to the main window.
#include <functional>

class QTimer;

namespace velor {

class MainWindow;
class RealWindow;
struct MinuteTick;

/// Gives the window a quote reader (owned by the window from now on) as its LiveQuote and
/// handles "vec" 1 (オン) and 2 (オフ), "funashi" 0/1, "Timer2" (one tick), "ReadMinuteBars"(n)
/// and "F666".
void wireRealtime(MainWindow &w);

/// The monitor window once F666 has opened it (null before).
RealWindow *monitorWindow(MainWindow &w);
/// Timer2 of the window.
QTimer *minuteTimer(MainWindow &w);

/// Called when F666 has made the monitor window (once per main window), and after each
/// minute-bar collection with what it read. wireRealtime must have run.
void setRealtimeHooks(MainWindow &w, std::function<void(RealWindow &)> monitorMade,
                      std::function<void(MinuteTick &)> minuteCollected);

} // namespace velor
