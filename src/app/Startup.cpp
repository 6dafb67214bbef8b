#include "app/Startup.h"

#include "common/Dialogs.h"
#include "common/Utils.h"
#include "db/Settings.h"
#include "db/State.h"
#include "db/StockMaster.h"

#include <QDir>
#include <QThread>

namespace velor {

namespace {

bool ownerUnknown(const QLockFile &lock)
{
    qint64 pid = 0;
    QString host, app;
    return !lock.getLockInfo(&pid, &host, &app);
}

} // namespace

bool InstanceLock::tryLock(const QString &programDir)
{
    m_lock = std::make_unique<QLockFile>(pathIn(programDir, QStringLiteral("velor.lock")));
    // A lock whose owner has died is taken over (Qt checks the process named in it); age alone
    // never makes a lock stale, since a copy may run for days.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(100)) return true;
    if (m_lock->error() == QLockFile::LockFailedError && ownerUnknown(*m_lock)) {
        // A copy killed while it created the lock leaves it without its owner's details, and Qt
        // would then refuse every later start. A copy that is just starting writes them at once,
        // so a lock still without them a moment later is stale.
        QThread::msleep(300);
        if (ownerUnknown(*m_lock) && m_lock->removeStaleLockFile() && m_lock->tryLock(100)) return true;
    }
    m_lock.reset();
    return false;
}

bool loadDatabase(State &st, Dialogs &dialogs)
{
    if (!ReadSettings(st, dialogs)) return false;
    st.LogPath = st.DataDir + QStringLiteral("VELOR.log");
    if (auto r = MEIGARAIN(st); !r) {
        dialogs.message(r.error(), Icon::Error);
        return false;
    }
    return true;
}

QString resolveProgramDir(const QString &home, const QString &exeDir)
{
    QString dir = home;
    if (dir.isEmpty()) dir = qEnvironmentVariable("VELOR_HOME");
    if (dir.isEmpty()) dir = exeDir;
    return withTrailingSeparator(QDir(dir).absolutePath());
}

} // namespace velor
