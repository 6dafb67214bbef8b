#include "app/Wiring.h"

#include "app/AlertWiring.h"
#include "app/AuxWiring.h"
#include "app/BacktestWiring.h"
#include "app/ChartWiring.h"
#include "app/DemoServerWiring.h"
#include "app/ImportWiring.h"
#include "app/ListsWiring.h"
#include "app/RealtimeWiring.h"
#include "app/ScreenWiring.h"
#include "app/SettingsWindow.h"
#include "app/SplitWiring.h"

namespace velor {

void wireSubsystems(MainWindow &w)
{
    wireDemoServer(w);   // before the first page is read
    wireRealtime(w);
    wireLists(w);
    wireChart(w);
    wireImport(w);
    wireScreens(w);
    wireBacktest(w);
    wireAuxiliary(w);
    wireAlerts(w);
    wireSplits(w);
    wireSettings(w);
}

} // namespace velor
