#pragma once
// What makes a program folder a demo folder, and how its quote pages can be served live: the
// market's parameters kept in demo.ini, and sites.ini pointing the quote and futures pages at the
// demo's page server on this machine.
#include "db/Sites.h"
#include "demo/MarketGenerator.h"

#include <QString>
#include <expected>
#include <optional>

namespace velor::demo {

/// The page server's port unless told otherwise.
constexpr int kDefaultServerPort = 47501;
/// The most stocks a demo market holds (the codes 1301..9999 leave no room for more).
constexpr int kMaxDemoStocks = 4398;

/// demo.ini's text (UTF-8, CR LF): the `--stocks` and `--seed` the market was made from.
QByteArray demoParametersText(const MarketOptions &options);
/// Writes demo.ini into the program folder `programDir`.
std::expected<void, QString> writeDemoParameters(const QString &programDir, const MarketOptions &options);
/// The market options of a demo folder, from its demo.ini; an error naming the file when it is
/// missing or does not hold both numbers (a folder not written by `velor demo`).
std::expected<MarketOptions, QString> readDemoParameters(const QString &programDir);

/// "http://127.0.0.1:<port>".
QString serverBase(int port);
/// sites.ini of the demo with the quote and futures pages at the page server on `port`
/// (the other pages stay the local files).
QByteArray movingSitesText(const QString &programDir, int port);

/// The port on which the window should run the page server itself: the folder is a demo folder
/// and its sites name this machine's page server for the quote or the futures page.
std::optional<int> demoServerPort(const QString &programDir, const Sites &sites);

} // namespace velor::demo
