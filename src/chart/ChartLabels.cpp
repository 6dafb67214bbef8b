// The texts printed onto the chart: price and percentage labels, dates, volume, the top line.
#include "chart/ChartPainter.h"

#include "common/NumText.h"
#include "db/State.h"

#include <cmath>

namespace velor {

namespace {

using namespace colours;

QString roundedOr(double v, bool roundIt, const char *pattern)
{
    if (roundIt) return printForm((long long)std::llround(v));
    return formatPattern(v, QString::fromLatin1(pattern));
}

void priceLabels(const State &st, const ChartFrame &f, ChartCanvas &c)
{
    for (int k = 5; k >= 0; --k) {
        const double v = f.axisMin + k * f.step;
        const double y = geo::Y0 - k * geo::Band - 50;
        c.text(50, y, roundedOr(v, v > 10000 || st.CurCode <= 1002, "####.#"), black);
        if (k < 5) {
            const double mid = f.axisMin + (k + 0.5) * f.step;
            c.text(50, geo::Y0 - (k + 0.5) * geo::Band - 50, roundedOr(mid, mid > 10000, "####.#"), black);
        }
        if (f.axisMin == 0) continue;
        QString pct;
        if (st.AxisMode == 2)
            pct = formatPattern(100 * v / f.highest, QStringLiteral("###0.#"));
        else if (st.AxisMode == 1 || f.lowest == 0)
            pct = formatPattern(100 + 100 * k * f.step / f.axisMin, QStringLiteral("###0.#"));
        else
            pct = formatPattern(100 + 100 * k * f.step / f.axisMin, QStringLiteral("###0.0"));
        c.text(600, y, pct + QLatin1Char('%'), red);
    }
}

void dateLabels(const State &st, ChartCanvas &c)
{
    const bool minute = st.CurPeriod == 3;
    const int start = minute ? 0 : st.BarOffset;
    const int every = effectiveDispBars(st.DispBars) / 5;
    const int last = minute ? 1600 : 300;
    const int ref = start + 1 >= 0 ? st.BarDate[size_t(start + 1)] : 0;
    const int chars = int(printForm((long long)ref).size());
    for (int k = 0; k <= 5; ++k) {
        const int p = start + k * every;
        if (p > last || p + 1 >= kBarTableSize) break;
        const int32_t date = st.BarDate[size_t(p + 1)];
        if (date == 0) continue;   // nothing loaded there: no label rather than " 0 "
        c.text(geo::XR - k * geo::Column + 500 - 100 * chars, 7700, printForm((long long)date), black);
    }
}

} // namespace

void paintTexts(const State &st, const ChartFrame &f, ChartCanvas &c)
{
    priceLabels(st, f, c);
    dateLabels(st, c);
    c.text(6650, 4250, QStringLiteral("出来高"), black);
    c.text(6650, 4450, printForm(f.maxVolume / (st.CurCode > 1002 ? 10000 : 100)), black);
    const auto dateAt = [&](int p) { return (p + 1 >= 0 && p + 1 < kBarTableSize) ? st.BarDate[size_t(p + 1)] : 0; };
    const bool index = st.CurCode == 1001;
    const auto price = [&](float v) { return index ? printForm((long long)std::llround(v)) : printForm(double(v)); };
    const QString top = QStringLiteral("表示データ数 =") + printForm((long long)st.DispBars) +
                        QStringLiteral("　移動平均の幅 =") + printForm((long long)st.MaWidth1) + QLatin1Char(',') +
                        printForm((long long)st.MaWidth2) + QStringLiteral(" 　高値：") +
                        printForm((long long)dateAt(f.highPos)) + QLatin1Char(',') + price(f.highest) +
                        QStringLiteral("　安値：") + printForm((long long)dateAt(f.lowPos)) + QLatin1Char(',') +
                        price(f.lowest);
    c.text(100, 100, top, black);
}

} // namespace velor
