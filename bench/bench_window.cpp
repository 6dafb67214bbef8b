// The windows against their own command lines on one program folder (a demo folder):
// 1. the first ranking after start, with the price files out of the page cache, against later ones;
// 2. every screen in the ranking window against `velor screen …`;
// 3. F2 (download and import of the site's new days) against `velor download --yes`, the data
//    folder put back before each run, each run in a fresh window as after start;
// 4. the monitor window's two passes against `velor monitor --passes 2 --wait 0`.
// The windows run offscreen; each command is a whole process, start to exit. Rounds alternate
// window and command, and the medians and their ratio are printed with whether both gave the
// same lines (or the same data folder).
// usage: bench_window PROGRAM_DIR VELOR [RUNS] [--only PART,…] (parts: first, screens, a screen's
// command-line name such as "haba 1", monitor, f2)
#include "Median.h"
#include "app/MainWindow.h"
#include "app/RealtimeCommands.h"
#include "app/RealtimeWiring.h"
#include "app/ScreenWiring.h"
#include "app/Startup.h"
#include "app/Wiring.h"
#include "common/Clock.h"
#include "common/Dialogs.h"
#include "common/Launcher.h"
#include "common/Net.h"
#include "common/Sound.h"
#include "common/Utils.h"
#include "db/ReadAhead.h"
#include "db/Sites.h"
#include "db/State.h"
#include "realtime/RealWindow.h"
#include "screen/RankingWindow.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

using namespace velor;

namespace {

const QString kEvening = QStringLiteral("2026-12-11 20:00");   // after the close: screens and F2
const QString kMorning = QStringLiteral("2026-12-11 10:15");   // trading hours: the monitor

// Questions are answered OK, as `--yes` does; nothing is shown.
class YesDialogs final : public Dialogs {
public:
    Answer message(const QString &, Icon, const QString &, Buttons b) override
    {
        return b == Buttons::YesNo || b == Buttons::YesNoCancel ? Answer::Yes : Answer::Ok;
    }
    QString openFile(const QString &, const QString &, const QString &) override { return {}; }
    QString saveFile(const QString &, const QString &, const QString &) override { return {}; }
};

// The main window as the program opens it on the folder.
struct Window {
    State st;
    FixedClock clock;
    QtNet net;
    SystemLauncher launcher;
    SilentSound sound;
    YesDialogs dialogs;
    std::unique_ptr<MainWindow> w;
    std::unique_ptr<PriceReadAhead> readAhead;

    Window(const QString &home, const QString &now) : clock(parseNow(now))
    {
        st.ProgramDir = home;
        ChDirTo(home);
        if (!loadDatabase(st, dialogs)) std::exit(1);
        st.sites = readSites(pathIn(home, QStringLiteral("sites.ini")));
        w = std::make_unique<MainWindow>(st, clock, net, launcher, sound, dialogs);
        wireSubsystems(*w);
        w->startUp();
        w->show();
        readAhead = std::make_unique<PriceReadAhead>(masterPriceFiles(st));   // as the program does
        QApplication::processEvents();
    }
    /// A click as the user gives it, until its results are painted.
    double click(const QString &name, int index = -1)
    {
        QElapsedTimer t;
        t.start();
        w->click(name, index);
        QApplication::processEvents();
        return double(t.nsecsElapsed()) / 1e6;
    }
};

struct Command {
    double ms = 0;
    QByteArray out;
};

Command runCommand(const QString &velor, const QString &home, const QString &now, const QStringList &args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::SeparateChannels);
    p.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer t;
    t.start();
    p.start(velor, QStringList{QStringLiteral("--home"), home, QStringLiteral("--now"), now} + args);
    p.waitForFinished(-1);
    Command c;
    c.ms = double(t.nsecsElapsed()) / 1e6;
    c.out = p.readAllStandardOutput();
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        std::fprintf(stderr, "  (velor %s ended with %d)\n", qUtf8Printable(args.join(' ')), p.exitCode());
    return c;
}

void sh(const QString &program, const QStringList &args)
{
    QProcess::execute(program, args);
}

void syncDisk() { ::sync(); }

// Drops the folder's files from the page cache, as after a restart of the machine.
void evict(const QString &dir)
{
    syncDisk();
    QDirIterator it(dir, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const int fd = ::open(QFile::encodeName(it.next()).constData(), O_RDONLY);
        if (fd < 0) continue;
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
        ::close(fd);
    }
}

