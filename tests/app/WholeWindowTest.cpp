// The program's window with every subsystem wired as main() wires it, on a small demo folder:
// a stock typed into the code field, real-time display on and off, the automatic download.
// With VELOR_SHOT_DIR set it saves pictures of the window for a person to look at.
#include "app/MainWindow.h"
#include "app/MenuTree.h"
#include "app/RealtimeWiring.h"
#include "app/ScreenWiring.h"
#include "app/Startup.h"
#include "app/Wiring.h"
#include "demo/DemoFolder.h"
#include "realtime/RealWindow.h"
#include "screen/RankingWindow.h"
#include "support/DemoWindow.h"
#include "support/GuiApp.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QToolBar>
#include <QTest>
#include <QTextBrowser>
#include <QTextDocument>
#include <gtest/gtest.h>

using namespace velor;

namespace {

struct WholeWindow : ::testing::Test {
    static void SetUpTestSuite() { test::ensureGuiApp(); }
    void SetUp() override
    {
        test::openDemoWindow(dir.path(), 30, QDateTime(QDate(2026, 11, 30), QTime(10, 15)), st, env, w);   // the demo's first day after its data
        // The monitor runs until it is stopped: a user presses 停止 once its lists are filled.
        QObject::connect(&stopper, &QTimer::timeout, [this] {
            RealWindow *m = monitorWindow(*w);
            if (m && m->monitor().running() && (m->List[1]->count() > 0 || m->monitor().passCount() >= 3))
                m->Command1->click();
        });
        stopper.start(0);
    }
    void shot(const QString &name) { test::saveShot(*w, name); }
    void typeCode(const QString &code)
    {
        w->txtCODE->clear();
        QTest::keyClicks(w->txtCODE, code);
        QTest::keyClick(w->txtCODE, Qt::Key_Return);
    }
    QTemporaryDir dir;
    State st;
    test::TestEnv env;
    std::unique_ptr<MainWindow> w;
    QTimer stopper;
};

} // namespace

TEST_F(WholeWindow, RealTimeDisplayShowsTheLiveBarAndTheFundamentals)
{
    // Watch list 1 names 27 codes; two of them list only on the days after the demo's data.
    EXPECT_EQ(w->List1->count(), 25);
    EXPECT_EQ(w->lblList->text(), QStringLiteral("登録銘柄 / 25 ( 27 ) 銘柄"));
    typeCode(QStringLiteral("1301"));
    ASSERT_EQ(st.CurCode, 1301);
    EXPECT_TRUE(w->windowTitle().endsWith(QStringLiteral("リアルタイム=オフ")));
    EXPECT_EQ(w->List1->currentRow(), 2);

    w->click(QStringLiteral("vec"), 1);
    EXPECT_EQ(st.BarOffset, -1);
    EXPECT_TRUE(w->action("vec", 1)->isChecked());
    EXPECT_FALSE(w->action("vec", 2)->isChecked());
    EXPECT_TRUE(w->windowTitle().endsWith(QStringLiteral("リアルタイム=オン")));
    // The live bar is the demo's next trading day, read back from its quote page.
    EXPECT_EQ(st.BarDate[0], 20261130);
    EXPECT_EQ(st.BarClose[0], 154.0f);
    EXPECT_EQ(st.BarOpen[0], 155.0f);
    EXPECT_DOUBLE_EQ(st.BarVolume[0], 576900);
    const QString panel = w->lblRSI->text();
    EXPECT_TRUE(panel.startsWith(QStringLiteral("始値：155\n高値：156\n安値：154\n終値：154\n"))) << panel.toStdString();
    EXPECT_TRUE(panel.contains(QStringLiteral("\n配当利回り% 0.92\n一株配当 1.42\n(PER) 39.41\n(PBR) 4.19\n(EPS) 3.91\n(BPS) 36.75\n")))
        << panel.toStdString();
    EXPECT_TRUE(panel.contains(QStringLiteral("信用買残180600\n信用売残0\n信用倍率0.  (11/27)"))) << panel.toStdString();
    EXPECT_TRUE(panel.contains(QStringLiteral("最低購入代金15400"))) << panel.toStdString();
    EXPECT_TRUE(env.dialogs.shown.empty());
    shot(QStringLiteral("live-1301"));

    w->click(QStringLiteral("vec"), 2);
    EXPECT_EQ(st.BarOffset, 0);
    EXPECT_TRUE(w->windowTitle().endsWith(QStringLiteral("リアルタイム=オフ")));
}

TEST_F(WholeWindow, AutomaticDownloadBringsTheNextDaysIntoTheChart)
{
    typeCode(QStringLiteral("1301"));
    env.clock.set(QDateTime(QDate(2026, 12, 11), QTime(20, 0)));   // no new day lies after today
    w->click(QStringLiteral("JIDOU"));
    ASSERT_FALSE(env.dialogs.shown.empty());
    EXPECT_EQ(env.dialogs.shown.back().text, QStringLiteral("データの追加が終わりました"));
    EXPECT_EQ(st.CurCode, 1301);
    EXPECT_EQ(st.BarDate[1], 20261211);   // ten weekdays after 20261127
    EXPECT_TRUE(test::readFile(dir.path() + "/data/1001.csv").contains("\r\n20261211,"));
    EXPECT_TRUE(QDir(dir.path() + "/data/tmp").isEmpty());
    EXPECT_TRUE(w->lblHSTOF->text().contains(QStringLiteral("先頭日 = 20261211")));
    shot(QStringLiteral("after-download-1301"));
}

