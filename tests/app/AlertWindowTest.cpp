// Alerts in the whole window on a small demo folder: the list popup's dialog, the monitor's 通知
// and the minute-bar tick, with a recording notifier in place of the desktop's.
#include "app/AlertWiring.h"
#include "app/MainWindow.h"
#include "app/RealtimeWiring.h"
#include "common/Cp932.h"
#include "realtime/AlertDialog.h"
#include "realtime/AlertLogWindow.h"
#include "db/PriceFile.h"
#include <QFile>
#include "app/Wiring.h"
#include "realtime/RealWindow.h"
#include "support/DemoWindow.h"
#include "support/GuiApp.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

using namespace velor;

namespace {

struct AlertWindow : ::testing::Test {
    static void SetUpTestSuite() { test::ensureGuiApp(); }
    void SetUp() override
    {
        test::openDemoWindow(dir.path(), 30, QDateTime(QDate(2026, 11, 30), QTime(10, 15)), st, env, w);
        setAlertNotifier(*w, &notifier);
    }
    QString alertsPath() const { return st.ProgramDir + QStringLiteral("alerts.dat"); }
    // The list row of the first ordinary stock of the working set, selected.
    int selectFirstStock()
    {
        for (int row = 0; row < w->List1->count(); ++row) {
            const int code = st.StockCode[size_t(st.WorkSet[size_t(row + 1)])];
            if (code > 1002) {
                w->List1->setCurrentRow(row);
                return code;
            }
        }
        return 0;
    }
    AlertDialog *openDialog()
    {
        w->action("ALERT")->trigger();
        return w->findChild<AlertDialog *>();
    }
    QTemporaryDir dir;
    State st;
    test::TestEnv env;
    std::unique_ptr<MainWindow> w;
    test::RecordingNotifier notifier;
};

} // namespace

TEST_F(AlertWindow, ThePopupDialogSetsChangesAndClearsAStocksLevels)
{
    EXPECT_EQ(w->action("ALERT")->text(), QStringLiteral("アラートを設定…"));
    const int code = selectFirstStock();
    ASSERT_GT(code, 1002);
    const QString name = st.nameOf(code).trimmed();
    AlertDialog *dlg = openDialog();
    ASSERT_NE(dlg, nullptr);
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_EQ(dlg->windowTitle(), QStringLiteral("アラートを設定"));
    EXPECT_TRUE(dlg->lblStock->text().startsWith(QString::number(code) + ' ' + name + '\n'));
    EXPECT_FALSE(dlg->cmdClear->isEnabled());
    // Refusals are said in the dialog itself; nothing is written.
    const std::vector<std::tuple<QString, QString, QString>> refused = {
        {"", "", QStringLiteral("以上か以下の価格を入れてください。")},
        {"abc", "", QStringLiteral("価格は正の数で入れてください。")},
        {"100", "-3", QStringLiteral("価格は正の数で入れてください。")},
        {"100", "150", QStringLiteral("以下の価格は以上の価格より小さくしてください。")},
    };
    for (const auto &[above, below, problem] : refused) {
        dlg->txtAbove->setText(above);
        dlg->txtBelow->setText(below);
        dlg->cmdSet->click();
        EXPECT_EQ(dlg->lblProblem->text(), problem);
        EXPECT_TRUE(dlg->isVisible());
    }
    EXPECT_FALSE(QFile::exists(alertsPath()));
    EXPECT_TRUE(env.dialogs.shown.empty());
    dlg->txtAbove->setText(QStringLiteral("3200"));
    dlg->txtBelow->setText(QStringLiteral(" 2900.5 "));
    dlg->cmdSet->click();
    QCoreApplication::processEvents();
    EXPECT_EQ(test::readFile(alertsPath()), toCp932(QString::number(code) + ',' + name + QStringLiteral(",以上=3200,以下=2900.5\r\n")));

    // Opened again it shows the levels; キャンセル changes nothing, 解除 removes the alert.
    dlg = openDialog();
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(dlg->txtAbove->text(), QStringLiteral("3200"));
    EXPECT_EQ(dlg->txtBelow->text(), QStringLiteral("2900.5"));
    dlg->txtAbove->setText(QStringLiteral("1"));
    dlg->cmdCancel->click();
    QCoreApplication::processEvents();
    EXPECT_EQ(test::readFile(alertsPath()), toCp932(QString::number(code) + ',' + name + QStringLiteral(",以上=3200,以下=2900.5\r\n")));
    dlg = openDialog();
    ASSERT_NE(dlg, nullptr);
    EXPECT_TRUE(dlg->cmdClear->isEnabled());
    dlg->cmdClear->click();
    QCoreApplication::processEvents();
    EXPECT_EQ(test::readFile(alertsPath()), QByteArray());

    // No stock selected: a beep and no dialog.
    w->List1->setCurrentRow(-1);
    EXPECT_EQ(openDialog(), nullptr);
    EXPECT_EQ(env.sound.beeps, 1);
}

