#include "common/Clock.h"

#include <QElapsedTimer>
#include <memory>

namespace velor {

QDateTime SystemClock::now() const { return QDateTime::currentDateTime(); }

RunningClock::RunningClock(QDateTime start, std::function<qint64()> elapsedMs)
    : m_start(std::move(start)), m_elapsedMs(std::move(elapsedMs))
{
    if (!m_elapsedMs) {
        auto timer = std::make_shared<QElapsedTimer>();
        timer->start();
        m_elapsedMs = [timer] { return timer->elapsed(); };
    }
}

QDateTime RunningClock::now() const { return m_start.addMSecs(m_elapsedMs()); }

QDateTime parseNow(const QString &text)
{
    QDateTime t = QDateTime::fromString(text.trimmed(), QStringLiteral("yyyy-MM-dd HH:mm"));
    if (!t.isValid()) t = QDateTime::fromString(text.trimmed(), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    return t;
}

} // namespace velor
