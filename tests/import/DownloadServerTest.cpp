// The automatic download against a local HTTP server through the real transport: a fetch that
// never answers times out, is reported with its address, and nothing is imported.
#include "import/AutoDownload.h"
#include "import/ImportFixture.h"
#include "support/SiteServer.h"

#include <QCoreApplication>
#include <QTcpServer>
#include <QTcpSocket>

using namespace velor;
using namespace velor::test;

TEST(DownloadServer, ATimedOutFetchLeavesNothingBehind)
{
    int argc = 0;
    QCoreApplication app(argc, nullptr);
    const QByteArray page = "<a href=\"data2024/D240105.lzh\">x</a><a href=\"data2024/D240109.lzh\">x</a>"
                            "<a href=\"data2024/D240110.lzh\">x</a>";
    const QByteArray archive = readFile(fixturePath("lzh/D240109.lzh"));
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        QTcpSocket *s = server.nextPendingConnection();
        QObject::connect(s, &QTcpSocket::readyRead, s, [s, &page, &archive] {
            const QByteArray request = s->readAll();
            const QByteArray path = request.split(' ').value(1);
            if (path == "/data2024/D240110.lzh") return;   // never answers
            const QByteArray body = path == "/" ? page : path == "/data2024/D240109.lzh" ? archive : QByteArray();
            s->write("HTTP/1.0 200 OK\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body);
            s->disconnectFromHost();
        });
    });
    Market m;
    const QString site = QStringLiteral("http://127.0.0.1:%1/").arg(server.serverPort());
    m.st.sites.DataSiteUrl = site;
    m.st.sites.FetchTimeoutSeconds = 1;
    QtNet net;
    Services sv{m.env.clock, net, m.env.launcher, m.env.sound, m.env.dialogs, m.env.shell, &m.env.noQuote};
    const auto before = m.snapshot();
    EXPECT_FALSE(JIDOU(m.st, sv));
    const QString shown = m.env.dialogs.texts().back();
    EXPECT_TRUE(shown.startsWith(QStringLiteral("ファイルを取得できませんでした：　") + site + "data2024/D240110.lzh\r\n\r\n"))
        << shown.toStdString();
    EXPECT_TRUE(shown.endsWith(QStringLiteral("\r\n\r\nダウンロードを中止します。")));
    EXPECT_TRUE(m.inboxNames().isEmpty());
    EXPECT_EQ(m.snapshot(), before);
    EXPECT_EQ(m.env.shell.messages(), QStringLiteral("D240110.lzhをダウンロードしています\r\nD240109.lzhをダウンロードしています\r\n"));
}

namespace {

// The example market's site on a local server, fetched through the real transport.
struct ServedMarket : Market {
    ServedMarket()
    {
        server.pages["/"] = "<a href=\"data2024/D240105.lzh\">x</a><a href=\"data2024/D240109.lzh\">x</a>"
                            "<a href=\"data2024/D240110.lzh\">x</a>";
        server.pages["/data2024/D240109.lzh"] = readFile(fixturePath("lzh/D240109.lzh"));
        server.pages["/data2024/D240110.lzh"] = readFile(fixturePath("lzh/D240110.lzh"));
        EXPECT_TRUE(server.start());
        st.sites.DataSiteUrl = server.base();
    }
    bool download() { return JIDOU(st, sv); }
    /// Every file of the inbox, hidden ones (a temporary download) included.
    QStringList inboxFiles() const { return QDir(data + "tmp").entryList(QDir::Files | QDir::Hidden | QDir::System); }
    SiteServer server;
    QtNet net;
    Services sv{env.clock, net, env.launcher, env.sound, env.dialogs, env.shell, &env.noQuote};
};

} // namespace

