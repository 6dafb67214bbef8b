// Importing one day, and ten days at once, into a demo-size database, against the floor of
// reading the same price files and replacing each by a temporary file and a rename, then one
// sync of the folder (same bytes, no parsing). The floor with one sync per file is printed for
// reference. The disk is synced before every timed part so that no part pays for another.
// With the program's path as third argument, `velor import` is also timed as a whole process,
// start to exit, on a quiet machine and with the other core busy.
// BENCH_ROUNDS=1 prints every timed part with its processor time.
// usage: bench_import [ROUNDS] [STOCKS] [VELOR]
#include "Median.h"
#include "common/Clock.h"
#include "common/Dialogs.h"
#include "common/Launcher.h"
#include "common/Net.h"
#include "common/Sound.h"
#include "common/TextFile.h"
#include "common/Utils.h"
#include "db/Services.h"
#include "db/State.h"
#include "db/StockMaster.h"
#include "demo/DemoFolder.h"
#include "demo/DemoSite.h"
#include "import/DailyImport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <thread>
#include <sys/resource.h>
#include <fcntl.h>
#include <unistd.h>

using namespace velor;

namespace {

QMap<QString, QByteArray> snapshot(const QString &dir)
{
    QMap<QString, QByteArray> m;
    for (const QString &n : QDir(dir).entryList(QDir::Files)) m[n] = readBytes(dir + n).value_or(QByteArray());
    return m;
}

// Puts the folder back as it was by rewriting the changed files in place and removing the new
// ones. Removing and recreating every file instead would leave thousands of recently freed
// inodes behind, which ext4 skips one by one on each later create: the timed parts would then
// pay for the restore, more so the later they run.
void restore(const QString &dir, const QMap<QString, QByteArray> &files)
{
    for (const QString &n : QDir(dir).entryList(QDir::Files))
        if (!files.contains(n)) QFile::remove(dir + n);
    for (auto it = files.begin(); it != files.end(); ++it) {
        if (const auto now = readBytes(dir + it.key()); now && *now == it.value()) continue;
        QFile f(dir + it.key());
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(it.value());
    }
}

// Replaces each file by temp + rename without a sync, then syncs once.
void batchFloor(const QString &dir, const QStringList &paths)
{
    for (const QString &p : paths) {
        const QByteArray b = readBytes(p).value_or(QByteArray());
        QFile f(p + ".tmp");
        if (f.open(QIODevice::WriteOnly)) f.write(b);
        f.close();
        ::rename(QFile::encodeName(p + ".tmp").constData(), QFile::encodeName(p).constData());
    }
    const int fd = ::open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY);
    ::syncfs(fd);
    ::fsync(fd);
    ::close(fd);
}

// Keeps one core busy for as long as it lives.
class BusyCore {
public:
    BusyCore()
        : m_thread([](std::stop_token stop) {
              volatile unsigned long x = 0;
              while (!stop.stop_requested())
                  for (int i = 0; i < 100000; ++i) x = x + 1;
          })
    {
    }
private:
    std::jthread m_thread;
};

struct Run {
    QString program, data;
    State st;
    bool import(Services &sv)
    {
        st = State{};
        st.ProgramDir = program, st.DataDir = data, st.MasterPath = data + "meigara.dat", st.LogPath = data + "VELOR.log";
        if (!MEIGARAIN(st)) return false;
        return SHUDOU(st, sv);
    }
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 3;
    const int stocks = argc > 2 ? atoi(argv[2]) : 4000;
    QTemporaryDir tmp;
    demo::MarketOptions mo;
    mo.stocks = stocks;
    if (!demo::writeDemoFolder(tmp.path(), mo)) return 1;
    Run run{tmp.path() + '/', tmp.path() + "/data/", {}};
    const QString &data = run.data;
    const demo::MarketGenerator gen(mo);
    const auto days = demo::dailyFiles(gen, gen.storedDays(), gen.storedDays() + 10);
    const auto pristine = snapshot(data);
    QStringList touched;
    for (const QByteArray &line : days.front().split('\n'))
        if (const QList<QByteArray> f = line.split(','); f.size() == 8) touched << data + QString::fromLatin1(f[1]) + ".csv";

