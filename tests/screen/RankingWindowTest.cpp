// frmRanking wired into the program's window on a small demo folder: the ranking button, a
// click on a row, the step buttons, the popup adding to a watch list.
// With VELOR_SHOT_DIR set it saves pictures of the window for a person to look at.
#include "app/MainWindow.h"
#include "app/ScreenWiring.h"
#include "app/Startup.h"
#include "app/Wiring.h"
#include "demo/DemoFolder.h"
#include "lists/WorkingSet.h"
#include "screen/RankingWindow.h"
#include "support/DemoWindow.h"
#include "support/GuiApp.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QGuiApplication>
#include <QScreen>
#include <gtest/gtest.h>

#include <algorithm>

using namespace velor;

namespace {

struct RankingWindowTest : ::testing::Test {
    static void SetUpTestSuite() { test::ensureGuiApp(); }
    void SetUp() override
    {
        test::openDemoWindow(dir.path(), 60, QDateTime(QDate(2026, 11, 30), QTime(16, 0)), st, env, w);
    }
    int firstDataRow(RankingWindow &r) const
    {
        for (int i = 0; i < r.List1->count(); ++i)
            if (r.List1->item(i)->text().at(0).isDigit()) return i;
        return -1;
    }
    QTemporaryDir dir;
    State st;
    test::TestEnv env;
    std::unique_ptr<MainWindow> w;
};

} // namespace

TEST_F(RankingWindowTest, RankingButtonFillsTheWindowAndARowShowsItsChart)
{
    EXPECT_EQ(rankingWindow(*w), nullptr);
    w->toolbarClick(QStringLiteral("ranking"));
    RankingWindow *r = rankingWindow(*w);
    ASSERT_NE(r, nullptr);
    EXPECT_TRUE(r->isVisible());
    EXPECT_EQ(r->windowTitle(), QStringLiteral("検索／ランキング／絞り込み"));
    // Beside the main window (50 twips right of it) where the screen has room; else moved in just
    // far enough to be whole on the screen.
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const int byRule = w->frameGeometry().right() + 1 + int(std::lround(50 / 15.0));
    EXPECT_EQ(r->frameGeometry().x(), std::min(byRule, screen.right() + 1 - r->frameGeometry().width()));
    EXPECT_TRUE(screen.contains(r->frameGeometry()));
    ASSERT_GT(r->List1->count(), 6);
    EXPECT_TRUE(r->List1->item(0)->text().startsWith(QStringLiteral("★値上がり率（対前日比）★　５値　 日= ")));
    EXPECT_FALSE(r->ProgressBar1->isVisible());
    EXPECT_TRUE(r->Label1->text().startsWith(QStringLiteral("絞込最低値、最大値=")));
    EXPECT_EQ(st.CurCode, 1001);
    test::saveShot(*r, QStringLiteral("ranking"));

    // A title row does nothing; a data row shows its stock.
    r->clickRow(0);
    EXPECT_EQ(st.CurCode, 1001);
    const int row = firstDataRow(*r);
    ASSERT_GT(row, 0);
    const int code = r->List1->item(row)->text().section(QLatin1Char(','), 0, 0).toInt();
    r->List1->setCurrentRow(row - 1);
    r->cmdUD0->click();
    EXPECT_EQ(r->List1->currentRow(), row);
    EXPECT_EQ(st.CurCode, code);
    EXPECT_TRUE(w->windowTitle().startsWith(QString::number(code) + QLatin1Char(' ')));
    r->cmdUD1->click();
    EXPECT_EQ(r->List1->currentRow(), row - 1);
    EXPECT_EQ(st.CurCode, code);   // the title row above shows nothing
}

TEST_F(RankingWindowTest, PopupAddsToAWatchListOnceThenBeeps)
{
    w->click(QStringLiteral("F175"));
    RankingWindow *r = rankingWindow(*w);
    ASSERT_NE(r, nullptr);
    EXPECT_TRUE(r->List1->item(0)->text().startsWith(QStringLiteral("★当日上昇率大★　５値  日= ")));
    const int row = firstDataRow(*r);
    ASSERT_GE(row, 0);
    r->List1->setCurrentRow(row);
    const int code = r->List1->item(row)->text().section(QLatin1Char(','), 0, 0).toInt();
    const QString path = watchListPath(st, 3);
    QFile::remove(path);
    r->PL202_Click(3);
    EXPECT_EQ(test::readFile(path), QByteArray(" ") + QByteArray::number(code) + " \r\n");
    EXPECT_EQ(st.WorkKind, 3);
    EXPECT_EQ(st.CurCode, code);
    EXPECT_EQ(env.sound.beeps, 0);
    r->PL202_Click(3);
    EXPECT_EQ(env.sound.beeps, 1);
    EXPECT_EQ(test::readFile(path), QByteArray(" ") + QByteArray::number(code) + " \r\n");
}

