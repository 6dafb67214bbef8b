#pragma once
// Start-up without the window: one running copy per program folder, the settings, the master.
#include <QLockFile>
#include <QString>
#include <memory>

namespace velor {

struct State;
class Dialogs;

/// Holds the program folder's lock while the program runs.
class InstanceLock {
public:
    /// False when another copy holds the lock of this program folder.
    bool tryLock(const QString &programDir);
private:
    std::unique_ptr<QLockFile> m_lock;
};

/// The refusal of a second copy.
inline const char16_t *kAlreadyRunning = u"このアプリケーションは既に実行されています。";

/// Settings, data folder and master in the documented order; false when the program must end
/// (the message has been shown through `dialogs`).
bool loadDatabase(State &st, Dialogs &dialogs);

/// The program folder: --home, else $VELOR_HOME, else the folder of the executable; with a
/// trailing separator.
QString resolveProgramDir(const QString &home, const QString &exeDir);

} // namespace velor
