// velor: opens the main window on a program folder, or runs a command without a window.
#include "app/CommandLine.h"
#include "app/FirstRun.h"
#include "app/FirstRunDialog.h"
#include "app/MainWindow.h"
#include "common/Keyring.h"
#include "app/QtDialogs.h"
#include "app/QuitWatch.h"
#include "app/Startup.h"
#include "app/Wiring.h"
#include "auxiliary/About.h"
#include "auxiliary/QtTranslations.h"
#include "common/Clock.h"
#include "common/Launcher.h"
#include "common/Net.h"
#include "common/Quit.h"
#include "common/Utils.h"
#include "db/ReadAhead.h"
#include "import/DailyImport.h"

#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QFileInfo>
#include <QIcon>
#include <QPixmap>
#include <QTimer>
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
    // Qt's own dialogs and buttons speak Japanese like the rest of the program, in any locale.
    installQtJapanese(app, QCoreApplication::applicationDirPath());
    QApplication::setWindowIcon(QIcon(QPixmap::fromImage(velorIcon(64))));
    QtDialogs dialogs;
    // Relative to the folder the user started in, not to the program folder made current below.
    const QString shot = o.screenshot.isEmpty() ? QString() : QFileInfo(o.screenshot).absoluteFilePath();
    // From here on the close box, 終了 and SIGTERM/SIGHUP end the program within moments.
    QuitWatch quitWatch(kQuitGraceMs);
    State st;
    const QString exe = QCoreApplication::applicationDirPath();
    const ProgramFolderPlace where = locateProgramFolder(o.home, exe);
    st.ProgramDir = where.dir;
    if (where.fallback && !QFileInfo(pathIn(st.ProgramDir, QStringLiteral("VELOR.ini"))).isFile()) {
        FirstRunDialog first(st.ProgramDir, installedManualPath(exe), dialogs);
        first.setMissingFolder(where.missingRemembered);
        first.exec();
        if (quitRequested() || first.programFolder().isEmpty()) return 0;
        st.ProgramDir = first.programFolder();
    }
    ChDirTo(st.ProgramDir);
    WriterLocks locks;
    if (!locks.lockProgramFolder(st.ProgramDir, dialogs)) return 1;
    quitWatch.addLockFile(pathIn(st.ProgramDir, QStringLiteral("velor.lock")));
    if (!loadDatabase(st, dialogs)) return 1;
    if (!locks.lockDataFolder(st.DataDir, dialogs)) return 1;
    quitWatch.addLockFile(pathIn(st.DataDir, QStringLiteral("velor.lock")));
    QuitWatch::watchJournal(st.DataDir + QStringLiteral("VELOR.jnl"));
    st.sites = readSites(pathIn(st.ProgramDir, QStringLiteral("sites.ini")));
    // --now sets the clock at start-up and lets it run on, so the minute timer reaches the next
    // minute and the monitor's passes take time as they would.
    std::unique_ptr<Clock> clock;
    if (!o.now.isEmpty()) clock = std::make_unique<RunningClock>(parseNow(o.now));
    else clock = std::make_unique<SystemClock>();
    QtNet net;
    SystemLauncher launcher;
    QtSound sound;
    MainWindow w(st, *clock, net, launcher, sound, dialogs);
    DesktopKeyring keyring;
    w.services().keyring = &keyring;
    dialogs.setParent(&w);
    wireSubsystems(w);
    // Work an import left unfinished (the window ended during F2) is finished before anything
    // reads the price files, as the command line's next import would.
    const auto finished = finishInterruptedImport(st, w.services());
    // The window is on the screen before the first draw reads its pages (futures, world index):
    // a slow or dead site then keeps nobody waiting for a window, and the waits paint it.
    w.show();
    w.startUp();
    if (finished && !finished->empty())
        w.prependMessage(QStringLiteral("前回中断した取り込み（%1 日分、最後の日 %2）を完了しました。\r\n")
                             .arg(finished->size())
                             .arg(finished->back()));
    // The first screen would otherwise wait for the disk file by file.
    PriceReadAhead readAhead(masterPriceFiles(st));
    if (!shot.isEmpty()) {
        // Let the window lay itself out and paint once, then keep the picture and end.
        QTimer::singleShot(500, &w, [&] {
            const bool ok = w.grab().save(shot, "PNG");
            if (!ok) std::fprintf(stderr, "error: %s\n", qUtf8Printable(QStringLiteral("画面の画像を ") + shot +
                                                                           QStringLiteral(" に書けませんでした。")));
            app.exit(ok ? 0 : 1);
        });
    }
    // A request that came during start-up (a signal while the first chart was drawn) ends here:
    // exec() would forget it.
    if (quitRequested()) return 0;
    return app.exec();
}

} // namespace

int main(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    if (arguments.size() == 2 && arguments[1] == QLatin1String("--version")) {
        std::printf("velor %s\n", qUtf8Printable(programVersion()));
        return 0;
    }
    if (arguments.size() == 2 && (arguments[1] == QLatin1String("--help") || arguments[1] == QLatin1String("-h"))) {
        std::printf("%s\n", qUtf8Printable(usageText()));
        return 0;
    }
    auto options = parseCommandLine(arguments);
    if (!options) {
        std::fprintf(stderr, "%s\n", options.error().toUtf8().constData());
        return 2;
    }
    if (options->command.isEmpty()) return openWindow(*options, argc, argv);
    if (options->command == QLatin1String("chart")) {
        // Text on a QImage needs the font database of a GUI application; no window is shown.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        QGuiApplication app(argc, argv);
        return runCommand(*options, exeDir(argv[0]));
    }
    QCoreApplication app(argc, argv);
    return runCommand(*options, exeDir(argv[0]));
}
