#pragma once
// The one way to ask what time it is, so that tests and reproducible runs can fix it.
#include <QDateTime>
#include <functional>

namespace velor {

class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

class SystemClock final : public Clock {
public:
    QDateTime now() const override;
};

/// A clock that stands still until told otherwise (tests, and `--now`).
class FixedClock final : public Clock {
public:
    explicit FixedClock(QDateTime t) : m_t(std::move(t)) {}
    QDateTime now() const override { return m_t; }
    void set(QDateTime t) { m_t = std::move(t); }
    void advanceSeconds(qint64 s) { m_t = m_t.addSecs(s); }
private:
    QDateTime m_t;
};

/// A clock set to a given time that then runs on as time passes (`--now` in the window).
class RunningClock final : public Clock {
public:
    /// `elapsedMs` tells how many milliseconds have passed since the clock was made; by default
    /// the system's monotonic timer.
    explicit RunningClock(QDateTime start, std::function<qint64()> elapsedMs = {});
    QDateTime now() const override;
private:
    QDateTime m_start;
    std::function<qint64()> m_elapsedMs;
};

/// Parses "YYYY-MM-DD HH:MM" (local time); an invalid QDateTime when the text is not of that form.
QDateTime parseNow(const QString &text);

} // namespace velor
