// The backtest window offscreen: on the hand-computed market, its table and curve, stopping a
// run, the reasons for refusing input; and opened from the main window's menu on a demo folder.
#include "app/BacktestWiring.h"
#include "backtest/BacktestMarket.h"
#include "backtest/BacktestReport.h"
#include "backtest/BacktestWindow.h"
#include "backtest/CurveWidget.h"
#include "chart/ChartTexts.h"
#include "db/Bars.h"
#include "screen/FormulaScreen.h"
#include "screen/Screens.h"
#include "support/DemoWindow.h"
#include "support/GuiApp.h"
#include "common/TextFile.h"

#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <gtest/gtest.h>

namespace velor::test {

namespace {

struct BacktestWindowTest : ::testing::Test {
    static void SetUpTestSuite() { ensureGuiApp(); }
    void SetUp() override
    {
        writeMarket(f);
        w = std::make_unique<BacktestWindow>(f.st, env.dialogs);
        w->show();
    }
    void fill(const QString &filter, const QString &score, const QString &from, const QString &to, const QString &holds, int top)
    {
        w->txtFilter->setText(filter), w->txtScore->setText(score);
        w->txtFrom->setText(from), w->txtTo->setText(to), w->txtHolds->setText(holds);
        w->spnTop->setValue(top);
    }
    // Lets the run's steps go until it ends; counts the event rounds, never the time.
    int runToEnd()
    {
        int rounds = 0;
        while (w->running() && rounds < 10000) QCoreApplication::processEvents(), ++rounds;
        return rounds;
    }
    QStringList row(int r) const
    {
        QStringList out;
        for (int c = 0; c < w->tblSummary->columnCount(); ++c) out << w->tblSummary->item(r, c)->text();
        return out;
    }
    ProgramFolder f;
    TestEnv env;
    std::unique_ptr<BacktestWindow> w;
};

} // namespace

TEST_F(BacktestWindowTest, ARunFillsTheTableAndTheCurvesOfTheHandComputedMarket)
{
    EXPECT_EQ(w->txtTo->text(), QStringLiteral("2026-01-15"));     // 1001's newest day
    EXPECT_EQ(w->txtFrom->text(), QStringLiteral("2025-01-16"));   // a year before it
    EXPECT_EQ(w->cboScreen->itemText(0), QStringLiteral("（条件式を書いて試す）"));
    fill(QStringLiteral("C > C[1]"), QStringLiteral("C"), QStringLiteral("2026-01-06"), QStringLiteral("20260114"), QStringLiteral("1,2"), 2);
    w->cmdRun->click();
    EXPECT_TRUE(w->running());
    EXPECT_FALSE(w->cmdRun->isEnabled());
    EXPECT_TRUE(w->cmdStop->isEnabled());
    EXPECT_FALSE(w->txtFilter->isEnabled());
    EXPECT_EQ(w->progress->value(), 0);
    EXPECT_GT(runToEnd(), 0);
    EXPECT_FALSE(w->running());
    EXPECT_EQ(w->progress->value(), 6);
    EXPECT_EQ(w->progress->maximum(), 6);
    EXPECT_EQ(w->lblStatus->text(), QStringLiteral("完了しました。データファイルのない銘柄 1 件は除きました。"));
    ASSERT_EQ(w->tblSummary->rowCount(), 2);
    EXPECT_EQ(row(0), (QStringList{"1 日", "12", "-1.77%", "0.09%", "50.00%", "22", "5.28%", "4.77%", "63.64%"}));
    EXPECT_EQ(row(1), (QStringList{"2 日", "10", "4.55%", "2.08%", "50.00%", "18", "10.98%", "4.46%", "55.56%"}));
    EXPECT_TRUE(w->lblSummary->text().contains(
        QStringLiteral("等金額・毎日リバランスの曲線: 選定 最終 0.8926  最大ドローダウン -13.02%  ／ 市場 最終 1.3108  最大ドローダウン -4.66%")));
    ASSERT_EQ(w->curve->picks().size(), 7u);
    EXPECT_NEAR(w->curve->picks()[1], 1.026190476190476, 1e-12);
    EXPECT_NEAR(w->curve->market().back(), 1.3108495011635033, 1e-12);
    // Both curves are drawn in their colours.
    const QImage image = w->curve->grab().toImage();
    bool picks = false, market = false;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            picks = picks || image.pixel(x, y) == CurveWidget::kPicksColor;
            market = market || image.pixel(x, y) == CurveWidget::kMarketColor;
        }
    EXPECT_TRUE(picks);
    EXPECT_TRUE(market);