TEST_F(RankingWindowTest, EveryLauncherFillsTheWindow)
{
    struct Case { const char *name; int index; const char16_t *first; };
    const Case cases[] = {
        {"F14", -1, u"★値上がり率"}, {"F151A", 2, u"★値幅率（前日の値含む）"}, {"F141", -1, u"新規上場"},
        {"F230", -1, u"★RSI9大"}, {"F235", -1, u"★RCI9大"}, {"F236", -1, u"★乖離率26大"},
        {"F237", -1, u"★サイコロジカル12大"}, {"F220A", 0, u"★Ｊ字絞り込み1,3（大）"},
        {"F220A", 3, u"★Ｊ字絞り込み1,20（大）"}, {"F221", -1, u"★出来高（株数）のＪ字絞り込み1,3（大）"},
        {"F747", -1, u"★配当利回り"}, {"F751", -1, u"★最低購入代金 小"}, {"F757", -1, u"★PER 大"},
        {"F758", -1, u"★PBR 大"}, {"F_EPS", -1, u"★EPS 大"}, {"F_BPS", -1, u"★BPS 大"},
        {"F759", -1, u"★信用倍率 大"}, {"cmdMIN", -1, u"★みんかぶ比較割安"}, {"cmdMIN2", -1, u"★みんかぶ比較割安"},
    };
    for (const Case &c : cases) {
        w->click(QString::fromLatin1(c.name), c.index);
        RankingWindow *r = rankingWindow(*w);
        ASSERT_NE(r, nullptr);
        ASSERT_GT(r->List1->count(), 0) << c.name;
        EXPECT_TRUE(r->List1->item(0)->text().startsWith(QString::fromUtf16(c.first))) << c.name;
        EXPECT_FALSE(r->screens().running());
        EXPECT_EQ(st.CurCode, 1001) << c.name;
        if (QLatin1String(c.name) == QLatin1String("F757")) test::saveShot(*r, QStringLiteral("per"));
    }
    test::saveShot(*rankingWindow(*w), QStringLiteral("minkabu2"));
}

namespace {

// Reads pages like the fake, and at the tenth page looks at the window and presses 中止.
class PressStopNet final : public Net {
public:
    explicit PressStopNet(Net &inner) : m_inner(inner) {}
    std::expected<QByteArray, NetError> fetch(const QString &address, const FetchLimits &limits) override
    {
        if (++m_pages == 10 && window) {
            stopShown = window->cmdSTOP->isVisible();
            progressShown = window->ProgressBar1->isVisible();
            test::saveShot(*window, QStringLiteral("per-running"));
            window->cmdSTOP->click();
        }
        return m_inner.fetch(address, limits);
    }
    RankingWindow *window = nullptr;
    bool stopShown = false, progressShown = false;
private:
    Net &m_inner;
    int m_pages = 0;
};

} // namespace

TEST_F(RankingWindowTest, StopButtonEndsAFetchingScreenWithWhatItHas)
{
    PressStopNet net(env.net);
    Services sv{env.clock, net, env.launcher, env.sound, env.dialogs, env.shell, nullptr};
    RankingWindow r(st, sv, nullptr, nullptr);
    net.window = &r;
    r.show();
    r.screens().PER();
    EXPECT_TRUE(net.stopShown);
    EXPECT_TRUE(net.progressShown);
    EXPECT_TRUE(r.screens().stopped());
    EXPECT_FALSE(r.cmdSTOP->isVisible());
    EXPECT_FALSE(r.ProgressBar1->isVisible());
    EXPECT_TRUE(r.Label1->text().contains(QStringLiteral("中止: ")));
    EXPECT_TRUE(r.List1->item(0)->text().startsWith(QStringLiteral("★PER 大★　５値 日= 20261130 ")));
}
