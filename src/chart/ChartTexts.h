#pragma once
// The texts around the chart that every chart call rewrites: title, status line, name, code,
// information panel, warnings, price listing, and the turnover limits derived on the way.
#include <QDateTime>
#include <QString>

namespace velor {

struct State;

/// What one chart call wrote; the "full" texts only when the mode was not 0.
struct ChartTexts {
    QString title, status, warnings;
    bool full = false;
    QString code, name, panel;
};

/// The first day of the afternoon session that ends at 15:30 (until then it ended at 15:00).
constexpr int32_t kCloseAt1530From = 20241105;
/// Factor of the time of day (HHMM, hour without leading zero) for the live turnover limits on
/// day `yyyymmdd`; false when the time is outside the schedule (the limits then keep their
/// previous values). The last band runs to the close: 15:29 from 2024-11-05, 14:59 before.
bool timeOfDayFactor(int hhmm, double &factor, int32_t yyyymmdd);
/// VolLimitAdj, MinTurnover and RealTurnover for the period, LiveMode/BarOffset and the time.
void updateTurnoverLimits(State &st, const QDateTime &now);

QString windowTitle(const State &st);
/// lblHSTOF.
QString statusLine(const State &st, const QDateTime &now);
/// lblNE: the first five characters of the name, the section and "部".
QString nameLabel(const State &st);
/// lblRSI: prices of the reference bar, change, volume and the fundamentals, CR LF after each line.
QString infoPanel(const State &st);
/// lblCI: "出来高不足" and/or "日付不一致,上場廃止？".
QString warningText(const State &st);
/// The price listing of txtPrice, CR LF after each line.
QString priceListing(const State &st);

} // namespace velor
