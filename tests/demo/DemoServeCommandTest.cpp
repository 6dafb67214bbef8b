// `velor demo DIR --moving`, `velor demo serve DIR`, and the window that runs the page server of
// its demo folder itself.
#include "app/DemoCommands.h"
#include "app/DemoServerWiring.h"
#include "app/MainWindow.h"
#include "app/Startup.h"
#include "app/Wiring.h"
#include "common/Net.h"
#include "db/Sites.h"
#include "demo/DemoFolder.h"
#include "demo/DemoParameters.h"
#include "demo/DemoServer.h"
#include "demo/MovingSite.h"
#include "support/GuiApp.h"
#include "support/RunCommand.h"
#include "support/TestSupport.h"

#include <QTcpServer>
#include <QTimer>
#include <QDir>
#include <QUrl>
#include <gtest/gtest.h>

using namespace velor;

namespace {

// A port nothing listens on right now.
int freePort()
{
    QTcpServer probe;
    EXPECT_TRUE(probe.listen(QHostAddress::LocalHost));
    return probe.serverPort();
}

bool portFree(int port)
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, quint16(port));
}

demo::MarketOptions options30()
{
    demo::MarketOptions o;
    o.stocks = 30;
    return o;
}

} // namespace

TEST(DemoServeCommand, MovingFolderDiffersOnlyInItsSites)
{
    test::ensureGuiApp();
    QTemporaryDir fixed, moving;
    const auto a = test::runVelorCommand(fixed.path(), {"demo", fixed.path(), "--stocks", "30", "--seed", "5"});
    const auto b = test::runVelorCommand(moving.path(), {"demo", moving.path(), "--stocks", "30", "--seed", "5", "--moving"});
    ASSERT_EQ(a.code, 0) << a.err.toStdString();
    ASSERT_EQ(b.code, 0) << b.err.toStdString();
    for (const char *f : {"VELOR.ini", "touroku.dat", "data/meigara.dat", "data/1301.csv", "site/quote/1301.T", "site/cme/index.html"})
        EXPECT_EQ(test::readFile(fixed.path() + '/' + f), test::readFile(moving.path() + '/' + f)) << f;
    EXPECT_EQ(test::readFile(moving.path() + "/demo.ini"), test::readFile(fixed.path() + "/demo.ini"));
    EXPECT_TRUE(test::readFile(fixed.path() + "/demo.ini").endsWith("[demo]\r\nStocks=30\r\nSeed=5\r\nLetterCodes=3\r\nSplits=1\r\n"));
    // The demo's sites, then the site's split list.
    const auto splitList = [](const QString &dir) {
        return "SplitListUrl=" + QUrl::fromLocalFile(QDir(dir).absolutePath() + "/site/split.csv").toEncoded() + "\r\n";
    };
    EXPECT_EQ(test::readFile(fixed.path() + "/sites.ini"), demo::demoSitesText(fixed.path()) + splitList(fixed.path()));
    EXPECT_EQ(test::readFile(moving.path() + "/sites.ini"), demo::movingSitesText(moving.path(), 47501) + splitList(moving.path()));
    const Sites sites = readSites(moving.path() + "/sites.ini");
    EXPECT_EQ(sites.QuoteUrl, "http://127.0.0.1:47501");
    EXPECT_EQ(sites.FuturesUrl, "http://127.0.0.1:47501");
    EXPECT_TRUE(sites.TargetPriceUrl.startsWith("file://"));
    EXPECT_EQ(demo::demoServerPort(moving.path(), sites).value_or(-1), 47501);
    EXPECT_FALSE(demo::demoServerPort(fixed.path(), readSites(fixed.path() + "/sites.ini")).has_value());

    QTemporaryDir other;
    const auto c = test::runVelorCommand(other.path(), {"demo", other.path(), "--stocks", "0", "--moving", "--port", "5000"});
    ASSERT_EQ(c.code, 0);
    EXPECT_EQ(readSites(other.path() + "/sites.ini").QuoteUrl, "http://127.0.0.1:5000");
}

