// A full chart redraw (chart(1): load, overlay, draw, texts) of 1,600 daily bars with the index
// overlay into an offscreen image, against a bare loop issuing as many QPainter primitives with
// each pen made once. The chart object lives across redraws, as the window's does.
#include "Median.h"
#include "chart/Chart.h"
#include "chart/QtChartCanvas.h"
#include "common/Clock.h"
#include "db/Bars.h"
#include "common/Dialogs.h"
#include "common/Launcher.h"
#include "common/Net.h"
#include "common/Sound.h"
#include "db/PriceFile.h"
#include "db/Services.h"
#include "db/State.h"

#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>

using namespace velor;

namespace {

std::vector<Bar> walk(int n, float start, uint32_t seed)
{
    std::mt19937 rng(seed);
    std::normal_distribution<float> step(0, 0.015f);
    std::vector<Bar> bars;
    float c = start;
    for (int p = 0; p < n; ++p) {
        const float o = c * (1 + step(rng) / 3);
        bars.push_back({20300101 - p, o, std::max(o, c) * 1.01f, std::min(o, c) * 0.99f, c, 100000.0 + p * 37 % 90000});
        c *= 1 + step(rng);
    }
    return bars;
}

// As many lines, boxes and texts as the chart drew, with each pen made once, and nothing else.
double bareLoop(const std::vector<Primitive> &prims, QImage &image)
{
    QElapsedTimer t;
    t.start();
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(image.rect(), Qt::gray);
    const double sx = image.width() / double(kChartTwipsWidth), sy = image.height() / double(kChartTwipsHeight);
    std::vector<std::pair<uint32_t, QPen>> pens;
    for (const Primitive &q : prims) {
        const uint32_t key = uint32_t(q.colour.r) << 24 | uint32_t(q.colour.g) << 16 | uint32_t(q.colour.b) << 8 |
                             uint32_t(q.penWidth) << 1 | uint32_t(q.style == PenStyle::Dotted);
        auto it = std::find_if(pens.begin(), pens.end(), [&](const auto &e) { return e.first == key; });
        if (it == pens.end()) {
            QPen pen(QColor(q.colour.r, q.colour.g, q.colour.b));
            pen.setWidthF(q.penWidth * std::max(1.0, std::min(sx, sy) * 15));
            pen.setStyle(q.style == PenStyle::Dotted ? Qt::DotLine : Qt::SolidLine);
            it = pens.insert(pens.end(), {key, pen});
        }
        const QPen &pen = it->second;
        p.setPen(pen);
        if (q.kind == Primitive::Line) p.drawLine(QPointF(q.x1 * sx, q.y1 * sy), QPointF(q.x2 * sx, q.y2 * sy));
        else if (q.kind == Primitive::Box) {
            p.setBrush(pen.color());
            p.drawRect(QRectF(QPointF(q.x1 * sx, q.y1 * sy), QPointF(q.x2 * sx, q.y2 * sy)).normalized());
            p.setBrush(Qt::NoBrush);
        } else if (q.kind == Primitive::Text) p.drawText(QPointF(q.x1 * sx, q.y1 * sy + 10), q.text);
    }
    p.end();
    return t.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;
    const QString data = dir.path() + QStringLiteral("/");
    if (!writePriceFile(data + "1001.csv", {walk(1700, 30000, 1), walk(300, 30000, 2), walk(120, 30000, 3)}) ||
        !writePriceFile(data + "1301.csv", {walk(1700, 1500, 4), walk(300, 1500, 5), walk(120, 1500, 6)})) {
        std::fprintf(stderr, "cannot write the price files\n");
        return 1;
    }
    State st;
    st.DataDir = data;
    st.CurCode = 1301;
    st.DispBars = 1600;
    st.MaWidth1 = 13;
    st.MaWidth2 = 26;
    st.RsiPeriod1 = 9;
    st.RsiPeriod2 = 14;
    st.VolWindow = 5;
    st.NikkeiOverlay = true;
    FixedClock clock(QDateTime(QDate(2030, 1, 1), QTime(16, 0)));
    QtNet net;
    SystemLauncher launcher;
    SilentSound sound;
    ConsoleDialogs dialogs;
    TextShell shell;
    NoLiveQuote quote;
    Services sv{clock, net, launcher, sound, dialogs, shell, &quote};

    // The design size at 96 dpi by default; "bench_chart W H" for another.
    const int width = argc > 2 ? std::atoi(argv[1]) : 509, height = argc > 2 ? std::atoi(argv[2]) : 545;
    QImage image(std::max(100, width), std::max(100, height), QImage::Format_RGB32);
    std::printf("image %dx%d\n", image.width(), image.height());
    Chart recorder(st, sv);
    recorder.chart(1);
    const auto &prims = recorder.scene().primitives();
    std::printf("bars drawn %d, primitives %zu\n", int(st.DrawEnd), prims.size());

    std::vector<double> full, bare;
    Chart chart(st, sv);
    for (int run = 0; run < 31; ++run) {
        QElapsedTimer t;
        t.start();
        {
            QPainter p(&image);
            QtChartCanvas canvas(p, QSizeF(image.size()));
            chart.setCanvas(&canvas);
            chart.chart(1);
            chart.setCanvas(nullptr);
        }
        full.push_back(t.nsecsElapsed() / 1e6);
        bare.push_back(bareLoop(prims, image));
    }
    std::vector<double> logic;
    for (int run = 0; run < 31; ++run) {
        QElapsedTimer t;
        t.start();
        chart.chart(1);
        logic.push_back(t.nsecsElapsed() / 1e6);
    }
    if (qEnvironmentVariableIsSet("BENCH_PIECES")) {
        std::vector<double> listing, load, frame;
        for (int run = 0; run < 31; ++run) {
            QElapsedTimer t;
            t.start();
            const QString text = priceListing(st);
            listing.push_back(t.nsecsElapsed() / 1e6);
            t.restart();
            KDOPN(st, sv, 1626);
            load.push_back(t.nsecsElapsed() / 1e6);
            t.restart();
            RecordingCanvas rc;
            paintChart(st, computeFrame(st), recorder.overlay(), rc);
            frame.push_back(t.nsecsElapsed() / 1e6);
        }
        std::printf("pieces: listing %.2f, load %.2f, record %.2f ms\n", median(listing), median(load), median(frame));
    }
    const double f = median(full), b = median(bare);
    const double l = median(logic);
    std::printf("chart(1), 1600 bars with overlay: median %.2f ms   ratio %.2f (at most 1.3)\n", f, f / b);
    std::printf("chart(1) recorded without painting: median %.2f ms   ratio %.2f (at most 0.2)\n", l, l / b);
    std::printf("floor: bare QPainter loop, same primitives, one pen per colour: median %.2f ms\n", b);
    return 0;
}
