#pragma once
// The whole main window on a fresh demo folder, wired as main() wires it, with the test seams
// and the clock fixed (header-only: only tests that link the window layer include it).
#include "app/MainWindow.h"
#include "app/Startup.h"
#include "app/Wiring.h"
#include "db/Sites.h"
#include "demo/DemoFolder.h"
#include "support/TestSupport.h"

#include <QDateTime>
#include <memory>
#include <gtest/gtest.h>

namespace velor::test {

/// Writes a demo of `stocks` stocks into `dir`, loads it into `st` and opens the window at `now`
/// (fetching through `net` when given, else through the fake of `env`).
inline void openDemoWindow(const QString &dir, int stocks, const QDateTime &now, State &st, TestEnv &env,
                           std::unique_ptr<MainWindow> &w, Net *net = nullptr)
{
    demo::MarketOptions mo;
    mo.stocks = stocks;
    ASSERT_TRUE(demo::writeDemoFolder(dir, mo).has_value());
    env.clock.set(now);
    st.ProgramDir = dir + QLatin1Char('/');
    ASSERT_TRUE(loadDatabase(st, env.dialogs));
    st.sites = readSites(st.ProgramDir + QStringLiteral("sites.ini"));
    w = std::make_unique<MainWindow>(st, env.clock, net ? *net : env.net, env.launcher, env.sound, env.dialogs);
    wireSubsystems(*w);
    w->resize(1100, 720);
    w->startUp();
    w->show();
}

} // namespace velor::test
