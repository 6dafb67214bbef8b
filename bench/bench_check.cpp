// The data check (velor check) of a whole demo market against its floor: reading every price
// file of the data folder into memory, one after the other, with the program's own reader.
// Prints the medians and the ratio; the check on one thread is shown beside it. With --cold (as
// root) the page cache is emptied before every timed pass, so both read from the disk as the
// first check after a start does.
#include "Median.h"
#include "common/StockCode.h"
#include "common/TextFile.h"
#include "db/DataCheck.h"

#include <QDir>
#include <QFile>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <unistd.h>
#include <vector>

using namespace velor;
using Clock_ = std::chrono::steady_clock;

namespace {

double msSince(Clock_::time_point t0) { return std::chrono::duration<double, std::milli>(Clock_::now() - t0).count(); }

// Writes the dirty pages out and drops the clean ones; false when that is not allowed.
bool dropCaches()
{
    std::fflush(nullptr);
    ::sync();
    QFile f(QStringLiteral("/proc/sys/vm/drop_caches"));
    return f.open(QIODevice::WriteOnly) && f.write("3\n") == 2;
}

} // namespace

int main(int argc, char **argv)
{
    const bool cold = argc > 1 && std::string_view(argv[argc - 1]) == "--cold";
    if (cold) --argc;
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_check DEMO_DIR [RUNS] [--cold]\n");
        return 2;
    }
    const QString data = QString::fromLocal8Bit(argv[1]) + QStringLiteral("/data/");
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;
    if (cold && !dropCaches()) {
        std::fprintf(stderr, "error: --cold needs root (writing /proc/sys/vm/drop_caches)\n");
        return 1;
    }
    std::vector<QString> paths;
    for (const QString &name : QDir(data).entryList({QStringLiteral("*.csv")}, QDir::Files))
        if (codeFromText(QStringView(name).chopped(4))) paths.push_back(data + name);
    if (paths.empty()) {
        std::fprintf(stderr, "error: no price file in %s\n", qPrintable(data));
        return 1;
    }
    std::vector<double> floor, check, single;
    size_t sink = 0, findings = 0;
    for (int r = 0; r < runs; ++r) {
        if (cold) dropCaches();
        auto t0 = Clock_::now();
        for (const QString &p : paths)
            if (auto b = readBytes(p)) sink += size_t(b->size());
        floor.push_back(msSince(t0));
        if (cold) dropCaches();
        t0 = Clock_::now();
        const DataCheckReport report = checkDataFolder(data);
        check.push_back(msSince(t0));
        findings = report.findings.size() + size_t(report.errors.size());
        if (cold) dropCaches();
        t0 = Clock_::now();
        sink += checkDataFolder(data, 1).findings.size();
        single.push_back(msSince(t0));
    }
    const double f = median(floor), c = median(check), s = median(single);
    std::printf("%s: check of %zu price files (%zu findings): median %.1f ms (one thread %.1f ms, ratio %.2f); "
                "floor (read every file): median %.1f ms; ratio %.2f (target <= 1.5)\n",
                cold ? "cold (page cache emptied before each pass)" : "warm", paths.size(), findings, c, s, s / f, f, c / f);
    // The floor, the kernel's copying of the files, moves with the machine's state by more than
    // the check's own work does: that work (one thread less the floor) is the figure to compare
    // builds by, the ratio the one the target is set on.
    std::printf("%s: the check's own work (one thread less the floor): %.1f ms\n", cold ? "cold" : "warm", s - f);
    return sink == 0 ? 1 : 0;
}
