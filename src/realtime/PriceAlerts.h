#pragma once
// Price alerts: per stock a level above and/or below, kept in alerts.dat beside the program
// (CP932, CR LF, one stock a line), and the rule that decides when one fires.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <expected>
#include <optional>
#include <utility>
#include <vector>

namespace velor {

struct State;

/// One stock's alert. A level of 0 is no level. `firedAbove`/`firedBelow`: that level has
/// fired and waits for the price to come back before it may fire again.
struct PriceAlert {
    int code = 0;
    float above = 0, below = 0;
    bool firedAbove = false, firedBelow = false;
};

/// One alert that fired: the price read and the level it reached.
struct PriceHit {
    int code = 0;
    float price = 0, level = 0;
    bool above = true;
};

/// A price read from a stock's page: (code, price).
using PagePrice = std::pair<int, float>;

/// alerts.dat of the program folder.
QString alertsPath(const State &st);

class PriceAlerts {
public:
    /// Reads an alerts file; a missing file holds no alerts. Lines that are not an alert (typed
    /// by hand) are kept as they are and written back unchanged.
    static std::expected<PriceAlerts, QString> load(const QString &path);
    /// The file's bytes: one line per alert "code,name,以上=X,以下=Y" (each level only when set,
    /// then "済=以上"/"済=以下" for a level that has fired), CP932 with CR LF.
    QByteArray bytes(const State &st) const;

    const std::vector<PriceAlert> &alerts() const { return m_alerts; }
    const PriceAlert *find(int code) const;
    /// Sets a stock's levels (0: none), armed; replaces an earlier alert of the stock.
    void set(int code, float above, float below);
    /// Removes a stock's alert; false when it had none.
    bool clear(int code);

    /// Checks one price read for a stock: a level fires when the price is at or beyond it and
    /// it has not fired since the price was last on the other side. A price of 0 (no trade,
    /// page not read) checks nothing.
    std::vector<PriceHit> check(int code, float price);
    /// Whether check() changed what the file holds (a level fired or re-armed) since the last
    /// markSaved().
    bool changed() const { return m_changed; }
    void markSaved() { m_changed = false; }

private:
    std::vector<PriceAlert> m_alerts;
    QList<QByteArray> m_otherLines;   ///< lines that are no alert, as read
    bool m_changed = false;
};

/// A level typed by the user: empty is no level (0); nullopt when it is not a positive price.
std::optional<float> parseLevel(const QString &text);
/// Why two levels cannot make an alert (neither set, or the lower not below the upper);
/// empty when they can.
QString levelsProblem(float above, float below);

/// The line of an alert as the file and `velor alert list` show it.
QString alertLine(const State &st, const PriceAlert &a);
/// "1301 極洋 3250 が 3200 以上になりました" (or "以下").
QString priceHitText(const State &st, const PriceHit &hit);
/// A stock's name without the blanks of its field.
QString shortName(const State &st, int code);

} // namespace velor
