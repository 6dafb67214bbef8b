#pragma once
// One QApplication for the window tests of a test program (header-only: only tests that link
// the window layer include it).
#include "support/BuiltElsewhere.h"

#include <QApplication>
#include <QWidget>
#include <gtest/gtest.h>

namespace velor::test {

/// Every command the main window reported as having no handler, in order ("F14", "F800:3").
inline QStringList &reportedCommands()
{
    static QStringList reported;
    return reported;
}

/// While true, a command without a handler is recorded but does not fail the test.
inline bool &unhandledAllowed()
{
    static bool allowed = false;
    return allowed;
}

/// A main window that dispatches a command without a handler fails the running test, unless
/// the command is one built elsewhere.
inline void failOnUnhandledCommands(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    static const QString marker = QStringLiteral("no handler for command ");
    if (type == QtCriticalMsg && context.category && QByteArray(context.category) == "velor.commands" &&
        message.startsWith(marker)) {
        const QString key = message.mid(marker.size());
        reportedCommands() << key;
        if (!unhandledAllowed() && !commandsBuiltElsewhere().contains(key.section(QLatin1Char(':'), 0, 0)))
            ADD_FAILURE() << message.toStdString();
        return;
    }
    fprintf(stderr, "%s\n", qUtf8Printable(qFormatLogMessage(type, context, message)));
}

/// Creates the application on first use; it is never destroyed, since tearing Qt down after
/// main() has returned is not safe.
inline void ensureGuiApp()
{
    static int argc = 1;
    static char name[] = "test";
    static char *argv[] = {name, nullptr};
    if (!qApp) {
        new QApplication(argc, argv);
        qInstallMessageHandler(failOnUnhandledCommands);
    }
}

/// With VELOR_SHOT_DIR set, saves a picture of the widget there as NAME.png, for a person to
/// look at; otherwise does nothing.
inline void saveShot(QWidget &widget, const QString &name)
{
    const QString folder = qEnvironmentVariable("VELOR_SHOT_DIR");
    if (folder.isEmpty()) return;
    QApplication::processEvents();
    widget.grab().save(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
}

} // namespace velor::test
