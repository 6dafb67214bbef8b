// The price listing of the message pane: one line per drawn bar, newest first.
#include "chart/ChartGeometry.h"
#include "chart/ChartTexts.h"
#include "common/NumText.h"
#include "common/Utils.h"
#include "db/State.h"

#include <cmath>

namespace velor {

namespace {

bool valid(int p) { return p + 1 >= 0 && p + 1 < kBarTableSize; }

QString signedChange(double change, bool integer)
{
    const QString sign = change >= 0 ? QStringLiteral("+") : QStringLiteral("-");
    const double mag = std::fabs(change);
    QString text;
    if (mag == 0) text = QStringLiteral("0");
    else if (integer) text = QString::number((long long)mag);
    else text = formatPattern(mag, QStringLiteral("##########0.#"));
    return sign + text;
}

// Appends the listing line of position p, its change taken against position `against`.
void appendLine(QString &out, const State &st, int p, int against, const QString &volume)
{
    const size_t e = size_t(p + 1), a = size_t(against + 1);
    const bool index = st.CurCode <= 1002;
    auto price = [&](float v) { return index ? QString::number(std::llround(v)) : singleText(v); };
    const double change = index ? double(std::llround(st.BarClose[e]) - std::llround(st.BarClose[a]))
                                : double(st.BarClose[e]) - double(st.BarClose[a]);
    // Appended piece by piece: the listing can run to 1,600 lines on every redraw.
    out.append(QString::number(p)).append(QLatin1Char(',')).append(LngStr(st.BarDate[e])).append(QLatin1Char(','));
    for (float v : {st.BarOpen[e], st.BarHigh[e], st.BarLow[e], st.BarClose[e]}) out.append(price(v)).append(QLatin1Char(','));
    out.append(QLatin1String(" (")).append(signedChange(change, index)).append(QLatin1String("), "));
    out.append(volume).append(QLatin1String("\r\n"));
}

} // namespace

QString priceListing(const State &st)
{
    QString s;
    s.reserve(64 * std::max(1, int(st.DrawEnd) + 2));
    const bool index = st.CurCode <= 1002;
    if (st.CurPeriod != 3) {
        for (int p = st.BarOffset; p < st.DrawEnd && valid(p + 1); ++p) {
            const size_t e = size_t(p + 1);
            if (st.BarDate[e] == 0) continue;
            const QString vol = index ? formatPattern(st.BarVolume[e] / 100, QStringLiteral("###.##"))
                                      : formatPattern(st.BarVolume[e] / 10000, QStringLiteral("######0.###"));
            appendLine(s, st, p, p + 1, vol);
        }
        return s;
    }
    const int from = index ? st.BarOffset + st.DrawEnd : st.DrawEnd;
    const int to = index ? st.BarOffset + 1 : 0;
    for (int p = from; p >= to; --p) {
        if (!valid(p) || !valid(p - 1) || st.BarDate[size_t(p + 1)] == 0) continue;
        const QString vol = index ? doubleText(st.BarVolume[size_t(p + 1)]) : doubleText(minuteVolume(st, p) / 10000);
        appendLine(s, st, p, p - 1, vol);
    }
    return s;
}

} // namespace velor