// The status area follows each archive (its day, the bytes so far of the whole size, the bar over
// every file) and 中止 during the second one ends the run: nothing of it is imported, nothing is
// left in the inbox, no journal is left, and the pane says so.
TEST(DownloadServer, ProgressIsShownAndAStopMidTransferChangesNothing)
{
    coreApp();
    ServedMarket m;
    const qint64 size2 = m.server.pages["/data2024/D240110.lzh"].size();
    m.server.ways["/data2024/D240110.lzh"] = SiteServer::Way::HalfHeld;
    const auto before = m.snapshot();
    const int half = 1000 + int((size2 / 2) * 1000 / size2);
    m.env.shell.stopWhen = [half](const TextShell &shell) {
        const auto &a = shell.activity();
        return !a.empty() && a.back().value == half;   // the half the server sends of the second archive has come
    };
    EXPECT_TRUE(m.download());
    const auto &shown = m.env.shell.activity();
    ASSERT_GE(shown.size(), 4u);
    const QString site = m.server.base();
    EXPECT_EQ(shown.front().text, QStringLiteral("株価データのサイトを読んでいます： ") + site + " 0 KB");
    EXPECT_EQ(shown.front().maximum, 0);
    const QString first = QStringLiteral("株価データをダウンロードしています： 2024/01/09 の分（1/2 件目） ");
    const QString second = QStringLiteral("株価データをダウンロードしています： 2024/01/10 の分（2/2 件目） ");
    bool sawFirstWhole = false;
    for (const auto &a : shown) {
        EXPECT_EQ(a.maximum, a.text.startsWith(QStringLiteral("株価データのサイト")) ? 0 : 2000) << a.text.toStdString();
        if (a.text.startsWith(first) && a.value == 1000) sawFirstWhole = true;
    }
    EXPECT_TRUE(sawFirstWhole);
    // The last report: half of the second archive, of its whole size.
    EXPECT_EQ(shown.back().text, second + QString::number((size2 / 2 + 1023) / 1024) + " KB / " +
                                     QString::number((size2 + 1023) / 1024) + " KB");
    EXPECT_EQ(shown.back().value, half);
    EXPECT_EQ(m.env.shell.activityEnds(), 1);
    EXPECT_EQ(m.snapshot(), before);
    EXPECT_TRUE(m.inboxFiles().isEmpty()) << m.inboxFiles().join(',').toStdString();
    EXPECT_FALSE(QFile::exists(m.data + "VELOR.jnl"));
    EXPECT_TRUE(m.env.shell.messages().startsWith(
        QStringLiteral("ダウンロードを中止しました。この回にダウンロードした日のデータは追加していません（データベースは変わっていません）。\r\n"
                       "D240110.lzhをダウンロードしています\r\n")))
        << m.env.shell.messages().toStdString();
    EXPECT_EQ(m.env.dialogs.shown.size(), 1u);   // the question only: a stop asks nothing and shows no box
    // Started again without a stop, the same site gives both days.
    m.server.ways.clear();
    m.env.shell.stopWhen = nullptr;
    EXPECT_TRUE(m.download());
    EXPECT_TRUE(m.price(1001).startsWith("5,3,2\r\n20240110,"));
}

// A site that sends a byte every tenth of a second is never idle long enough for the time-out,
// but the whole transfer has its own limit (six times the time-out): the file is given up with
// a message that says so, and nothing is imported or left behind.
TEST(DownloadServer, ATrickleIsGivenUpAtTheTransfersDeadline)
{
    coreApp();
    ServedMarket m;
    m.st.sites.FetchTimeoutSeconds = 1;
    m.server.ways["/data2024/D240109.lzh"] = SiteServer::Way::Trickle;
    const auto before = m.snapshot();
    EXPECT_FALSE(m.download());
    EXPECT_EQ(m.env.dialogs.texts().back(), QStringLiteral("ファイルを取得できませんでした：　") + m.server.base() +
                                                QStringLiteral("data2024/D240109.lzh\r\n\r\n転送が 6 秒以内に終わりませんでした（時間切れ）\r\n\r\n"
                                                               "ダウンロードを中止します。"));
    EXPECT_EQ(m.snapshot(), before);
    EXPECT_TRUE(m.inboxFiles().isEmpty());
    EXPECT_EQ(m.env.shell.activityEnds(), 1);
}
