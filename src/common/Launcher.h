#pragma once
// Starting outside programs: the browser, the editor, the file manager. Never waited for.
#include <QString>
#include <QStringList>

namespace velor {

class Launcher {
public:
    virtual ~Launcher() = default;
    /// Starts a command line (program and its arguments, split as a shell would on blanks,
    /// double quotes keep blanks). Returns false when it could not be started.
    virtual bool startCommand(const QString &commandLine) = 0;
    /// Opens an address in the browser: `browserPath` + " " + address when that program exists,
    /// otherwise the desktop's default handler.
    virtual bool openUrl(const QString &browserPath, const QString &address) = 0;
    /// Shows a folder in the file manager; false when it could not (a missing folder included,
    /// since a desktop's handler may fail without a word).
    virtual bool openFolder(const QString &path) = 0;
    /// Opens a text file in the user's editor.
    virtual bool openInEditor(const QString &path) = 0;
    /// Whether the desktop has a program that shows folders (a file manager): without one the
    /// desktop's handler starts and fails without a word.
    virtual bool canShowFolders() { return true; }
};

/// What a failed start could not open; each kind has one message form.
enum class LaunchKind { Browser, Folder, Editor };

/// The one message every failed start shows, naming what could not be started or opened:
/// "ブラウザ：　" + program + " を起動できませんでした。" (when the program is missing, that the
/// desktop's default browser failed too), "フォルダ：　" + path + " を開けませんでした。",
/// "エディタで " + path + " を開けませんでした。".
QString launchFailedText(LaunchKind kind, const QString &target);

/// Shows a folder in the file manager; the message to show when it could not, naming the folder
/// (and saying so when no file manager is installed), or empty.
QString showFolder(Launcher &launcher, const QString &path);

class SystemLauncher final : public Launcher {
public:
    bool startCommand(const QString &commandLine) override;
    bool openUrl(const QString &browserPath, const QString &address) override;
    bool openFolder(const QString &path) override;
    bool openInEditor(const QString &path) override;
    bool canShowFolders() override;
};

} // namespace velor
