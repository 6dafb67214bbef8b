#pragma once
// Quote pages of the demo's local site, so that the live display works offline: one stock page
// per watch-list stock and the futures page of the index.
#include "generator/MarketGenerator.h"

#include <QString>
#include <expected>

namespace velor::demo {

/// The quote page of one stock: the live bar is the first day after the stored ones (or the
/// last stored day), the fundamentals are derived from the code. UTF-8 bytes.
QByteArray stockQuotePage(const MarketGenerator &gen, const StockSeries &s);

/// The futures page whose close is the index's next close rounded to the futures tick.
QByteArray futuresQuotePage(const MarketGenerator &gen, const StockSeries &index);

/// Writes site/quote/<code>.T for every stock of touroku*.dat in `programDir` and site/cme/
/// (its index.html) for 1001.
std::expected<void, QString> writeDemoQuotes(const MarketGenerator &gen, const QString &programDir);

} // namespace velor::demo
