// The monitor window and the minute-bar switch with every subsystem wired as main() wires it, on
// a small demo folder. With VELOR_SHOT_DIR set it saves pictures for a person to look at.
#include "app/MainWindow.h"
#include "app/RealtimeWiring.h"
#include "app/Startup.h"
#include "app/Wiring.h"
#include "demo/DemoFolder.h"
#include "realtime/MinuteBars.h"
#include "realtime/RealWindow.h"
#include "support/DemoWindow.h"
#include "support/GuiApp.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QGuiApplication>
#include <QScreen>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace velor;

namespace {

struct MonitorWindow : ::testing::Test {
    static void SetUpTestSuite() { test::ensureGuiApp(); }
    void SetUp() override
    {
        test::openDemoWindow(dir.path(), 30, QDateTime(QDate(2026, 11, 30), QTime(10, 15)), st, env, w);
    }
    bool marks(bool on) const
    {
        return w->action("funashi", 0)->isChecked() == on && w->action("funashi", 1)->isChecked() == !on;
    }
    QTemporaryDir dir;
    State st;
    test::TestEnv env;
    std::unique_ptr<MainWindow> w;
};

} // namespace

TEST_F(MonitorWindow, CloseBoxDuringTheWaitStopsAndRestores)
{
    st.RealParam = 3600;   // only the close box can end this wait within the test
    RealWindow *seen = nullptr;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        RealWindow *win = monitorWindow(*w);
        if (!win || win->List[1]->count() == 0 || seen) return;
        seen = win;
        EXPECT_TRUE(w->action("F666")->isChecked());
        EXPECT_FALSE(win->List[1]->isEnabled());
        EXPECT_FALSE(win->Command2->isEnabled());
        test::saveShot(*win, QStringLiteral("monitor"));
        win->close();
    });
    poll.start(0);
    w->click(QStringLiteral("F666"));
    poll.stop();
    ASSERT_NE(seen, nullptr);
    EXPECT_FALSE(seen->isVisible());
    EXPECT_FALSE(seen->monitor().running());
    EXPECT_EQ(seen->monitor().passCount(), 2);
    EXPECT_EQ(seen->Caption[5]->text(), QStringLiteral("急騰銘柄（前回ループ比）"));
    EXPECT_EQ(seen->Text1->text(), QStringLiteral("3600"));
    EXPECT_FALSE(w->action("F666")->isChecked());
    EXPECT_EQ(st.LiveMode, 0);
    EXPECT_EQ(st.BarOffset, 0);
    EXPECT_EQ(st.QuoteMode, 0);
    EXPECT_TRUE(w->action("vec", 2)->isChecked());
}

TEST_F(MonitorWindow, StopThenRecalculate)
{
    st.RealParam = 0;   // no wait: the passes follow each other until 停止
    int stops = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        RealWindow *win = monitorWindow(*w);
        if (!win || win->monitor().passCount() < 2 || !win->monitor().running()) return;
        ++stops;
        win->Command1->click();
    });
    poll.start(0);
    w->click(QStringLiteral("F666"));
    RealWindow *win = monitorWindow(*w);
    ASSERT_NE(win, nullptr);
    EXPECT_EQ(stops, 1);
    EXPECT_TRUE(win->isVisible());
    EXPECT_TRUE(win->List[2]->isEnabled());
    EXPECT_TRUE(win->Command2->isEnabled());
    EXPECT_FALSE(w->action("F666")->isChecked());
    win->Command2->click();   // a new base pass, then the next stop
    poll.stop();
    EXPECT_EQ(stops, 2);
    EXPECT_EQ(win->monitor().passCount(), 2);
    win->cmdEXIT->click();
    EXPECT_FALSE(win->isVisible());
}

TEST_F(MonitorWindow, AfterStopTheWindowStaysOnTheScreenAndClosingLeavesTheDisplayAsTheMenuSays)
{
    st.RealParam = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        RealWindow *win = monitorWindow(*w);
        if (win && win->monitor().running() && win->monitor().passCount() >= 2) win->Command1->click();
    });
    poll.start(0);
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    auto closedAsTheMenuSays = [&](const char *how) {
        EXPECT_EQ(st.LiveMode, 0) << how;
        EXPECT_EQ(st.BarOffset, 0) << how;
        EXPECT_TRUE(w->action("vec", 2)->isChecked()) << how;
        EXPECT_FALSE(w->action("vec", 1)->isChecked()) << how;
        EXPECT_TRUE(w->windowTitle().endsWith(QStringLiteral("リアルタイム=オフ"))) << how << w->windowTitle().toStdString();
    };
    // 停止, then 閉じる.
    w->click(QStringLiteral("F666"));
    RealWindow *win = monitorWindow(*w);
    ASSERT_NE(win, nullptr);
    EXPECT_TRUE(screen.contains(win->frameGeometry())) << win->frameGeometry().x() << "+" << win->frameGeometry().width();
    EXPECT_EQ(win->lblProgress->text(), QStringLiteral("停止中"));
    EXPECT_TRUE(w->action("vec", 2)->isChecked());
    win->cmdEXIT->click();
    closedAsTheMenuSays("stop, close");
    // 停止, 再計算 (which stops again after two passes), 閉じる.
    w->click(QStringLiteral("F666"));
    win->Command2->click();
    EXPECT_TRUE(screen.contains(win->frameGeometry()));
    win->cmdEXIT->click();
    poll.stop();
    closedAsTheMenuSays("stop, recalculate, close");
}

