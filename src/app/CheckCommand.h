#pragma once
// velor check: the data check of every price file of the database (findings on standard output,
// one a line, then the count of each kind).
#include "app/CommandLine.h"

#include <QString>

namespace velor {

/// The check command: 0 when every file could be read (a warning with the number of findings
/// when there are any), 1 when a file could not be read or parsed (the others are checked and
/// reported first), 2 bad usage.
int checkCommand(const CliOptions &options, const QString &exeDir);

} // namespace velor
