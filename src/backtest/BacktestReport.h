#pragma once
// The texts of a backtest: the Japanese summary and the picks as CSV lines.
#include "backtest/Backtest.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace velor {

/// "2026-11-27".
QString backtestDateText(int32_t yyyymmdd);
/// "2026-11-27" or "20261127" as YYYYMMDD; 0 for anything that is not a date.
int32_t parseBacktestDate(const QString &text);
/// "1,5,20" as holding periods; nothing when it is not a list of whole numbers (their range is
/// the backtest's to check).
std::optional<std::vector<int>> parseHolds(const QString &text);
/// A fraction as a percentage with two decimals ("12.35%", "-0.50%"); "－" for no number.
QString percentText(double fraction);

/// The header "date,code,score,close,r1,r5,r20" and one line a pick:
/// "2026-11-27,1301,12.5,980,0.1,,": the score empty when the screen has none, each return a
/// fraction in its shortest form, empty where that bar is not stored yet.
QStringList backtestCsv(const BacktestResult &r);

/// The summary: what was run (`title`), the range, the picks, the returns of each holding period
/// beside the market's, and the curves' ends and worst drawdowns.
QStringList backtestSummary(const BacktestResult &r, const QString &title, const BacktestOptions &options);

} // namespace velor
