// The crosshair: the bar under a point, the box's texts, its drawing over an unchanged chart,
// and the scrolling and zooming that the mouse asks for.
#include "chart/Chart.h"
#include "chart/ChartCursor.h"
#include "chart/ChartTestData.h"
#include "chart/ChartWidget.h"
#include "chart/DisplayModes.h"
#include "chart/QtChartCanvas.h"
#include "support/GuiApp.h"
#include "support/TestSupport.h"

#include <QImage>
#include <cmath>
#include <QMouseEvent>
#include <QPainter>
#include <gtest/gtest.h>

using namespace velor;
using velor::test::setBar;

namespace {

// 300 daily bars whose closes alternate 1000 (even positions) and 1010 (odd), newest 2024-11-05.
State alternating(int code = 1301, int offset = 0, int count = 300)
{
    State st;
    st.CurCode = code;
    st.DispBars = 100;
    st.MaWidth1 = 5;
    st.MaWidth2 = 25;
    st.RsiPeriod1 = 9;
    st.RsiPeriod2 = 14;
    st.BarOffset = int16_t(offset);
    for (int p = 0; p < count; ++p) {
        const float c = p % 2 ? 1010 : 1000;
        setBar(st, p, 20241105 - p, c - 3, c + 7.5f, c - 4.25f, c, 12345 + p);
    }
    st.BarCount = int16_t(count);
    st.DrawEnd = int16_t(computeDrawEnd(st.BarOffset, st.DispBars, st.BarCount));
    return st;
}

ChartSnapshot snap(const State &st)
{
    ChartFrame f = computeFrame(st);
    f.loaded = st.BarCount;
    return snapshotOf(st, f);
}

} // namespace

TEST(ChartCursor, BarUnderAPoint)
{
    // DispBars 100: pitch 56; position `first` is centred on x 6600, its column 6572..6628.
    State minute = alternating();
    minute.CurPeriod = 3;
    minute.BarCount = 3;
    minute.DrawEnd = 3;
    for (int p = 3; p < 10; ++p) setBar(minute, p, 0, 0, 0, 0, 0, 0);
    struct Row {
        const char *what;
        State st;
        double x;
        std::optional<int> bar;
    } rows[] = {
        {"centre of the newest", alternating(), 6600, 0},
        {"right side of its column", alternating(), 6628, 0},
        {"right of every column", alternating(), 6629, std::nullopt},
        {"just inside the newest", alternating(), 6573, 0},
        {"boundary belongs to the older", alternating(), 6572, 1},
        {"oldest drawn", alternating(), 1000, 100},
        {"left of the oldest drawn", alternating(), 971, std::nullopt},
        {"scrolled back five", alternating(1301, 5), 6600, 5},
        {"scrolled back five, third column", alternating(1301, 5), 6600 - 2 * 56, 7},
        {"short file: beyond its bars", alternating(1301, 0, 3), 6600 - 3 * 56, std::nullopt},
        {"short file: its oldest", alternating(1301, 0, 3), 6600 - 2 * 56, 2},
        {"minute: first column ends at the edge", minute, 6590, 0},
        {"minute: the empty slot after the records", minute, 6600 - 3 * 56 - 10, std::nullopt},
        {"far to the left", alternating(), -1e12, std::nullopt},
        {"not a number", alternating(), std::nan(""), std::nullopt},
    };
    for (const Row &r : rows) EXPECT_EQ(barAt(snap(r.st), r.x), r.bar) << r.what;

    State live = alternating(1301, -1);
    setBar(live, -1, 0, 1001, 1020, 999, 1015, 500);
    EXPECT_EQ(barAt(snap(live), 6600), -1);
    live.BarClose[0] = 0;   // no live price: nothing there
    EXPECT_EQ(barAt(snap(live), 6600), std::nullopt);
    EXPECT_EQ(barAt(ChartSnapshot{}, 6600), std::nullopt);
}

