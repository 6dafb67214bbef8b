#pragma once
// velor quote CODE [--mode 0|1|7|11] [--offset N]: one getVec, its values as name=value lines.
#include "app/CommandLine.h"

namespace velor {

struct State;
struct MinuteTick;
class SurgeMonitor;

/// The quote command; exit code 0, 1 when the page could not be read, 2 on bad usage.
int quoteCommand(const CliOptions &options, const QString &exeDir);

/// The live bar, CurTurnover and the quote values, one "name=value" line each.
QString quoteValuesText(const State &st);

/// velor monitor [--passes N] [--wait W]: the monitor from its base pass for N passes (the base
/// pass counts), then the six lists, each after its caption.
int monitorCommand(const CliOptions &options, const QString &exeDir);
/// The six lists as the window shows them, each after its caption, one line per row.
QString monitorListsText(const SurgeMonitor &monitor);

/// velor minute collect: Fmeigara.dat rewritten and one collection; velor minute show CODE: the
/// stock's minute bars as the chart reads them ("element,date,open,high,low,close,volume", the
/// live bar 0 last).
int minuteCommand(const CliOptions &options, const QString &exeDir);
QString minuteBarsText(const State &st);
/// What one collection did, for the user: records written, stocks already recorded this
/// minute, stocks without a price yet.
QString minuteTickText(const MinuteTick &t);

} // namespace velor
