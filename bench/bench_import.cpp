// Importing one day, and ten days at once, into a demo-size database, against the floor of
// reading the same price files and replacing each by a temporary file and a rename, then one
// sync of the folder (same bytes, no parsing). The floor with one sync per file is printed for
// reference. The disk is synced before every timed part so that no part pays for another.
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
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

using namespace velor;

namespace {

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

QMap<QString, QByteArray> snapshot(const QString &dir)
{
    QMap<QString, QByteArray> m;
    for (const QString &n : QDir(dir).entryList(QDir::Files)) m[n] = readBytes(dir + n).value_or(QByteArray());
    return m;
}

void restore(const QString &dir, const QMap<QString, QByteArray> &files)
{
    for (const QString &n : QDir(dir).entryList(QDir::Files)) QFile::remove(dir + n);
    for (auto it = files.begin(); it != files.end(); ++it) {
        QFile f(dir + it.key());
        if (f.open(QIODevice::WriteOnly)) f.write(it.value());
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
    for (int r = 0; r < runs; ++r) {
        fresh();
        saveBytes(data + "tmp/D261130.csv", days.front());
        ::sync();
        t.start();
        if (!run.import(sv)) return 1;
        oneMs.push_back(double(t.nsecsElapsed()) / 1e6);

        fresh();
        for (size_t d = 0; d < days.size(); ++d)
            saveBytes(data + "tmp/" + gen.calendar()[size_t(gen.storedDays()) + d].toString("'D'yyMMdd'.csv'"), days[d]);
        ::sync();
        t.restart();
        if (!run.import(sv)) return 1;
        tenMs.push_back(double(t.nsecsElapsed()) / 1e6);

        fresh();
        t.restart();
        batchFloor(data, touched);
        floorMs.push_back(double(t.nsecsElapsed()) / 1e6);

        fresh();
        t.restart();
        for (const QString &p : touched) saveBytes(p, readBytes(p).value_or(QByteArray()));
        perFileMs.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    const double one = median(oneMs), ten = median(tenMs), fl = median(floorMs), pf = median(perFileMs);
    std::printf("import into %d stocks, %lld price files a day, %d runs\n", stocks, qlonglong(touched.size()), runs);
    std::printf("  floor: read + temp + rename, one sync      median %9.1f ms\n", fl);
    std::printf("  import one day                           median %9.1f ms   ratio %.2f (at most 1.3)\n", one, one / fl);
    std::printf("  import ten days at once                  median %9.1f ms   ratio %.2f (at most 3)\n", ten, ten / fl);
    std::printf("  reference: read + rewrite, sync per file  median %9.1f ms   ratio %.2f\n", pf, pf / fl);
    return 0;
}