TEST(DemoServeCommand, BadUsageAndFoldersThatAreNoDemo)
{
    test::ensureGuiApp();
    QTemporaryDir dir, plain;
    ASSERT_TRUE(demo::writeDemoFolder(dir.path(), options30()).has_value());
    struct Case { QStringList args; int code; const char *err; };
    const Case cases[] = {
        {{"demo", plain.path() + "/x", "--port", "5000"}, 2, "--port は --moving と共に指定します"},
        {{"demo", plain.path() + "/x", "--moving", "--port", "0"}, 2, "--port は 1 から 65535 までの数です"},
        {{"demo", plain.path() + "/x", "--moving", "--port"}, 2, "--port は 1 から 65535 までの数です"},
        {{"demo", "serve", dir.path(), "--port", "70000"}, 2, "--port は 0 から 65535 までの数です"},
        {{"demo", "serve", dir.path(), "--for", "-1"}, 2, "--for は 0 から 86400 までの数です"},
        {{"demo", "serve", dir.path(), "extra"}, 2, "usage:"},
        {{"demo", "serve", plain.path()}, 1, "demo.ini がありません"},
    };
    for (const Case &c : cases) {
        const auto r = test::runVelorCommand(dir.path(), c.args);
        EXPECT_EQ(r.code, c.code) << c.args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.err))) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(plain.path() + "/x"));
}

TEST(DemoServeCommand, ServesTheFoldersMarketOnItsPort)
{
    test::ensureGuiApp();
    QTemporaryDir dir;
    ASSERT_TRUE(demo::writeDemoFolder(dir.path(), options30()).has_value());
    const int port = freePort();
    const QString base = demo::serverBase(port);
    // Fetched while the command serves: the timer fires in the command's own event loop, and
    // the page waits run the loop that lets the server answer.
    QtNet net;
    std::expected<QByteArray, NetError> quote, target, missing;
    QTimer::singleShot(0, [&] {
        quote = net.fetch(base + "/quote/1301.T", FetchLimits{});
        target = net.fetch(base + "/stock/1301", FetchLimits{});
        missing = net.fetch(base + "/quote/1302.T", FetchLimits{});
    });
    // After the close the page is the fixed one, whatever the minutes the test takes.
    const auto r = test::runVelorCommand(dir.path(), {"demo", "serve", dir.path(), "--port", QString::number(port), "--for", "0"},
                                         "2026-11-30 16:00");
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, base + "\n");
    EXPECT_TRUE(r.err.contains("3 件のページ要求")) << r.err.toStdString();
    ASSERT_TRUE(quote.has_value());
    EXPECT_EQ(*quote, test::readFile(dir.path() + "/site/quote/1301.T"));
    ASSERT_TRUE(target.has_value());
    EXPECT_EQ(*target, test::readFile(dir.path() + "/site/stock/1301"));
    ASSERT_FALSE(missing.has_value());
    EXPECT_TRUE(missing.error().notFound);
    EXPECT_TRUE(portFree(port));   // nothing left listening

    // A port in use is refused.
    QTcpServer taken;
    ASSERT_TRUE(taken.listen(QHostAddress::LocalHost));
    const auto busy = test::runVelorCommand(dir.path(), {"demo", "serve", dir.path(), "--port", QString::number(taken.serverPort()), "--for", "0"});
    EXPECT_EQ(busy.code, 1);
    EXPECT_TRUE(busy.err.startsWith("error: 127.0.0.1:" + QString::number(taken.serverPort()))) << busy.err.toStdString();
}

TEST(DemoServeCommand, CommandsOnAMovingFolderReadTheMarketAtTheirTime)
{
    test::ensureGuiApp();
    QTemporaryDir dir;
    ASSERT_TRUE(demo::writeDemoFolder(dir.path(), options30()).has_value());
    const int port = freePort();
    ASSERT_TRUE(makeFolderMoving(dir.path(), port).has_value());
    // The command runs the folder's page server itself while it reads; 1301 trades at 155 all
    // morning, and the whole day is 155 / 156 / 154 / 154 with 576,900 shares.
    struct Case { const char *now; const char *bar; };
    const Case cases[] = {
        {"2026-11-30 06:00", "BarOpen0=0\nBarHigh0=0\nBarLow0=0\nBarClose0=0\nBarVolume0=0\n"},
        {"2026-11-30 09:00", "BarOpen0=155\nBarHigh0=155\nBarLow0=155\nBarClose0=155\nBarVolume0=24400\n"},
        {"2026-11-30 10:15", "BarOpen0=155\nBarHigh0=155\nBarLow0=155\nBarClose0=155\nBarVolume0=156800\n"},
        {"2026-11-30 15:30", "BarOpen0=155\nBarHigh0=156\nBarLow0=154\nBarClose0=154\nBarVolume0=576900\n"},
    };
    for (const Case &c : cases) {
        const auto r = test::runVelorCommand(dir.path(), {"quote", "1301"}, QString::fromLatin1(c.now));
        EXPECT_EQ(r.code, 0) << c.now << " " << r.err.toStdString();
        EXPECT_TRUE(r.out.startsWith("BarDate0=20261130\n" + QString::fromLatin1(c.bar))) << c.now << "\n" << r.out.toStdString();
    }
    EXPECT_TRUE(portFree(port));   // gone with the command
}

