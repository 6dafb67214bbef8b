#pragma once
// Japanese texts for Qt's own dialogs and message-box buttons.
#include <QString>

class QCoreApplication;

namespace velor {

/// Installs Qt's Japanese translations (qtbase) on the application, whatever the system's
/// locale: every text of the program is Japanese, so its dialogs are too. The file is looked for
/// in Qt's translations folder, then in `extraDir` (beside the program). False when none was found.
bool installQtJapanese(QCoreApplication &app, const QString &extraDir = {});

} // namespace velor
