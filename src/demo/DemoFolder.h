#pragma once
// Writes a complete program folder a new user can open at once: settings, sites, watch lists,
// result folder and a data folder with the whole market.
#include "demo/MarketGenerator.h"

#include <QString>
#include <expected>
#include <functional>

namespace velor::demo {

/// Something more to write for each series of the master, called with the series at hand.
using SeriesWriter = std::function<std::expected<void, QString>(const StockSeries &)>;

/// Asked between stocks: true ends the writing at once with stoppedText().
using StopCheck = std::function<bool()>;

/// The error of a writing that was asked to stop.
QString stoppedText();

/// Writes meigara.dat and every price file of the market as stored up to its last stored day,
/// calling `alsoEach` (when given) for every series that enters the master.
std::expected<void, QString> writeDatabase(const MarketGenerator &gen, const QString &dataDir,
                                           const std::function<void(int done, int total)> &progress = {},
                                           const SeriesWriter &alsoEach = {}, const StopCheck &stop = {});

/// Writes the program folder `dir` (created when missing): VELOR.ini, sites.ini, touroku*.dat,
/// VEDAT/, FUNASHI/, data/ with an empty tmp inbox, and site/ with the price-data site and the
/// quote and target-price pages of every stock; demo.ini keeps the market's parameters.
std::expected<void, QString> writeDemoFolder(const QString &dir, const MarketOptions &options,
                                             const std::function<void(int done, int total)> &progress = {},
                                             const StopCheck &stop = {});

/// The sites.ini text of the demo in `programDir`: every page from the local copies under site/,
/// except the quote and futures pages when `pageServer` names a page server ("http://…").
QByteArray demoSitesText(const QString &programDir, const QString &pageServer = {});

/// The demo's world-index page (UTF-8 HTML).
QByteArray worldIndexPage();

/// The VELOR.ini text of the demo (CP932 bytes, CR LF), its data folder written as `dataDir`.
QByteArray demoSettings(const QString &dataDir);

} // namespace velor::demo
