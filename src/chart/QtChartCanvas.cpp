#include "chart/QtChartCanvas.h"

#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace velor {

namespace {
constexpr double kTwipsPerPixel = 15;   // the design resolution: 96 pixels per inch
constexpr double kTextTwips = 150;      // height of the chart's text: a price of six digits fits before its percentage label
QColor toQt(Rgb c) { return QColor(c.r, c.g, c.b); }
} // namespace

QtChartCanvas::QtChartCanvas(QPainter &painter, QSizeF size, QColor background)
    : m_p(painter), m_size(size), m_background(background), m_sx(size.width() / kChartTwipsWidth),
      m_sy(size.height() / kChartTwipsHeight)
{
    // Pens and text grow with the smaller of the two stretches, never below their design size.
    m_unit = std::max(1.0, std::min(m_sx, m_sy) * kTwipsPerPixel);
    m_font.setFamilies({QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic"), QStringLiteral("Noto Sans CJK JP"),
                        QStringLiteral("sans-serif")});
    m_font.setPixelSize(std::max(9, int(std::lround(kTextTwips * std::min(m_sx, m_sy)))));
    m_ascent = QFontMetricsF(m_font).ascent();
    m_p.setRenderHint(QPainter::Antialiasing, false);
    m_p.setFont(m_font);
}

void QtChartCanvas::clear()
{
    m_p.fillRect(QRectF(QPointF(0, 0), m_size), m_background);
}
void QtChartCanvas::setPenWidth(int width) { m_width = width; }
void QtChartCanvas::setPenStyle(PenStyle style) { m_style = style; }

// Pens are made only when colour, width or style change: a redraw issues thousands of lines.
void QtChartCanvas::usePen(const PenKey &key)
{
    if (key == m_current) return;
    m_current = key;
    QPen pen(toQt(key.colour));
    pen.setWidthF(key.width * m_unit);
    pen.setStyle(key.style == PenStyle::Dotted ? Qt::DotLine : Qt::SolidLine);
    pen.setCapStyle(Qt::FlatCap);
    m_p.setPen(pen);
}

void QtChartCanvas::line(double x1, double y1, double x2, double y2, Rgb colour)
{
    usePen({colour, m_width, m_style});
    m_p.drawLine(QPointF(x1 * m_sx, y1 * m_sy), QPointF(x2 * m_sx, y2 * m_sy));
}

void QtChartCanvas::box(double x1, double y1, double x2, double y2, Rgb colour)
{
    usePen({colour, m_width, m_style});
    m_p.setBrush(toQt(colour));
    m_p.drawRect(QRectF(QPointF(x1 * m_sx, y1 * m_sy), QPointF(x2 * m_sx, y2 * m_sy)).normalized());
    m_p.setBrush(Qt::NoBrush);
}

void QtChartCanvas::text(double x, double y, const QString &text, Rgb colour)
{
    usePen({colour, 1, PenStyle::Solid});
    const QPointF at(x * m_sx, y * m_sy + m_ascent);
    // A text that would run past the right edge (the long top line on a narrow chart) is set
    // smaller so that it stays whole.
    const double room = m_size.width() - at.x();
    const double width = QFontMetricsF(m_font).horizontalAdvance(text);
    if (width <= room || room <= 0) {
        m_p.drawText(at, text);
        return;
    }
    QFont smaller = m_font;
    smaller.setPixelSize(std::max(6, int(m_font.pixelSize() * room / width)));
    m_p.setFont(smaller);
    m_p.drawText(at, text);
    m_p.setFont(m_font);
}

} // namespace velor

namespace velor {

void QtChartCanvas::clip(double yTop, double yBottom)
{
    if (yTop >= yBottom) {
        m_p.setClipping(false);
        return;
    }
    m_p.setClipRect(QRectF(0, yTop * m_sy, m_size.width(), (yBottom - yTop) * m_sy));
}

} // namespace velor
