#include "app/ImportWiring.h"

#include "app/MainWindow.h"
#include "import/AutoDownload.h"
#include "import/DailyImport.h"
#include "import/JQuantsDownload.h"

#include <QAction>

#include <memory>

namespace velor {

namespace {

// Both import items are greyed out while either runs: the window stays usable meanwhile, and
// a second start would interleave two imports.
void runImport(MainWindow &w, bool &running, bool (*body)(State &, Services &))
{
    if (running || w.state().ImportRunning) return;
    running = true;
    QAction *items[] = {w.action("JIDOU"), w.action("SHUDOU")};
    for (QAction *a : items)
        if (a) a->setEnabled(false);
    body(w.state(), w.services());
    for (QAction *a : items)
        if (a) a->setEnabled(true);
    running = false;
}

} // namespace

void wireImport(MainWindow &w)
{
    auto running = std::make_shared<bool>(false);
    w.on(QStringLiteral("SHUDOU"), [&w, running](int) { runImport(w, *running, SHUDOU); });
    w.on(QStringLiteral("JIDOU"), [&w, running](int) { runImport(w, *running, [](State &st, Services &sv) { return downloadPrices(st, sv); }); });
}

} // namespace velor
