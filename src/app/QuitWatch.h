#pragma once
// The window's safety net for ending: SIGTERM, SIGHUP and SIGINT (the desktop logging out, a
// terminal's Ctrl+C) ask the program to end as the close box does, and a watchdog ends the process
// if it is still running a moment after any quit request, whatever it is doing.
#include <QStringList>
#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <thread>

namespace velor {

class QuitWatch {
public:
    /// Installs the signal handlers and starts the watchdog; `graceMs` is how long an ending may
    /// take before the process is ended the hard way (as a kill would: the import's journal
    /// finishes an interrupted day at the next start).
    using Clock = std::chrono::steady_clock;
    /// `now` is the watchdog's clock (the steady clock unless a test gives its own).
    explicit QuitWatch(int graceMs, std::function<Clock::time_point()> now = {});
    /// Stops the watchdog and restores the default handlers.
    ~QuitWatch();
    QuitWatch(const QuitWatch &) = delete;
    QuitWatch &operator=(const QuitWatch &) = delete;

    /// A lock file the hard ending removes, so that the next start is never refused.
    void addLockFile(const QString &path);

    /// When the process is ended the hard way; none until the first quit request or signal.
    std::optional<Clock::time_point> deadline() const;
    /// The quit requests and signals the watchdog has dealt with.
    int requestsSeen() const { return m_requests.load(); }

private:
    void watch();
    int m_graceMs;
    std::function<Clock::time_point()> m_now;
    std::atomic<bool> m_armed{false};
    std::atomic<Clock::rep> m_deadline{0};
    std::atomic<int> m_requests{0};
    std::thread m_thread;
};

} // namespace velor
