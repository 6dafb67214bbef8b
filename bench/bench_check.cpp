// The data check (velor check) of a whole demo market against its floor: reading every price
// file of the data folder into memory, one after the other, with the program's own reader.
// Prints the medians and the ratio; the check on one thread is shown beside it.
#include "Median.h"
#include "common/StockCode.h"
#include "common/TextFile.h"
#include "db/DataCheck.h"

#include <QDir>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace velor;
using Clock_ = std::chrono::steady_clock;

namespace {

double msSince(Clock_::time_point t0) { return std::chrono::duration<double, std::milli>(Clock_::now() - t0).count(); }

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_check DEMO_DIR [RUNS]\n");
        return 2;
    }
    const QString data = QString::fromLocal8Bit(argv[1]) + QStringLiteral("/data/");
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;
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
        auto t0 = Clock_::now();
        for (const QString &p : paths)
            if (auto b = readBytes(p)) sink += size_t(b->size());
        floor.push_back(msSince(t0));
        t0 = Clock_::now();
        const DataCheckReport report = checkDataFolder(data);
        check.push_back(msSince(t0));
        findings = report.findings.size() + size_t(report.errors.size());
        t0 = Clock_::now();
        sink += checkDataFolder(data, 1).findings.size();
        single.push_back(msSince(t0));
    }
    const double f = median(floor), c = median(check), s = median(single);
    std::printf("check of %zu price files (%zu findings): median %.1f ms (one thread %.1f ms, ratio %.2f); "
                "floor (read every file): median %.1f ms; ratio %.2f (target <= 1.5)\n",
                paths.size(), findings, c, s, s / f, f, c / f);
    return sink == 0 ? 1 : 0;
}
