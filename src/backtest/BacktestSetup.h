#pragma once
// From a formula screen as the user writes or saves it to a backtest ready to run: the saved
// screen looked up by name, the formulas compiled and the scope resolved as the formula screen
// does it, and the screens' floors (price band, turnover) of the settings.
#include "backtest/Backtest.h"
#include "backtest/FormulaBacktestScreen.h"
#include "formula/SavedScreens.h"

#include <QString>
#include <expected>
#include <optional>

namespace velor {

struct State;

/// The screen saved under `name` in formulas.dat, else the example of that name. Without a window
/// the working set is watch list 1, as for velor screen.
std::expected<FormulaScreenText, QString> savedFormulaScreen(const State &st, const QString &name);

struct PreparedBacktest {
    FormulaBacktestScreen screen;
    BacktestOptions options;   ///< bottom, the scope's entries and the floors filled in
    QString title;             ///< what the summary names: the screen's name or its formula
};

/// Compiles the screen's formulas and resolves its scope; `options` gives the range, holds and
/// K. An error names the formula and the position, or the watch list that cannot be read.
std::expected<PreparedBacktest, QString> prepareBacktest(const State &st, const FormulaScreenText &text, BacktestOptions options);

} // namespace velor
