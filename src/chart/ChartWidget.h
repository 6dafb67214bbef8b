#pragma once
// Picture1: shows the chart's recorded drawing stretched over the widget; a right-button press
// asks for the chart's context menu. It never draws the chart itself, so painting never runs chart.
#include "chart/ChartCanvas.h"

#include <QWidget>
#include <functional>

namespace velor {

class ChartWidget final : public QWidget {
    Q_OBJECT
public:
    explicit ChartWidget(QWidget *parent = nullptr);
    /// Shows this drawing (copied) from now on.
    void setScene(const RecordingCanvas &scene);
    /// Called with the global position of a right-button press.
    std::function<void(QPoint)> onContextMenu;

protected:
    void paintEvent(QPaintEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;

private:
    RecordingCanvas m_scene;
};

} // namespace velor
