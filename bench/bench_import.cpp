// Importing one day into a demo-size database, against the floor of reading and rewriting
// the same price files with a plain loop (same bytes, no parsing). Both write through
// QSaveFile, as every rewrite of a stored file must; a second floor without it is printed
// for reference.
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
#include "generator/DemoFolder.h"
#include "generator/DemoSite.h"
#include "import/DailyImport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

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

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 3;
    const int stocks = argc > 2 ? atoi(argv[2]) : 3800;
    QTemporaryDir tmp;
    demo::MarketOptions mo;
    mo.stocks = stocks;
    if (!demo::writeDemoFolder(tmp.path(), mo)) return 1;
    const QString program = tmp.path() + '/', data = program + "data/";
    const demo::MarketGenerator gen(mo);
    const QByteArray day = demo::dailyFiles(gen, gen.storedDays(), gen.storedDays() + 1).front();
    const auto pristine = snapshot(data);
    QStringList touched;
    for (const QByteArray &line : day.split('\n'))
        if (const QList<QByteArray> f = line.split(','); f.size() == 8) touched << data + QString::fromLatin1(f[1]) + ".csv";

    FixedClock clock{QDateTime(QDate(2026, 11, 30), QTime(18, 0))};
    QtNet net;
    SystemLauncher launcher;
    SilentSound sound;
    ConsoleDialogs dialogs(true);
    TextShell shell;
    NoLiveQuote noQuote;
    Services sv{clock, net, launcher, sound, dialogs, shell, &noQuote};
    std::vector<double> importMs, floorMs, plainMs;
    for (int r = 0; r < runs; ++r) {
        restore(data, pristine);
        saveBytes(data + "tmp/D261130.csv", day);
        State st;
        st.ProgramDir = program, st.DataDir = data, st.MasterPath = data + "meigara.dat", st.LogPath = data + "VELOR.log";
        if (!MEIGARAIN(st)) return 1;
        QElapsedTimer t;
        t.start();
        if (!SHUDOU(st, sv)) return 1;
        importMs.push_back(double(t.nsecsElapsed()) / 1e6);

        restore(data, pristine);
        t.restart();
        for (const QString &p : touched) saveBytes(p, readBytes(p).value_or(QByteArray()));
        floorMs.push_back(double(t.nsecsElapsed()) / 1e6);
        t.restart();
        for (const QString &p : touched) {
            const QByteArray b = readBytes(p).value_or(QByteArray());
            QFile f(p);
            if (f.open(QIODevice::WriteOnly)) f.write(b);
        }
        plainMs.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    const double im = median(importMs), fm = median(floorMs), pm = median(plainMs);
    std::printf("import one day, %lld price files, %d runs\n", qlonglong(touched.size()), runs);
    std::printf("  import (SHUDOU)                 median %9.1f ms\n", im);
    std::printf("  floor: read + QSaveFile rewrite median %9.1f ms   ratio %.2f\n", fm, im / fm);
    std::printf("  reference: read + plain rewrite median %9.1f ms\n", pm);
    return 0;
}