TEST(DemoServeCommand, TheWindowRunsTheServerOfItsDemoFolder)
{
    test::ensureGuiApp();
    QTemporaryDir dir;
    ASSERT_TRUE(demo::writeDemoFolder(dir.path(), options30()).has_value());
    const int port = freePort();
    ASSERT_TRUE(makeFolderMoving(dir.path(), port).has_value());
    test::TestEnv env;
    env.clock.set(QDateTime(QDate(2026, 11, 30), QTime(10, 15)));
    State st;
    st.ProgramDir = dir.path() + '/';
    ASSERT_TRUE(loadDatabase(st, env.dialogs));
    st.sites = readSites(st.ProgramDir + "sites.ini");
    QtNet net;
    auto w = std::make_unique<MainWindow>(st, env.clock, net, env.launcher, env.sound, env.dialogs);
    wireSubsystems(*w);
    w->startUp();
    demo::DemoServer *server = demoServerOf(*w);
    ASSERT_NE(server, nullptr);
    EXPECT_TRUE(server->listening());
    EXPECT_EQ(server->port(), port);

    const demo::MovingSite site(options30());
    const QString address = joinAddress(st.sites.QuoteUrl, "/quote/1301.T");
    const auto at1015 = net.fetch(address, FetchLimits{});
    ASSERT_TRUE(at1015.has_value());
    EXPECT_EQ(*at1015, site.page("/quote/1301.T", QTime(10, 15)).value_or(""));
    env.clock.set(QDateTime(QDate(2026, 11, 30), QTime(10, 16)));
    const auto at1016 = net.fetch(address, FetchLimits{});
    ASSERT_TRUE(at1016.has_value());
    EXPECT_EQ(*at1016, site.page("/quote/1301.T", QTime(10, 16)).value_or(""));
    EXPECT_NE(*at1015, *at1016);

    w.reset();
    EXPECT_TRUE(portFree(port));   // gone with the window
}

TEST(DemoServeCommand, AWindowWhosePortIsTakenSaysSo)
{
    test::ensureGuiApp();
    QTemporaryDir dir;
    ASSERT_TRUE(demo::writeDemoFolder(dir.path(), options30()).has_value());
    QTcpServer taken;
    ASSERT_TRUE(taken.listen(QHostAddress::LocalHost));
    ASSERT_TRUE(makeFolderMoving(dir.path(), taken.serverPort()).has_value());
    test::TestEnv env;
    State st;
    st.ProgramDir = dir.path() + '/';
    ASSERT_TRUE(loadDatabase(st, env.dialogs));
    st.sites = readSites(st.ProgramDir + "sites.ini");
    MainWindow w(st, env.clock, env.net, env.launcher, env.sound, env.dialogs);
    wireSubsystems(w);
    EXPECT_EQ(demoServerOf(w), nullptr);
    EXPECT_TRUE(w.messages().contains(QStringLiteral("デモの相場ページのサーバーを 127.0.0.1:%1 で開始できません").arg(taken.serverPort())))
        << w.messages().toStdString();

    // A fixed demo folder gets no server at all.
    QTemporaryDir fixed;
    ASSERT_TRUE(demo::writeDemoFolder(fixed.path(), options30()).has_value());
    State st2;
    st2.ProgramDir = fixed.path() + '/';
    ASSERT_TRUE(loadDatabase(st2, env.dialogs));
    st2.sites = readSites(st2.ProgramDir + "sites.ini");
    MainWindow w2(st2, env.clock, env.net, env.launcher, env.sound, env.dialogs);
    wireSubsystems(w2);
    EXPECT_EQ(demoServerOf(w2), nullptr);
    EXPECT_TRUE(env.dialogs.shown.empty());
}
