#pragma once
// velor screen NAME [ARGS] [--period d|w|m] [--live] [--out FILE]: runs a screen as the window
// would right after start-up and prints the ranking window's final lines.
#include "app/CommandLine.h"
#include "formula/SavedScreens.h"

namespace velor {

class Screens;

struct ScreenRequest {
    enum class Action { Run, Save, Delete, List };
    Action action = Action::Run;
    QString name;            ///< a built-in screen, or a saved (or example) formula screen
    bool builtIn = false;
    bool formula = false;    ///< --formula given: the screen is `text`
    FormulaScreenText text;
    std::optional<int> rows;             ///< --rows
    std::optional<ScreenScope> scope;    ///< --list
    bool bottom = false;                 ///< --bottom
    int a = 0, b = 0;        ///< haba's variant, or the j screens' j1 and j2
    int period = 0;          ///< 0 daily, 1 weekly, 2 monthly
    bool live = false;
    QString out;
};

/// Parses the command's arguments; an error text for bad usage.
std::expected<ScreenRequest, QString> parseScreenArgs(const QStringList &args);
/// Runs the named built-in screen; false for a name it does not know.
bool runNamedScreen(Screens &screens, const ScreenRequest &r);

int screenCommand(const CliOptions &o, const QString &exeDir);
QString screenUsage();

} // namespace velor
