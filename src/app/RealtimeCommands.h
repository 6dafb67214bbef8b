#pragma once
// velor quote CODE [--mode 0|1|7|11] [--offset N]: one getVec, its values as name=value lines.
#include "app/CommandLine.h"

namespace velor {

struct State;

/// The quote command; exit code 0, 1 when the page could not be read, 2 on bad usage.
int quoteCommand(const CliOptions &options, const QString &exeDir);

/// The live bar, CurTurnover and the quote values, one "name=value" line each.
QString quoteValuesText(const State &st);

} // namespace velor
