#include "common/WindowPlace.h"

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <functional>

namespace velor {

QRect keptInside(const QPoint &wanted, const QSize &size, const QRect &available)
{
    if (available.isEmpty()) return QRect(wanted, size);
    const int w = std::min(size.width(), available.width());
    const int h = std::min(size.height(), available.height());
    const int x = std::clamp(wanted.x(), available.left(), available.left() + available.width() - w);
    const int y = std::clamp(wanted.y(), available.top(), available.top() + available.height() - h);
    return QRect(x, y, w, h);
}

QRect placedClearOf(const QPoint &wanted, const QSize &size, const QSize &minSize, const QRect &keep,
                    const QRect &available, int gap)
{
    const QRect there = keptInside(wanted, size, available);
    if (available.isEmpty() || keep.isEmpty() || !there.intersects(keep)) return there;
    const QRect a = available;
    // Room on each side of `keep` inside the available area, and where a frame goes there.
    struct Side {
        int room;     ///< width (left/right) or height (below/above) free on that side
        bool across;  ///< the room is a width
        std::function<QPoint(QSize)> at;
    };
    const Side sides[] = {
        {a.right() - keep.right() - gap, true, [&](QSize) { return QPoint(keep.right() + 1 + gap, wanted.y()); }},
        {a.bottom() - keep.bottom() - gap, false, [&](QSize) { return QPoint(wanted.x(), keep.bottom() + 1 + gap); }},
        {keep.left() - a.left() - gap, true, [&](QSize s) { return QPoint(keep.left() - gap - s.width(), wanted.y()); }},
        {keep.top() - a.top() - gap, false, [&](QSize s) { return QPoint(wanted.x(), keep.top() - gap - s.height()); }},
    };
    for (const Side &s : sides) {
        if (s.room >= (s.across ? size.width() : size.height())) {
            const QRect r = keptInside(s.at(size), size, a);
            if (!r.intersects(keep)) return r;
        }
    }
    // No side takes it whole: the roomiest side that takes it at its smallest, made to fit.
    const Side *best = nullptr;
    for (const Side &s : sides) {
        const int need = s.across ? minSize.width() : minSize.height();
        if (s.room >= need && (!best || s.room > best->room)) best = &s;
    }
    if (!best) return there;
    const QSize smaller = best->across ? QSize(best->room, size.height()) : QSize(size.width(), best->room);
    const QRect r = keptInside(best->at(smaller), smaller, a);
    return r.intersects(keep) ? there : r;
}

QMargins frameMarginsOf(const QRect &frame, const QRect &client, const QRect &likeFrame, const QRect &likeClient)
{
    auto margins = [](const QRect &f, const QRect &c) {
        return QMargins(c.left() - f.left(), c.top() - f.top(), f.right() - c.right(), f.bottom() - c.bottom());
    };
    const QMargins own = margins(frame, client);
    return own.isNull() ? margins(likeFrame, likeClient) : own;
}

QRect availableAreaAt(const QPoint &p)
{
    const QScreen *s = QGuiApplication::screenAt(p);
    if (!s) s = QGuiApplication::primaryScreen();
    return s ? s->availableGeometry() : QRect();
}

} // namespace velor
