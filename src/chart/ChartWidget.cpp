#include "chart/ChartWidget.h"

#include "chart/QtChartCanvas.h"

#include <QMouseEvent>
#include <QPainter>

namespace velor {

ChartWidget::ChartWidget(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(200, 200);
}

void ChartWidget::setScene(const RecordingCanvas &scene)
{
    m_scene = scene;
    update();
}

void ChartWidget::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    QtChartCanvas canvas(p, QSizeF(size()));
    canvas.clear();
    m_scene.replay(canvas);
}

void ChartWidget::mousePressEvent(QMouseEvent *e)
{
    // Only the right button does anything on the chart.
    if (e->button() == Qt::RightButton && onContextMenu) onContextMenu(e->globalPosition().toPoint());
}

} // namespace velor
