// Pages the window reads while it draws: a dead futures site, a missing world-index file. The
// window comes up without a box; each failure is said once in the status bar and the pane, not
// again on the next draw of the same failure, and again only after the site answered between.
#include "app/MainWindow.h"
#include "app/PageReport.h"
#include "app/StatusArea.h"
#include "app/Wiring.h"
#include "support/DemoWindow.h"
#include "support/GuiApp.h"
#include "support/SiteServer.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTcpServer>
#include <QUrl>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace velor;

namespace {

// A port nobody listens on: a connection to it is refused at once.
int deadPort()
{
    QTcpServer s;
    s.listen(QHostAddress::LocalHost);
    return s.serverPort();
}

} // namespace

TEST(PageReport, AFailingPageIsSaidOnceWithoutABoxAndReadAgainOnTheNextDraw)
{
    test::ensureGuiApp();
    QTemporaryDir dir;
    demo::MarketOptions mo;
    mo.stocks = 30;
    ASSERT_TRUE(demo::writeDemoFolder(dir.path(), mo).has_value());
    test::TestEnv env;
    env.clock.set(QDateTime(QDate(2026, 11, 30), QTime(10, 15)));
    State st;
    st.ProgramDir = dir.path() + "/";
    ASSERT_TRUE(loadDatabase(st, env.dialogs));
    st.sites = readSites(st.ProgramDir + "sites.ini");
    // Named by host name: a demo folder's window serves an address on 127.0.0.1 itself.
    const QString dead = QStringLiteral("http://localhost:%1").arg(deadPort());
    st.sites.FuturesUrl = dead;
    st.sites.WorldIndexUrl = QUrl::fromLocalFile(dir.path() + "/gone").toString();
    QtNet net;
    MainWindow w(st, env.clock, net, env.launcher, env.sound, env.dialogs);
    wireSubsystems(w);
    // As the program starts: the window first, then the first draw with its pages.
    w.show();
    QSignalSpy said(w.statusArea(), &QStatusBar::messageChanged);
    w.startUp();
    QApplication::processEvents();
    EXPECT_TRUE(env.dialogs.shown.empty()) << env.dialogs.texts().join('|').toStdString();
    const QString futuresLine = PageReport::text(dead + "/cme/", QStringLiteral("Connection refused"));
    const QString worldLine = PageReport::text(st.sites.WorldIndexUrl + "/bp1.php?fw=160&cs=1", QStringLiteral("ファイルを開けません"));
    const auto lines = [&] { return w.messages().split(QStringLiteral("\r\n")); };
    // The start-up's last draw read the world index first: its line stands above that draw's listing.
    EXPECT_EQ(lines().count(worldLine), 1) << w.messages().toStdString();
    ASSERT_EQ(said.size(), 2);
    EXPECT_EQ(said[0][0].toString(), futuresLine);
    EXPECT_EQ(said[1][0].toString(), worldLine);

    // The same failures on the next draws: nothing more is said (the pane keeps the start-up's line).
    for (int i = 0; i < 3; ++i) w.redrawChart(1);
    QApplication::processEvents();
    EXPECT_EQ(said.size(), 2);
    EXPECT_EQ(lines().count(futuresLine), 1);
    EXPECT_TRUE(env.dialogs.shown.empty());

    // The futures site answers again: read at the next draw, its failure forgotten; failing
    // once more, it is said again.
    test::SiteServer site;
    site.pages["/cme/"] = "<html><body>futures</body></html>";
    ASSERT_TRUE(site.listen(QHostAddress::Any, quint16(QUrl(dead).port())));
    w.redrawChart(1);
    QApplication::processEvents();
    EXPECT_EQ(site.requested, QByteArrayList{"/cme/"});
    EXPECT_EQ(said.size(), 2) << said.back()[0].toString().toStdString();
    site.close();
    w.redrawChart(1);
    QApplication::processEvents();
    ASSERT_EQ(said.size(), 3);
    EXPECT_EQ(said[2][0].toString().toStdString(), futuresLine.toStdString());
    EXPECT_EQ(lines().count(futuresLine), 2);
    EXPECT_TRUE(env.dialogs.shown.empty());
}
