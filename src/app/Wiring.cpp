#include "app/Wiring.h"

#include "app/AlertWiring.h"
#include "app/AuxWiring.h"
#include "app/ChartWiring.h"
#include "app/ImportWiring.h"
#include "app/ListsWiring.h"
#include "app/RealtimeWiring.h"
#include "app/ScreenWiring.h"

namespace velor {

void wireSubsystems(MainWindow &w)
{
    wireRealtime(w);
    wireLists(w);
    wireChart(w);
    wireImport(w);
    wireScreens(w);
    wireAuxiliary(w);
    wireAlerts(w);
}

} // namespace velor