QByteArray folderHash(const QString &dir)
{
    QCryptographicHash h(QCryptographicHash::Sha1);
    QStringList names;
    QDirIterator it(dir, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) names << it.next();
    names.sort();
    for (const QString &n : names) {
        QFile f(n);
        if (!f.open(QIODevice::ReadOnly)) continue;
        h.addData(n.mid(dir.size()).toUtf8());
        h.addData(f.readAll());
    }
    return h.result();
}

void report(const char *what, const std::vector<double> &window, const std::vector<double> &command, const char *same,
            double target)
{
    const double w = median(window), c = median(command);
    std::printf("  %-28s window %8.0f ms   command %8.0f ms   ratio %.2f (at most %.1f)  %s\n", what, w, c, w / c, target,
                same);
    std::fflush(stdout);
}

// Leaves both texts in the temporary folder for a look with diff.
void keepDifference(const QString &name, const QByteArray &window, const QByteArray &command)
{
    const QString base = QDir::tempPath() + QStringLiteral("/bench_window-") + name;
    QFile w(base + QStringLiteral(".window")), c(base + QStringLiteral(".command"));
    if (w.open(QIODevice::WriteOnly)) w.write(window);
    if (c.open(QIODevice::WriteOnly)) c.write(command);
    std::printf("  (%s differs: diff %s.window %s.command)\n", qUtf8Printable(name), qUtf8Printable(base), qUtf8Printable(base));
}

