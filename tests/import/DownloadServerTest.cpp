// The automatic download against a local HTTP server through the real transport: a fetch that
// never answers times out, is reported with its address, and nothing is imported.
#include "import/AutoDownload.h"
#include "import/ImportFixture.h"

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
