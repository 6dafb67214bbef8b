#include "chart/ChartCursor.h"

#include "chart/ChartPainter.h"
#include "common/NumText.h"
#include "db/State.h"

#include <algorithm>
#include <cmath>

namespace velor {

namespace {

constexpr Rgb kCrossColour{255, 128, 0};   // apart from every colour the chart itself uses
constexpr double kLineTwips = 180;         // one text line of the box (the chart's text is 150 high)
constexpr double kPadTwips = 60;
constexpr double kGapTwips = 150;          // between the point and the box
// Widths of a half-width and a full-width character of the chart's type, rounded up: the box is
// measured without a font, so it errs on the wide side.
constexpr double kNarrowTwips = 85, kWideTwips = 160;

bool inTables(int p) { return p + 1 >= 0 && p + 1 < kBarTableSize; }

double textWidth(const QString &s)
{
    double w = 0;
    for (QChar ch : s) w += ch.unicode() < 0x100 ? kNarrowTwips : kWideTwips;
    return w;
}

QString dateText(const ChartSnapshot &s, int p)
{
    if (p < 0) return QStringLiteral("現在値");
    const int32_t d = s.bars.BarDate[size_t(p + 1)];
    auto two = [](int v) { return QString::number(v).rightJustified(2, QLatin1Char('0')); };
    if (s.minute)   // MMDDHHMM
        return two(d / 1000000) + QLatin1Char('/') + two(d / 10000 % 100) + QLatin1Char(' ') + two(d / 100 % 100) +
               QLatin1Char(':') + two(d % 100);
    return QString::number(d / 10000) + QLatin1Char('/') + two(d / 100 % 100) + QLatin1Char('/') + two(d % 100);
}

// The value of one indicator line as people quote it: RSI, RCI and サイコロ in percent,
// 乖離率 as the signed distance from the average in percent.
QString indicatorValue(int indicator, float v)
{
    if (indicator == 2) {
        const double pct = (double(v) - 1) * 100;
        return (pct >= 0 ? QStringLiteral("+") : QString()) + formatPattern(pct, QStringLiteral("##0.0%"));
    }
    return formatPattern(double(v) * 100, QStringLiteral("##0.0"));
}

QString indicatorLine(const ChartSnapshot &s, int16_t n, int p)
{
    const QString head = QString::fromUtf16(s.osc.name) + QLatin1Char('(') + QString::number(n) + QStringLiteral(") ");
    // The painter ends a line where the loaded bars do not reach its window; so does the box.
    const int last = s.frame.loaded < s.bars.BarCount ? s.frame.loaded - n - 1 : s.frame.drawEnd;
    if (p > last || p < s.barOffset) return head + QStringLiteral("－");
    return head + indicatorValue(s.indicator, s.osc.calc(s.bars, n, int16_t(p)));
}

} // namespace

ChartSnapshot snapshotOf(const State &st, const ChartFrame &f)
{
    ChartSnapshot s;
    s.bars = st;
    s.frame = f;
    s.valid = true;
    s.minute = st.CurPeriod == 3;
    s.index = st.CurCode <= 1002;
    s.barOffset = st.BarOffset;
    s.indicator = std::clamp<int>(st.IndicatorSel, 0, 3);
    s.osc = oscillatorFor(st);
    return s;
}

QPointF toTwips(QPointF widgetPoint, QSizeF size)
{
    if (size.width() <= 0 || size.height() <= 0) return {-1, -1};
    return {widgetPoint.x() * kChartTwipsWidth / size.width(), widgetPoint.y() * kChartTwipsHeight / size.height()};
}

std::optional<int> barAt(const ChartSnapshot &s, double x)
{
    if (!s.valid) return std::nullopt;
    const ChartFrame &f = s.frame;
    if (f.pitch <= 0) return std::nullopt;
    // Column of position i: from R(i) - pitch to R(i).
    const double right0 = f.R(f.first);
    const double columns = std::floor((right0 - x) / f.pitch);
    if (!(columns >= 0 && columns < kBarTableSize)) return std::nullopt;   // right of the columns, or far beyond any bar
    const int p = f.first + int(columns);
    if (!inTables(p)) return std::nullopt;
    const size_t e = size_t(p + 1);
    if (s.minute) {
        // The minute chart walks one slot past its last record, which stays empty.
        if (p > f.drawEnd || (s.bars.BarHigh[e] == 0 && s.bars.BarLow[e] == 0)) return std::nullopt;
        return p;
    }
    if (p < s.barOffset || p > f.drawEnd - 1) return std::nullopt;
    if (p >= 0 ? s.bars.BarDate[e] == 0 : s.bars.BarClose[e] == 0) return std::nullopt;
    return p;
}

CursorReadout readoutAt(const ChartSnapshot &s, QPointF twips)
{
    CursorReadout r;
    // Over the two panes only: the texts around them are not bars.
    if (twips.y() < geo::Y0 - geo::H || twips.y() > geo::IndBottom || twips.x() < geo::X0) return r;
    const std::optional<int> at = barAt(s, twips.x());
    if (!at) return r;
    const int p = *at;
    const size_t e = size_t(p + 1);
    const BarVars &b = s.bars;
    auto price = [&](float v) { return s.index ? QString::number(std::llround(v)) : singleText(v); };
    const double volume = s.minute ? minuteVolume(b, p) : b.BarVolume[e];
    r.shown = true;
    r.position = p;
    r.x = s.frame.centre(p);
    r.y = twips.y();
    r.lines = {dateText(s, p),
               QStringLiteral("始値 ") + price(b.BarOpen[e]),
               QStringLiteral("高値 ") + price(b.BarHigh[e]),
               QStringLiteral("安値 ") + price(b.BarLow[e]),
               QStringLiteral("終値 ") + price(b.BarClose[e]),
               QStringLiteral("出来高 ") + formatPattern(volume, QStringLiteral("#,##0")),
               indicatorLine(s, s.osc.n1, p),
               indicatorLine(s, s.osc.n2, p)};
    double w = 0;
    for (const QString &l : r.lines) w = std::max(w, textWidth(l));
    w += 2 * kPadTwips;
    const double h = double(r.lines.size()) * kLineTwips + 2 * kPadTwips;
    // Beside the point, on the side where it fits, and always whole on the surface.
    double left = twips.x() + kGapTwips, top = twips.y() + kGapTwips;
    if (left + w > kChartTwipsWidth) left = twips.x() - kGapTwips - w;
    if (top + h > kChartTwipsHeight) top = twips.y() - kGapTwips - h;
    left = std::clamp(left, 0.0, std::max(0.0, kChartTwipsWidth - w));
    top = std::clamp(top, 0.0, std::max(0.0, kChartTwipsHeight - h));
    r.box = QRectF(left, top, w, h);
    return r;
}

void paintCrosshair(const CursorReadout &r, ChartCanvas &c)
{
    if (!r.shown) return;
    c.clip(0, 0);
    c.setPenWidth(1);
    c.setPenStyle(PenStyle::Solid);
    c.line(r.x, geo::Y0 - geo::H, r.x, geo::IndBottom, kCrossColour);
    c.line(geo::X0, r.y, geo::XR, r.y, kCrossColour);
    const QRectF &b = r.box;
    c.box(b.left(), b.top(), b.right(), b.bottom(), colours::white);
    c.line(b.left(), b.top(), b.right(), b.top(), colours::black);
    c.line(b.right(), b.top(), b.right(), b.bottom(), colours::black);
    c.line(b.right(), b.bottom(), b.left(), b.bottom(), colours::black);
    c.line(b.left(), b.bottom(), b.left(), b.top(), colours::black);
    for (qsizetype k = 0; k < r.lines.size(); ++k)
        c.text(b.left() + kPadTwips, b.top() + kPadTwips + double(k) * kLineTwips, r.lines[k], colours::black);
}

} // namespace velor
