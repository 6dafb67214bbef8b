#pragma once
// The demo's page server on the command line: `velor demo serve DIR [--port N] [--for SECONDS]`,
// its twin of the data API (`velor demo serve DIR --jquants [--port N] [--for SECONDS] [--key K]
// [--page-size N] [--rate N]`), and `velor demo DIR --moving [--port N]`, which points the new
// folder's quote pages at the page server.
#include "app/CommandLine.h"

#include <expected>
#include <memory>

namespace velor {

class Clock;
struct State;
namespace demo {
class DemoServer;
}

/// Whether the arguments of `velor demo` ask for the page server ("serve" followed by a folder).
bool isDemoServe(const QStringList &args);

/// Runs the page server (or, with --jquants, the data API's twin) of the demo folder in the
/// foreground until SIGTERM/SIGINT (or for the given seconds) and prints its base address on
/// standard output. Pages follow the clock:
/// `--now` starts it at that time and lets it run on.
int demoServeCommand(const CliOptions &o);

/// "--moving [--port N]" taken out of the arguments of `velor demo DIR`.
struct MovingRequest {
    bool moving = false;
    int port = 0;
};
/// Takes the options out of `args`; an error line (bad usage) for a bad port or --port without
/// --moving.
std::expected<MovingRequest, QString> takeMovingOptions(QStringList &args);

/// The page server of a demo folder whose sites name it (see demo::demoServerPort), listening
/// for a command's lifetime; null for any other folder, and when the port is taken (a window or
/// `velor demo serve` answers there already).
std::unique_ptr<demo::DemoServer> startDemoServerFor(const State &st, Clock &clock);

/// Points the demo folder's quote and futures pages at the page server on `port`.
std::expected<void, QString> makeFolderMoving(const QString &dir, int port);

} // namespace velor
