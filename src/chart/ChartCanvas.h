#pragma once
// The drawing surface of the chart in its fixed design units (twips): 7635 x 8175, x to the
// right, y downwards. The chart draws only through this, so a test can record what it draws
// and the window can map the same drawing onto any size.
#include <QString>
#include <cstdint>
#include <vector>

namespace velor {

constexpr int kChartTwipsWidth = 7635;
constexpr int kChartTwipsHeight = 8175;

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb &) const = default;
};

namespace colours {
constexpr Rgb black{0, 0, 0}, blue{0, 0, 255}, red{255, 0, 0}, yellow{255, 255, 0}, green{0, 255, 0},
    cyan{0, 255, 255}, magenta{255, 0, 255}, white{255, 255, 255};
}

enum class PenStyle { Solid, Dotted };

class ChartCanvas {
public:
    virtual ~ChartCanvas() = default;
    virtual void clear() = 0;
    virtual void setPenWidth(int width) = 0;
    virtual void setPenStyle(PenStyle style) = 0;
    virtual void line(double x1, double y1, double x2, double y2, Rgb colour) = 0;
    /// A box with these opposite corners (the candle body; filled with its colour).
    virtual void box(double x1, double y1, double x2, double y2, Rgb colour) = 0;
    /// Text whose top-left corner is at (x, y).
    virtual void text(double x, double y, const QString &text, Rgb colour) = 0;
    /// Keeps the following drawing inside this band of y (a pane); clip(0, 0) ends it.
    virtual void clip(double yTop, double yBottom) = 0;
};

/// One drawing operation as recorded, with the pen it was drawn with.
struct Primitive {
    enum Kind : uint8_t { Clear, Line, Box, Text, Clip };
    Kind kind = Line;
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    Rgb colour;
    int penWidth = 1;
    PenStyle style = PenStyle::Solid;
    QString text;
};

/// Keeps every operation: what a test inspects and what the window replays when it paints.
class RecordingCanvas final : public ChartCanvas {
public:
    void clear() override;
    void setPenWidth(int width) override { m_width = width; }
    void setPenStyle(PenStyle style) override { m_style = style; }
    void line(double x1, double y1, double x2, double y2, Rgb colour) override;
    void box(double x1, double y1, double x2, double y2, Rgb colour) override;
    void text(double x, double y, const QString &text, Rgb colour) override;
    void clip(double yTop, double yBottom) override;

    const std::vector<Primitive> &primitives() const { return m_prims; }
    /// Plays the recording onto another canvas.
    void replay(ChartCanvas &target) const;
private:
    std::vector<Primitive> m_prims;
    int m_width = 1;
    PenStyle m_style = PenStyle::Solid;
};

} // namespace velor
