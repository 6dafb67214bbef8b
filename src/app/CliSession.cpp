#include "app/CliSession.h"

#include "common/Utils.h"

namespace velor {

namespace {
std::unique_ptr<Clock> makeClock(const QString &now)
{
    if (!now.isEmpty()) return std::make_unique<FixedClock>(parseNow(now));
    return std::make_unique<SystemClock>();
}
} // namespace

CliSession::CliSession(const CliOptions &options)
    : dialogs(options.yes), clock(makeClock(options.now)), quotes(*clock, net, dialogs),
      sv{*clock, net, launcher, sound, dialogs, shell, &noQuote}, m_options(options)
{
}

bool CliSession::open(const QString &exeDir)
{
    st.ProgramDir = resolveProgramDir(m_options.home, exeDir);
    if (!m_lock.tryLock(st.ProgramDir)) {
        dialogs.message(QString::fromUtf16(kAlreadyRunning), Icon::Warning);
        return false;
    }
    if (!loadDatabase(st, dialogs)) return false;
    st.sites = readSites(pathIn(st.ProgramDir, QStringLiteral("sites.ini")));
    return true;
}

} // namespace velor
