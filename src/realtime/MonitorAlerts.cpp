#include "realtime/MonitorAlerts.h"

#include "common/NumText.h"
#include "db/State.h"
#include "lists/ListView.h"
#include "realtime/PriceAlerts.h"
#include "realtime/SurgeMonitor.h"

namespace velor {

std::vector<MonitorEntry> MonitorAlerts::newEntries(const QDate &day, const std::vector<MonitorEntry> &tops)
{
    if (day != m_day) {
        m_day = day;
        m_seen.clear();
    }
    std::vector<MonitorEntry> out;
    for (const MonitorEntry &e : tops)
        if (m_seen.insert({e.list, e.code}).second) out.push_back(e);
    return out;
}

std::vector<MonitorEntry> monitorTops(const SurgeMonitor &monitor, const State &st)
{
    std::vector<MonitorEntry> out;
    for (int k = 1; k <= 6; ++k) {
        const QStringList &rows = monitor.lists()[size_t(k)];
        for (qsizetype r = 0; r < rows.size() && r < kMonitorAlertTop; ++r) {
            const int code = codeOfLine(rows[r]);
            const int i = entryOf(st, code);
            if (i <= 0 || size_t(i) >= monitor.RealScore.size()) continue;
            // Lists 1, 3 and 5 rank rises, 2, 4 and 6 falls: a stock that did not move that way
            // (a ratio of 1 or the other side of it) fills a row but is no news.
            const double score = monitor.RealScore[size_t(i)][size_t(k)];
            if (k % 2 == 1 ? !(score > 1) : !(score < 1)) continue;
            out.push_back({k, code, shortName(st, code), score, monitor.RealPrice[size_t(i)][size_t(k)]});
        }
    }
    return out;
}

QString monitorEntryText(const MonitorEntry &e)
{
    const QStringList captions = monitorCaptions();
    const QString caption = e.list >= 1 && e.list <= 6 ? captions[e.list - 1] : QString();
    return caption + QLatin1Char(' ') + codeText(e.code) + QLatin1Char(' ') + e.name + QLatin1Char(' ') +
           formatPattern(e.score, QStringLiteral("#.###")) + QLatin1Char(' ') + singleText(e.price);
}

Notice monitorNotice(const std::vector<MonitorEntry> &entries)
{
    Notice n;
    n.summary = QStringLiteral("リアルタイム急騰急落（%1件）").arg(entries.size());
    QStringList lines;
    for (size_t i = 0; i < entries.size() && i < size_t(kMonitorNoticeLines); ++i) lines << monitorEntryText(entries[i]);
    if (entries.size() > size_t(kMonitorNoticeLines))
        lines << QStringLiteral("ほか%1件").arg(entries.size() - size_t(kMonitorNoticeLines));
    n.body = lines.join(QLatin1Char('\n'));
    n.code = entries.empty() ? 0 : entries.front().code;
    return n;
}

} // namespace velor