    // CSVで保存: the lines of velor backtest --csv with CR LF, through the checked write; a disk
    // that fills up leaves the file as it was and says why.
    ASSERT_TRUE(w->cmdCsv->isEnabled());
    const QString csv = f.program + QStringLiteral("選定.csv");
    env.dialogs.files.push_back(csv);
    w->cmdCsv->click();
    EXPECT_EQ(readFile(csv), (handCsv().join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toLatin1());
    EXPECT_EQ(w->lblStatus->text(), QStringLiteral("保存しました: ") + csv);
    {
        DiskSpaceLimit full(100);
        env.dialogs.files.push_back(csv);
        w->cmdCsv->click();
    }
    const QString full = QStringLiteral("ファイル：　") + csv + QStringLiteral(" に書き込めません。ディスクがいっぱいです。");
    EXPECT_EQ(w->lblStatus->text(), full);
    EXPECT_EQ(readFile(csv), (handCsv().join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toLatin1());
    w->cmdCsv->click();   // cancelled: nothing asked is nothing written
    EXPECT_EQ(w->lblStatus->text(), full);

    // 中止 before the first step: no figures from a partial run.
    w->cmdRun->click();
    ASSERT_TRUE(w->running());
    w->cmdStop->click();
    EXPECT_FALSE(w->running());
    EXPECT_EQ(w->lblStatus->text(), QStringLiteral("中止しました（0 / 6 銘柄まで調べたところで）。"));
    EXPECT_FALSE(w->result().has_value());
    EXPECT_EQ(w->tblSummary->rowCount(), 0);
    EXPECT_FALSE(w->cmdCsv->isEnabled());
    EXPECT_TRUE(w->cmdRun->isEnabled());
    EXPECT_EQ(runToEnd(), 0);   // no step is left behind
}

TEST_F(BacktestWindowTest, InputItCannotRunIsNamedInTheStatusLine)
{
    struct Case {
        QString filter, score, from, to, holds;
        QString status;
    };
    const std::vector<Case> cases{
        {"C > C[1]", "", "2026-13-01", "2026-01-14", "1", "開始日 2026-13-01 は日付（YYYY-MM-DD または YYYYMMDD）ではありません。"},
        {"C > C[1]", "", "2026-01-06", "0114", "1", "終了日 0114 は日付（YYYY-MM-DD または YYYYMMDD）ではありません。"},
        {"C > C[1]", "", "2026-01-06", "2026-01-14", "1,,5", "保有期間 1,,5 は日数をカンマで区切ったもの（例 1,5,20）ではありません。"},
        {"C > C[1]", "", "2026-01-06", "2026-01-14", "0", "保有期間 0 は 1 から 1600 までの日数ではありません。"},
        {"C >", "", "2026-01-06", "2026-01-14", "1", "条件式の 4 文字目: 式が途中で終わっています"},
        {"C > C[1]", "", "2026-01-10", "2026-01-12", "1", "期間 2026-01-10 〜 2026-01-12 に営業日（1001 の日足のある日）がありません。"},
    };
    for (const Case &c : cases) {
        fill(c.filter, c.score, c.from, c.to, c.holds, 3);
        w->cmdRun->click();
        EXPECT_FALSE(w->running()) << c.status.toStdString();
        EXPECT_EQ(w->lblStatus->text(), c.status);
    }
}

TEST_F(BacktestWindowTest, ChoosingASavedScreenFillsItsFormulas)
{
    const auto offered = offeredScreens(f.st);
    ASSERT_FALSE(offered.empty());
    ASSERT_EQ(w->cboScreen->count(), int(offered.size()) + 1);
    w->cboScreen->setCurrentIndex(1);
    emit w->cboScreen->activated(1);
    EXPECT_EQ(w->txtFilter->text(), offered[0].text.filter);
    EXPECT_EQ(w->txtScore->text(), offered[0].text.score);
    EXPECT_EQ(w->chkBottom->isChecked(), offered[0].text.bottom);
}

// From the menu of the program's window: the worked example of the manual over the stored year.
TEST(BacktestMenu, OpensBesideTheMainWindowAndRunsTheStoredYear)
{
    ensureGuiApp();
    QTemporaryDir dir;
    State st;
    TestEnv env;
    std::unique_ptr<MainWindow> main;
    openDemoWindow(dir.path(), 60, QDateTime(QDate(2026, 11, 30), QTime(16, 0)), st, env, main);
    EXPECT_EQ(backtestWindow(*main), nullptr);
    main->click(QStringLiteral("F_BACKTEST"));
    BacktestWindow *b = backtestWindow(*main);
    ASSERT_NE(b, nullptr);
    EXPECT_TRUE(b->isVisible());
    EXPECT_EQ(b->txtTo->text(), QStringLiteral("2026-11-27"));
    b->txtFilter->setText(QStringLiteral("CROSS(C, MA(C,25)) AND V > MA(V,5)*2"));
    b->cmdRun->click();
    // The run goes in steps between events: the progress bar moves while the window answers.
    int rounds = 0;
    std::vector<int> seen{b->progress->value()};
    while (b->running() && rounds < 100000) {
        QCoreApplication::processEvents(), ++rounds;
        if (b->running() && (seen.empty() || seen.back() != b->progress->value())) seen.push_back(b->progress->value());
    }
    EXPECT_GE(seen.size(), 2u);   // 0, then after the first step of 40 stocks
    EXPECT_EQ(seen.front(), 0);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_EQ(b->progress->value(), b->progress->maximum());
    ASSERT_TRUE(b->result().has_value()) << b->lblStatus->text().toStdString();
    EXPECT_EQ(b->result()->holds, (std::vector<int>{1, 5, 20}));
    EXPECT_EQ(b->result()->days.back(), 20261127);
    EXPECT_EQ(b->tblSummary->rowCount(), 3);
    main->click(QStringLiteral("F_BACKTEST"));   // again: the same window
    EXPECT_EQ(backtestWindow(*main), b);
}

} // namespace velor::test

namespace velor::test {

namespace {

BacktestOptions newestDay(int32_t day)
{
    BacktestOptions o;
    o.from = o.to = day;
    o.holds = {1};
    o.top = 8;
    return o;
}

} // namespace

// On the newest day the backtest's picks are the formula screen's rows, in the same order, for a
// whole-market screen and for one over a watch list (a demo market with splits and letter codes).
TEST(BacktestAgainstScreen, TheNewestDaysPicksAreTheFormulaScreensRows)
{
    QTemporaryDir dir;
    demo::MarketOptions mo;
    mo.stocks = 150;
    mo.letterCodes = 10;
    mo.splits = true;
    ASSERT_TRUE(demo::writeDemoFolder(dir.path(), mo).has_value());
    State st;
    TestEnv env;
    st.ProgramDir = dir.path() + QLatin1Char('/');
    ASSERT_TRUE(loadDatabase(st, env.dialogs));
    st.CurCode = 1001;
    KDOPN(st, env.services, 2);
    st.LastTradeDate = st.BarDate[1];
    updateTurnoverLimits(st, env.clock.now());
    for (const auto &[filter, scope] : {std::pair{QStringLiteral("C > MA(C,5)"), ScreenScope::Market},
                                        std::pair{QStringLiteral("ROC(C,3) > -100"), ScreenScope::List1}}) {
        FormulaScreenText text;
        text.filter = filter, text.scope = scope, text.rows = 8;
        auto plan = prepareFormulaScreen(st, text);
        ASSERT_TRUE(plan.has_value());
        MemoryScreenView view;
        Screens screens(st, env.services, view);
        screens.FormulaScreen(*plan);
        QStringList rows;
        for (const QString &line : view.lines().mid(1)) rows << line.section(QLatin1Char(','), 0, 0);
        ASSERT_GE(rows.size(), 3) << filter.toStdString();

        auto prepared = prepareBacktest(st, text, newestDay(st.LastTradeDate));
        ASSERT_TRUE(prepared.has_value());
        const auto r = runBacktest(st, prepared->screen, prepared->options);
        ASSERT_TRUE(r.has_value());
        QStringList picks;
        for (const BacktestPick &p : r->picks) picks << codeText(p.code);
        EXPECT_EQ(picks, rows) << filter.toStdString();
    }
}

} // namespace velor::test

namespace velor::test {

namespace {

// The same screen, reading every bar of each file instead of the bars its formulas reach.
class EveryBar final : public BacktestScreen {
public:
    explicit EveryBar(BacktestScreen &inner) : m_inner(inner) {}
    bool hasScore() const override { return m_inner.hasScore(); }
    void evaluate(const BarVars &t, int first, int last, std::vector<uint8_t> &pass, std::vector<double> &score) override
    {
        m_inner.evaluate(t, first, last, pass, score);
    }
private:
    BacktestScreen &m_inner;
};

} // namespace

// Reading only the bars a formula reaches (its lookback before the range) changes nothing, for
// every function, on a range far back in a demo market's history.
TEST(BacktestAgainstScreen, ReadingOnlyTheBarsAFormulaReachesChangesNothing)
{
    QTemporaryDir dir;
    demo::MarketOptions mo;
    mo.stocks = 80;
    mo.splits = true;
    ASSERT_TRUE(demo::writeDemoFolder(dir.path(), mo).has_value());
    State st;
    TestEnv env;
    st.ProgramDir = dir.path() + QLatin1Char('/');
    ASSERT_TRUE(loadDatabase(st, env.dialogs));
    BacktestOptions o;
    o.from = 20260105, o.to = 20260130;   // some 230 bars before the newest
    o.holds = {1, 3};
    o.top = 4;
    o.readAhead = false;
    const std::vector<std::pair<QString, QString>> formulas{
        {QStringLiteral("C > EMA(C,10)"), QStringLiteral("RSI(14)")},
        {QStringLiteral("RCI(9) > 0"), QStringLiteral("KAIRI(25)")},
        {QStringLiteral("PSY(12) >= 0.5"), QStringLiteral("HHV(H,20) - LLV(L,20)")},
        {QStringLiteral("ROC(C,10) > 0 AND REF(C,30) > 0"), QStringLiteral("MA(V,5)[3]")},
    };
    for (const auto &[filter, score] : formulas) {
        FormulaScreenText text;
        text.filter = filter, text.score = score;
        auto prepared = prepareBacktest(st, text, o);
        ASSERT_TRUE(prepared.has_value());
        EveryBar every(prepared->screen);
        const auto some = runBacktest(st, prepared->screen, prepared->options);
        const auto all = runBacktest(st, every, prepared->options);
        ASSERT_TRUE(some && all);
        EXPECT_GT(some->picks.size(), 10u) << filter.toStdString();
        EXPECT_EQ(backtestCsv(*some), backtestCsv(*all)) << filter.toStdString();
        EXPECT_EQ(backtestSummary(*some, filter, o), backtestSummary(*all, filter, o));
    }
}

} // namespace velor::test
