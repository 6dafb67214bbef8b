#include "common/Launcher.h"

#include <QDesktopServices>
#include <QDir>
#include <QStandardPaths>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

namespace velor {

bool SystemLauncher::startCommand(const QString &commandLine)
{
    QStringList args = QProcess::splitCommand(commandLine);
    if (args.isEmpty()) return false;
    const QString program = args.takeFirst();
    return QProcess::startDetached(program, args);
}

bool SystemLauncher::openUrl(const QString &browserPath, const QString &address)
{
    if (!browserPath.isEmpty() && QFileInfo(browserPath).isExecutable())
        return QProcess::startDetached(browserPath, {address});
    return QDesktopServices::openUrl(QUrl::fromUserInput(address));
}

QString launchFailedText(LaunchKind kind, const QString &target)
{
    switch (kind) {
    case LaunchKind::Browser:
        // Without the browser program the desktop's own handler was tried: say both.
        if (!QFileInfo(target).isExecutable())
            return QStringLiteral("ブラウザ：　") + target + QStringLiteral(" がないため既定のブラウザで開こうとしましたが、起動できませんでした。");
        return QStringLiteral("ブラウザ：　") + target + QStringLiteral(" を起動できませんでした。");
    case LaunchKind::Folder: return QStringLiteral("フォルダ：　") + target + QStringLiteral(" を開けませんでした。");
    case LaunchKind::Editor: break;
    }
    return QStringLiteral("エディタで ") + target + QStringLiteral(" を開けませんでした。");
}

bool SystemLauncher::openFolder(const QString &path)
{
    if (!QFileInfo(path).isDir()) return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool SystemLauncher::canShowFolders()
{
#if defined(Q_OS_WIN) || defined(Q_OS_MACOS)
    return true;
#else
    // The freedesktop handler of folders; xdg-open finds the same one. Without xdg-utils the
    // desktop's own opener is tried (and reports its failure itself).
    const QString query = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (query.isEmpty()) return true;
    QProcess p;
    p.start(query, {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("inode/directory")});
    if (!p.waitForFinished(3000)) {
        p.kill();
        p.waitForFinished(1000);
        return true;   // no answer is no proof of absence
    }
    return !p.readAllStandardOutput().trimmed().isEmpty();
#endif
}

QString showFolder(Launcher &launcher, const QString &path)
{
    const QString shown = QDir::toNativeSeparators(path);
    if (QFileInfo(path).isDir() && !launcher.canShowFolders())
        return QStringLiteral("フォルダーを表示するプログラム（ファイルマネージャー）がインストールされていないため、フォルダ：　") + shown +
               QStringLiteral(" を開けませんでした。ファイルマネージャーをインストールするか、このフォルダーを直接開いて下さい。");
    if (!launcher.openFolder(path)) return launchFailedText(LaunchKind::Folder, shown);
    return {};
}

bool SystemLauncher::openInEditor(const QString &path)
{
    for (const char *var : {"VISUAL", "EDITOR"}) {
        const QString editor = qEnvironmentVariable(var);
        if (!editor.isEmpty()) {
            QStringList args = QProcess::splitCommand(editor);
            const QString program = args.takeFirst();
            args << path;
            return QProcess::startDetached(program, args);
        }
    }
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

} // namespace velor
