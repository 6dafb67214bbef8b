#pragma once
// velor split add CODE DATE RATIO | split remove CODE DATE | split list: the recorded splits and
// reverse splits of the data folder (split.dat).
#include "app/CommandLine.h"

#include <QString>

namespace velor {

/// The split command: 0 done (a warning for a change that changed nothing), 1 the table could
/// not be read or written, 2 bad usage.
int splitCommand(const CliOptions &options, const QString &exeDir);

/// A date argument: "YYYY-MM-DD" or "YYYYMMDD" as YYYYMMDD; 0 when it is neither.
int32_t dateArg(const QString &text);

} // namespace velor