TEST_F(AlertWindow, MonitorWithNotifyOnRaisesOneGroupedNotificationPerPass)
{
    st.RealParam = 0;
    RealWindow *win = nullptr;
    QStringList firstRows;
    bool turnedOn = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        win = monitorWindow(*w);
        if (!win || !win->monitor().running()) return;
        if (!turnedOn) {
            EXPECT_EQ(win->monitor().passCount(), 0);
            EXPECT_FALSE(win->chkNotify->isChecked());   // off whenever the window opens
            win->chkNotify->setChecked(true);
            turnedOn = true;
        }
        if (win->monitor().passCount() >= 2) {
            for (int r = 0; r < 5; ++r) firstRows << win->List[1]->item(r)->text();
            win->Command1->click();
        }
    });
    poll.start(0);
    w->click(QStringLiteral("F666"));
    poll.stop();
    ASSERT_NE(win, nullptr);
    EXPECT_EQ(win->chkNotify->text(), QStringLiteral("通知"));
    EXPECT_TRUE(turnedOn);
    ASSERT_GE(notifier.notices.size(), 1u);
    // The first scored pass: five new stocks in each of the six lists, one notification.
    const Notice &n = notifier.notices[0];
    EXPECT_EQ(n.summary, QStringLiteral("リアルタイム急騰急落（30件）"));
    const QStringList lines = n.body.split('\n');
    ASSERT_EQ(lines.size(), 11);
    EXPECT_EQ(lines[10], QStringLiteral("ほか20件"));
    ASSERT_EQ(firstRows.size(), 5);
    const QString code = firstRows[0].section(',', 0, 0);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("急騰銘柄（前日比） ") + code + ' ')) << lines[0].toStdString();
    EXPECT_EQ(n.code, code.toInt());
    // Taken by the service: the message pane stays quiet, no sound.
    EXPECT_FALSE(w->messages().contains(QStringLiteral("アラート: ")));
    EXPECT_EQ(env.sound.beeps, 0);
    win->cmdEXIT->click();
}

TEST_F(AlertWindow, AMinuteTickThatCrossesALevelRaisesAPriceAlertAndFallsBackWithoutAService)
{
    const int code = selectFirstStock();
    ASSERT_GT(code, 1002);
    test::writeFile(alertsPath(), toCp932(QString::number(code) + QStringLiteral(",x,以上=1\r\n")));
    notifier.taken = false;
    w->action("funashi", 0)->trigger();   // answered Yes: reset, list, first tick
    ASSERT_EQ(notifier.notices.size(), 1u);
    const Notice &n = notifier.notices[0];
    EXPECT_EQ(n.summary, QStringLiteral("株価アラート"));
    EXPECT_TRUE(n.body.startsWith(QString::number(code) + ' ' + st.nameOf(code).trimmed() + ' ')) << n.body.toStdString();
    EXPECT_TRUE(n.body.endsWith(QStringLiteral(" が 1 以上になりました")));
    EXPECT_EQ(n.code, code);
    EXPECT_TRUE(w->messages().startsWith(QStringLiteral("10:15 アラート: ") + n.body + QStringLiteral("\r\n"))) << w->messages().toStdString();
    EXPECT_EQ(env.sound.played.size() + size_t(env.sound.beeps), 1u);
    EXPECT_TRUE(env.dialogs.shown.empty() || env.dialogs.shown.back().text != n.body);
    // Kept, so the next tick (and the next start) does not fire it again.
    EXPECT_EQ(test::readFile(alertsPath()),
              toCp932(QString::number(code) + ',' + st.nameOf(code).trimmed() + QStringLiteral(",以上=1,済=以上\r\n")));
    env.clock.advanceSeconds(60);
    w->click(QStringLiteral("Timer2"));
    EXPECT_EQ(notifier.notices.size(), 1u);

    // A click on the notification brings the window forward on the stock.
    st.CurCode = 1001;
    showAlertStock(*w, code);
    EXPECT_EQ(st.CurCode, code);
}

