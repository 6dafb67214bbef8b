#include "screen/RowText.h"

#include "common/NumText.h"
#include "common/StockCode.h"
#include "common/Utils.h"

#include <cmath>

namespace velor {

QString scoreText(double score) { return formatPattern(score, QStringLiteral("##########.###")); }

QString rowText(const RowValues &r)
{
    const QChar comma(u',');
    const QString mark = r.close > r.prevClose ? QStringLiteral("↑")
                         : r.close == r.prevClose ? QStringLiteral("→")
                                                  : QStringLiteral("↓");
    return codeText(r.code) + comma + QLatin1Char('"') + r.name.left(5).leftJustified(5, u' ') +
           QLatin1Char('(') + QString::number(r.section) + QStringLiteral(")\"") + comma + scoreText(r.score) + comma +
           singleText(r.open) + comma + singleText(r.high) + comma + singleText(r.low) + comma +
           singleText(r.close) + comma + doubleText(r.volume / 10000) + comma + mark;
}

QString stampText(int period, int32_t date, const QString &time)
{
    static const char16_t *words[] = {u" 日= ", u" 週= ", u" 月= ", u" 分="};
    const QString word = (period >= 0 && period <= 3) ? QString::fromUtf16(words[period]) : QString();
    return word + QStringLiteral("%1").arg(date, 8, 10, QLatin1Char('0')) + QLatin1Char(' ') + time;
}

QString priceBandText(int32_t v)
{
    if (v <= 100000) return LngStr(v);
    return QString::number(std::llround(v / 1000.0)) + QLatin1Char('k');
}

QString startLabel(int32_t minPrice, int32_t maxPrice, double minTurnover, const QString &time)
{
    return QStringLiteral("絞込最低値、最大値=") + priceBandText(minPrice) + QStringLiteral(", ") +
           priceBandText(maxPrice) + QStringLiteral("\r\n") + QStringLiteral("絞込最低出来高(億円）=") +
           formatPattern(minTurnover / 1e8, QStringLiteral("###0.##")) + QStringLiteral("\r\n") + time;
}

QString timeText(int hour, int minute, int second)
{
    return QStringLiteral("%1:%2:%3").arg(hour).arg(minute, 2, 10, QLatin1Char('0')).arg(second, 2, 10, QLatin1Char('0'));
}

} // namespace velor