    FixedClock clock{QDateTime(QDate(2026, 12, 14), QTime(18, 0))};
    QtNet net;
    SystemLauncher launcher;
    SilentSound sound;
    ConsoleDialogs dialogs(true);
    TextShell shell;
    NoLiveQuote noQuote;
    Services sv{clock, net, launcher, sound, dialogs, shell, &noQuote};
    std::vector<double> oneMs, tenMs, floorMs, perFileMs;
    QElapsedTimer t;
    auto fresh = [&] {
        restore(data, pristine);
        ::sync();
    };
    auto cpuMs = [] {
        rusage u{};
        ::getrusage(RUSAGE_SELF, &u);
        return std::pair{double(u.ru_utime.tv_sec) * 1e3 + double(u.ru_utime.tv_usec) / 1e3,
                         double(u.ru_stime.tv_sec) * 1e3 + double(u.ru_stime.tv_usec) / 1e3};
    };
    auto timed = [&](auto &&work) {
        const auto c0 = cpuMs();
        t.restart();
        if (!work()) std::exit(1);
        const double wall = double(t.nsecsElapsed()) / 1e6;
        const auto c1 = cpuMs();
        if (qEnvironmentVariableIsSet("BENCH_ROUNDS"))
            std::printf("    %.0f ms: %.0f ms user, %.0f ms system\n", wall, c1.first - c0.first, c1.second - c0.second);
        return wall;
    };
    auto floorRun = [&] {
        fresh();
        return timed([&] { return batchFloor(data, touched), true; });
    };
    // The disk's pace drifts over minutes on a shared machine, so each import is set between two
    // floors and judged against their mean; the medians of those ratios are the figures.
    std::vector<double> oneRatio, tenRatio;
    t.start();
    for (int r = 0; r < runs; ++r) {
        const double f1 = floorRun();
        fresh();
        saveBytes(data + "tmp/D261130.csv", days.front());
        ::sync();
        oneMs.push_back(timed([&] { return run.import(sv); }));
        const double f2 = floorRun();
        fresh();
        for (size_t d = 0; d < days.size(); ++d)
            saveBytes(data + "tmp/" + gen.calendar()[size_t(gen.storedDays()) + d].toString("'D'yyMMdd'.csv'"), days[d]);
        ::sync();
        tenMs.push_back(timed([&] { return run.import(sv); }));
        const double f3 = floorRun();
        floorMs.insert(floorMs.end(), {f1, f2, f3});
        oneRatio.push_back(oneMs.back() * 2 / (f1 + f2));
        tenRatio.push_back(tenMs.back() * 2 / (f2 + f3));
        if (qEnvironmentVariableIsSet("BENCH_ROUNDS"))
            std::printf("  round %d: floor %.0f, one day %.0f, floor %.0f, ten days %.0f, floor %.0f ms\n", r + 1, f1,
                        oneMs.back(), f2, tenMs.back(), f3);

        fresh();
        perFileMs.push_back(timed([&] {
            for (const QString &p : touched) saveBytes(p, readBytes(p).value_or(QByteArray()));
            return true;
        }));
    }
    const double one = median(oneMs), ten = median(tenMs), fl = median(floorMs), pf = median(perFileMs);
    std::printf("import into %d stocks, %lld price files a day, %d rounds (floor, one day, floor, ten days, floor)\n",
                stocks, qlonglong(touched.size()), runs);
    std::printf("  floor: read + temp + rename, one sync      median %9.1f ms\n", fl);
    std::printf("  import one day                           median %9.1f ms   ratio %.2f (at most 1.3)\n", one,
                median(oneRatio));
    std::printf("  import ten days at once                  median %9.1f ms   ratio %.2f (at most 3)\n", ten,
                median(tenRatio));
    std::printf("  reference: read + rewrite, sync per file  median %9.1f ms   ratio %.2f\n", pf, pf / fl);
    std::printf("  (ratios: median over the rounds of the import against the mean of the floors beside it)\n");
    if (argc <= 3) return 0;

    // The whole process as the user starts it, `velor import` from start to exit, on a quiet
    // machine and with the other core kept busy (the import's readers then compete with it).
    const QString velor = QString::fromLocal8Bit(argv[3]);
    auto processImport = [&] {
        QProcess p;
        p.setStandardOutputFile(QProcess::nullDevice());
        p.setStandardErrorFile(QProcess::nullDevice());
        // The same day as the clock above: the ten days lie after the machine's today.
        p.start(velor, {QStringLiteral("--home"), run.program, QStringLiteral("--now"), QStringLiteral("2026-12-14 18:00"),
                        QStringLiteral("import")});
        const bool ok = p.waitForFinished(-1) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
        if (!ok) std::fprintf(stderr, "velor import ended with %d\n", p.exitCode());
        return ok;
    };
    for (const bool busy : {false, true}) {
        std::vector<double> one1, ten1, ratio1, ratio10;
        std::optional<BusyCore> spin;
        if (busy) spin.emplace();
        for (int r = 0; r < runs; ++r) {
            const double f1 = floorRun();
            fresh();
            saveBytes(data + "tmp/D261130.csv", days.front());
            ::sync();
            one1.push_back(timed(processImport));
            const double f2 = floorRun();
            fresh();
            for (size_t d = 0; d < days.size(); ++d)
                saveBytes(data + "tmp/" + gen.calendar()[size_t(gen.storedDays()) + d].toString("'D'yyMMdd'.csv'"), days[d]);
            ::sync();
            ten1.push_back(timed(processImport));
            const double f3 = floorRun();
            ratio1.push_back(one1.back() * 2 / (f1 + f2));
            ratio10.push_back(ten1.back() * 2 / (f2 + f3));
        }
        std::printf("  whole process, %s: one day median %.0f ms ratio %.2f (at most 1.2); ten days median %.0f ms "
                    "ratio %.2f (at most 1.5)\n",
                    busy ? "other core busy" : "quiet          ", median(one1), median(ratio1), median(ten1),
                    median(ratio10));
        std::fflush(stdout);
    }
    return 0;
}