TEST_F(AlertWindow, TodaysAlertsAreListedAfterARestartAndADoubleClickShowsTheStock)
{
    const int code = selectFirstStock();
    ASSERT_GT(code, 1002);
    const QString name = st.nameOf(code).trimmed();
    test::writeFile(alertsPath(), toCp932(QString::number(code) + QStringLiteral(",x,以上=1\r\n")));
    w->action("funashi", 0)->trigger();   // the first tick fires the alert at 10:15
    ASSERT_EQ(notifier.notices.size(), 1u);
    const QString body = notifier.notices[0].body;
    const QByteArray log = test::readFile(st.ProgramDir + QStringLiteral("alertlog.dat"));
    EXPECT_TRUE(log.startsWith(toCp932(QStringLiteral("2026-11-30 10:15,") + QString::number(code) + ',' + name + QStringLiteral(",以上,1,"))))
        << log.toStdString();
    EXPECT_TRUE(log.endsWith("\r\n"));
    EXPECT_EQ(log.count('\n'), 1);

    auto openLog = [&] {
        EXPECT_EQ(w->action("ALERTLOG")->text(), QStringLiteral("今日のアラート"));
        w->action("ALERTLOG")->trigger();
        return w->findChild<AlertLogWindow *>();
    };
    AlertLogWindow *win = openLog();
    ASSERT_NE(win, nullptr);
    EXPECT_TRUE(win->isVisible());
    EXPECT_EQ(win->lblDay->text(), QStringLiteral("2026/11/30 に鳴った株価アラート"));
    ASSERT_EQ(win->List1->count(), 1);
    EXPECT_EQ(win->List1->item(0)->text(), QStringLiteral("10:15  ") + body);
    st.CurCode = 1001;
    emit win->List1->itemDoubleClicked(win->List1->item(0));
    EXPECT_EQ(st.CurCode, code);

    // A new start the same day lists it again; the next day's list is empty.
    w.reset();
    w = std::make_unique<MainWindow>(st, env.clock, env.net, env.launcher, env.sound, env.dialogs);
    wireSubsystems(*w);
    w->startUp();
    win = openLog();
    ASSERT_NE(win, nullptr);
    ASSERT_EQ(win->List1->count(), 1);
    EXPECT_EQ(win->List1->item(0)->text(), QStringLiteral("10:15  ") + body);
    env.clock.set(QDateTime(QDate(2026, 12, 1), QTime(9, 5)));
    win = openLog();
    EXPECT_EQ(win->List1->count(), 0);
    EXPECT_EQ(win->lblDay->text(), QStringLiteral("2026/12/01 に鳴った株価アラート（まだありません）"));
}

TEST_F(AlertWindow, TheDialogShowsThePriceAndRefusesAStockWhosePageIsNeverRead)
{
    // A stock of the list with a known stored close, and one made a section-4 stock.
    const int code = selectFirstStock();
    ASSERT_GT(code, 1002);
    PriceSections s;
    s[0] = {Bar{20261127, 3050, 3300, 3040, 3255.5f, 1200}};
    s[1] = s[0];
    s[2] = s[0];
    ASSERT_TRUE(writePriceFile(st.priceFilePath(code), s));
    AlertDialog *dlg = openDialog();
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(dlg->lblPrice->text(), QStringLiteral("終値（2026/11/27）: 3255.5"));
    EXPECT_TRUE(dlg->cmdSet->isEnabled());
    dlg->cmdCancel->click();
    QCoreApplication::processEvents();

    st.StockSection[size_t(st.entryOf(code))] = 4;
    dlg = openDialog();
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(dlg->lblProblem->text(), QString::number(code) + ' ' + st.nameOf(code).trimmed() +
                                           QStringLiteral(" は4部の銘柄で、株価のページが読まれないため、アラートは鳴りません。"));
    EXPECT_FALSE(dlg->cmdSet->isEnabled());
    EXPECT_FALSE(dlg->txtAbove->isEnabled());
    dlg->cmdCancel->click();
    QCoreApplication::processEvents();
    EXPECT_FALSE(QFile::exists(alertsPath()));
}
