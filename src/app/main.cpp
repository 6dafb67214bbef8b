// velor: opens the main window on a program folder, or runs a command without a window.
#include "app/CommandLine.h"
#include "app/ImportWiring.h"
#include "app/MainWindow.h"
#include "app/QtDialogs.h"
#include "app/Startup.h"
#include "common/Clock.h"
#include "common/Launcher.h"
#include "common/Net.h"
#include "common/Utils.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>
#include <cstdio>
#include <memory>

using namespace velor;

namespace {

QString exeDir(const char *argv0)
{
    return QFileInfo(QString::fromLocal8Bit(argv0)).absolutePath();
}

int openWindow(const CliOptions &o, int argc, char **argv)
{
    QApplication app(argc, argv);
    QtDialogs dialogs;
    State st;
    st.ProgramDir = resolveProgramDir(o.home, QCoreApplication::applicationDirPath());
    ChDirTo(st.ProgramDir);
    InstanceLock lock;
    if (!lock.tryLock(st.ProgramDir)) {
        static_cast<Dialogs &>(dialogs).message(QString::fromUtf16(kAlreadyRunning), Icon::Warning);
        return 1;
    }
    if (!loadDatabase(st, dialogs)) return 1;
    st.sites = readSites(pathIn(st.ProgramDir, QStringLiteral("sites.ini")));
    std::unique_ptr<Clock> clock;
    if (!o.now.isEmpty()) clock = std::make_unique<FixedClock>(parseNow(o.now));
    else clock = std::make_unique<SystemClock>();
    QtNet net;
    SystemLauncher launcher;
    QtSound sound;
    MainWindow w(st, *clock, net, launcher, sound, dialogs);
    dialogs.setParent(&w);
    wireImport(w);
    w.startUp();
    w.show();
    return app.exec();
}

} // namespace

int main(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    auto options = parseCommandLine(arguments);
    if (!options) {
        std::fprintf(stderr, "%s\n", options.error().toUtf8().constData());
        return 2;
    }
    if (options->command.isEmpty()) return openWindow(*options, argc, argv);
    QCoreApplication app(argc, argv);
    return runCommand(*options, exeDir(argv[0]));
}
