#pragma once
// velor chart CODE … --png FILE: the chart as the window draws it, into a PNG.
// velor export CODE [--period d|w|m]: the loaded bars and the four oscillators as CSV.
#include "app/CommandLine.h"

namespace velor {

struct ChartRequest {
    int code = 0;
    int period = 0;           ///< 0 daily, 1 weekly, 2 monthly
    int offset = 0;
    int indicator = -1;       ///< -1: as VELOR.ini says
    int axis = -1;            ///< -1: as VELOR.ini says
    int bars = -1;            ///< -1: as VELOR.ini says
    bool overlay = false;
    bool raw = false;         ///< --raw: the stored bars, not adjusted for splits
    QString png;
    int width = 509, height = 545;   ///< the design size at 96 dpi
};

/// Parses the arguments of "chart" (withPng) or "export"; an error text for bad usage.
std::expected<ChartRequest, QString> parseChartArgs(const QStringList &args, bool withPng);

int chartCommand(const CliOptions &o, const QString &exeDir);
int exportCommand(const CliOptions &o, const QString &exeDir);

/// Usage lines of both commands.
QString chartUsage();

} // namespace velor
