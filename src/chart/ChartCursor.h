#pragma once
// The crosshair over the chart: which drawn bar lies under a point of the design surface, the
// read-out of that bar (date, prices, volume, the indicator's two lines) and its drawing. It
// works on a copy of the bars as they were drawn, so a screen that reloads the bar tables for
// other stocks meanwhile does not change what the crosshair reads.
#include "chart/ChartCanvas.h"
#include "chart/ChartGeometry.h"
#include "chart/ChartPainter.h"
#include "db/MasterVars.h"

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QStringList>
#include <optional>

namespace velor {

struct State;

/// What the last chart call drew, as the crosshair needs it.
struct ChartSnapshot {
    BarVars bars;
    ChartFrame frame;
    bool valid = false;
    bool minute = false;
    bool index = false;        ///< 1001/1002: prices as whole numbers
    int barOffset = 0;         ///< the first position drawn (daily, weekly, monthly)
    int indicator = 0;         ///< IndicatorSel
    Oscillator osc{};          ///< name, periods and formula of the indicator drawn
};

/// The copy of the drawn bars; taken right after the chart was painted.
ChartSnapshot snapshotOf(const State &st, const ChartFrame &f);

/// Design twips of a point of a widget of `size` that shows the whole design surface.
QPointF toTwips(QPointF widgetPoint, QSizeF size);

/// The drawn position whose column holds x (twips; -1 is the live bar); none outside the
/// columns, beyond the bars, or on an empty minute slot.
std::optional<int> barAt(const ChartSnapshot &s, double x);

/// The crosshair at a point: the bar, where its lines run and the box of texts.
struct CursorReadout {
    bool shown = false;      ///< false: no bar under the point, nothing is drawn
    int position = 0;
    double x = 0, y = 0;     ///< vertical line through the bar's centre, horizontal at the point
    QRectF box;              ///< twips
    QStringList lines;       ///< the box's texts, top to bottom
};

/// The read-out at a point in twips.
CursorReadout readoutAt(const ChartSnapshot &s, QPointF twips);

/// Draws the crosshair's lines and box over a finished chart.
void paintCrosshair(const CursorReadout &r, ChartCanvas &c);

} // namespace velor
