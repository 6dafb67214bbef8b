// The chart inside the main window: start-up modes, captions, the right-click menu, redraws.
// With VELOR_SHOT_DIR set it also saves pictures of the window for a person to look at.
#include "app/ChartWiring.h"
#include "app/MainWindow.h"
#include "app/Startup.h"
#include "chart/ChartTestData.h"
#include "chart/ChartWidget.h"
#include "db/Sites.h"
#include "demo/DemoFolder.h"
#include "support/GuiApp.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTextBrowser>
#include <QWheelEvent>
#include <QTest>
#include <gtest/gtest.h>

using namespace velor;

namespace {

struct WindowFixture : ::testing::Test {
    static void SetUpTestSuite() { test::ensureGuiApp(); }
    void SetUp() override
    {
        demo::MarketOptions mo;
        mo.stocks = 20;
        ASSERT_TRUE(demo::writeDemoFolder(dir.path(), mo));
        st.ProgramDir = dir.path() + QLatin1Char('/');
        ASSERT_TRUE(loadDatabase(st, env.dialogs));
        w = std::make_unique<MainWindow>(st, env.clock, env.net, env.launcher, env.sound, env.dialogs);
        wireChart(*w);
        // The stock list is not part of these tests: its loading and lookup do nothing here.
        w->on(QStringLiteral("PL222"), [](int) {});
        w->on(QStringLiteral("List1:sync"), [](int) {});
        w->resize(1100, 720);
        w->startUp();
        w->show();
    }
    void shot(const QString &name) { test::saveShot(*w, name); }
    QTemporaryDir dir;
    State st;
    test::TestEnv env;
    std::unique_ptr<MainWindow> w;
};

} // namespace

TEST_F(WindowFixture, StartUpShowsTheIndexInTheDailyPeriod)
{
    EXPECT_TRUE(qobject_cast<ChartWidget *>(w->Picture1));
    EXPECT_EQ(st.CurCode, 1001);
    EXPECT_EQ(st.CurPeriod, 0);
    EXPECT_TRUE(w->windowTitle().startsWith(QStringLiteral("1001 ")));
    EXPECT_EQ(w->txtCODE->text(), QStringLiteral("1001"));
    EXPECT_EQ(w->toolAction("chart")->text(), QStringLiteral("日足表示"));
    EXPECT_EQ(w->toolAction("showd")->text(), QStringLiteral("出来高制限無"));
    EXPECT_TRUE(w->action("PU_HST", 0)->isChecked());
    EXPECT_TRUE(w->lblRSI->text().startsWith(QStringLiteral("始値：")));
    EXPECT_TRUE(w->lblHSTOF->text().startsWith(QStringLiteral("銘柄数= ")));
    shot(QStringLiteral("index-daily"));
}

TEST_F(WindowFixture, CommandsRedrawAndUpdateCaptions)
{
    st.CurCode = 1301;
    w->redrawChart(1);
    EXPECT_EQ(w->txtCODE->text(), QStringLiteral("1301"));
    const int16_t bars = st.DispBars;
    w->click(QStringLiteral("F051A"), 1);
    EXPECT_EQ(st.DispBars, bars / 2);
    w->click(QStringLiteral("PL100"), 1);
    EXPECT_EQ(w->toolAction("kindx")->text(), QStringLiteral("RCI"));
    EXPECT_TRUE(w->action("F061", 1)->isChecked());
    w->click(QStringLiteral("F065"));
    EXPECT_TRUE(w->action("F065")->isChecked());
    shot(QStringLiteral("stock-rci-overlay"));
    w->toolbarClick(QStringLiteral("correl"));
    w->toolbarClick(QStringLiteral("chart"));
    EXPECT_EQ(st.CurPeriod, 1);
    EXPECT_EQ(w->toolAction("chart")->text(), QStringLiteral("週足表示"));
    shot(QStringLiteral("stock-weekly-axis"));
    w->click(QStringLiteral("PU_HST"), 2);
    w->click(QStringLiteral("F061"), 2);
    shot(QStringLiteral("stock-monthly-kairi"));
    w->click(QStringLiteral("PU_HST"), 0);
    w->click(QStringLiteral("PL105"), 0);
    w->click(QStringLiteral("F061"), 3);
    EXPECT_EQ(st.AxisMode, 2);
    shot(QStringLiteral("stock-daily-max100-psyc"));
}

TEST_F(WindowFixture, OnlyTheRightButtonOpensTheChartMenu)
{
    QTest::mouseClick(w->Picture1, Qt::LeftButton, {}, QPoint(50, 50));
    EXPECT_FALSE(w->chartPopup()->isVisible());
    QTest::mousePress(w->Picture1, Qt::RightButton, {}, QPoint(50, 50));
    EXPECT_TRUE(w->chartPopup()->isVisible());
    w->chartPopup()->hide();
}

