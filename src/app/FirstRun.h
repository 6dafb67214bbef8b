#pragma once
// A first run: where an installed program keeps its program folder, what the first-run dialog
// writes there, and which folder it remembers.
#include <QString>
#include <expected>
#include <functional>

namespace velor {

/// $XDG_DATA_HOME/velor (by default ~/.local/share/velor): the program folder of an installed
/// program that nobody pointed elsewhere.
QString userProgramFolder();

/// The file under $XDG_CONFIG_HOME/velor that names a program folder chosen in the first-run
/// dialog.
QString rememberedFolderFile();

/// The folder named there, or empty.
QString rememberedProgramFolder();

/// Names `dir` as the program folder of later starts.
std::expected<void, QString> rememberProgramFolder(const QString &dir);

/// Makes `dir` an empty program folder: VELOR.ini with the usual values, a sites.ini whose
/// addresses the user fills in, empty watch lists and an empty data folder with its inbox and an
/// empty stock master. The first download or import then builds the database.
std::expected<void, QString> writeEmptyProgramFolder(const QString &dir);

/// Writes the demo program folder (`stocks` stocks) into `dir`, as `velor demo` does, manual
/// included when `manualPath` exists. It is written beside `dir` first and moved into place
/// whole, so an interrupted run never leaves a folder that looks complete. `stop` is asked between
/// stocks; a writing that stops or fails leaves neither folder behind.
std::expected<void, QString> writeDemoProgramFolder(const QString &dir, int stocks, const QString &manualPath,
                                                    const std::function<void(int done, int total)> &progress = {},
                                                    const std::function<bool()> &stop = {});

/// The manual that `velor demo` copies: beside the program, or where it is installed.
QString installedManualPath(const QString &exeDir);

/// The command line's refusal when nobody named a program folder and the user's has none yet;
/// `missing` is the remembered folder that has gone, when there was one.
QString noProgramFolderText(const QString &dir, const QString &missing = {});

/// What a first run says of a remembered program folder that no longer holds VELOR.ini.
QString missingFolderText(const QString &missing);

} // namespace velor
