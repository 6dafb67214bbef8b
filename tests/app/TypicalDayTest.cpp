// A working day with the real main window on a demo folder, the clock fixed: the download of the
// demo's ten days, a stock's chart in every period and oscillator, a name search, a watch list
// added to and pruned, a ranking saved as a result file and read back as the working set,
// real-time display on, the monitor for two passes, minute bars for two ticks and off again,
// real-time display off, the about box, the manual, exit. Each step checks the files and the
// texts the user sees.
#include "app/MainWindow.h"
#include "app/RealtimeWiring.h"
#include "app/ScreenWiring.h"
#include "app/Startup.h"
#include "app/Wiring.h"
#include "demo/DemoFolder.h"
#include "lists/SearchWindow.h"
#include "realtime/RealWindow.h"
#include "screen/RankingWindow.h"
#include "support/GuiApp.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QToolBar>
#include <QTest>
#include <gtest/gtest.h>

using namespace velor;
using namespace Qt::StringLiterals;

namespace {

QStringList rows(const QListWidget *list, int n)
{
    QStringList out;
    for (int r = 0; r < std::min(n, list->count()); ++r) out << list->item(r)->text();
    return out;
}

} // namespace

TEST(TypicalDay, FromTheMorningDownloadToExit)
{
    test::ensureGuiApp();
    QTemporaryDir dir;
    demo::MarketOptions mo;
    mo.stocks = 30;
    ASSERT_TRUE(demo::writeDemoFolder(dir.path(), mo).has_value());
    ASSERT_TRUE(QFile::copy(QStringLiteral(VELOR_MANUAL_PDF), dir.path() + "/VELORmanual.pdf"));
    test::TestEnv env;
    env.clock.set(QDateTime(QDate(2026, 11, 30), QTime(10, 15)));
    State st;
    st.ProgramDir = dir.path() + QLatin1Char('/');
    ASSERT_TRUE(loadDatabase(st, env.dialogs));
    st.sites = readSites(st.ProgramDir + QStringLiteral("sites.ini"));
    st.BrowserPath = QStringLiteral("/usr/bin/browser");
    MainWindow w(st, env.clock, env.net, env.launcher, env.sound, env.dialogs);
    wireSubsystems(w);
    w.resize(1100, 720);
    w.startUp();
    w.show();
    QApplication::setActiveWindow(&w);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    EXPECT_TRUE(w.windowTitle().startsWith(QStringLiteral("1001 ")));

    // F2 brings in the ten days after 20261127, on the evening of the last of them (no day after
    // today is imported); the rest of the day runs on the morning clock.
    env.clock.set(QDateTime(QDate(2026, 12, 11), QTime(20, 0)));
    QTest::keyClick(&w, Qt::Key_F2);
    env.clock.set(QDateTime(QDate(2026, 11, 30), QTime(10, 15)));
    ASSERT_FALSE(env.dialogs.shown.empty());
    EXPECT_EQ(env.dialogs.shown.back().text, QStringLiteral("データの追加が終わりました"));
    EXPECT_TRUE(test::readFile(dir.path() + "/data/1001.csv").contains("\r\n20261211,"));
    EXPECT_TRUE(QDir(dir.path() + "/data/tmp").isEmpty());
    const size_t afterDownload = env.dialogs.shown.size();

    // A stock in every period and oscillator.
    w.txtCODE->setText(QStringLiteral("1301"));
    QTest::keyClick(w.txtCODE, Qt::Key_Return);
    ASSERT_EQ(st.CurCode, 1301);
    const struct { int period; const char16_t *caption; const char16_t *head; } periods[] = {
        {0, u"日足表示", u"先頭日 = 20261211"}, {1, u"週足表示", u"先頭週 = 20261211"}, {2, u"月足表示", u"先頭月 = 20261211"}};
    const char16_t *oscillators[] = {u"RSI", u"RCI", u"乖離率", u"サイコロ"};
    for (const auto &p : periods) {
        w.action("PU_HST", p.period)->trigger();
        EXPECT_EQ(st.CurPeriod, p.period);
        EXPECT_EQ(w.toolAction("chart")->text(), QString::fromUtf16(p.caption));
        EXPECT_TRUE(w.lblHSTOF->text().contains(QString::fromUtf16(p.head))) << w.lblHSTOF->text().toStdString();
        for (int i = 0; i < 4; ++i) {
            w.action("F061", i)->trigger();
            EXPECT_EQ(w.toolAction("kindx")->text(), QString::fromUtf16(oscillators[i]));
            EXPECT_TRUE(w.action("PL100", i)->isChecked());
        }
    }
    w.action("PU_HST", 0)->trigger();
    EXPECT_TRUE(w.windowTitle().startsWith(QStringLiteral("1301 ")));

    // A name search finds 1301 and shows it.
    w.action("F020")->trigger();
    auto *search = w.findChild<SearchWindow *>(QStringLiteral("frmSearch"));
    ASSERT_NE(search, nullptr);
    search->Text1->setText(st.nameOf(1301).trimmed().left(2));
    search->search();
    ASSERT_GE(search->List1->count(), 2);
    EXPECT_EQ(search->List1->item(search->List1->count() - 1)->text(), QStringLiteral("=== 検索の終了 ==="));
    bool found = false;
    for (int r = 0; r < search->List1->count(); ++r) found = found || search->List1->item(r)->text().startsWith("1301  ");
    EXPECT_TRUE(found);
    search->close();

    // Watch list 3: add the shown stock, then delete it again from the list.
    const QByteArray list3 = test::readFile(dir.path() + "/touroku3.dat");
    ASSERT_FALSE(list3.contains(" 1301 "));
    w.action("F402", 3)->trigger();
    EXPECT_EQ(test::readFile(dir.path() + "/touroku3.dat"), list3 + " 1301 \r\n");
    EXPECT_TRUE(w.lblList->text().startsWith(QStringLiteral("登録銘柄３ / ")));
    EXPECT_EQ(st.CurCode, 1301);
    w.action("DelM")->trigger();
    EXPECT_EQ(test::readFile(dir.path() + "/touroku3.dat"), list3);

    // The general ranking on the downloaded days, saved into VEDAT and read back as the working set.
    const int16_t shown = st.CurCode;
    EXPECT_EQ(w.toolAction("ranking")->text(), QStringLiteral("ランキング/全般"));
    w.toolAction("ranking")->trigger();
    RankingWindow *ranking = rankingWindow(w);
    ASSERT_NE(ranking, nullptr);
    EXPECT_TRUE(ranking->isVisible());
    EXPECT_EQ(ranking->windowTitle(), QStringLiteral("検索／ランキング／絞り込み"));
    EXPECT_EQ(st.CurCode, shown);   // the screen walked the master and put the shown stock back
    EXPECT_EQ(rows(ranking->List1, 4),
              (QStringList{u"★値上がり率（対前日比）★　５値　 日= 20261211 10:15:00"_s,
                           u"8259,\"朝日運輸 (1)\",1.041,442,471,437,459,4315.82,↑"_s,
                           u"9419,\"東洋電工 (1)\",1.035,616,643,614,643,94.86,↑"_s,
                           u"6519,\"朝日薬品 (1)\",1.032,7354,7654,7265,7559,542.53,↑"_s}));
    EXPECT_EQ(ranking->List1->count(), 96);   // six lists of a title and fifteen rows
    EXPECT_EQ(ranking->Label1->text(), u"絞込最低値、最大値=100, 50000\n絞込最低出来高(億円）=3.\n10:15:00 , 10:15:00"_s);
    const QString result = dir.path() + "/VEDAT/rank1.csv";
    env.dialogs.files.push_back(result);
    QTest::mouseClick(ranking->cmdSAVE, Qt::LeftButton);
    EXPECT_EQ(env.dialogs.fileDialogDirs.last(), dir.path() + "/VEDAT");
    const QByteArray saved = test::readFile(result);
    // CP932 and CR LF: the title (★値上がり率（対前日比）★　５値　 日= …) and the first two rows.
    const QByteArray head = QByteArray::fromHex("819a926c8fe382aa82e897a6816991ce914f93fa94e4816a819a81408254926c8140") +
                            " \x93\xfa= 20261211 10:15:00\r\n"
                            "8259,\"\x92\xa9\x93\xfa\x89^\x97\x41 (1)\",1.041,442,471,437,459,4315.82,\x81\xaa\r\n"
                            "9419,\"\x93\x8c\x97m\x93\x64\x8d\x48 (1)\",1.035,616,643,614,643,94.86,\x81\xaa\r\n";
    EXPECT_TRUE(saved.startsWith(head)) << saved.left(300).toHex().constData();
    EXPECT_EQ(saved.size(), 5429);   // the day's new listings carry the names of the site's list, not 新規銘柄
    EXPECT_EQ(saved.count("\r\n"), 96);
    EXPECT_EQ(saved.count('\n'), 96);
    EXPECT_TRUE(saved.endsWith("\r\n"));
    env.dialogs.files.push_back(result);
    w.action("PL222", 4)->trigger();   // ランキング／絞り込み結果のファイルを扱う
    EXPECT_EQ(w.lblList->text(), u"rank1.csv / 96 ( 96 ) 銘柄"_s);
    EXPECT_EQ(rows(w.List1, 4), (QStringList{u"★値上がり率（対前日比）★　５値　 日= 20261211 10:15:00"_s,
                                             u" 8259 朝日運輸  (1)"_s, u" 9419 東洋電工  (1)"_s, u" 6519 朝日薬品  (1)"_s}));
    EXPECT_EQ(st.CurCode, 8259);   // the first stock of the file
    EXPECT_TRUE(w.windowTitle().startsWith(u"8259 朝日運輸 "_s));
    QTest::mouseClick(ranking->cmdEXIT, Qt::LeftButton);
    EXPECT_FALSE(ranking->isVisible());

    // Real-time display during the session.
    w.action("vec", 1)->trigger();
    EXPECT_TRUE(w.windowTitle().endsWith(QStringLiteral("リアルタイム=オン")));
    EXPECT_TRUE(w.action("vec", 1)->isChecked());
    EXPECT_EQ(env.dialogs.shown.size(), afterDownload);   // nothing went wrong on the way

    // The monitor: a base pass and one scored pass with no wait between them, 停止, then 閉じる.
    st.RealParam = 0;
    QTimer stopper;
    QObject::connect(&stopper, &QTimer::timeout, [&w] {
        RealWindow *m = monitorWindow(w);
        if (m && m->monitor().running() && m->monitor().passCount() >= 2) m->Command1->click();
    });
    stopper.start(0);
    w.action("F666")->trigger();
    stopper.stop();
    RealWindow *monitor = monitorWindow(w);
    ASSERT_NE(monitor, nullptr);
    EXPECT_TRUE(monitor->isVisible());
    EXPECT_EQ(monitor->windowTitle(), u"リアルタイム急騰急落銘柄の監視"_s);
    EXPECT_EQ(monitor->monitor().passCount(), 2);
    EXPECT_EQ(monitor->lblStatus->text(),
              u"LOOP Count=1,  時刻　10:15:00\n絞込最低株価、最高株価=100,50000\n絞込出来高（億円）=0.1"_s);
    // Stopped: the progress text says so, not that it waits for the next pass.
    EXPECT_EQ(monitor->lblProgress->text(), u"停止中"_s);
    const struct { const char16_t *caption, *first, *second; } lists[] = {
        {u"急騰銘柄（前日比）", u"4490,\"中央通信 (1)\" , 1.143,  160,  314.16", u"1880,\"北海運輸 (1)\" , 1.079,  599,  1030.39"},
        {u"急落銘柄（前日比）", u"6229,\"中央物産 (1)\" , .919,  362,  1387.28", u"9709,\"大和製薬 (1)\" , .923,  2651,  84.39"},
        {u"急騰銘柄（当日比）", u"2170,\"第一産業 (1)\" , 1.063,  1973,  1580.17", u"5939,\"名古屋化学(1)\" , 1.034,  243,  1092.71"},
        {u"急落銘柄（当日比）", u"7969,\"明治海運 (3)\" , .963,  6230,  93", u"5360,\"山陽紙業 (1)\" , .971,  167,  1313.29"},
        {u"急騰銘柄（前回ループ比）", u"4490,\"中央通信 (1)\" , 1.143,  160,  314.16", u"1880,\"北海運輸 (1)\" , 1.079,  599,  1030.39"},
        {u"急落銘柄（前回ループ比）", u"6229,\"中央物産 (1)\" , .919,  362,  1387.28", u"9709,\"大和製薬 (1)\" , .923,  2651,  84.39"}};
    for (int k = 1; k <= 6; ++k) {
        const auto &l = lists[k - 1];
        EXPECT_EQ(monitor->Caption[k]->text(), QString::fromUtf16(l.caption));
        EXPECT_TRUE(monitor->List[k]->isEnabled()) << k;
        EXPECT_EQ(monitor->List[k]->count(), 23) << k;   // every stock with a quote, the index series left out
        EXPECT_EQ(rows(monitor->List[k], 2), (QStringList{QString::fromUtf16(l.first), QString::fromUtf16(l.second)})) << k;
    }
    EXPECT_EQ(st.CurCode, 8259);
    EXPECT_EQ(st.QuoteMode, 7);
    QTest::mouseClick(monitor->cmdEXIT, Qt::LeftButton);
    EXPECT_FALSE(monitor->isVisible());
    EXPECT_FALSE(w.action("F666")->isChecked());
    // What the monitor found when it started: real-time display on, the live bar, no quote mode.
    EXPECT_EQ(st.LiveMode, 1);
    EXPECT_EQ(st.BarOffset, -1);
    EXPECT_EQ(st.QuoteMode, 0);
    EXPECT_EQ(st.CurCode, 8259);
    EXPECT_TRUE(w.windowTitle().endsWith(QStringLiteral("リアルタイム=オン")));
    EXPECT_EQ(env.dialogs.shown.size(), afterDownload);

    // Minute bars: on (the reset answered Yes), two ticks of Timer2 a minute apart each, the minute
    // chart, then off.
    env.dialogs.answers.push_back(Answer::Yes);
    w.action("funashi", 0)->trigger();
    ASSERT_EQ(env.dialogs.shown.size(), afterDownload + 1);
    EXPECT_EQ(env.dialogs.shown.back().text, u"分足は7:00～9:00まで（除く日経２２５）\r\nおよびその日最初に値がつくまで表示されません。\r\n\r\n分足データをリセットしますか？"_s);
    EXPECT_EQ(st.CurPeriod, 3);
    EXPECT_TRUE(minuteTimer(w)->isActive());
    EXPECT_TRUE(w.action("funashi", 0)->isChecked());
    EXPECT_FALSE(w.action("funashi", 1)->isChecked());
    const QByteArray codes = test::readFile(dir.path() + "/FUNASHI/Fmeigara.dat");
    EXPECT_TRUE(codes.startsWith(" 1001 \r\n 1002 \r\n 1301 \r\n 1590 \r\n")) << codes.constData();
    EXPECT_EQ(codes.count("\r\n"), 30);   // the three watch lists, each code once
    env.clock.advanceSeconds(60);
    w.click(QStringLiteral("Timer2"));
    env.clock.advanceSeconds(60);
    w.click(QStringLiteral("Timer2"));
    EXPECT_EQ(test::readFile(dir.path() + "/FUNASHI/8259.csv"),
              " 11301015 , 443 , 448 , 441 , 442 , 70425000 \r\n"
              " 11301016 , 443 , 448 , 441 , 442 , 70425000 \r\n"
              " 11301017 , 443 , 448 , 441 , 442 , 70425000 \r\n");
    // A file for every code whose quote showed a trade this morning: 4200 and 7099, listed with the
    // download, have not traded yet, and some codes have no live quote at all.
    EXPECT_EQ(QDir(dir.path() + "/FUNASHI").entryList(QDir::Files).join(' '),
              u"1001.csv 1301.csv 1590.csv 1880.csv 2170.csv 2460.csv 3040.csv 3620.csv 3910.csv 4490.csv 4780.csv "
              "5070.csv 5360.csv 5650.csv 5939.csv 6229.csv 6519.csv 6809.csv 7389.csv 7679.csv 7969.csv 8259.csv "
              "8549.csv 9129.csv 9709.csv Fmeigara.dat"_s);
    // The minute chart of the shown stock draws the three collected minutes.
    EXPECT_EQ(st.CurCode, 8259);
    EXPECT_EQ(st.CurPeriod, 3);
    ASSERT_EQ(st.BarCount, 3);
    for (int i = 1; i <= 3; ++i) {
        EXPECT_EQ(st.BarDate[size_t(i)], 11301014 + i);
        EXPECT_EQ(st.BarClose[size_t(i)], 442.0f);
    }
    EXPECT_TRUE(w.lblRSI->text().startsWith(u"始値：443\n高値：448\n安値：441\n終値：442\n"_s)) << w.lblRSI->text().toStdString();
    EXPECT_EQ(w.lblList->text(), u"rank1.csv / 96 ( 96 ) 銘柄"_s);
    EXPECT_EQ(env.dialogs.shown.size(), afterDownload + 1);   // every stock had its quote
    w.action("funashi", 1)->trigger();
    EXPECT_FALSE(w.action("funashi", 0)->isChecked());
    EXPECT_TRUE(w.action("funashi", 1)->isChecked());
    EXPECT_FALSE(minuteTimer(w)->isActive());
    EXPECT_EQ(st.CurPeriod, 0);
    EXPECT_EQ(w.toolAction("chart")->text(), u"日足表示"_s);
    EXPECT_TRUE(w.lblHSTOF->text().contains(u"先頭日 = 20261130"_s)) << w.lblHSTOF->text().toStdString();
    EXPECT_EQ(w.lblList->text(), u"rank1.csv / 96 ( 96 ) 銘柄"_s);

    // Real-time display off for the evening.
    w.action("vec", 2)->trigger();
    EXPECT_TRUE(w.windowTitle().endsWith(QStringLiteral("リアルタイム=オフ")));
    EXPECT_EQ(env.dialogs.shown.size(), afterDownload + 1);

    // The about box, the manual, and home.
    w.action("VERS")->trigger();
    QWidget *about = w.findChild<QWidget *>(QStringLiteral("frmAbout"));
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(about->windowTitle(), QStringLiteral("VELOR Pro  のﾊﾞｰｼﾞｮﾝ情報"));
    about->close();
    env.launcher.commands.clear();
    QApplication::setActiveWindow(&w);   // back from the other windows of the day
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    QTest::keyClick(&w, Qt::Key_F1);
    EXPECT_EQ(env.launcher.commands, QStringList{"/usr/bin/browser " + st.ProgramDir + "VELORmanual.pdf"});
    EXPECT_TRUE(w.unhandledCommands().isEmpty());
    w.action("F040")->trigger();
    EXPECT_FALSE(w.isVisible());
}
