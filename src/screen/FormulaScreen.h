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
struct FormulaScreenPlan {
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
std::expected<FormulaScreenPlan, QString> prepareFormulaScreen(const State &st, const FormulaScreenText &t,
                                                               int *unknown = nullptr);

/// Which formula of a screen an error is in, and the error.
struct FormulaProblem {
    bool inScore = false;
    formula::Error error;
    /// The message as the window and the command show it (formulaErrorText).
    QString text() const;
};
/// Compiles the filter and the score (when written); the first that does not compile.
std::optional<FormulaProblem> checkFormulas(const FormulaScreenText &t);

/// A screen the editor offers: the saved ones, then the examples whose names are not taken.
struct OfferedScreen {
    FormulaScreenText text;
    bool example = false;
};
/// The saved screens of the program folder and the examples for its VELOR.ini periods; a file
/// that cannot be read gives its message in `error` and only the examples.
std::vector<OfferedScreen> offeredScreens(const State &st, QString *error = nullptr);
/// Saves the screen under its name in formulas.dat (checked write), after checking the name and
/// both formulas; the message of what stopped it.
std::expected<void, QString> saveFormulaScreen(const QString &programDir, const FormulaScreenText &t);
/// Removes the named screen from formulas.dat; a message when there is none or the write fails.
std::expected<void, QString> deleteFormulaScreen(const QString &programDir, const QString &name);

} // namespace velor
