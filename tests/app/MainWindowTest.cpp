#include "app/MainWindow.h"
#include "app/MenuTree.h"
#include "app/QtDialogs.h"
#include "support/GuiApp.h"
#include "support/TestSupport.h"

#include <QAbstractProxyModel>
#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QTimer>
#include <QTreeView>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScrollBar>
#include <QTest>
#include <QTextBrowser>
#include <QToolBar>
#include <QHelpEvent>
#include <QToolTip>
#include <gtest/gtest.h>

using namespace velor;

namespace {

struct WindowFixture : ::testing::Test {
    static void SetUpTestSuite() { test::ensureGuiApp(); }
    test::TestEnv env;
    State st;
    std::unique_ptr<MainWindow> w;
    void SetUp() override
    {
        st.BrokerUrl = {"証券A", "証券B", "証券C", "証券D"};
        st.FavoriteUrl = {"F1", "F2", "F3", "F4", "F5"};
        w = std::make_unique<MainWindow>(st, env.clock, env.net, env.launcher, env.sound, env.dialogs);
    }
};

QStringList captions(QMenu *menu)
{
    QStringList out;
    for (QAction *a : menu->actions()) out << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return out;
}

} // namespace

TEST_F(WindowFixture, MenuBarHasTheDocumentedTreeAndTheHiddenMenuIsAbsent)
{
    QStringList tops;
    for (QAction *a : w->menuBar()->actions()) tops << a->text();
    EXPECT_EQ(tops, (QStringList{"ファイル", "表示", "検索", "リアルタイム表示", "情報", "ヘルプ"}));
    QMenu *file = w->menuBar()->findChild<QMenu *>("F000");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(captions(file).size(), 21);
    EXPECT_EQ(captions(file).value(17), "株式分割・併合…");
    EXPECT_EQ(captions(file).value(18), "設定…");
    EXPECT_EQ(captions(file).first(), "株価データをまとめて追加（自動）");
    EXPECT_EQ(captions(file).last(), "終了");

    struct Shortcut { const char *name; int index; const char *keys; };
    const Shortcut keys[] = {{"JIDOU", -1, "F2"},   {"F005", 1, "Ctrl+F1"}, {"F00553", -1, "Shift+F3"}, {"F00554", -1, "Ctrl+L"},
                             {"F051A", 1, "Shift+F5"}, {"F065", -1, "F6"},  {"F020", -1, "F8"},          {"F151A", 3, "Ctrl+P"},
                             {"F220A", 0, "Ctrl+J"}, {"RHyouji", 0, "F11"}, {"RHyouji", 1, "F12"},      {"HHLP", -1, "F1"}};
    for (const auto &k : keys) {
        QAction *a = w->action(k.name, k.index);
        ASSERT_NE(a, nullptr) << k.name;
        EXPECT_EQ(a->shortcut(), QKeySequence(QString::fromLatin1(k.keys))) << k.name;
    }
    EXPECT_TRUE(w->action("vec", 2)->isChecked());
    EXPECT_FALSE(w->action("vec", 1)->isChecked());
    EXPECT_TRUE(w->action("funashi", 1)->isChecked());
    EXPECT_TRUE(w->action("ADJUST")->isChecked());   // adjusted for splits unless switched off
    EXPECT_FALSE(w->action("F800", 1)->isEnabled());
    EXPECT_FALSE(w->action("F806", 5)->isEnabled());
    EXPECT_FALSE(w->action("PL100", 4)->isEnabled());
    EXPECT_EQ(w->action("F151A", 2)->text(), "値幅率（前日含む）×出来高（株数）");
    EXPECT_EQ(captions(w->chartPopup()).size(), 14);
    EXPECT_EQ(captions(w->listPopup()).value(2), "　　　　　　 touroku2.dat");
}

