#pragma once
// The one way to ask what time it is, so that tests and reproducible runs can fix it.
#include <QDateTime>

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

/// Parses "YYYY-MM-DD HH:MM" (local time); an invalid QDateTime when the text is not of that form.
QDateTime parseNow(const QString &text);

} // namespace velor
