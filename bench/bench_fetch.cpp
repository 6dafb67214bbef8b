// Fetching quote pages in list order from a local server that answers each page after 20 ms, one
// request at a time against four in flight: median times, their ratio and pages per second. The
// pages are the demo's (site/quote of a demo folder), or generated here when no folder is given.
#include "Median.h"
#include "LocalPageServer.h"
#include "common/Net.h"
#include "demo/DemoQuotes.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace velor;

namespace {

// Writes the quote pages of a generated market when no demo folder is given.
bool writePages(const QString &site, int count)
{
    demo::MarketOptions o;
    o.stocks = count + 10;
    const demo::MarketGenerator gen(o);
    if (!QDir().mkpath(site + "/quote")) return false;
    for (size_t i = 2; i < gen.listing().size(); ++i) {
        const demo::StockSeries s = gen.series(i);
        QFile f(site + "/quote/" + QString::number(s.entry.code) + ".T");
        if (!f.open(QIODevice::WriteOnly) || f.write(demo::stockQuotePage(gen, s)) < 0) return false;
    }
    return true;
}

struct Run {
    double ms = 0;
    QByteArray digest;   ///< of every page in the order delivered
    int failed = 0;
};

Run fetchAll(QtNet &net, const QStringList &addresses, int inFlight)
{
    Run r;
    QCryptographicHash hash(QCryptographicHash::Sha1);
    QElapsedTimer t;
    t.start();
    net.fetchOrdered(addresses, FetchLimits{30000, 4 << 20}, inFlight, [&](int i, const auto &page) {
        hash.addData(QByteArray::number(i));
        if (page) hash.addData(*page);
        else ++r.failed;
        return true;
    });
    r.ms = double(t.nsecsElapsed()) / 1e6;
    r.digest = hash.result();
    return r;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int count = args.size() > 2 ? args[2].toInt() : 400;
    QTemporaryDir tmp;
    QString site = args.size() > 1 ? args[1] : QString();
    if (site.isEmpty()) {
        site = tmp.path() + "/site";
        if (!writePages(site, count)) { std::fprintf(stderr, "bench_fetch: cannot write pages\n"); return 1; }
    }
    QStringList names = QDir(site + "/quote").entryList(QDir::Files, QDir::Name);
    if (names.size() < count) { std::fprintf(stderr, "bench_fetch: fewer than %d pages in %s/quote\n", count, qPrintable(site)); return 1; }
    names = names.mid(0, count);

    bench::LocalPageServer server(site, 20);
    if (!server.listening()) { std::fprintf(stderr, "bench_fetch: cannot listen on 127.0.0.1\n"); return 1; }
    QStringList addresses;
    for (const QString &n : names) addresses << server.baseAddress() + "/quote/" + n;

    QtNet net;
    std::vector<double> one, four;
    QByteArray digest;
    bool same = true;
    int failed = 0, maxWaitingFour = 0;
    for (int round = 0; round < 3; ++round) {
        for (int inFlight : {1, 4}) {
            server.resetCounts();
            const Run r = fetchAll(net, addresses, inFlight);
            (inFlight == 1 ? one : four).push_back(r.ms);
            if (inFlight == 4) maxWaitingFour = std::max(maxWaitingFour, server.maxWaiting());
            if (digest.isEmpty()) digest = r.digest;
            same = same && r.digest == digest;
            failed += r.failed;
        }
    }
    const double m1 = median(one), m4 = median(four);
    std::printf("bench_fetch: %d quote pages, each answered 20 ms after its request, from 127.0.0.1\n", count);
    std::printf("  1 in flight: median %.0f ms (%.1f pages/s)\n", m1, count * 1000.0 / m1);
    std::printf("  4 in flight: median %.0f ms (%.1f pages/s), at most %d requests waiting at once\n", m4,
                count * 1000.0 / m4, maxWaitingFour);
    std::printf("  ratio 1/4: %.2f (target >= 3.0); pages identical in every run: %s; failed pages: %d\n", m1 / m4,
                same ? "yes" : "NO", failed);
    return same && failed == 0 ? 0 : 1;
}