TEST(ChartCursor, BoxTexts)
{
    State kairi = alternating();
    kairi.IndicatorSel = 2;
    State index = alternating(1001);
    State live = alternating(1301, -1);
    setBar(live, -1, 0, 1001, 1020, 999, 1015, 500);
    State minute = alternating();
    minute.CurPeriod = 3;
    setBar(minute, 0, 12060905, 900, 910, 890, 905, 1000);
    setBar(minute, 1, 12060906, 905, 915, 904, 912.5f, 1700);
    setBar(minute, 2, 12060907, 912.5f, 920, 911, 919, 2600);
    setBar(minute, 3, 0, 0, 0, 0, 0, 0);
    minute.BarCount = 3;
    minute.DrawEnd = 3;
    struct Row {
        const char *what;
        State st;
        QSizeF size;
        QPointF at;   // widget pixels
        QStringList lines;
    } rows[] = {
        {"design size, newest bar", alternating(), {509, 545}, {440, 200},
         {"2024/11/05", "始値 997", "高値 1007.5", "安値 995.75", "終値 1000", "出来高 12,345", "RSI(9) 44.4", "RSI(14) 50.0"}},
        {"twice the size, next bar", alternating(), {1018, 1090}, {2 * 6550 / 15.0, 400},
         {"2024/11/04", "始値 1007", "高値 1017.5", "安値 1005.75", "終値 1010", "出来高 12,346", "RSI(9) 55.6", "RSI(14) 50.0"}},
        {"乖離率 in percent", kairi, {509, 545}, {440, 420},
         {"2024/11/05", "始値 997", "高値 1007.5", "安値 995.75", "終値 1000", "出来高 12,345", "乖離率(5) -0.4%", "乖離率(25) -0.5%"}},
        {"index prices whole", index, {509, 545}, {440, 200},
         {"2024/11/05", "始値 997", "高値 1008", "安値 996", "終値 1000", "出来高 12,345", "RSI(9) 44.4", "RSI(14) 50.0"}},
        {"live bar", live, {509, 545}, {440, 200},
         {"現在値", "始値 1001", "高値 1020", "安値 999", "終値 1015", "出来高 500", "RSI(9) 57.9", "RSI(14) 51.7"}},
        // Its volume is the difference of the cumulative volumes; too few bars give the
        // oscillator's fallback, which the pane draws too.
        {"minute bar: time and the minute's own volume", minute, {509, 545}, {6460 / 15.0, 200},
         {"12/06 09:07", "始値 912.5", "高値 920", "安値 911", "終値 919", "出来高 900", "RSI(9) 50.0", "RSI(14) 50.0"}},
        {"below the indicator pane", alternating(), {509, 545}, {440, 7600 / 15.0}, {}},
        {"above the price pane", alternating(), {509, 545}, {440, 20}, {}},
    };
    for (const Row &r : rows) {
        const CursorReadout out = readoutAt(snap(r.st), toTwips(r.at, r.size));
        EXPECT_EQ(out.lines, r.lines) << r.what;
        EXPECT_EQ(out.shown, !r.lines.isEmpty()) << r.what;
        if (!out.shown) continue;
        // The box lies whole on the surface.
        EXPECT_GE(out.box.left(), 0) << r.what;
        EXPECT_GE(out.box.top(), 0) << r.what;
        EXPECT_LE(out.box.right(), kChartTwipsWidth) << r.what;
        EXPECT_LE(out.box.bottom(), kChartTwipsHeight) << r.what;
    }
    // The vertical line runs through the bar's centre, the horizontal one through the point.
    const CursorReadout r = readoutAt(snap(alternating()), {6590, 3000});
    EXPECT_EQ(r.x, 6600);
    EXPECT_EQ(r.y, 3000);
    // Near the right edge the box goes to the left of the point.
    EXPECT_LT(r.box.right(), 6590);
}

