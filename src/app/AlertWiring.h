#pragma once
// Connects alerts to the main window: the list popup's "アラートを設定…", the monitor's 通知,
// the minute-bar ticks, and a click on a notification.
namespace velor {

class MainWindow;
class Notifier;
class AlertCenter;

/// Registers "ALERT" (the popup item) and the realtime hooks; wireRealtime must have run.
/// Notifications go to the session bus's service, asked for at the first alert.
void wireAlerts(MainWindow &w);

/// Alerts go to this notifier from now on (tests); null goes back to the desktop's.
void setAlertNotifier(MainWindow &w, Notifier *notifier);
/// The window's alerts (null before wireAlerts).
AlertCenter *alertCenterOf(MainWindow &w);
/// What a click on a notification of `code` does: the main window comes forward on that stock.
void showAlertStock(MainWindow &w, int code);

} // namespace velor
