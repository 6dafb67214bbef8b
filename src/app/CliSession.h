#pragma once
// What a command needs to work on a program folder without a window: the state, console
// dialogs, a text shell, the real network and launcher, the clock (or --now), the lock.
#include "app/CommandLine.h"
#include "app/Startup.h"
#include "common/Clock.h"
#include "common/Dialogs.h"
#include "common/Launcher.h"
#include "common/Net.h"
#include "common/Sound.h"
#include "db/Services.h"
#include "db/State.h"
#include "realtime/QuoteReader.h"

#include <memory>

namespace velor {

namespace demo {
class DemoServer;
}

/// Whether standard error is a terminal (progress lines are then redrawn in place).
bool stderrIsTerminal();

/// The text shell of a command. Setting VELOR_PAUSE_AT_STEP=k in the environment makes the
/// command stop for good at its k-th progress step (after announcing it on standard error), so
/// that a test can kill it at a point chosen from the work done rather than from a stopwatch.
class CliShell final : public TextShell {
public:
    CliShell();
    void setProgress(int value, int maximum) override;
    /// A download's progress counts as steps too.
    void showActivity(const QString &text, int value, int maximum) override;
    void notice(const QString &text) override;
private:
    void step();
    long long m_steps = 0;
    long long m_pauseAt = 0;
};

class CliSession {
public:
    explicit CliSession(const CliOptions &options);
    ~CliSession();
    enum class Access { Read, Write };
    /// Loads settings, sites and master; a command that writes first takes the program folder's
    /// lock and then the data folder's. False (with the message printed) when that fails.
    bool open(const QString &exeDir, Access access = Access::Write);

    State st;
    ConsoleDialogs dialogs;
    CliShell shell;
    std::unique_ptr<Clock> clock;
    QtNet net;
    SystemLauncher launcher;
    SilentSound sound;
    NoLiveQuote noQuote;
    QuoteReader quotes;   ///< the live quote, as the window reads it
    DesktopKeyring keyring;
    Services sv;          ///< fetches no quote until useLiveQuotes()

    /// From now on the bar loader reads the live quote as the window does.
    void useLiveQuotes() { sv.liveQuote = &quotes; }
private:
    CliOptions m_options;
    WriterLocks m_locks;
    std::unique_ptr<demo::DemoServer> m_pageServer;   // a --moving demo folder's quote pages
};

} // namespace velor
