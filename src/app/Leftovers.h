#pragma once
// Temporary files a killed copy leaves behind: an atomic save killed at its rename leaves
// "<name>.XXXXXX" beside its target, a killed import's batch "<name>.vtmp".
#include <QString>
#include <QStringList>

namespace velor {

/// Removes the program's own temporaries from the program folder, its FUNASHI folder and the
/// data folder: only names the program makes (watch lists, the code list of the minute bars,
/// the master, the import journal, price files), never another file. Call it only while
/// holding both folders' locks, so that no running copy's temporary is taken. Returns the
/// paths removed.
QStringList removeLeftoverTemporaries(const QString &programDir, const QString &dataDir);

} // namespace velor
