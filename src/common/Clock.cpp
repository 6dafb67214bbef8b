#include "common/Clock.h"

namespace velor {

QDateTime SystemClock::now() const { return QDateTime::currentDateTime(); }

QDateTime parseNow(const QString &text)
{
    QDateTime t = QDateTime::fromString(text.trimmed(), QStringLiteral("yyyy-MM-dd HH:mm"));
    if (!t.isValid()) t = QDateTime::fromString(text.trimmed(), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    return t;
}

} // namespace velor
