#include "common/WindowPlace.h"

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>

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

QRect availableAreaAt(const QPoint &p)
{
    const QScreen *s = QGuiApplication::screenAt(p);
    if (!s) s = QGuiApplication::primaryScreen();
    return s ? s->availableGeometry() : QRect();
}

} // namespace velor
