#pragma once
// Fakes of the seams, temporary program folders and fixture paths shared by every test.
#include "common/Clock.h"
#include "common/Dialogs.h"
#include "common/Launcher.h"
#include "common/Net.h"
#include "common/Notifier.h"
#include "common/Sound.h"
#include "db/Services.h"
#include "db/Shell.h"
#include "db/State.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QHash>
#include <QStringList>
#include <QTemporaryDir>
#include <deque>
#include <memory>

namespace velor::test {

/// The application object of a test program that needs an event loop without windows (local
/// servers, network replies), created on first use.
inline QCoreApplication &coreApp()
{
    static int argc = 1;
    static char name[] = "velor-test";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

/// Forgets a quit request, the program's and the event loops' alike (a quit makes every later
/// loop return at once until the application's own loop has run), so that later tests in the
/// same program run as in a fresh one.
void forgetQuit();

/// Path of a file under ../shared/fixtures.
QString fixturePath(const QString &relative);

/// Every message shown, in order, and answers given from a script (default OK/Yes).
class ScriptedDialogs final : public Dialogs {
public:
    struct Shown { QString text; Icon icon; QString caption; };
    Answer message(const QString &text, Icon icon = Icon::None, const QString &caption = {},
                   Buttons buttons = Buttons::Ok) override;
    QString openFile(const QString &, const QString &startDir, const QString &) override;
    QString saveFile(const QString &, const QString &startPath, const QString &) override;

    std::deque<Answer> answers;     ///< consumed by questions; empty gives Ok/Yes
    std::deque<QString> files;      ///< consumed by file dialogs; empty gives "" (cancel)
    std::vector<Shown> shown;
    QStringList fileDialogDirs;
    QStringList texts() const;
};

class RecordingLauncher final : public Launcher {
public:
    bool startCommand(const QString &c) override { commands << c; return true; }
    bool openUrl(const QString &browser, const QString &address) override { commands << browser + ' ' + address; return true; }
    bool openFolder(const QString &p) override { commands << QStringLiteral("folder ") + p; return true; }
    bool openInEditor(const QString &p) override { commands << QStringLiteral("editor ") + p; return true; }
    bool canShowFolders() override { return fileManager; }
    QStringList commands;
    bool fileManager = true;   ///< false: a desktop without a file manager
};

class RecordingSound final : public Sound {
public:
    void playWave(const QString &p) override { played << p; }
    void beep() override { ++beeps; }
    QStringList played;
    int beeps = 0;
};

/// Every desktop notification, in order; `taken` is what the service answers.
class RecordingNotifier final : public Notifier {
public:
    bool notify(const Notice &n) override
    {
        notices.push_back(n);
        return taken;
    }
    bool taken = true;
    std::vector<Notice> notices;
};

/// Pages held in memory by address; file:// addresses are read from disk like the real one.
class FakeNet final : public Net {
public:
    std::expected<QByteArray, NetError> fetch(const QString &address, const FetchLimits &limits) override;
    QHash<QString, QByteArray> pages;
    QStringList requested;
};

/// A complete set of seams with fakes, bundled as Services.
struct TestEnv {
    FixedClock clock{QDateTime(QDate(2024, 1, 10), QTime(15, 30))};
    FakeNet net;
    RecordingLauncher launcher;
    RecordingSound sound;
    ScriptedDialogs dialogs;
    TextShell shell;
    NoLiveQuote noQuote;
    Services services{clock, net, launcher, sound, dialogs, shell, &noQuote};
};

/// Writes bytes to a file, creating folders; fails the test when it cannot.
void writeFile(const QString &path, const QByteArray &bytes);
QByteArray readFile(const QString &path);

/// Whether two price files' bars are the same bit for bit (a NaN equals itself, 0 is not -0).
bool sameBars(const PriceSections &a, const PriceSections &b);

/// The same for bars as the data check reads them (`checked`): weekly and monthly bars older
/// than the oldest daily bar need only have the same dates.
bool sameBarsAsChecked(const PriceSections &checked, const PriceSections &own);

/// The settings text of a valid VELOR.ini (33 lines, CR LF) whose data folder is `dataDir`.
QByteArray validSettings(const QString &dataDir);

/// A temporary program folder with VELOR.ini, a data folder "data/" holding a master with the
/// given entries, and a State whose paths point there.
struct ProgramFolder {
    ProgramFolder();
    QTemporaryDir dir;
    QString program;   ///< ends in "/"
    QString data;      ///< ends in "/"
    State st;
    /// Writes meigara.dat with these (code, name, section) entries and loads it into st.
    void writeMaster(const std::vector<std::tuple<int, QString, int>> &entries);
};

} // namespace velor::test
