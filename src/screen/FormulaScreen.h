#pragma once
// Running a formula screen (自作スクリーニング) through the screens' frame: the formulas compiled
// and the scope resolved into master entries; Screens::FormulaScreen runs it.
#include "formula/Formula.h"
#include "formula/SavedScreens.h"

#include <QString>
#include <expected>
#include <optional>
#include <vector>

namespace velor {

struct State;

/// A formula screen ready to run.
struct FormulaScreenSpec {
    QString name;
    formula::Program filter, score;
    bool bottom = false;
    int rows = 0;
    /// Master entries to examine in master order; nullopt: the whole master.
    std::optional<std::vector<int>> entries;
};

/// The message of a formula that does not compile: which formula, the 1-based character and what.
QString formulaErrorText(const QString &which, const formula::Error &e);

/// Compiles both formulas and resolves the scope into master entries (a watch list is read now;
/// the working set is st.WorkSet). `unknown` counts listed codes the master does not hold.
std::expected<FormulaScreenSpec, QString> prepareFormulaScreen(const State &st, const FormulaScreenText &t,
                                                               int *unknown = nullptr);

} // namespace velor