TEST_F(WholeWindow, EveryMenuItemAndToolButtonRunsWithoutHarm)
{
    // Every command once, in menu order, on a stock of the list: dialogs answer OK/Yes and file
    // dialogs are cancelled, so nothing waits. The program must survive and stay consistent.
    // The download among them brings in the demo's ten new days: on the evening of the last of
    // them, since no day after today is imported.
    env.clock.set(QDateTime(QDate(2026, 12, 11), QTime(20, 0)));
    typeCode(QStringLiteral("1301"));
    const std::vector<const std::vector<MenuEntry> *> menus = {&menuBarEntries(), &chartPopupEntries(), &listPopupEntries()};
    int ran = 0;
    for (const auto *entries : menus) {
        for (const MenuEntry &e : *entries) {
            if (QString::fromLatin1(e.name) == QLatin1String("F040")) continue;   // ends the program: last
            QAction *a = w->action(e.name, e.index);
            if (!a || a->menu() || a->isSeparator() || !a->isEnabled()) continue;
            a->trigger();
            ++ran;
            ASSERT_GE(st.CurCode, 1) << e.name << " " << e.index;
            ASSERT_LE(st.CurCode, 9999) << e.name << " " << e.index;
            ASSERT_GE(st.DispBars, 1) << e.name << " " << e.index;
        }
    }
    for (QAction *a : w->Toolbar1->actions()) {
        if (a->data().toString() == QLatin1String("exit")) continue;
        a->trigger();
        ++ran;
    }
    EXPECT_GT(ran, 90);
    // The working set, the stock master and the watch lists are still readable.
    EXPECT_GT(st.StockCount, 30);
    EXPECT_GT(w->List1->count(), 0);
    EXPECT_FALSE(test::readFile(dir.path() + "/touroku.dat").isEmpty());
    w->action("F040")->trigger();
    EXPECT_FALSE(w->isVisible());
}

TEST_F(WholeWindow, ALongRandomRunOfCommandsKeepsTheStateInRange)
{
    // A fixed pseudo-random walk through the commands, stocks and offsets: what a user clicking
    // around for a while does. Anything that crashes, hangs or leaves a value out of range fails.
    std::vector<QAction *> actions;
    for (const auto *entries : {&menuBarEntries(), &chartPopupEntries(), &listPopupEntries()})
        for (const MenuEntry &e : *entries) {
            QAction *a = w->action(e.name, e.index);
            const QString name = QString::fromLatin1(e.name);
            if (!a || a->menu() || a->isSeparator() || name == QLatin1String("F040") || name == QLatin1String("JIDOU"))
                continue;
            actions.push_back(a);
        }
    for (QAction *a : w->Toolbar1->actions())
        if (a->data().toString() != QLatin1String("exit")) actions.push_back(a);
    quint32 seed = 12345;
    auto next = [&seed](quint32 n) { seed = seed * 1103515245u + 12345u; return (seed >> 8) % n; };
    for (int step = 0; step < 400; ++step) {
        const quint32 kind = next(10);
        if (kind == 0 && w->List1->count() > 0) {
            QListWidgetItem *item = w->List1->item(int(next(quint32(w->List1->count()))));
            QTest::mouseClick(w->List1->viewport(), Qt::LeftButton, {}, w->List1->visualItemRect(item).center());
        } else if (kind == 1) {
            typeCode(QString::number(1000 + next(9000)));
        } else {
            QAction *a = actions[next(quint32(actions.size()))];
            if (a->isEnabled()) a->trigger();
        }
        ASSERT_TRUE(st.CurCode >= 1 && st.CurCode <= 9999) << step;
        ASSERT_TRUE(st.CurPeriod >= 0 && st.CurPeriod <= 3) << step;
        ASSERT_TRUE(st.DispBars >= 1 && st.DispBars <= 1600) << step;
        ASSERT_TRUE(st.BarOffset >= -1) << step;
        ASSERT_TRUE(st.BarCount >= 0 && st.BarCount <= 300) << step;
    }
}

TEST_F(WholeWindow, TheRankingWindowIsPlacedEachTimeItOpensAndOnTheScreen)
{
    w->toolbarClick(QStringLiteral("ranking"));
    RankingWindow *r = rankingWindow(*w);
    ASSERT_NE(r, nullptr);
    const QRect placed = r->frameGeometry();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_TRUE(screen.contains(placed)) << placed.x() << "," << placed.y() << " " << placed.width() << "x" << placed.height()
                                         << " on " << screen.width() << "x" << screen.height();
    r->cmdEXIT->click();
    ASSERT_FALSE(r->isVisible());
    r->move(placed.topLeft() + QPoint(-40, 30));   // where the user left it before closing
    w->click(QStringLiteral("F175"));               // 当日上昇率 opens it again
    ASSERT_EQ(rankingWindow(*w), r);
    EXPECT_TRUE(r->isVisible());
    EXPECT_EQ(r->frameGeometry(), placed);
}

TEST_F(WholeWindow, NothingIsCutOffTheWorldPaneOrTheMainWindow)
{
    // The world-index pane shows every column of its table at the design size.
    QTextDocument *world = w->WebBrowser1->document();
    ASSERT_FALSE(world->toPlainText().isEmpty());
    EXPECT_LE(world->idealWidth(), w->WebBrowser1->viewport()->width());
    // The main window cannot be made smaller than the size its controls are placed in.
    const QSize design = w->minimumSize();
    EXPECT_GE(design.width(), 800);
    EXPECT_GE(design.height(), 600);
    w->resize(design.width() / 2, design.height() / 2);
    EXPECT_EQ(w->size(), design);
    EXPECT_GE(w->List1->geometry().bottom(), w->List1->geometry().top() + 300);
    EXPECT_LE(w->List1->geometry().bottom(), w->centralWidget()->height());
}
