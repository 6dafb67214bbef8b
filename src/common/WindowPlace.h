#pragma once
// Windows placed relative to the main window by fixed offsets must still land on the screen:
// the offsets were made for one screen size, and a smaller screen would cut the window off.
#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>

namespace velor {

/// The frame of `size` whose rules put its top-left corner at `wanted`, moved just enough to lie
/// within `available` (a screen's area without its panels); a frame larger than that area is
/// shrunk to it. An empty `available` leaves the frame where the rules put it.
QRect keptInside(const QPoint &wanted, const QSize &size, const QRect &available);

/// The frame size of a window that has not been shown yet (so it has no frame of its own): its
/// size plus the frame the shown window `like` has around its own.
inline QSize expectedFrame(const QSize &size, const QRect &likeFrame, const QRect &likeGeometry)
{
    return size + (likeFrame.size() - likeGeometry.size());
}

/// Where a window whose frame has `size` goes so that it leaves `keep` (the chart and the stock
/// list of the main window) uncovered: at `wanted` when that already does; else beside `keep`
/// at its right, below it, at its left or above it, the first side with room for the whole
/// frame; else, made smaller but not below `minSize`, on the side with the most room; else at
/// `wanted`. Always within `available` (its title bar never above it); `gap` pixels from `keep`.
QRect placedClearOf(const QPoint &wanted, const QSize &size, const QSize &minSize, const QRect &keep,
                    const QRect &available, int gap);

/// The frame around a window's client area: the window's own once the window manager framed it
/// (`frame` larger than `client`), else that of `like`, a framed window of the same program.
QMargins frameMarginsOf(const QRect &frame, const QRect &client, const QRect &likeFrame, const QRect &likeClient);

/// The available area of the screen that holds `p`, else of the primary screen; empty when the
/// program has no screen.
QRect availableAreaAt(const QPoint &p);

} // namespace velor
