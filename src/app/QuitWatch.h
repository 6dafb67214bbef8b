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

/// How long an ending may take before the process is ended the hard way.
constexpr int kQuitGraceMs = 1500;

class QuitWatch {
public:
    /// Installs the signal handlers and starts the watchdog; `graceMs` is how long an ending may
    /// take before the process is ended the hard way (as a kill would: the import's journal
    /// finishes an interrupted day at the next start).
    using Clock = std::chrono::steady_clock;
    /// For a command (`command`), a hard ending always cut work short: it ends with exit 1 and
    /// an `error:` line; a window's ends with 0 and a warning unless it cut an import short.
    /// `now` is the watchdog's clock (the steady clock unless a test gives its own).
    explicit QuitWatch(int graceMs, bool command = false, std::function<Clock::time_point()> now = {});
    /// Stops the watchdog and restores the default handlers.
    ~QuitWatch();
    QuitWatch(const QuitWatch &) = delete;
    QuitWatch &operator=(const QuitWatch &) = delete;

    /// A lock file the hard ending removes, so that the next start is never refused.
    void addLockFile(const QString &path) { watchLockFile(path); }
    /// The same for whatever process watch is running (nothing without one).
    static void watchLockFile(const QString &path);
    /// The import's journal: a hard ending that leaves it names the unfinished import.
    static void watchJournal(const QString &path);

    /// When the process is ended the hard way; none until the first quit request or signal.
    std::optional<Clock::time_point> deadline() const;
    /// The quit requests and signals the watchdog has dealt with.
    int requestsSeen() const { return m_requests.load(); }

private:
    void watch();
    int m_graceMs;
    bool m_command;
    std::function<Clock::time_point()> m_now;
    std::atomic<bool> m_armed{false};
    std::atomic<Clock::rep> m_deadline{0};
    std::atomic<int> m_requests{0};
    std::thread m_thread;
};

} // namespace velor
