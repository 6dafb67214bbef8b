#pragma once
// The four small buttons that open outside pages for the current stock.
#include "common/Launcher.h"
#include "db/State.h"

#include <QString>
#include <optional>

namespace velor {

enum class StockPage {
    Detail,     ///< cmdJMP(0) "Y!"
    Broker,     ///< cmdJMP(1) "楽"
    Analysis,   ///< Command1 "み"
    Company,    ///< Command3 "四"
};

/// The address a button opens for CurCode: nothing at all (no value), an empty address (the
/// browser starts without a page) or the page's address built from the sites.ini base.
std::optional<QString> stockPageAddress(const State &st, StockPage page);
/// Starts the browser with the address, when the button opens anything for this stock.
/// False only when the browser could not be started.
bool openStockPage(const State &st, Launcher &launcher, StockPage page);
/// The message for a browser that could not be started.
QString browserFailedText(const State &st);

} // namespace velor
