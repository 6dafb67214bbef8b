#include "common/Launcher.h"

#include <QDesktopServices>
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
    case LaunchKind::Browser: return QStringLiteral("ブラウザ：　") + target + QStringLiteral(" を起動できませんでした。");
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
