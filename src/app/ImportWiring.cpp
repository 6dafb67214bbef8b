#include "app/ImportWiring.h"

#include "app/MainWindow.h"
#include "import/AutoDownload.h"
#include "import/DailyImport.h"

namespace velor {

void wireImport(MainWindow &w)
{
    // A second start while a run keeps the window alive would interleave two imports.
    w.on(QStringLiteral("SHUDOU"), [&w](int) {
        if (!w.state().ImportRunning) SHUDOU(w.state(), w.services());
    });
    w.on(QStringLiteral("JIDOU"), [&w](int) {
        if (!w.state().ImportRunning) JIDOU(w.state(), w.services());
    });
}

} // namespace velor
