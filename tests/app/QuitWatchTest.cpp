// The watchdog behind every quit: a process whose window thread does not come back after a quit
// request (or a SIGTERM) is ended the hard way, with its lock files removed so that the next start
// is not refused. Each case runs in a child process whose main thread never returns; the grace
// period is the watchdog's own, so nothing here depends on how fast the machine is.
#include "app/QuitWatch.h"
#include "common/Quit.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace velor;

namespace {

struct Ended { bool normally; int code; QByteArray err; };

// Runs `busy` in a child that holds a QuitWatch with `lock` registered; `trigger` then runs in the
// parent with the child's pid, once the child has its watchdog in place.
Ended runChild(const QString &lock, const QString &errFile, void (*busy)(), void (*trigger)(pid_t), bool command = false,
               const QString &journal = {})
{
    int ready[2];
    if (::pipe(ready) != 0) return {false, -1, {}};
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (!std::freopen(QFile::encodeName(errFile).constData(), "w", stderr)) ::_exit(90);
        QuitWatch watch(300, command);
        watch.addLockFile(lock);
        if (!journal.isEmpty()) QuitWatch::watchJournal(journal);
        const char c = 'r';
        if (::write(ready[1], &c, 1) != 1) ::_exit(91);
        busy();
        ::_exit(92);   // never reached: the watchdog ends the process
    }
    ::close(ready[1]);
    char c = 0;
    const bool up = ::read(ready[0], &c, 1) == 1;
    ::close(ready[0]);
    if (up) trigger(pid);
    // The watchdog's grace is 300 ms; a child still there after a minute is the failure, named
    // here rather than a test run that never ends.
    int status = 0;
    pid_t done = 0;
    for (int k = 0; k < 6000 && done == 0; ++k) {
        done = ::waitpid(pid, &status, WNOHANG);
        if (done == 0) ::usleep(10000);
    }
    if (done != pid) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        ADD_FAILURE() << "the child was not ended by its watchdog within a minute";
        return {false, -2, test::readFile(errFile)};
    }
    return {WIFEXITED(status), WIFEXITED(status) ? WEXITSTATUS(status) : -1, test::readFile(errFile)};
}

[[noreturn]] void spinAfterQuit()
{
    requestQuit();   // as the close box does, then a window thread that never comes back
    for (;;) ::pause();
}

[[noreturn]] void spin()
{
    for (;;) ::pause();
}

} // namespace

TEST(QuitWatch, AWindowThreadThatNeverReturnsIsEndedWithItsLocksRemoved)
{
    struct Case { const char *what; void (*busy)(); void (*trigger)(pid_t); };
    const Case cases[] = {
        {"quit request", [] { spinAfterQuit(); }, [](pid_t) {}},
        {"SIGTERM", [] { spin(); }, [](pid_t p) { ::kill(p, SIGTERM); }},
        {"SIGHUP", [] { spin(); }, [](pid_t p) { ::kill(p, SIGHUP); }},
    };
    for (const Case &c : cases) {
        QTemporaryDir dir;
        const QString lock = dir.path() + "/velor.lock";
        test::writeFile(lock, "12345\nvelor\nhost\n");
        const Ended e = runChild(lock, dir.path() + "/err.txt", c.busy, c.trigger);
        EXPECT_TRUE(e.normally) << c.what;
        EXPECT_EQ(e.code, 0) << c.what;
        EXPECT_FALSE(QFile::exists(lock)) << c.what;
        EXPECT_EQ(QString::fromUtf8(e.err), QStringLiteral("warning: 終了に時間がかかったため、作業の途中で終了しました。\n")) << c.what;
    }
}

TEST(QuitWatch, AHardEndingThatCutWorkShortSaysSoAndExitsOne)
{
    // A window whose import was cut short (its journal is there), and a command cut short at all.
    struct Case { const char *what; bool command, journal; int code; const char16_t *err; };
    const Case cases[] = {
        {"window, no import", false, false, 0, u"warning: 終了に時間がかかったため、作業の途中で終了しました。\n"},
        {"window, import cut short", false, true, 1,
         u"error: 取り込みの途中で終了しました。残りは次に起動したとき、または次の取り込みで完了します。\n"},
        {"command", true, false, 1, u"error: 終了を求められたため、作業の途中で終了しました。\n"},
        {"command, import cut short", true, true, 1,
         u"error: 取り込みの途中で終了しました。残りは次に起動したとき、または次の取り込みで完了します。\n"},
    };
    for (const Case &c : cases) {
        QTemporaryDir dir;
        const QString lock = dir.path() + "/velor.lock", journal = dir.path() + "/VELOR.jnl";
        test::writeFile(lock, "12345\nvelor\nhost\n");
        if (c.journal) test::writeFile(journal, "journal");
        const Ended e = runChild(lock, dir.path() + "/err.txt", [] { spin(); }, [](pid_t p) { ::kill(p, SIGTERM); }, c.command,
                                 dir.path() + "/VELOR.jnl");
        EXPECT_TRUE(e.normally) << c.what;
        EXPECT_EQ(e.code, c.code) << c.what;
        EXPECT_FALSE(QFile::exists(lock)) << c.what;
        EXPECT_EQ(QString::fromUtf8(e.err), QString::fromUtf16(c.err)) << c.what;
    }
}

namespace {

// Waits for the watchdog to have dealt with `n` requests; false after ten seconds.
bool seen(const QuitWatch &watch, int n)
{
    for (int k = 0; k < 10000 && watch.requestsSeen() < n; ++k) ::usleep(1000);
    return watch.requestsSeen() >= n;
}

} // namespace

// A second quit request (or a SIGTERM after the close box) does not push the hard ending back:
// the deadline stays where the first request put it. The watchdog's clock is the test's.
TEST(QuitWatch, ASecondRequestDoesNotMoveTheDeadline)
{
    using Clock = QuitWatch::Clock;
    std::atomic<Clock::rep> now{Clock::duration(std::chrono::seconds(1000)).count()};
    {
        QuitWatch watch(3600 * 1000, false, [&now] { return Clock::time_point(Clock::duration(now.load())); });
        EXPECT_FALSE(watch.deadline().has_value());
        requestQuit();
        ASSERT_TRUE(seen(watch, 1)) << "the watchdog never saw the first quit request";
        const auto first = watch.deadline();
        ASSERT_TRUE(first.has_value());
        EXPECT_EQ(*first, Clock::time_point(std::chrono::seconds(1000 + 3600)));
        now = Clock::duration(std::chrono::seconds(1500)).count();
        requestQuit();
        ASSERT_TRUE(seen(watch, 2)) << "the watchdog never saw the second quit request";
        EXPECT_EQ(watch.deadline(), first);
    }
    clearQuitRequest();
}
