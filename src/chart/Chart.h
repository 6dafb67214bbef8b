#pragma once
// chart(mode): loads the current stock, draws it and writes the texts around it.
#include "chart/ChartCanvas.h"
#include "chart/ChartCursor.h"
#include "chart/ChartGeometry.h"
#include "chart/ChartPainter.h"
#include "chart/ChartTexts.h"

#include <functional>

namespace velor {

struct State;
struct Services;

/// Calls into other subsystems that the chart needs but does not own.
struct ChartHooks {
    /// Modes 1 and 10: find CurCode in the stock list and select it (the lists subsystem).
    std::function<void()> syncList;
    /// Period 3: load n minute bars into the bar tables and set BarCount (the real-time
    /// subsystem). Without it the minute period shows no bars.
    std::function<void(int n)> readMinuteBars;
};

class Chart {
public:
    Chart(State &st, Services &sv) : m_st(st), m_sv(sv) {}

    /// chart(mode): 0 redraw without reloading, 1/10 list lookup then reload, 11 reload only.
    /// Draws onto the canvas given by setCanvas, else into the recording that scene() returns.
    /// A call made while one runs is dropped (false).
    bool chart(int mode);

    ChartHooks hooks;
    void setCanvas(ChartCanvas *canvas) { m_target = canvas; }
    const RecordingCanvas &scene() const { return m_scene; }
    const ChartFrame &frame() const { return m_frame; }
    const ChartTexts &texts() const { return m_texts; }
    const OverlayCloses &overlay() const { return m_overlay; }
    /// The bars as the last call drew them, for the crosshair.
    const ChartSnapshot &snapshot() const { return m_snapshot; }

    /// The number of bars a full load asks for: BarOffset + DispBars + the longest period + 2,
    /// at most 1600.
    static int loadCount(const State &st);

private:
    void loadBars(int mode);
    void loadOverlay(int n);
    void writeTexts(int mode);
    const QString &listing();

    State &m_st;
    Services &m_sv;
    ChartCanvas *m_target = nullptr;
    RecordingCanvas m_scene;
    ChartFrame m_frame;
    ChartTexts m_texts;
    OverlayCloses m_overlay;
    ChartSnapshot m_snapshot;
    bool m_running = false;
    int m_loaded = 0;   ///< positions 0..m_loaded-1 hold bars of the last full load
    /// The price listing of the last redraw and everything it was made from: a redraw of the
    /// same bars reuses it instead of formatting up to 1,600 lines again.
    struct ListingKey {
        int code = 0, period = -1, offset = 0, end = 0;
        std::vector<int32_t> date;
        std::vector<float> open, high, low, close;
        std::vector<double> volume;
        bool operator==(const ListingKey &) const = default;
    };
    ListingKey m_listingKey;
    QString m_listing;
};

/// ReadMinuteBars through the hook, or nothing loaded when there is none.
void readMinuteBars(State &st, const ChartHooks &hooks, int n);

/// The warning line of a stock drawn from its stored bars because no live quote came.
QString noQuoteText();

} // namespace velor
