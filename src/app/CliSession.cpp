#include "app/CliSession.h"

#include "app/DemoCommands.h"
#include "app/FirstRun.h"
#include "common/Utils.h"
#include "demo/DemoServer.h"

#include <QDir>
#include <QFileInfo>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif
#include <thread>

namespace velor {

bool stderrIsTerminal()
{
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(fileno(stderr)) != 0;
#endif
}


namespace {

// Start-up messages that end the program carry no icon in the window; on the command line they
// are what makes the command fail, so they print as errors.
// A refusal to take the program's lock (the window shows it with the warning icon) ends the
// command with exit code 1 as well, so it prints as an error too.
class StartupDialogs final : public Dialogs {
public:
    StartupDialogs(Dialogs &inner, bool refusals) : m_inner(inner), m_refusals(refusals) {}
    Answer message(const QString &text, Icon icon, const QString &caption, Buttons buttons) override
    {
        const bool fatal = icon == Icon::None || (m_refusals && icon == Icon::Warning);
        return m_inner.message(text, fatal ? Icon::Error : icon, caption, buttons);
    }
    QString openFile(const QString &t, const QString &d, const QString &f) override { return m_inner.openFile(t, d, f); }
    QString saveFile(const QString &t, const QString &p, const QString &f) override { return m_inner.saveFile(t, p, f); }
private:
    Dialogs &m_inner;
    bool m_refusals;
};

std::unique_ptr<Clock> makeClock(const QString &now)
{
    if (!now.isEmpty()) return std::make_unique<FixedClock>(parseNow(now));
    return std::make_unique<SystemClock>();
}
} // namespace

CliShell::CliShell()
{
    if (const char *v = std::getenv("VELOR_PAUSE_AT_STEP")) m_pauseAt = std::atoll(v);
}

void CliShell::notice(const QString &text)
{
    TextShell::notice(text);
    std::fprintf(stderr, "warning: %s\n", text.toUtf8().constData());
}

void CliShell::setProgress(int value, int maximum)
{
    TextShell::setProgress(value, maximum);
    step();
}

void CliShell::showActivity(const QString &text, int value, int maximum)
{
    TextShell::showActivity(text, value, maximum);
    step();
}

void CliShell::step()
{
    if (++m_steps != m_pauseAt) return;
    std::fprintf(stderr, "info: paused at step %lld\n", m_steps);
    std::fflush(stderr);
    for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
}

CliSession::CliSession(const CliOptions &options)
    : dialogs(options.yes), clock(makeClock(options.now)), quotes(*clock, net, dialogs),
      sv{*clock, net, launcher, sound, dialogs, shell, &noQuote, &keyring}, m_options(options)
{
}

CliSession::~CliSession() = default;

bool CliSession::open(const QString &exeDir, Access access)
{
    const ProgramFolderPlace where = locateProgramFolder(m_options.home, exeDir);
    st.ProgramDir = where.dir;
    StartupDialogs startup(dialogs, false), refusal(dialogs, true);
    // Only the window asks a first-run question; a command says where a folder must come from.
    if (where.fallback && !QFileInfo(st.ProgramDir + QStringLiteral("VELOR.ini")).isFile()) {
        startup.message(noProgramFolderText(QDir::cleanPath(st.ProgramDir), where.missingRemembered), Icon::Error, {}, Buttons::Ok);
        return false;
    }
    if (access == Access::Write && !m_locks.lockProgramFolder(st.ProgramDir, refusal)) return false;
    if (!loadDatabase(st, startup)) return false;
    if (access == Access::Write && !m_locks.lockDataFolder(st.DataDir, refusal)) return false;
    st.sites = readSites(pathIn(st.ProgramDir, QStringLiteral("sites.ini")));
    m_pageServer = startDemoServerFor(st, *clock);
    return true;
}

} // namespace velor