TEST_F(WindowFixture, HiddenMenuKeysStillRunTheirHandlers)
{
    std::vector<int> steps;
    w->on("RHyouji", [&](int i) { steps.push_back(i); });
    w->show();
    QApplication::setActiveWindow(w.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    QTest::keyClick(w.get(), Qt::Key_F11);
    QTest::keyClick(w.get(), Qt::Key_F12);
    EXPECT_EQ(steps, (std::vector<int>{0, 1}));
}

TEST_F(WindowFixture, ToolbarButtonsAndStartUpTexts)
{
    QStringList texts;
    for (QAction *a : w->Toolbar1->actions()) texts << a->text();
    EXPECT_EQ(texts, (QStringList{"名前検索", "表示", "指数", "最大100%表示", "出来高制限オン", "ランキング/全般", "データフォルダ", "終了"}));
    std::vector<QString> order;
    w->on("startup:modes", [&](int) { order.push_back("modes"); });
    w->on("PL222", [&](int i) { order.push_back("PL222 " + QString::number(i)); });
    w->on("chart", [&](int m) { order.push_back("chart " + QString::number(m) + (st.Starting ? " starting" : "")); });
    st.ProgramDir = "/p/";
    w->startUp();
    EXPECT_EQ(order, (std::vector<QString>{"modes", "PL222 1", "chart 1"}));
    EXPECT_EQ(st.CurCode, 1001);
    EXPECT_EQ(w->toolAction("chart")->toolTip(), "日足、週足、月足、分足の切替");
    EXPECT_EQ(w->toolAction("vedat")->toolTip(), "検索／ランキング／絞り込み結果フォルダを開く");
    // 名前検索, 出来高制限 and 終了 have no tip: Qt's fall-back to the caption must not show.
    const auto tipShown = [&](const char *key) {
        QToolTip::hideText();
        QWidget *button = w->Toolbar1->widgetForAction(w->toolAction(QString::fromLatin1(key)));
        QHelpEvent e(QEvent::ToolTip, QPoint(2, 2), button->mapToGlobal(QPoint(2, 2)));
        QApplication::sendEvent(button, &e);
        const QString shown = QToolTip::isVisible() ? QToolTip::text() : QString();
        QToolTip::hideText();
        return shown;
    };
    for (const char *key : {"search", "showd", "exit"}) EXPECT_EQ(tipShown(key), QString()) << key;
    EXPECT_EQ(tipShown("chart"), "日足、週足、月足、分足の切替");   // last: a tip fades out, it does not vanish at once
    EXPECT_EQ(w->action("F805", 2)->text(), "証券C");
    EXPECT_EQ(w->action("F806", 4)->text(), "F5");
    EXPECT_FALSE(w->ProgressBar1->isVisible());

    w->toolbarClick("vedat");
    EXPECT_EQ(env.launcher.commands, QStringList{"folder /p/VEDAT"});
    int unknown = 0;
    w->on("tool:nothing", [&](int) { ++unknown; });
    w->toolbarClick("nothing");
    EXPECT_EQ(unknown, 0);
}

TEST_F(WindowFixture, MessagePaneKeepsNewestOnTopAndControlsSitAtTheirPlaces)
{
    w->prependMessage("first\r\n");
    w->prependMessage("second\r\n");
    EXPECT_EQ(w->messages(), "second\r\nfirst\r\n");
    w->prependMessage("a\r\nb\r\n");
    EXPECT_EQ(w->messages(), "a\r\nb\r\nsecond\r\nfirst\r\n");
    // Clearing the pane (a redraw, an import starting) keeps the message lines.
    w->clearMessages();
    EXPECT_EQ(w->messages(), "a\r\nb\r\nsecond\r\nfirst\r\n");

    // 15 twips a pixel at 96 dpi; tops below the tool bar row.
    if (w->px(1500) == 100) {
        EXPECT_EQ(w->txtCODE->geometry(), QRect(520, 24, 41, 19));
        EXPECT_EQ(w->List1->x(), 520);
        EXPECT_EQ(w->lblHSTOF->y(), 568);
    }
    EXPECT_EQ(w->lblNE->text(), "銘柄名");
    // A larger window gives the extra room to the chart.
    w->show();
    w->resize(w->width() + 200, w->height() + 100);
    const int before = w->Picture1->width();
    w->resize(w->width() + 100, w->height());
    QApplication::processEvents();
    EXPECT_EQ(w->Picture1->width(), before + 100);

    // While the progress bar shows, the warning label gives it its place.
    w->show();
    w->showProgress(true);
    EXPECT_TRUE(w->ProgressBar1->isVisible());
    EXPECT_FALSE(w->lblCI->isVisible());
    w->showProgress(false);
    EXPECT_FALSE(w->ProgressBar1->isVisible());
    EXPECT_TRUE(w->lblCI->isVisible());
}

namespace {

// Both warning lines show in full: the label holds two lines of its font and ends above the
// price listing, which would otherwise cover the second.
TEST_F(WindowFixture, BothWarningLinesFitAboveThePriceListing)
{
    w->show();
    w->lblCI->setText(QStringLiteral("出来高不足\r\n日付不一致,上場廃止？"));
    QApplication::processEvents();
    const QFontMetrics fm(w->lblCI->font());
    EXPECT_LE(2 * fm.lineSpacing(), w->lblCI->height());
    EXPECT_LE(fm.horizontalAdvance(QStringLiteral("日付不一致,上場廃止？")), w->lblCI->width());
    EXPECT_LT(w->lblCI->geometry().bottom(), w->txtPrice->geometry().top());
    EXPECT_LT(w->WebBrowser1->geometry().bottom(), w->lblCI->geometry().top());
}

} // namespace

TEST(FileDialogColumns, TypesAndDatesAreJapaneseWhateverTheSystemLanguage)
{
    test::ensureGuiApp();
    QTemporaryDir dir;
    test::writeFile(dir.path() + "/r.csv", "1301\r\n");
    QDir().mkpath(dir.path() + "/VEDAT");
    const QDateTime stamp(QDate(2026, 12, 7), QTime(18, 5));
    {
        QFile f(dir.path() + "/r.csv");
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(stamp, QFileDevice::FileModificationTime));
    }
    QFileSystemModel files;
    QSignalSpy loaded(&files, &QFileSystemModel::directoryLoaded);
    const QModelIndex root = files.setRootPath(dir.path());
    std::unique_ptr<QAbstractProxyModel> columns(japaneseFileColumns(nullptr));
    columns->setSourceModel(&files);
    // The model reads the folder in the background; it says when it has.
    ASSERT_TRUE(loaded.count() > 0 || loaded.wait(60000));
    const QModelIndex csv = columns->mapFromSource(files.index(dir.path() + "/r.csv"));
    const QModelIndex folder = columns->mapFromSource(files.index(dir.path() + "/VEDAT"));
    ASSERT_TRUE(csv.isValid());
    EXPECT_EQ(columns->index(csv.row(), 0, csv.parent()).data().toString(), "r.csv");
    EXPECT_EQ(columns->index(csv.row(), 2, csv.parent()).data().toString(), "CSV ファイル");
    EXPECT_EQ(columns->index(csv.row(), 3, csv.parent()).data().toString(), "2026/12/07 18:05");
    EXPECT_EQ(columns->index(folder.row(), 2, folder.parent()).data().toString(), "フォルダー");
    (void)root;

    // The same in the open dialog itself: the row of r.csv in its detail view, read once the
    // dialog has listed the folder, then the dialog is cancelled.
    QStringList shown;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog) return;
        for (auto *view : dialog->findChildren<QTreeView *>()) {
            const QAbstractItemModel *m = view->model();
            const QModelIndex top = view->rootIndex();
            for (int r = 0; r < m->rowCount(top); ++r) {
                if (m->index(r, 0, top).data().toString() != "r.csv") continue;
                for (int c = 0; c < 4; ++c) shown << m->index(r, c, top).data().toString();
                poll.stop();
                dialog->reject();
                return;
            }
        }
    });
    poll.start(20);
    QTimer::singleShot(60000, [&] {
        if (auto *w = QApplication::activeModalWidget()) w->close();
    });
    QtDialogs dialogs;
    EXPECT_TRUE(dialogs.openFile(QStringLiteral("開く"), dir.path(), QStringLiteral("結果ファイル (*.csv)")).isEmpty());
    ASSERT_EQ(shown.size(), 4);
    EXPECT_EQ(shown[2], "CSV ファイル");
    EXPECT_EQ(shown[3], "2026/12/07 18:05");
}

