#include "app/Wiring.h"

#include "app/AuxWiring.h"
#include "app/ChartWiring.h"
#include "app/ImportWiring.h"
#include "app/ListsWiring.h"
#include "app/RealtimeWiring.h"

namespace velor {

void wireSubsystems(MainWindow &w)
{
    wireRealtime(w);
    wireLists(w);
    wireChart(w);
    wireImport(w);
    wireAuxiliary(w);
}

} // namespace velor