TEST(ChartCursor, CrosshairLeavesTheRestOfThePictureAlone)
{
    test::ensureGuiApp();
    State st = alternating();
    const ChartSnapshot s = snap(st);
    RecordingCanvas scene;
    paintChart(st, s.frame, {}, scene);
    ChartWidget widget;
    widget.resize(509, 545);
    widget.setScene(scene, s);
    const QSize size(509, 545);
    auto picture = [&] {
        QImage img(size, QImage::Format_RGB32);
        QPainter p(&img);
        widget.render(p, QSizeF(size));
        return img;
    };
    const QImage plain = picture();
    // The mouse over bar 3 in the price pane.
    QMouseEvent move(QEvent::MouseMove, QPointF(6432 / 15.0, 200), QPointF(), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&widget, &move);
    ASSERT_TRUE(widget.readout().shown);
    EXPECT_EQ(widget.readout().position, 3);
    const QImage crossed = picture();
    const CursorReadout &r = widget.readout();
    const double sx = size.width() / double(kChartTwipsWidth), sy = size.height() / double(kChartTwipsHeight);
    const QRect box = QRectF(r.box.left() * sx, r.box.top() * sy, r.box.width() * sx, r.box.height() * sy)
                          .toAlignedRect()
                          .adjusted(-2, -2, 2, 2);
    int changedInside = 0, changedOutside = 0;
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x) {
            const bool onLines = std::abs(x - r.x * sx) <= 2 || std::abs(y - r.y * sy) <= 2;
            const bool differs = plain.pixel(x, y) != crossed.pixel(x, y);
            if (onLines || box.contains(x, y)) changedInside += differs;
            else changedOutside += differs;
        }
    EXPECT_EQ(changedOutside, 0);
    EXPECT_GT(changedInside, 500);   // lines, box and texts were drawn

    // Switched off: the picture is the plain one again.
    widget.setCrosshair(false);
    EXPECT_FALSE(widget.readout().shown);
    EXPECT_EQ(picture(), plain);
}

TEST(ChartCursor, ScrollAndZoomStayInTheirLimits)
{
    test::TestEnv env;
    State st = alternating();
    RecordingModeView view;
    ChartHooks hooks;
    ModeContext c{st, env.services, view, hooks};
    struct Row {
        const char *what;
        int offset, live, period, count, delta;
        int after;
        bool moved;
    } rows[] = {
        {"back three", 0, 0, 0, 300, 3, 3, true},
        {"forward two", 5, 0, 0, 300, -2, 3, true},
        {"forward stops at the newest", 2, 0, 0, 300, -10, 0, true},
        {"at the newest: nothing", 0, 0, 0, 300, -1, 0, false},
        {"live: down to the live bar", 2, 1, 0, 300, -10, -1, true},
        {"back stops at 299", 290, 0, 0, 1600, 50, 299, true},
        {"at 299: nothing", 299, 0, 0, 1600, 1, 299, false},
        {"back stops at the oldest bar", 0, 0, 1, 40, 100, 39, true},
        {"weekly too", 0, 0, 1, 300, 4, 4, true},
        {"minute: never", 0, 0, 3, 300, 5, 0, false},
        {"beyond the oldest already: back is nothing", 60, 0, 0, 40, 1, 60, false},
        {"beyond the oldest already: forward moves", 60, 0, 0, 40, -1, 59, true},
    };
    for (const Row &r : rows) {
        st.BarOffset = int16_t(r.offset);
        st.LiveMode = int16_t(r.live);
        st.CurPeriod = int16_t(r.period);
        const std::vector<int> before = env.shell.redraws();
        EXPECT_EQ(shiftBarOffset(c, r.delta, r.count), r.moved) << r.what;
        EXPECT_EQ(st.BarOffset, r.after) << r.what;
        std::vector<int> expected = before;
        if (r.moved) expected.push_back(1);   // redrawn as the period-length keys redraw
        EXPECT_EQ(env.shell.redraws(), expected) << r.what;
    }
    // The wheel: the same steps as Shift+F5 and F5, inside 1..1600.
    struct Wheel {
        int bars, steps, after;
    } wheels[] = {{100, 1, 50}, {100, -1, 200}, {100, 2, 25}, {1, 1, 1}, {1000, -1, 1600}, {1600, -1, 1600}, {3, 1, 1}};
    for (const Wheel &w : wheels) {
        st.DispBars = int16_t(w.bars);
        wheelBars(c, w.steps);
        const int byWheel = st.DispBars;
        st.DispBars = int16_t(w.bars);
        for (int k = 0; k < std::abs(w.steps); ++k) F051A_Click(c, w.steps > 0 ? 1 : 0);
        EXPECT_EQ(byWheel, w.after) << w.bars << " " << w.steps;
        EXPECT_EQ(st.DispBars, w.after) << w.bars << " " << w.steps;
    }
}
