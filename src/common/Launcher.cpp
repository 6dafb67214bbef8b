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

bool SystemLauncher::openFolder(const QString &path)
{
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
