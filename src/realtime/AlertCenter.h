#pragma once
// Where the monitor and the minute-bar collection hand what they read, and how the alerts
// that come of it reach the user: a desktop notification, else the message pane and a sound.
#include "common/Notifier.h"
#include "realtime/MonitorAlerts.h"
#include "realtime/PriceAlerts.h"

#include <QDate>
#include <QStringList>
#include <expected>
#include <optional>
#include <vector>

namespace velor {

struct State;
struct Services;
class SurgeMonitor;

/// An alert to raise: its notification, and its lines for the message pane and for `alert:`
/// output. Price alerts always show in the message pane; monitor alerts only when no
/// notification service took them.
struct RaisedAlert {
    Notice notice;
    QStringList lines;
    bool price = false;
    std::optional<PriceHit> hit;   ///< the level reached, for a price alert
};

/// The levels reached among these alerts.
std::vector<PriceHit> hitsOf(const std::vector<RaisedAlert> &alerts);

class AlertCenter {
public:
    explicit AlertCenter(State &st) : m_st(st) {}

    /// The price alerts, read from alerts.dat on first use. A file that cannot be read gives
    /// no alerts (and is never written over); loadError() tells why.
    PriceAlerts &prices();
    const QString &loadError() const { return m_loadError; }
    /// Reads alerts.dat again.
    std::expected<void, QString> reload();
    /// Writes alerts.dat with the checked write (never over a file that could not be read).
    std::expected<void, QString> save();

    /// The price alerts of prices read from pages, one alert per level reached.
    std::vector<RaisedAlert> checkPrices(const std::vector<PagePrice> &read);
    /// After a monitor pass: with `notifyOn`, one grouped alert for the stocks new in a top
    /// five today; then the price alerts of the pages the pass read.
    std::vector<RaisedAlert> monitorPass(const SurgeMonitor &monitor, const QDate &day, bool notifyOn);
    /// The monitor rule alone (tests, and the pass above).
    std::optional<RaisedAlert> monitorAlert(const QDate &day, const std::vector<MonitorEntry> &tops);

private:
    State &m_st;
    std::optional<PriceAlerts> m_prices;
    QString m_loadError;
    MonitorAlerts m_monitor;
};

/// The sound of an alert: ALERT.wav of the program folder when there is one, else the
/// completion sound DONE.wav; empty when neither exists (then a beep).
QString alertSoundPath(const State &st);

/// Delivers alerts: to the notifier, the message pane (newest on top, each line after the time
/// "H:mm アラート: ") and, when no service took one, a sound. Never a message box.
class AlertDelivery {
public:
    AlertDelivery(State &st, Services &sv, Notifier &notifier) : m_st(st), m_sv(sv), m_notifier(notifier) {}
    /// True when the notification service took it.
    bool deliver(const RaisedAlert &alert);
    void deliver(const std::vector<RaisedAlert> &alerts)
    {
        for (const RaisedAlert &a : alerts) deliver(a);
    }

private:
    State &m_st;
    Services &m_sv;
    Notifier &m_notifier;
};

} // namespace velor
