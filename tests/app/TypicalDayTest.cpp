// A working day with the real main window on a demo folder, the clock fixed: the download of the
// demo's ten days, a stock's chart in every period and oscillator, a name search, a watch list
// added to and pruned, real-time display on and off, the about box, the manual, exit. Each step
// checks the files and the texts the user sees. The ranking and result file, the monitor and the
// minute bars join this day when their screens are wired.
#include "app/MainWindow.h"
#include "app/Startup.h"
#include "app/Wiring.h"
#include "generator/DemoFolder.h"
#include "lists/SearchWindow.h"
#include "support/GuiApp.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QToolBar>
#include <QTest>
#include <gtest/gtest.h>

using namespace velor;

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

    // Morning: F2 brings in the ten days after 20261127.
    QTest::keyClick(&w, Qt::Key_F2);
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

    // Real-time display during the session, then off.
    w.action("vec", 1)->trigger();
    EXPECT_TRUE(w.windowTitle().endsWith(QStringLiteral("リアルタイム=オン")));
    EXPECT_TRUE(w.action("vec", 1)->isChecked());
    w.action("vec", 2)->trigger();
    EXPECT_TRUE(w.windowTitle().endsWith(QStringLiteral("リアルタイム=オフ")));
    EXPECT_EQ(env.dialogs.shown.size(), afterDownload);   // nothing went wrong on the way

    // The about box, the manual, and home.
    w.action("VERS")->trigger();
    QWidget *about = w.findChild<QWidget *>(QStringLiteral("frmAbout"));
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(about->windowTitle(), QStringLiteral("VELOR Pro  のﾊﾞｰｼﾞｮﾝ情報"));
    about->close();
    env.launcher.commands.clear();
    QTest::keyClick(&w, Qt::Key_F1);
    EXPECT_EQ(env.launcher.commands, QStringList{"/usr/bin/browser " + st.ProgramDir + "VELORmanual.pdf"});
    EXPECT_TRUE(w.unhandledCommands().isEmpty());
    w.action("F040")->trigger();
    EXPECT_FALSE(w.isVisible());
}
