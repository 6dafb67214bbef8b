#pragma once
// velor alert set CODE [--above X] [--below Y] | alert clear CODE | alert list, and the
// `alert:` lines other commands print for the alerts they raise.
#include "app/CommandLine.h"
#include "realtime/AlertCenter.h"

#include <vector>

namespace velor {

class CliSession;
class SurgeMonitor;
struct MinuteTick;

/// The alert command; 0 done, 1 the file could not be read or written (or an unknown stock),
/// 2 bad usage. `set` and `clear` take the program's lock; `set` reports three progress steps
/// (read, new text made, written).
int alertCommand(const CliOptions &options, const QString &exeDir);

/// "alert: " + each line of each alert, one per line.
QString alertOutput(const std::vector<RaisedAlert> &alerts);

/// After `velor minute collect`: prints the price alerts of the pages read and keeps their
/// state in alerts.dat. False (with a warning printed) when alerts.dat could not be read or
/// written; the alerts are printed all the same.
bool printMinuteAlerts(CliSession &s, const MinuteTick &tick);

/// `velor monitor --notify`: after each pass prints the alerts it raises (the monitor's with
/// 通知 on, and the price alerts of the pages read). The state stays in memory: the monitor
/// only reads.
void attachMonitorAlerts(CliSession &s, SurgeMonitor &monitor, AlertCenter &center);

} // namespace velor
