#include "app/Startup.h"

#include "app/FirstRun.h"
#include "app/Leftovers.h"
#include "common/Dialogs.h"
#include "common/Utils.h"
#include "db/Settings.h"
#include "db/State.h"
#include "db/StockMaster.h"

#include <QDir>
#include <QFileInfo>
#include <QSysInfo>
#include <QThread>

#if defined(Q_OS_UNIX)
#include <cerrno>
#include <csignal>
#endif

namespace velor {

namespace {

bool ownerUnknown(const QString &file)
{
    qint64 pid = 0;
    QString host, app;
    return !QLockFile(file).getLockInfo(&pid, &host, &app);
}

// Whether the process named in a lock file of this machine has ended.
bool ownerEnded(const QString &file)
{
    qint64 pid = 0;
    QString host, app;
    if (!QLockFile(file).getLockInfo(&pid, &host, &app) || pid <= 0) return false;
    if (!host.isEmpty() && host != QSysInfo::machineHostName()) return false;
#if defined(Q_OS_UNIX)
    return ::kill(pid_t(pid), 0) == -1 && errno == ESRCH;
#else
    return false;   // Qt's own check of the process decides there
#endif
}

// Removes the files of a lock whose owner is gone that Qt would keep refusing on: a lock or
// Qt's "<lock>.rmlock" (left by a copy killed while it took over a stale lock) without its
// owner's details, or with an owner that has ended. A copy that is just starting writes its
// details at once, so a file still without them a moment later is left over. True when
// something was removed.
bool removeLeftLockFiles(const QString &lockPath)
{
    const QStringList files{lockPath + QStringLiteral(".rmlock"), lockPath};
    QStringList suspects;
    for (const QString &f : files)
        if (QFileInfo::exists(f) && (ownerUnknown(f) || ownerEnded(f))) suspects << f;
    if (suspects.isEmpty()) return false;
    QThread::msleep(300);
    bool removed = false;
    for (const QString &f : suspects) {
        if (!QFileInfo::exists(f) || !(ownerUnknown(f) || ownerEnded(f))) continue;
        QLockFile gone(f);
        removed = gone.removeStaleLockFile() || removed;
    }
    return removed;
}

} // namespace

bool InstanceLock::tryLock(const QString &dir)
{
    m_failure = Failure::None;
    const QString path = pathIn(dir, QStringLiteral("velor.lock"));
    m_lock = std::make_unique<QLockFile>(path);
    // A lock whose owner has died is taken over (Qt checks the process named in it); age alone
    // never makes a lock stale, since a copy may run for days.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(100)) return true;
    if (m_lock->error() == QLockFile::LockFailedError && removeLeftLockFiles(path) && m_lock->tryLock(100)) return true;
    switch (m_lock->error()) {
    case QLockFile::PermissionError: m_failure = Failure::NotWritable; break;
    case QLockFile::UnknownError: m_failure = Failure::WriteFailed; break;   // e.g. a full disk
    default: m_failure = Failure::Held; break;
    }
    m_lock.reset();
    return false;
}

namespace {

// The message for a lock that could not be taken: a folder that cannot hold the lock file is
// named with its cause, so that it is not mistaken for a copy already running.
QString lockRefusal(InstanceLock::Failure f, const QString &dir, const QString &heldText)
{
    const QString lockFile = pathIn(dir, QStringLiteral("velor.lock"));
    const QFileInfo folder(dir);
    if (!folder.isDir())
        return QStringLiteral("フォルダー：　") + dir + QStringLiteral(" がありません。フォルダーの場所（VELOR.ini の 1 行目、--home）を確かめて下さい。");
    if (f != InstanceLock::Failure::Held && !folder.isWritable()) f = InstanceLock::Failure::NotWritable;
    if (f == InstanceLock::Failure::Held) {
        // A lock of another machine is never taken over (its copy may be running there): say whose.
        qint64 pid = 0;
        QString host, app;
        if (QLockFile(lockFile).getLockInfo(&pid, &host, &app) && !host.isEmpty() && host != QSysInfo::machineHostName())
            return heldText + QStringLiteral("（ロックファイル ") + lockFile + QStringLiteral(" はコンピューター ") + host +
                   QStringLiteral(" のプロセス ") + QString::number(pid) +
                   QStringLiteral(" のものです。そのコンピューターの VELOR が終了していることを確かめてから、このファイルを削除して下さい。）");
    }
    switch (f) {
    case InstanceLock::Failure::NotWritable:
        return QStringLiteral("フォルダー：　") + dir + QStringLiteral(" に書き込めないため、ロックファイル ") + lockFile +
               QStringLiteral(" を作れません。フォルダーの書き込み許可を確かめて下さい。");
    case InstanceLock::Failure::WriteFailed:
        return QStringLiteral("ロックファイル ") + lockFile +
               QStringLiteral(" を書き込めません。ディスクの空きを確かめて下さい。");
    default: return heldText;
    }
}

} // namespace

bool WriterLocks::lockProgramFolder(const QString &programDir, Dialogs &dialogs)
{
    m_programDir = QFileInfo(programDir).canonicalFilePath();
    if (m_program.tryLock(programDir)) return true;
    const auto f = m_program.failure();
    dialogs.message(lockRefusal(f, programDir, QString::fromUtf16(kAlreadyRunning)),
                    f == InstanceLock::Failure::Held ? Icon::Warning : Icon::Error);
    return false;
}

bool WriterLocks::lockDataFolder(const QString &dataDir, Dialogs &dialogs)
{
    // A data folder that is the program folder itself is locked already.
    const bool locked = !m_programDir.isEmpty() && QFileInfo(dataDir).canonicalFilePath() == m_programDir;
    if (locked || m_data.tryLock(dataDir)) {
        // Both folders are this copy's now: what a killed copy left there is its to clear.
        if (!m_programDir.isEmpty()) removeLeftoverTemporaries(m_programDir, dataDir);
        return true;
    }
    const auto f = m_data.failure();
    const QString held = QStringLiteral("データフォルダー：　") + dataDir +
                         QStringLiteral(" は別のプログラムフォルダーから起動された VELOR が使っています。") +
                         QStringLiteral("その VELOR を終了してから起動して下さい。");
    dialogs.message(lockRefusal(f, dataDir, held), f == InstanceLock::Failure::Held ? Icon::Warning : Icon::Error);
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
    // Without its splits the history is shown raw; that is worth a warning, not a refusal.
    if (auto r = st.actions.load(actionsPath(st.DataDir)); !r) dialogs.message(r.error(), Icon::Warning);
    return true;
}

ProgramFolderPlace locateProgramFolder(const QString &home, const QString &exeDir)
{
    const auto place = [](const QString &dir, bool fallback) {
        return ProgramFolderPlace{withTrailingSeparator(QDir(dir).absolutePath()), fallback};
    };
    const auto hasSettings = [](const QString &dir) { return QFileInfo(pathIn(dir, QStringLiteral("VELOR.ini"))).isFile(); };
    if (!home.isEmpty()) return place(home, false);
    if (const QString env = qEnvironmentVariable("VELOR_HOME"); !env.isEmpty()) return place(env, false);
    // A program run from its own folder (a copy unpacked beside its settings, the build tree).
    if (hasSettings(exeDir)) return place(exeDir, false);
    const QString chosen = rememberedProgramFolder();
    if (!chosen.isEmpty() && hasSettings(chosen)) return place(chosen, false);
    ProgramFolderPlace fallback = place(userProgramFolder(), true);
    // A folder moved, deleted or on a drive not mounted: the first run says which one went.
    if (!chosen.isEmpty()) fallback.missingRemembered = QDir::cleanPath(chosen);
    return fallback;
}

QString resolveProgramDir(const QString &home, const QString &exeDir) { return locateProgramFolder(home, exeDir).dir; }

} // namespace velor
