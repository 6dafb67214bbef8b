#pragma once
// The pages of the demo's local site that the live display, the screens and the monitor read
// offline: a quote page and a target-price page per stock, and the futures page of the index.
#include "demo/MarketGenerator.h"

#include <QString>
#include <expected>

namespace velor::demo {

/// The quote page of one stock: the live bar is the first day after the stored ones (or the
/// last stored day), the fundamentals are derived from the code. UTF-8 bytes.
QByteArray stockQuotePage(const MarketGenerator &gen, const StockSeries &s);

/// The same page with `bar` as the day so far; when not `traded`, the prices read "---" as before
/// the day's first trade. The fundamentals follow `bar.close` either way.
QByteArray stockQuotePage(const MarketGenerator &gen, const StockSeries &s, const Bar &bar, bool traded);

/// The futures page whose close is the index's next close rounded to the futures tick.
QByteArray futuresQuotePage(const MarketGenerator &gen, const StockSeries &index);

/// An index value rounded to the futures tick (10 points).
double futuresPrice(double indexValue);

/// The futures page showing `close` (already at the futures tick).
QByteArray futuresQuotePage(double close);

/// The analysts' target price of a stock in yen, or 0 when it has none (about a quarter of the
/// stocks, every delisted one and the index series): its last stored close times a factor from
/// 0.75 to 1.45 that depends only on the code, rounded to 1, 10 or 100 yen by price level.
double targetPrice(const MarketGenerator &gen, const StockSeries &s);

/// The target-price page of one stock (UTF-8); a short page without the price box when the stock
/// has no target.
QByteArray targetPricePage(const MarketGenerator &gen, const StockSeries &s);

/// Creates siteDir/quote, siteDir/cme and siteDir/stock.
std::expected<void, QString> makePageFolders(const QString &siteDir);

/// Writes the pages of one series into the folders made by makePageFolders: quote/<code>.T and
/// stock/<code> for a stock, cme/index.html for 1001, nothing for 1002.
std::expected<void, QString> writeStockPages(const MarketGenerator &gen, const StockSeries &s, const QString &siteDir);

/// Writes the pages of every series in the master (each series is generated once more).
std::expected<void, QString> writeDemoQuotes(const MarketGenerator &gen, const QString &siteDir);

} // namespace velor::demo
