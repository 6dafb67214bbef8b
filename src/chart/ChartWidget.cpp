#include "chart/ChartWidget.h"

#include "chart/QtChartCanvas.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <cmath>

namespace velor {

ChartWidget::ChartWidget(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(200, 200);
    setMouseTracking(true);
}

void ChartWidget::setScene(const RecordingCanvas &scene, const ChartSnapshot &snapshot)
{
    m_scene = scene;
    m_snapshot = snapshot;
    // The bar under a mouse that stays where it was may be another one now.
    follow(m_mouse);
    update();
}

void ChartWidget::setCrosshair(bool on)
{
    m_crosshairOn = on;
    follow(m_mouse);
    update();
}

void ChartWidget::follow(QPointF at)
{
    m_mouse = at;
    m_readout = {};
    if (m_crosshairOn && at.x() >= 0 && at.y() >= 0) m_readout = readoutAt(m_snapshot, toTwips(at, QSizeF(size())));
}

void ChartWidget::render(QPainter &p, QSizeF size) const
{
    QtChartCanvas canvas(p, size);
    canvas.clear();
    m_scene.replay(canvas);
    if (m_readout.shown) paintCrosshair(m_readout, canvas);
}

void ChartWidget::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    render(p, QSizeF(size()));
}

void ChartWidget::mousePressEvent(QMouseEvent *e)
{
    // The right button opens the menu; the left one starts a drag through time.
    if (e->button() == Qt::RightButton && onContextMenu) onContextMenu(e->globalPosition().toPoint());
    if (e->button() == Qt::LeftButton) {
        m_dragging = true;
        m_dragFrom = toTwips(e->position(), QSizeF(size())).x();
    }
}

void ChartWidget::mouseMoveEvent(QMouseEvent *e)
{
    const QPointF at = e->position();
    if (m_dragging && (e->buttons() & Qt::LeftButton) && m_snapshot.valid && m_snapshot.frame.pitch > 0) {
        // Pulling the candles to the right brings older bars in from the left, one per column.
        const double x = toTwips(at, QSizeF(size())).x();
        const int bars = int(std::trunc((x - m_dragFrom) / m_snapshot.frame.pitch));
        if (bars != 0) {
            m_dragFrom += bars * m_snapshot.frame.pitch;
            if (onScroll) onScroll(bars);
        }
    }
    follow(at);
    update();
}

void ChartWidget::mouseReleaseEvent(QMouseEvent *e)
{
    if (e->button() == Qt::LeftButton) m_dragging = false;
}

void ChartWidget::wheelEvent(QWheelEvent *e)
{
    // One notch is 120 eighths of a degree; touchpads send smaller pieces that add up.
    m_wheelRest += e->angleDelta().y();
    const int steps = m_wheelRest / 120;
    m_wheelRest -= steps * 120;
    if (steps != 0 && onWheel) onWheel(steps);
    e->accept();
}

void ChartWidget::leaveEvent(QEvent *)
{
    m_dragging = false;
    follow({-1, -1});
    update();
}

} // namespace velor
