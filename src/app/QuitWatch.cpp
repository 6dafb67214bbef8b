#include "app/QuitWatch.h"

#include "common/Quit.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <atomic>
#include <chrono>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <poll.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace velor {

namespace {

// One watchdog per process, fed through a pipe: signal handlers may do little more than write().
int g_pipe[2] = {-1, -1};
std::mutex g_lockMutex;
std::vector<std::string> g_lockFiles;
std::string g_journal;
bool g_command = false;

constexpr char kSignal = 'S', kQuit = 'Q', kDone = 'X';
const int kSignals[] = {SIGTERM, SIGHUP, SIGINT};

void notify(char c)
{
    if (g_pipe[1] < 0) return;
    const ssize_t n = ::write(g_pipe[1], &c, 1);
    (void)n;   // a full pipe already holds a wake-up
}

extern "C" void onSignal(int)
{
    const int saved = errno;
    notify(kSignal);
    errno = saved;
}

void onQuitRequested() { notify(kQuit); }

[[noreturn]] void endHard()
{
    {
        std::lock_guard guard(g_lockMutex);
        for (const std::string &f : g_lockFiles) ::unlink(f.c_str());
    }
    bool importCut = false;
    {
        std::lock_guard guard(g_lockMutex);
        importCut = !g_journal.empty() && ::access(g_journal.c_str(), F_OK) == 0;
    }
    // An import cut short did not do what was asked, whoever asked; its journal finishes it next time.
    static const char cut[] = "error: 取り込みの途中で終了しました。残りは次に起動したとき、または次の取り込みで完了します。\n";
    static const char command[] = "error: 終了を求められたため、作業の途中で終了しました。\n";
    static const char window[] = "warning: 終了に時間がかかったため、作業の途中で終了しました。\n";
    const char *text = importCut ? cut : g_command ? command : window;
    const ssize_t n = ::write(STDERR_FILENO, text, std::strlen(text));
    (void)n;
    ::_exit(importCut || g_command ? 1 : 0);
}

} // namespace

QuitWatch::QuitWatch(int graceMs, bool command, std::function<Clock::time_point()> now)
    : m_graceMs(graceMs), m_command(command),
      m_now(now ? std::move(now) : std::function<Clock::time_point()>([] { return Clock::now(); }))
{
    g_command = command;
    if (::pipe(g_pipe) != 0) {
        g_pipe[0] = g_pipe[1] = -1;
        return;
    }
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int s : kSignals) sigaction(s, &sa, nullptr);
    setQuitObserver(onQuitRequested);
    m_thread = std::thread([this] { watch(); });
}

QuitWatch::~QuitWatch()
{
    if (g_pipe[0] < 0) return;
    setQuitObserver(nullptr);
    for (int s : kSignals) std::signal(s, SIG_DFL);
    notify(kDone);
    m_thread.join();
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
    std::lock_guard guard(g_lockMutex);
    g_lockFiles.clear();
    g_journal.clear();
}

void QuitWatch::watchLockFile(const QString &path)
{
    std::lock_guard guard(g_lockMutex);
    g_lockFiles.push_back(path.toLocal8Bit().toStdString());
}

void QuitWatch::watchJournal(const QString &path)
{
    std::lock_guard guard(g_lockMutex);
    g_journal = path.toLocal8Bit().toStdString();
}

std::optional<QuitWatch::Clock::time_point> QuitWatch::deadline() const
{
    if (!m_armed.load()) return std::nullopt;
    return Clock::time_point(Clock::duration(m_deadline.load()));
}

void QuitWatch::watch()
{
    bool armed = false;
    Clock::time_point deadline;
    for (;;) {
        int timeout = -1;
        if (armed) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - m_now()).count();
            if (left <= 0) endHard();
            timeout = int(left);
        }
        pollfd p{g_pipe[0], POLLIN, 0};
        const int r = ::poll(&p, 1, timeout);
        if (r == 0) continue;   // the deadline is checked at the top
        if (r < 0) {
            if (errno == EINTR) continue;
            return;
        }
        char c = 0;
        if (::read(g_pipe[0], &c, 1) != 1) return;
        if (c == kDone) return;
        if (c == kSignal) {
            // The request itself runs on the window's thread, at its next event.
            if (QCoreApplication *app = QCoreApplication::instance())
                QMetaObject::invokeMethod(app, [] { requestQuit(); }, Qt::QueuedConnection);
        }
        // Only the first request sets the deadline: a second one (a signal after the close box)
        // must not give a stuck process more time.
        if (!armed && (c == kSignal || c == kQuit)) {
            armed = true;
            deadline = m_now() + std::chrono::milliseconds(m_graceMs);
            m_deadline.store(deadline.time_since_epoch().count());
            m_armed.store(true);
        }
        if (c == kSignal || c == kQuit) ++m_requests;
    }
}

} // namespace velor
