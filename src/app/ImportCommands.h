#pragma once
// `velor import` and `velor download`: the daily import and the automatic download without a
// window. The message pane's lines go to standard output (oldest first), messages to
// standard error.
#include "app/CommandLine.h"

namespace velor {

/// Runs SHUDOU on the inbox; 1 when the run ended on an error, 2 on bad usage.
int importCommand(const CliOptions &options, const QString &exeDir);
/// Runs JIDOU (--yes answers its question); 1 when the run ended on an error, 2 on bad usage.
int downloadCommand(const CliOptions &options, const QString &exeDir);

} // namespace velor
