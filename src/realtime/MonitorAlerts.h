#pragma once
// Monitor alerts: a stock that enters the top five of one of the monitor's six lists for the
// first time in a day is news; several in one pass make one notification.
#include "common/Notifier.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <set>
#include <utility>
#include <vector>

namespace velor {

struct State;
class SurgeMonitor;

/// A row of a monitor list: list k (1..6), the stock, its score and price in that list.
struct MonitorEntry {
    int list = 0;
    int code = 0;
    QString name;
    double score = 0;
    float price = 0;
};

/// Rows counted as the top of a list.
constexpr int kMonitorAlertTop = 5;
/// Lines of a grouped notification's body; the rest are counted in its last line.
constexpr int kMonitorNoticeLines = 10;

class MonitorAlerts {
public:
    /// The rows of this pass's tops that were not in the same list's top earlier on `day`,
    /// in the order given. A new day forgets the earlier one.
    std::vector<MonitorEntry> newEntries(const QDate &day, const std::vector<MonitorEntry> &tops);

private:
    QDate m_day;
    std::set<std::pair<int, int>> m_seen;   ///< (list, code) seen in a top today
};

/// The first kMonitorAlertTop rows of each list of the monitor's last pass, list 1 to 6.
std::vector<MonitorEntry> monitorTops(const SurgeMonitor &monitor, const State &st);

/// "急騰銘柄（前日比） 1301 極洋 1.052 3150": the list's caption, code, name, score as the list
/// shows it, price.
QString monitorEntryText(const MonitorEntry &e);
/// One notification for all new entries of a pass: "リアルタイム急騰急落（N件）" and one line
/// per entry (at most kMonitorNoticeLines, then "ほかM件"); a click shows the first stock.
Notice monitorNotice(const std::vector<MonitorEntry> &entries);

} // namespace velor