// The pane keeps recent message lines above the listing: a redraw replaces only the listing,
// the oldest lines drop out beyond the bound, and long lines wrap instead of scrolling sideways.
TEST_F(WindowFixture, MessagePaneKeepsRecentLinesAcrossRedraws)
{
    w->showListing(QStringLiteral("0,20241105,1000\r\n1,20241104,1010\r\n"));
    EXPECT_EQ(w->messages(), "0,20241105,1000\r\n1,20241104,1010\r\n");
    w->prependMessage(QStringLiteral("10:15 アラート: 1301 神戸製薬 1000 が 990 以上になりました\r\n"));
    w->showListing(QStringLiteral("0,20241105,1200\r\n"));
    EXPECT_EQ(w->messages(), "10:15 アラート: 1301 神戸製薬 1000 が 990 以上になりました\r\n0,20241105,1200\r\n");
    // The same report again from the next redraw is not repeated.
    w->prependMessage(QStringLiteral("銘柄:1301:神戸製薬 のデータファイルがありません\r\n"));
    w->showListing(QStringLiteral("0,20241105,1200\r\n"));
    w->prependMessage(QStringLiteral("銘柄:1301:神戸製薬 のデータファイルがありません\r\n"));
    EXPECT_EQ(w->messages(), "銘柄:1301:神戸製薬 のデータファイルがありません\r\n"
                             "10:15 アラート: 1301 神戸製薬 1000 が 990 以上になりました\r\n0,20241105,1200\r\n");
    EXPECT_EQ(w->keptMessageLines(), 2);
    // A blank spacing line sits above the listing and leaves with it.
    w->prependMessage(QStringLiteral("\r\n"));
    EXPECT_EQ(w->messages(), "銘柄:1301:神戸製薬 のデータファイルがありません\r\n"
                             "10:15 アラート: 1301 神戸製薬 1000 が 990 以上になりました\r\n\r\n0,20241105,1200\r\n");
    w->showListing(QStringLiteral("0,20241105,1200\r\n"));
    EXPECT_EQ(w->keptMessageLines(), 2);
    EXPECT_EQ(w->messages(), "銘柄:1301:神戸製薬 のデータファイルがありません\r\n"
                             "10:15 アラート: 1301 神戸製薬 1000 が 990 以上になりました\r\n0,20241105,1200\r\n");

    // An import's report of many lines: only the newest kMessageLines stay, newest first, and
    // the listing below them is untouched.
    QString many;
    for (int i = MainWindow::kKeptMessageLines + 9; i >= 0; --i) many += QStringLiteral("行%1\r\n").arg(i);
    w->prependMessage(many);
    EXPECT_EQ(w->keptMessageLines(), MainWindow::kKeptMessageLines);
    const QStringList lines = w->messages().split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), MainWindow::kKeptMessageLines + 2);
    EXPECT_EQ(lines[0], QStringLiteral("行%1").arg(MainWindow::kKeptMessageLines + 9));
    EXPECT_EQ(lines[MainWindow::kKeptMessageLines - 1], QStringLiteral("行10"));
    EXPECT_EQ(lines[MainWindow::kKeptMessageLines], QStringLiteral("0,20241105,1200"));
    EXPECT_EQ(lines[MainWindow::kKeptMessageLines + 1], QString());
    w->prependMessage(QStringLiteral("最新\r\n"));
    EXPECT_EQ(w->messages().section(QStringLiteral("\r\n"), 0, 0), QStringLiteral("最新"));
    EXPECT_EQ(w->keptMessageLines(), MainWindow::kKeptMessageLines);
    EXPECT_TRUE(w->messages().endsWith(QStringLiteral("行11\r\n0,20241105,1200\r\n")));

    // A line longer than the pane wraps: nothing scrolls sideways.
    w->show();
    w->prependMessage(QStringLiteral("株価データがまだありません。「株価データをまとめて追加（自動）」（F2）か"
                                     "「株価データをまとめて追加（手動）」で集めて下さい。\r\n"));
    QApplication::processEvents();
    EXPECT_EQ(w->txtPrice->horizontalScrollBar()->maximum(), 0);
}
