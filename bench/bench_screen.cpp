// The whole-market screens against their floors:
// 1. RANKING over a market, against opening each price file and reading three lines with stdio,
//    in the same run (medians and their ratio);
// 2. PER against a local HTTP server that answers each quote page after 20 ms, with one and with
//    four requests in flight (times, their ratio, and whether the lines agree).
#include "DemoMarket.h"
#include "common/StockCode.h"
#include "Median.h"
#include "app/Startup.h"
#include "chart/ChartTexts.h"
#include "db/Bars.h"
#include "db/Services.h"
#include "db/State.h"
#include "realtime/QuotePages.h"
#include "screen/PageServer.h"
#include "screen/Screens.h"

#include <QCoreApplication>
#include <QFile>
#include <QSemaphore>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

using namespace velor;
using Steady = std::chrono::steady_clock;

namespace {

double msSince(Steady::time_point t0) { return std::chrono::duration<double, std::milli>(Steady::now() - t0).count(); }

// The server runs in its own thread, so its 20 ms waits overlap whatever the client does.
class ServerThread : public QThread {
public:
    ServerThread(int delayMs, QHash<QByteArray, QByteArray> pages) : m_delayMs(delayMs), m_pages(std::move(pages)) {}
    QString base;
    QSemaphore ready;
protected:
    void run() override
    {
        test::PageServer server(m_delayMs);
        server.pages = m_pages;
        server.start();
        base = server.base();
        ready.release();
        exec();
    }
private:
    int m_delayMs;
    QHash<QByteArray, QByteArray> m_pages;
};

QByteArray quotePage(double per)
{
    return (test::priceBlock() + QStringLiteral(R"("shareDividendYield":"2.35%")") + test::sep() +
            QStringLiteral(R"("dps":"30.00")") + test::sep() + QStringLiteral(R"("per":"%1倍")").arg(per) + test::sep())
        .toUtf8();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_screen PROGRAM_DIR [RUNS] [PER_STOCKS]\n");
        return 2;
    }
    const int runs = argc > 2 ? std::atoi(argv[2]) : 7;
    const auto market = std::make_unique<bench::DemoMarket>();   // big tables: on the heap
    if (!market->load(argv[1], 2)) return 1;
    State &st = market->st;
    Services &sv = market->sv;

    std::vector<QByteArray> paths;
    for (int i = 1; i <= st.StockCount; ++i) paths.push_back(QFile::encodeName(st.priceFilePath(st.StockCode[size_t(i)])));
    MemoryScreenView view;
    Screens screens(st, sv, view);
    std::vector<double> ranking, floor;
    long sink = 0;
    for (int r = 0; r < runs; ++r) {
        auto t0 = Steady::now();
        screens.RANKING();
        ranking.push_back(msSince(t0));
        sink += view.lines().size();
        t0 = Steady::now();
        char buf[256];
        for (const auto &p : paths) {
            std::FILE *f = std::fopen(p.constData(), "rb");
            if (!f) continue;
            for (int k = 0; k < 3 && std::fgets(buf, sizeof buf, f); ++k) sink += buf[0];
            std::fclose(f);
        }
        floor.push_back(msSince(t0));
    }
    const double rk = median(ranking), fl = median(floor);
    std::printf("RANKING over %d stocks: median %.2f ms; floor (open, 3 lines): median %.2f ms; ratio %.2f (target <= 1.5)\n",
                int(st.StockCount), rk, fl, rk / fl);

    // PER: one page per stock of code 1301 and up, each answered after 20 ms (PER_STOCKS limits
    // the market to its first stocks; 0 skips this part).
    const int perStocks = argc > 3 ? std::atoi(argv[3]) : st.StockCount;
    if (perStocks <= 0) return sink == -1 ? 1 : 0;
    st.StockCount = int16_t(std::min<int>(perStocks, st.StockCount));
    QHash<QByteArray, QByteArray> pages;
    std::vector<QByteArray> bodies;
    for (int k = 0; k < 50; ++k) bodies.push_back(quotePage(k == 0 ? 0 : k * 1.5 + 0.25));
    for (int i = 1; i <= st.StockCount; ++i) {
        const int code = st.StockCode[size_t(i)];
        if (code >= 1301) pages.insert("/quote/" + codeText(code).toLatin1() + ".T", bodies[size_t(code % 50)]);
    }
    ServerThread server(20, pages);
    server.start();
    server.ready.acquire();
    st.sites.QuoteUrl = server.base;
    st.MinTurnover = 0;
    double times[2] = {0, 0};
    QStringList lines[2];
    for (int k = 0; k < 2; ++k) {
        st.sites.MaxConnections = k == 0 ? 1 : 4;
        st.BarOffset = 0;
        const auto t0 = Steady::now();
        screens.PER();
        times[k] = msSince(t0);
        lines[k] = view.lines();
    }
    server.quit();
    server.wait();
    std::printf("PER over %d pages (20 ms each): 1 in flight %.0f ms; 4 in flight %.0f ms; speed-up %.2f (target >= 3); "
                "lines %s\n",
                int(pages.size()), times[0], times[1], times[0] / times[1],
                lines[0] == lines[1] && !lines[0].isEmpty() ? "identical" : "DIFFERENT");
    return sink == -1 ? 1 : 0;
}