TEST_F(MonitorWindow, MinuteSwitchKeepsExactlyOneMarkAndDrawsCollectedBars)
{
    ASSERT_TRUE(marks(false));
    env.dialogs.answers.push_back(Answer::Cancel);
    w->action("funashi", 0)->trigger();
    EXPECT_TRUE(marks(false));
    EXPECT_FALSE(minuteTimer(*w)->isActive());

    w->action("funashi", 0)->trigger();   // answered Yes: reset, list, first tick
    EXPECT_TRUE(marks(true));
    EXPECT_TRUE(minuteTimer(*w)->isActive());
    EXPECT_EQ(minuteTimer(*w)->interval(), 50000);
    EXPECT_EQ(st.CurPeriod, 3);
    env.clock.advanceSeconds(60);
    w->click(QStringLiteral("Timer2"));
    const QString file = st.ProgramDir + QStringLiteral("FUNASHI/1301.csv");
    const auto recs = readMinuteRecords(file);
    ASSERT_EQ(recs.size(), 2u);
    EXPECT_EQ(recs[0].stamp, 11301015);
    EXPECT_EQ(recs[1].stamp, 11301016);
    st.CurCode = 1301;
    w->click(QStringLiteral("chart"), 1);
    EXPECT_EQ(st.BarCount, 2);
    test::saveShot(*w, QStringLiteral("minute-chart"));

    w->action("funashi", 1)->trigger();
    EXPECT_TRUE(marks(false));
    EXPECT_FALSE(minuteTimer(*w)->isActive());
    EXPECT_EQ(st.CurPeriod, 0);
    EXPECT_EQ(w->toolAction(QStringLiteral("chart"))->text(), QStringLiteral("日足表示"));
    w->action("funashi", 1)->trigger();   // off again: still exactly one mark
    EXPECT_TRUE(marks(false));
}

TEST_F(MonitorWindow, AllStocksRefusesTheMinuteSwitch)
{
    w->click(QStringLiteral("F005"), 0);
    ASSERT_TRUE(st.AllStocks);
    w->action("funashi", 0)->trigger();
    EXPECT_TRUE(marks(false));
    EXPECT_EQ(env.dialogs.texts().last(), QStringLiteral("全銘柄を選択している時は分足表示出来ません。"));
    EXPECT_FALSE(minuteTimer(*w)->isActive());
}

TEST_F(MonitorWindow, ListClicksShowTheStockAndAddToAWatchList)
{
    st.RealParam = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        RealWindow *win = monitorWindow(*w);
        if (win && win->monitor().running() && win->monitor().passCount() >= 2) win->Command1->click();
    });
    poll.start(0);
    w->click(QStringLiteral("F666"));
    poll.stop();
    RealWindow *win = monitorWindow(*w);
    ASSERT_NE(win, nullptr);
    QListWidget *list = win->List[3];
    ASSERT_TRUE(list->isEnabled());
    ASSERT_GT(list->count(), 0);
    const int code = list->item(0)->text().section(',', 0, 0).toInt();
    const QPoint at = list->visualItemRect(list->item(0)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(st.CurCode, code);
    EXPECT_EQ(st.BarOffset, -1);
    EXPECT_EQ(w->txtCODE->text(), QString::number(code));
    const QByteArray line = " " + QByteArray::number(code) + " \r\n";
    ASSERT_FALSE(test::readFile(dir.path() + "/touroku2.dat").contains(line));
    QTest::mouseClick(list->viewport(), Qt::RightButton, {}, at);
    EXPECT_EQ(win->monitor().listClicked(), 3);
    win->PL201->hide();
    win->PL201->actions()[1]->trigger();   // 登録銘柄2（touroku2.dat）に追加する
    EXPECT_TRUE(test::readFile(dir.path() + "/touroku2.dat").contains(line));
    win->cmdEXIT->click();
}
