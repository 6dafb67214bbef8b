#pragma once
// Picture1: shows the chart's recorded drawing stretched over the widget; a right-button press
// asks for the chart's context menu. It never draws the chart itself, so painting never runs chart.
// Over the drawing it keeps the crosshair that follows the mouse, and turns the wheel and a
// left-button drag into requests for fewer/more bars and for scrolling back in time.
#include "chart/ChartCanvas.h"
#include "chart/ChartCursor.h"

#include <QWidget>
#include <functional>

namespace velor {

class ChartWidget final : public QWidget {
    Q_OBJECT
public:
    explicit ChartWidget(QWidget *parent = nullptr);
    /// Shows this drawing (copied) from now on, with the bars it was drawn from for the crosshair.
    void setScene(const RecordingCanvas &scene, const ChartSnapshot &snapshot = {});
    /// Called with the global position of a right-button press.
    std::function<void(QPoint)> onContextMenu;
    /// Called with the wheel's steps (positive: away from the user).
    std::function<void(int steps)> onWheel;
    /// Called during a left-button drag with the whole bars it moved (positive: back in time).
    std::function<void(int bars)> onScroll;

    void setCrosshair(bool on);
    bool crosshair() const { return m_crosshairOn; }
    /// The crosshair as it is drawn now (not shown when off, or when the mouse is over no bar).
    const CursorReadout &readout() const { return m_readout; }
    /// Paints the chart, and the crosshair when it is shown, onto `p` of the widget's size.
    void render(QPainter &p, QSizeF size) const;

protected:
    void paintEvent(QPaintEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void wheelEvent(QWheelEvent *e) override;
    void leaveEvent(QEvent *e) override;

private:
    void follow(QPointF at);

    RecordingCanvas m_scene;
    ChartSnapshot m_snapshot;
    CursorReadout m_readout;
    bool m_crosshairOn = true;
    QPointF m_mouse{-1, -1};   ///< last position over the widget; negative when outside
    bool m_dragging = false;
    double m_dragFrom = 0;     ///< x in twips where the bars of the drag were last counted from
    int m_wheelRest = 0;       ///< eighths of a degree not yet a whole step
};

} // namespace velor
