// Loads the two newest daily bars of every stock of a database, as a whole-market screen does,
// and compares the walk with its floor: opening each price file and reading its first three
// lines with plain stdio. Prints the medians and the ratio.
#include "Median.h"
#include "db/Bars.h"
#include "db/Services.h"
#include "db/State.h"
#include "db/StockMaster.h"

#include <QFile>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

using namespace velor;
using Clock_ = std::chrono::steady_clock;

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_kdopn DATA_DIR [RUNS]\n");
        return 2;
    }
    State st;
    st.DataDir = QString::fromLocal8Bit(argv[1]);
    if (!st.DataDir.endsWith('/')) st.DataDir += '/';
    st.MasterPath = st.DataDir + "meigara.dat";
    if (auto r = MEIGARAIN(st); !r) {
        std::fprintf(stderr, "error: %s\n", r.error().toUtf8().constData());
        return 1;
    }
    const int runs = argc > 2 ? std::atoi(argv[2]) : 15;
    SystemClock clock;
    QtNet net;
    SystemLauncher launcher;
    SilentSound sound;
    ConsoleDialogs dialogs;
    TextShell shell;
    Services sv{clock, net, launcher, sound, dialogs, shell, nullptr};

    std::vector<QByteArray> paths;
    for (int i = 1; i <= st.StockCount; ++i) paths.push_back(QFile::encodeName(st.priceFilePath(st.StockCode[size_t(i)])));

    std::vector<double> walk, floor;
    double sink = 0;
    for (int r = 0; r < runs; ++r) {
        auto t0 = Clock_::now();
        for (int i = 1; i <= st.StockCount; ++i) {
            st.CurCode = st.StockCode[size_t(i)];
            KDOPN(st, sv, 2);
            sink += st.BarClose[1];
        }
        auto t1 = Clock_::now();
        char buf[256];
        for (const auto &p : paths) {
            std::FILE *f = std::fopen(p.constData(), "rb");
            if (!f) continue;
            for (int k = 0; k < 3 && std::fgets(buf, sizeof buf, f); ++k) sink += buf[0];
            std::fclose(f);
        }
        auto t2 = Clock_::now();
        walk.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
        floor.push_back(std::chrono::duration<double, std::milli>(t2 - t1).count());
    }
    const double w = median(walk), f = median(floor);
    std::printf("kdopn2 walk of %d stocks: median %.2f ms; floor (stdio, 3 lines): median %.2f ms; ratio %.2f (target <= 1.5)\n",
                int(st.StockCount), w, f, w / f);
    return sink == -1 ? 1 : 0;
}
