#include "app/Startup.h"

#include "common/Dialogs.h"
#include "common/Utils.h"
#include "db/Settings.h"
#include "db/State.h"
#include "db/StockMaster.h"

#include <QDir>

namespace velor {

bool InstanceLock::tryLock(const QString &programDir)
{
    m_lock = std::make_unique<QLockFile>(pathIn(programDir, QStringLiteral("velor.lock")));
    m_lock->setStaleLockTime(0);   // a lock left by a crashed copy is taken over (its process is gone)
    if (m_lock->tryLock(100)) return true;
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
