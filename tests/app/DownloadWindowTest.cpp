// F2 in the window and `velor download` against a local site: the status area follows the
// download, 中止 and Esc stop it with nothing applied, F2 is greyed out meanwhile, a site that
// trickles is given up at the transfer's deadline, and an unset site is named as such.
#include "app/MainWindow.h"
#include "app/StatusArea.h"
#include "db/Sites.h"
#include "support/DemoWindow.h"
#include "support/GuiApp.h"
#include "support/RunCommand.h"
#include "support/SiteServer.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace velor;

namespace {

const QString kStopped = QStringLiteral("ダウンロードを中止しました。この回にダウンロードした日のデータは追加していません（データベースは変わっていません）。");
const QByteArray kSecondDay = "/data2026/D261201.lzh";

QMap<QString, QByteArray> filesOf(const QString &folder)
{
    QMap<QString, QByteArray> m;
    for (const QString &n : QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System)) m[n] = test::readFile(folder + n);
    return m;
}

struct DownloadWindow : ::testing::Test {
    static void SetUpTestSuite() { test::ensureGuiApp(); }
    QTemporaryDir dir;
    test::TestEnv env;
    State st;
    QtNet net;
    std::unique_ptr<MainWindow> w;
    test::SiteServer server;
    void SetUp() override
    {
        // Two days of the demo's site are due at this time.
        test::openDemoWindow(dir.path(), 30, QDateTime(QDate(2026, 12, 1), QTime(20, 0)), st, env, w, &net);
        server.folder = dir.path() + "/site";
        ASSERT_TRUE(server.start());
        st.sites.DataSiteUrl = server.base();
    }
};

} // namespace

TEST_F(DownloadWindow, F2IsGreyedOutShowsItsProgressAndStopsOnRequest)
{
    const qint64 size = test::readFile(dir.path() + "/site" + QString::fromLatin1(kSecondDay)).size();
    const int half = 1000 + int((size / 2) * 1000 / size);
    StatusArea *status = w->statusArea();
    const auto before = filesOf(st.DataDir);
    for (const bool byEscape : {false, true}) {
        server.ways[kSecondDay] = test::SiteServer::Way::HalfHeld;
        bool stopped = false, enabledDuring = true, shownDuring = false;
        QString lineDuring;
        // The moment comes from the download's own bar: half of the second archive has arrived.
        auto c = QObject::connect(status->bar, &QProgressBar::valueChanged, [&](int value) {
            if (value != half || stopped) return;
            stopped = true;
            enabledDuring = w->action("JIDOU")->isEnabled() || w->action("SHUDOU")->isEnabled();
            shownDuring = status->stopButton->isVisible() && status->bar->isVisible();
            lineDuring = status->activity->text();
            if (byEscape) QTest::keyClick(w.get(), Qt::Key_Escape);
            else status->stopButton->click();
        });
        w->click(QStringLiteral("JIDOU"));
        QObject::disconnect(c);
        ASSERT_TRUE(stopped) << byEscape;
        EXPECT_FALSE(enabledDuring);
        EXPECT_TRUE(shownDuring);
        EXPECT_EQ(lineDuring, QStringLiteral("株価データをダウンロードしています： 2026/12/01 の分（2/2 件目） ") +
                                  QString::number((size / 2 + 1023) / 1024) + " KB / " + QString::number((size + 1023) / 1024) + " KB");
        EXPECT_TRUE(w->action("JIDOU")->isEnabled());
        EXPECT_TRUE(w->action("SHUDOU")->isEnabled());
        EXPECT_FALSE(status->stopButton->isVisible());
        EXPECT_EQ(filesOf(st.DataDir), before);
        EXPECT_TRUE(filesOf(st.DataDir + "tmp/").isEmpty());
        EXPECT_TRUE(w->messages().contains(kStopped)) << w->messages().toStdString();
        EXPECT_EQ(env.dialogs.shown.size(), byEscape ? 2u : 1u);   // only the questions were shown
    }
    // Without a stop the same run brings both days in.
    server.ways.clear();
    w->click(QStringLiteral("JIDOU"));
    EXPECT_EQ(env.dialogs.texts().back(), QStringLiteral("データの追加が終わりました"));
    EXPECT_NE(filesOf(st.DataDir), before);
}

TEST_F(DownloadWindow, ATricklingSiteIsGivenUpWithAMessage)
{
    st.sites.FetchTimeoutSeconds = 1;
    server.ways["/data2026/D261130.lzh"] = test::SiteServer::Way::Trickle;
    const auto before = filesOf(st.DataDir);
    w->click(QStringLiteral("JIDOU"));
    EXPECT_EQ(env.dialogs.texts().back(), QStringLiteral("ファイルを取得できませんでした：　") + server.base() +
                                              QStringLiteral("data2026/D261130.lzh\r\n\r\n転送が 6 秒以内に終わりませんでした（時間切れ）\r\n\r\n"
                                                             "ダウンロードを中止します。"));
    EXPECT_EQ(filesOf(st.DataDir), before);
    EXPECT_TRUE(filesOf(st.DataDir + "tmp/").isEmpty());
    EXPECT_TRUE(w->action("JIDOU")->isEnabled());
}

// `velor download`: the trickle ends in an error at the same deadline, and an unset site is an
// error that says where to set it.
TEST(DownloadCommand, ATrickleAndAnUnsetSiteAreErrors)
{
    test::ensureGuiApp();
    QTemporaryDir dir;
    demo::MarketOptions mo;
    mo.stocks = 30;
    ASSERT_TRUE(demo::writeDemoFolder(dir.path(), mo).has_value());
    const QString program = dir.path() + "/";
    test::SiteServer server;
    server.folder = dir.path() + "/site";
    server.ways["/data2026/D261130.lzh"] = test::SiteServer::Way::Trickle;
    ASSERT_TRUE(server.start());
    const struct { QString site; QString error; } cases[] = {
        {server.base(), QStringLiteral("error: ファイルを取得できませんでした：　") + server.base() +
                            QStringLiteral("data2026/D261130.lzh  転送が 6 秒以内に終わりませんでした（時間切れ）  ダウンロードを中止します。\n")},
        {QString(), QStringLiteral("error: 株価データのダウンロード元（DataSiteUrl）が設定されていません。  "
                                   "メニューの「ファイル」→「設定…」でダウンロード元のページのアドレスを入れるか、") +
                        program + QStringLiteral("sites.ini の DataSiteUrl= の行に書いて下さい。\n")},
    };
    for (const auto &c : cases) {
        ASSERT_TRUE(setSitesKey(program + "sites.ini", "DataSiteUrl", c.site).has_value());
        ASSERT_TRUE(setSitesKey(program + "sites.ini", "FetchTimeoutSeconds", "1").has_value());
        const auto before = filesOf(program + "data/");
        const test::CommandRun r = test::runVelorCommand(program, {"download", "--yes"}, "2026-12-01 20:00");
        EXPECT_EQ(r.code, 1);
        EXPECT_TRUE(r.err.endsWith(c.error)) << r.err.toStdString();
        EXPECT_EQ(filesOf(program + "data/"), before);
    }
}
