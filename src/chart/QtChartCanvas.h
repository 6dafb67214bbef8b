#pragma once
// The chart canvas on a QPainter: the 7635 x 8175 twip design surface stretched onto any size.
// Qt Gui only, so commands can draw into a QImage without a window.
#include "chart/ChartCanvas.h"

#include <QColor>
#include <QFont>
#include <QPen>
#include <QSizeF>

class QPainter;

namespace velor {

/// Behind the chart: the documented colours include white and yellow lines and black grid
/// lines, which need a middle grey to stay visible.
inline QColor chartBackground() { return QColor(150, 150, 150); }

class QtChartCanvas final : public ChartCanvas {
public:
    /// Draws onto `painter` so that the design surface fills `size` (device pixels).
    QtChartCanvas(QPainter &painter, QSizeF size, QColor background = chartBackground());

    void clear() override;
    void setPenWidth(int width) override;
    void setPenStyle(PenStyle style) override;
    void line(double x1, double y1, double x2, double y2, Rgb colour) override;
    void box(double x1, double y1, double x2, double y2, Rgb colour) override;
    void text(double x, double y, const QString &text, Rgb colour) override;
    void clip(double yTop, double yBottom) override;

private:
    struct PenKey {
        Rgb colour;
        int width = -1;
        PenStyle style = PenStyle::Solid;
        bool operator==(const PenKey &) const = default;
    };
    void usePen(const PenKey &key);
    PenKey m_current;            ///< the pen set on the painter
    QPainter &m_p;
    QSizeF m_size;
    QColor m_background;
    double m_sx, m_sy, m_unit;
    int m_width = 1;
    PenStyle m_style = PenStyle::Solid;
    QFont m_font;
    double m_ascent = 0;
};

} // namespace velor
