#pragma once
// Whether a price alert can ever fire: its stock's page must be read by the minute-bar
// collection (the stocks of the watch lists) or by the surge/plunge monitor (every stock whose
// quote page is read, within the monitor's price and turnover range when that is switched on).
// Alerts that never could are refused with the reason; those that fire only while the monitor
// runs are accepted with a warning that says so.
#include <QString>

namespace velor {

struct State;
struct Services;

/// Why an alert for `code` can never fire (an index other than 1001, a stock of section 4:
/// their pages are never read); empty when it can.
QString alertNeverFires(const State &st, int code);

/// Whether `code` is on one of the three watch lists (what the minute collection reads).
bool onWatchList(const State &st, int code);

/// When the alert fires only while the monitor runs (a stock on no watch list): the warning
/// that says exactly when; empty otherwise.
QString alertReachWarning(const State &st, int code, bool watched);

/// The stock's current price as the alert dialog shows it, labelled: the live price of the
/// charted stock while live quotes are on, else its last stored close with its date.
QString currentPriceText(State &st, Services &sv, int code);

} // namespace velor
