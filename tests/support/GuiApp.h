#pragma once
// One QApplication for the window tests of a test program (header-only: only tests that link
// the window layer include it).
#include <QApplication>
#include <QWidget>

namespace velor::test {

/// Creates the application on first use; it is never destroyed, since tearing Qt down after
/// main() has returned is not safe.
inline void ensureGuiApp()
{
    static int argc = 1;
    static char name[] = "test";
    static char *argv[] = {name, nullptr};
    if (!qApp) new QApplication(argc, argv);
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
