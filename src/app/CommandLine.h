#pragma once
// velor [--home DIR] [--now "YYYY-MM-DD HH:MM"] [--yes] [COMMAND ARGS...]
#include <QString>
#include <QStringList>
#include <expected>

namespace velor {

struct CliOptions {
    QString home;
    QString now;
    bool yes = false;
    QString screenshot;     ///< with no command: grab the window to this PNG after start-up and end
    QString command;        ///< empty: open the window
    QStringList args;       ///< the command's own arguments and options
};

/// Splits the global options from the command; an error text for bad usage.
std::expected<CliOptions, QString> parseCommandLine(const QStringList &arguments);

/// Runs a command without a window; the exit code (0 success, 1 reported error, 2 bad usage).
int runCommand(const CliOptions &options, const QString &exeDir);

/// The usage text printed for bad usage.
QString usageText();

} // namespace velor
