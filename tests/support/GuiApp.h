#pragma once
// One QApplication for the window tests of a test program (header-only: only tests that link
// the window layer include it).
#include <QApplication>

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

} // namespace velor::test
