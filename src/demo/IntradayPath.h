#pragma once
// The demo's trading day minute by minute: every stock walks from its day's open to its close,
// touching the day's high and low on the way, and its volume builds up to the day's volume. A
// pure function of the market, the stock and the time of day: nothing is remembered between calls.
#include "demo/MarketGenerator.h"

#include <QTime>
#include <optional>
#include <vector>

namespace velor::demo {

/// Trades happen at points 0..kLastContinuousPoint, one a minute: 9:00–11:30 are points 0..150,
/// 12:30–15:25 points 151..326; the closing auction at 15:30 is kClosingAuctionPoint.
constexpr int kLastContinuousPoint = 326;
constexpr int kClosingAuctionPoint = 327;

/// The trade point in force at a time of day: none before 9:00; the lunch break and the minutes
/// before the auction keep the last point of the session; 15:30 and later the closing auction.
std::optional<int> tradePointAt(const QTime &t);

/// The bar the quote pages show for a stock on the day after the stored ones (for a delisted
/// stock its last bar, for a stock not listed yet an empty one): the fixed page's whole day.
Bar quotedDayBar(const MarketGenerator &gen, const StockSeries &s);

/// Whether the stock's price moves through the day: it trades on the day after the stored ones.
bool movesThroughTheDay(const MarketGenerator &gen, const StockSeries &s);

/// The price at every point 0..kClosingAuctionPoint: the day's open at 0, its close at the
/// auction, the high and the low each reached at a point of the session that depends on the
/// code and the market, never outside them. Empty for a stock that does not move.
std::vector<float> intradayPrices(const MarketGenerator &gen, const StockSeries &s);

/// The volume traded up to every point, non-decreasing, the day's volume at the auction.
/// Empty for a stock that does not move.
std::vector<double> intradayVolumes(const MarketGenerator &gen, const StockSeries &s);

/// The day's bar so far at a time of day: open, running high and low, last price and volume.
/// None before the first trade (before 9:00, or all day until the auction for a stock without
/// trades); from 15:30 on, exactly quotedDayBar(). A stock that does not move always has its
/// quotedDayBar().
std::optional<Bar> barSoFar(const MarketGenerator &gen, const StockSeries &s, const QTime &t);

/// The stock's close on its last stored day (0 when it has none): what the page shows its
/// fundamentals from before the first trade.
float previousClose(const MarketGenerator &gen, const StockSeries &s);

} // namespace velor::demo