struct Screen {
    const char *click;
    int index;
    QStringList args;
};

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    QString only;
    if (const int at = int(args.indexOf(QStringLiteral("--only"))); at >= 0 && at + 1 < args.size()) {
        only = args[at + 1];
        args.remove(at, 2);
    }
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: bench_window PROGRAM_DIR VELOR [RUNS] [--only first,screens,NAME,f2,monitor]\n");
        return 2;
    }
    QString home = QDir(args[0]).absolutePath() + '/';
    const QString velor = QFileInfo(args[1]).absoluteFilePath();
    const int runs = args.size() > 2 ? std::max(1, args[2].toInt()) : 3;
    const QStringList onlyList = only.split(',', Qt::SkipEmptyParts);
    auto wanted = [&](const QString &name) { return onlyList.isEmpty() || onlyList.contains(name); };
    std::printf("windows (offscreen) against their commands on %s, %d rounds\n", qUtf8Printable(home), runs);

    if (wanted(QStringLiteral("first"))) {
        // What the user waits for on the first screen after start, with the price files in the
        // page cache and without (as after a restart of the machine): a moment passes between
        // the window showing and the click.
        State probe;
        probe.ProgramDir = home;
        YesDialogs d;
        if (!loadDatabase(probe, d)) return 1;
        for (const bool cold : {false, true}) {
            if (cold) evict(probe.DataDir);
            Window win(home, kEvening);
            QElapsedTimer pause;
            pause.start();
            while (pause.elapsed() < 1000) {
                QApplication::processEvents(QEventLoop::AllEvents, 50);
                QThread::msleep(10);
            }
            const int readAhead = win.readAhead->filesRead();
            const double first = win.click(QStringLiteral("F14"));
            std::vector<double> later;
            for (int r = 0; r < std::max(3, runs); ++r) later.push_back(win.click(QStringLiteral("F14")));
            std::printf("  first ranking after start, files %s, clicked 1 s after the window shows: %.0f ms; "
                        "later median %.0f ms; ratio %.2f (at most 1.5); %d files read ahead by the click\n",
                        cold ? "not cached" : "cached    ", first, median(later), first / median(later), readAhead);
            std::fflush(stdout);
        }
    }

    const std::vector<Screen> screens = {
        {"F14", -1, {"ranking"}},     {"F175", -1, {"toujitu"}},   {"F151A", 0, {"haba", "0"}},
        {"F151A", 1, {"haba", "1"}},  {"F151A", 2, {"haba", "2"}}, {"F151A", 3, {"haba", "3"}},
        {"F141", -1, {"shinki"}},     {"F230", -1, {"rsi"}},       {"F235", -1, {"rci"}},
        {"F236", -1, {"kairi"}},      {"F237", -1, {"psyc"}},      {"F757", -1, {"per"}},
        {"F758", -1, {"pbr"}},        {"F_EPS", -1, {"eps"}},      {"F_BPS", -1, {"bps"}},
        {"F759", -1, {"shinyou"}},    {"F747", -1, {"haitou"}},    {"F751", -1, {"skd"}},
        {"cmdMIN", -1, {"minkabu"}},  {"cmdMIN2", -1, {"minkabu2"}}, {"F220A", 0, {"j", "1", "3"}},
        {"F221", -1, {"jvol", "1", "3"}}};
    bool anyScreen = false;
    for (const Screen &s : screens) anyScreen = anyScreen || wanted(QStringLiteral("screens")) || wanted(s.args.join(' '));
    if (anyScreen) {
        Window win(home, kEvening);
        win.click(QStringLiteral("F14"));   // the first run is measured above
        std::printf("screens (ranking window / velor screen):\n");
        for (const Screen &s : screens) {
            if (!wanted(QStringLiteral("screens")) && !wanted(s.args.join(' '))) continue;
            std::vector<double> w, c;
            bool same = true;
            for (int r = 0; r < runs; ++r) {
                // The stamp's date is that of the bars loaded when the screen starts: those of
                // the chart's stock, as the command has them, not the last stock of the screen before.
                // Fundamental screens leave QuoteMode set, so that later screens fetch every
                // quote page too; each screen here starts as after start, as the command does.
                win.st.QuoteMode = 0;
                win.w->redrawChart(1);
                QApplication::processEvents();
                w.push_back(win.click(QString::fromLatin1(s.click), s.index));
                const QStringList lines = rankingWindow(*win.w)->lines();
                const Command cmd = runCommand(velor, home, kEvening, QStringList{QStringLiteral("screen")} + s.args);
                c.push_back(cmd.ms);
                const QByteArray shown = (lines.join('\n') + '\n').toUtf8();
                if (same && shown != cmd.out) keepDifference(s.args.join('_'), shown, cmd.out);
                same = same && shown == cmd.out;
            }
            report(qUtf8Printable(s.args.join(' ')), w, c, same ? "lines identical" : "lines DIFFERENT", 1.2);
        }
    }

    if (wanted(QStringLiteral("monitor"))) {
        Window win(home, kMorning);
        win.st.RealParam = 0;
        QTimer stopper;
        // Stops after two passes, where the command stops.
        QObject::connect(&stopper, &QTimer::timeout, [&] {
            RealWindow *rw = monitorWindow(*win.w);
            if (rw && rw->monitor().running() && rw->monitor().passCount() >= 2) rw->monitor().Command1_Click();
        });
        stopper.start(0);
        std::vector<double> w, c;
        bool same = true;
        for (int r = 0; r < runs; ++r) {
            w.push_back(win.click(QStringLiteral("F666")));
            const QByteArray lists = monitorListsText(monitorWindow(*win.w)->monitor()).toUtf8();
            const Command cmd = runCommand(velor, home, kMorning,
                                           {QStringLiteral("monitor"), QStringLiteral("--passes"), QStringLiteral("2"),
                                            QStringLiteral("--wait"), QStringLiteral("0")});
            c.push_back(cmd.ms);
            same = same && lists == cmd.out;
        }
        report("monitor, two passes", w, c, same ? "lists identical" : "lists DIFFERENT", 1.2);
    }

    if (wanted(QStringLiteral("f2"))) {
        State probe;
        probe.ProgramDir = home;
        YesDialogs d;
        if (!loadDatabase(probe, d)) return 1;
        QString data = probe.DataDir;
        if (data.endsWith('/')) data.chop(1);
        const QString orig = data + QStringLiteral(".orig");
        if (!QDir(orig).exists()) sh(QStringLiteral("cp"), {QStringLiteral("-a"), data, orig});
        auto restore = [&] {
            sh(QStringLiteral("rm"), {QStringLiteral("-rf"), data});
            sh(QStringLiteral("cp"), {QStringLiteral("-a"), orig, data});
            syncDisk();
        };
        std::vector<double> w, c;
        bool same = true;
        for (int r = 0; r < runs; ++r) {
            restore();
            {
                Window win(home, kEvening);
                w.push_back(win.click(QStringLiteral("JIDOU")));
            }
            const QByteArray afterWindow = folderHash(data);
            restore();
            c.push_back(runCommand(velor, home, kEvening, {QStringLiteral("--yes"), QStringLiteral("download")}).ms);
            same = same && afterWindow == folderHash(data);
        }
        restore();
        report("F2 download and import", w, c, same ? "data folders identical" : "data folders DIFFERENT", 1.2);
    }
    return 0;
}
