#pragma once
// velor backtest (NAME | --formula "FILTER" [--score "SCORE"] [--bottom]) --from DATE --to DATE
//                [--hold 1,5,20] [--top K] [--csv]
#include "app/CommandLine.h"

#include <QString>
#include <expected>
#include <vector>

namespace velor {

struct BacktestRequest {
    QString name;              ///< a saved screen, or empty with a formula
    QString filter, score;
    bool bottom = false;
    int32_t from = 0, to = 0;
    std::vector<int> holds{1, 5, 20};
    int top = 10;
    bool csv = false;
};

/// The command's arguments; an error text (Japanese, without "error: ") for bad input.
std::expected<BacktestRequest, QString> parseBacktestArgs(const QStringList &args);

int backtestCommand(const CliOptions &o, const QString &exeDir);
QString backtestUsage();

} // namespace velor
