#pragma once
// Start-up without the window: one running copy per program folder, the settings, the master.
#include <QLockFile>
#include <QString>
#include <memory>

namespace velor {

struct State;
class Dialogs;

/// Holds a folder's lock while the program runs.
class InstanceLock {
public:
    enum class Failure { None, Held, NotWritable, WriteFailed };
    /// False when another copy holds the lock of this folder or the lock file cannot be made.
    bool tryLock(const QString &dir);
    /// Why the last tryLock failed.
    Failure failure() const { return m_failure; }
private:
    std::unique_ptr<QLockFile> m_lock;
    Failure m_failure = Failure::None;
};

/// The refusal of a second copy.
inline const char16_t *kAlreadyRunning = u"このアプリケーションは既に実行されています。";

/// The locks of a copy that writes: its program folder and the data folder it works on, so that
/// neither a second copy in the same program folder nor one in another program folder naming
/// the same data folder can run beside it. Commands that only read take neither.
class WriterLocks {
public:
    /// False (with the message shown) when the program folder's lock cannot be taken.
    bool lockProgramFolder(const QString &programDir, Dialogs &dialogs);
    /// False (with the message shown) when the data folder's lock cannot be taken.
    bool lockDataFolder(const QString &dataDir, Dialogs &dialogs);
private:
    InstanceLock m_program, m_data;
    QString m_programDir;
};

/// Settings, data folder and master in the documented order; false when the program must end
/// (the message has been shown through `dialogs`).
bool loadDatabase(State &st, Dialogs &dialogs);

/// Where the program folder was found.
struct ProgramFolderPlace {
    QString dir;             ///< with a trailing separator
    bool fallback = false;   ///< nobody named it: the user's data folder, which a first run fills
    QString missingRemembered;   ///< the folder a first run remembered, when it no longer holds VELOR.ini
};

/// The program folder: --home, else $VELOR_HOME, else the folder of the executable when it holds
/// VELOR.ini, else the folder the first-run dialog remembered (when it still holds VELOR.ini),
/// else the user's data folder $XDG_DATA_HOME/velor.
ProgramFolderPlace locateProgramFolder(const QString &home, const QString &exeDir);

/// The folder of locateProgramFolder.
QString resolveProgramDir(const QString &home, const QString &exeDir);

} // namespace velor
