#pragma once
// velor search KEYWORD; velor watch list N | add N CODE | remove N CODE | sort
#include "app/CommandLine.h"

namespace velor {

/// Prints the result lines of the name search, end line included.
int searchCommand(const CliOptions &options, const QString &exeDir);
/// The watch-list operations as the menus do them, messages on standard error.
int watchCommand(const CliOptions &options, const QString &exeDir);

} // namespace velor
