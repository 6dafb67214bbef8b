// Median time to read one quote page (prices and fundamentals) held in memory, with and without
// turning the page bytes into text first. The pages are the demo's, one per stock.
#include "Median.h"
#include "demo/DemoQuotes.h"
#include "realtime/QuotePage.h"

#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace velor;

int main()
{
    demo::MarketOptions o;
    o.stocks = 400;
    const demo::MarketGenerator gen(o);
    std::vector<QByteArray> pages;
    std::vector<int> codes;
    for (size_t i = 2; i < gen.listing().size(); ++i) {
        const demo::StockSeries s = gen.series(i);
        pages.push_back(demo::stockQuotePage(gen, s));
        codes.push_back(s.entry.code);
    }
    std::vector<QString> texts;
    for (const QByteArray &p : pages) texts.push_back(decodeQuotePage(p));

    double sink = 0;
    std::vector<double> parseOnly, decodeAndParse;
    for (int round = 0; round < 15; ++round) {
        QElapsedTimer t;
        t.start();
        for (size_t i = 0; i < texts.size(); ++i) sink += parseQuotePage(texts[i], codes[i], 1).close;
        parseOnly.push_back(double(t.nsecsElapsed()) / 1000.0 / double(texts.size()));
        t.restart();
        for (size_t i = 0; i < pages.size(); ++i) sink += parseQuotePage(decodeQuotePage(pages[i]), codes[i], 1).per;
        decodeAndParse.push_back(double(t.nsecsElapsed()) / 1000.0 / double(pages.size()));
    }
    std::printf("bench_quote: %zu pages of %lld bytes each (about)\n", pages.size(), (long long)pages[0].size());
    std::printf("  parse one page (prices and fundamentals): median %.2f us per page (target < 50 us)\n", median(parseOnly));
    std::printf("  decode (UTF-8) and parse one page:        median %.2f us per page\n", median(decodeAndParse));
    return sink == 0.123 ? 1 : 0;   // keeps the work from being optimised away
}