TEST_F(WindowFixture, WorldIndexPaneOpensItsPageWhenClicked)
{
    EXPECT_TRUE(w->WebBrowser1->isVisible());
    const QString address = w->WebBrowser1->property("address").toString();
    EXPECT_TRUE(address.endsWith(QStringLiteral("/bp1.php?fw=160&cs=1"))) << address.toStdString();
    QTest::mouseClick(w->WebBrowser1->viewport(), Qt::LeftButton);
    ASSERT_EQ(env.launcher.commands.size(), 1);
    EXPECT_TRUE(env.launcher.commands[0].endsWith(address));
}

TEST_F(WindowFixture, WheelAndDragMoveTheChartAsTheKeysDo)
{
    st.CurCode = 1301;
    w->redrawChart(1);
    auto *area = qobject_cast<ChartWidget *>(w->Picture1);
    ASSERT_TRUE(area);
    const QPointF mid(area->width() / 2.0, area->height() / 3.0);
    auto wheel = [&](int notches) {
        QWheelEvent e(mid, area->mapToGlobal(mid), QPoint(), QPoint(0, 120 * notches), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
        QApplication::sendEvent(area, &e);
    };
    auto mouse = [&](QEvent::Type type, double x, Qt::MouseButtons buttons) {
        QMouseEvent e(type, QPointF(x, mid.y()), area->mapToGlobal(QPointF(x, mid.y())),
                      type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(area, &e);
    };
    // Pixels of `bars` columns of the chart as drawn now (pitch in design twips).
    auto columns = [&](double bars) { return bars * (5600.0 / ((st.DispBars + 4) / 5 * 5)) * area->width() / 7635.0; };

    st.DispBars = 100;
    w->click(QStringLiteral("F051A"), 1);   // Shift+F5
    const int byKey = st.DispBars;
    st.DispBars = 100;
    wheel(1);
    EXPECT_EQ(st.DispBars, byKey);
    EXPECT_EQ(st.DispBars, 50);
    wheel(-1);
    EXPECT_EQ(st.DispBars, 100);

    // A drag to the right by three and a half columns scrolls back three bars, and the chart
    // shows them: its status line names the offset.
    ASSERT_EQ(st.BarOffset, 0);
    const double x0 = mid.x() - columns(5);
    mouse(QEvent::MouseButtonPress, x0, Qt::LeftButton);
    mouse(QEvent::MouseMove, x0 + columns(3.5), Qt::LeftButton);
    EXPECT_EQ(st.BarOffset, 3);
    EXPECT_TRUE(w->lblHSTOF->text().contains(QStringLiteral("オフセット= 3 "))) << w->lblHSTOF->text().toStdString();
    // On to the right far beyond the bars: it stops at the oldest bar that may lead (299).
    mouse(QEvent::MouseMove, x0 + columns(1000), Qt::LeftButton);
    EXPECT_EQ(st.BarOffset, 299);
    // Back to the left beyond the start: it stops at the newest bar.
    mouse(QEvent::MouseMove, x0 - columns(1000), Qt::LeftButton);
    EXPECT_EQ(st.BarOffset, 0);
    mouse(QEvent::MouseButtonRelease, x0, Qt::NoButton);
    // Moving without the button pressed scrolls nothing.
    mouse(QEvent::MouseMove, x0 + columns(20), Qt::NoButton);
    EXPECT_EQ(st.BarOffset, 0);
    EXPECT_TRUE(area->readout().shown);
    EXPECT_EQ(area->readout().lines.size(), 8);

    // 十字カーソル under 表示 switches the crosshair off and on.
    ASSERT_TRUE(w->action("CROSS"));
    EXPECT_TRUE(w->action("CROSS")->isChecked());
    // The choice is kept in sites.ini, as 株価調整 is.
    const QString sites = st.ProgramDir + QStringLiteral("sites.ini");
    w->click(QStringLiteral("CROSS"));
    EXPECT_FALSE(area->crosshair());
    EXPECT_FALSE(w->action("CROSS")->isChecked());
    EXPECT_FALSE(area->readout().shown);
    EXPECT_FALSE(readSites(sites).Crosshair);
    EXPECT_TRUE(test::readFile(sites).contains("\nCrosshair=0"));
    w->click(QStringLiteral("CROSS"));
    EXPECT_TRUE(area->crosshair());
    EXPECT_TRUE(w->action("CROSS")->isChecked());
    EXPECT_TRUE(readSites(sites).Crosshair);
}
