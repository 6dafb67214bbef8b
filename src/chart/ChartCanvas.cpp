#include "chart/ChartCanvas.h"

namespace velor {

void RecordingCanvas::clear()
{
    m_prims.clear();
    m_prims.reserve(16384);   // a 1,600-bar chart records about 13,000 operations
    m_prims.push_back({Primitive::Clear, 0, 0, 0, 0, {}, m_width, m_style, {}});
}

void RecordingCanvas::line(double x1, double y1, double x2, double y2, Rgb colour)
{
    m_prims.push_back({Primitive::Line, x1, y1, x2, y2, colour, m_width, m_style, {}});
}

void RecordingCanvas::box(double x1, double y1, double x2, double y2, Rgb colour)
{
    m_prims.push_back({Primitive::Box, x1, y1, x2, y2, colour, m_width, m_style, {}});
}

void RecordingCanvas::text(double x, double y, const QString &text, Rgb colour)
{
    m_prims.push_back({Primitive::Text, x, y, x, y, colour, m_width, m_style, text});
}

void RecordingCanvas::clip(double yTop, double yBottom)
{
    m_prims.push_back({Primitive::Clip, 0, yTop, 0, yBottom, {}, m_width, m_style, {}});
}

void RecordingCanvas::replay(ChartCanvas &target) const
{
    for (const Primitive &p : m_prims) {
        target.setPenWidth(p.penWidth);
        target.setPenStyle(p.style);
        switch (p.kind) {
        case Primitive::Clear: target.clear(); break;
        case Primitive::Line: target.line(p.x1, p.y1, p.x2, p.y2, p.colour); break;
        case Primitive::Box: target.box(p.x1, p.y1, p.x2, p.y2, p.colour); break;
        case Primitive::Text: target.text(p.x1, p.y1, p.text, p.colour); break;
        case Primitive::Clip: target.clip(p.y1, p.y2); break;
        }
    }
}

} // namespace velor
