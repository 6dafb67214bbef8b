#pragma once
// The price alerts that fired, kept in alertlog.dat beside alerts.dat (CP932, CR LF, one alert
// a line, "YYYY-MM-DD HH:MM,code,name,以上|以下,level,price"): the day's list survives a restart,
// and the last time each level fired is known. The file holds every alert of the newest day
// and of earlier days only the last one of each stock and side, so it stays small.
#include "realtime/PriceAlerts.h"

#include <QDateTime>
#include <expected>
#include <optional>
#include <vector>

namespace velor {

struct State;

/// One alert that fired, and when.
struct FiredAlert {
    QDateTime at;
    PriceHit hit;
};

/// alertlog.dat of the program folder.
QString alertLogPath(const State &st);

class AlertHistory {
public:
    /// Reads the file; a missing file holds nothing; lines that are no alert are dropped.
    static std::expected<AlertHistory, QString> load(const QString &path);
    /// The file's bytes: the kept alerts, oldest first.
    QByteArray bytes(const State &st) const;

    void add(const FiredAlert &a);
    /// The alerts of one day, newest first.
    std::vector<FiredAlert> ofDay(const QDate &day) const;
    /// When a level of the stock last fired (either side); nothing when it never did.
    std::optional<QDateTime> lastFired(int code) const;

private:
    std::vector<FiredAlert> m_fired;   ///< oldest first
};

/// A row of the day's list: "10:15  1301 極洋  3250 が 3200 以上".
QString firedAlertRow(const State &st, const FiredAlert &a);

/// Adds what fired at `at` to alertlog.dat (checked write).
std::expected<void, QString> recordFired(const State &st, const std::vector<PriceHit> &hits, const QDateTime &at);

} // namespace velor
