#pragma once
// The texts of the ranking window: data rows, the stamp of the title rows and the label.
#include <QString>
#include <cstdint>

namespace velor {

/// The values a data row shows, taken from the reference bar and the bar before it.
struct RowValues {
    int code = 0;
    QString name;       ///< the master's 10-character name
    int section = 0;
    double score = 0;
    float open = 0, high = 0, low = 0, close = 0;
    double volume = 0;
    float prevClose = 0;
};

/// The score as "##########.###" shows it: 12 -> "12.", 0.5 -> ".5", 1.23456 -> "1.235".
QString scoreText(double score);
/// The nine comma-separated fields of a data row.
QString rowText(const RowValues &r);
/// The stamp after every title: period word, the reference date, a blank, the time.
QString stampText(int period, int32_t date, const QString &time);
/// P(v) of the label: v itself up to 100000, else thousands rounded and "k" (250000 -> "250k").
QString priceBandText(int32_t v);
/// The label set when a run starts (three lines joined by CR LF).
QString startLabel(int32_t minPrice, int32_t maxPrice, double minTurnover, const QString &time);
/// The time as stamps and labels show it.
QString timeText(int hour, int minute, int second);

} // namespace velor
