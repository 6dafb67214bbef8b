#pragma once
// The window's safety net for ending: SIGTERM, SIGHUP and SIGINT (the desktop logging out, a
// terminal's Ctrl+C) ask the program to end as the close box does, and a watchdog ends the process
// if it is still running a moment after any quit request, whatever it is doing.
#include <QStringList>
#include <thread>

namespace velor {

class QuitWatch {
public:
    /// Installs the signal handlers and starts the watchdog; `graceMs` is how long an ending may
    /// take before the process is ended the hard way (as a kill would: the import's journal
    /// finishes an interrupted day at the next start).
    explicit QuitWatch(int graceMs);
    /// Stops the watchdog and restores the default handlers.
    ~QuitWatch();
    QuitWatch(const QuitWatch &) = delete;
    QuitWatch &operator=(const QuitWatch &) = delete;

    /// A lock file the hard ending removes, so that the next start is never refused.
    void addLockFile(const QString &path);

private:
    void watch();
    int m_graceMs;
    std::thread m_thread;
};

} // namespace velor
