#pragma once
// A stock's daily bars read once for a backtest: the daily section of its price file, newest
// first, as many bars as the bar loader would load, and the same bars adjusted for the splits
// known on a given day.
#include "db/CorporateActions.h"
#include "db/MasterVars.h"
#include "db/PriceFile.h"

#include <QString>
#include <expected>
#include <span>
#include <vector>

namespace velor {

/// The daily bars of a price file, newest first, at most the bar tables' room (as KDOPN loads
/// them). An error names the file (and the line) when it is missing, no regular file or
/// malformed; a file that is missing gives `missing` set.
struct DailyReadError {
    QString text;
    bool missing = false;
};
/// Reading stops `olderBars` bars after the first one dated before `oldestNeeded` (0: reads all).
std::expected<std::vector<Bar>, DailyReadError> readDailyBars(const QString &path, int32_t oldestNeeded = 0, int olderBars = 0);

/// One bar line, exactly as parseBarLine reads it, the common plain decimal lines faster.
std::optional<Bar> readBarLine(const char *begin, const char *end);

/// The actions whose ex-date is `date` or earlier: what was known at that day's close.
/// `actions` oldest first, as CorporateActions::of gives them.
std::span<const CorporateAction> actionsKnownOn(std::span<const CorporateAction> actions, int32_t date);

/// Fills positions 1..n of the bar tables with `bars` (newest first) and sets BarCount; the live
/// slot (element 0) and the positions the previous fill used beyond n are cleared.
void fillBarTables(BarVars &tables, const std::vector<Bar> &bars);

} // namespace velor
