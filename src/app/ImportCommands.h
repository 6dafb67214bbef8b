#pragma once
// `velor import` and `velor download`: the daily import and the automatic download without a
// window. The message pane's lines go to standard output (oldest first), messages to
// standard error.
#include "app/CommandLine.h"

namespace velor {

/// Runs SHUDOU on the inbox; 1 when the run ended on an error, 2 on bad usage.
int importCommand(const CliOptions &options, const QString &exeDir);
/// Runs the download of the folder's price source, the site (JIDOU) or the J-Quants API, with
/// `--since YYYY-MM-DD` for the API's first fill (--yes answers its question); 1 when the run
/// ended on an error, 2 on bad usage.
int downloadCommand(const CliOptions &options, const QString &exeDir);
/// `velor init DIR [--source site|jquants] [--plan P] [--api-url URL]`: an empty program folder set
/// for the chosen price source; 1 when DIR already holds one or cannot be written, 2 on bad usage.
int initCommand(const CliOptions &options);

} // namespace velor
