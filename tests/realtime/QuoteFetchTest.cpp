// getVec through the real transport: a local server that never answers, and pages far beyond
// the size cap, from a file and from a server.
#include "realtime/QuoteReader.h"
#include "support/SiteServer.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>
#include <gtest/gtest.h>

using namespace velor;
using namespace velor::test;

namespace {

const QString kWarning = QStringLiteral("目的銘柄: 1301, 極洋         のリアルタイムデータ取得に失敗しました");

struct Fixture {
    ProgramFolder pf;
    TestEnv env;
    QtNet net;
    QuoteReader reader{env.clock, net, env.dialogs};
    Fixture()
    {
        coreApp();
        pf.writeMaster({{1301, QStringLiteral("極洋"), 1}});
        pf.st.CurCode = 1301;
        pf.st.BarOffset = -1;
        pf.st.sites.FetchTimeoutSeconds = 1;
    }
};

// Sends a header promising 50 MiB, then keeps writing as long as the client reads.
class EndlessServer : public QTcpServer {
public:
    qint64 written = 0;
    EndlessServer()
    {
        connect(this, &QTcpServer::newConnection, this, [this] {
            QTcpSocket *s = nextPendingConnection();
            connect(s, &QTcpSocket::readyRead, s, [this, s] {
                s->readAll();
                s->write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 52428800\r\n\r\n");
                feed(s);
            });
            connect(s, &QTcpSocket::bytesWritten, s, [this, s] { feed(s); });
        });
    }
private:
    void feed(QTcpSocket *s)
    {
        if (s->bytesToWrite() > 256 * 1024 || written >= 52428800) return;
        const QByteArray chunk(64 * 1024, 'x');
        written += s->write(chunk);
    }
};

} // namespace

TEST(QuoteFetch, ServerThatNeverAnswersTimesOut)
{
    Fixture f;
    QTcpServer silent;   // accepts the connection and says nothing
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    f.pf.st.sites.QuoteUrl = QStringLiteral("http://127.0.0.1:%1").arg(silent.serverPort());
    QElapsedTimer t;
    t.start();
    f.reader.getVec(f.pf.st);
    // The one-second time-out ended the wait (a timer never fires early); how much later it
    // ended depends on the machine's load, so only a hang is a fault.
    EXPECT_GE(t.elapsed(), 900);
    EXPECT_LT(t.elapsed(), 60000);
    ASSERT_EQ(f.env.dialogs.shown.size(), 1u);
    EXPECT_EQ(f.env.dialogs.shown[0].text, kWarning);
    EXPECT_EQ(f.pf.st.BarClose[0], 0.0f);
}

TEST(QuoteFetch, FiftyMebibyteFileIsCutAtTheCap)
{
    Fixture f;
    const QString site = f.pf.program + QStringLiteral("site");
    const QString path = site + QStringLiteral("/quote/1301.T");
    writeFile(path, QByteArray());
    QFile file(path);
    ASSERT_TRUE(file.resize(50LL * 1024 * 1024));   // sparse: no disk, and only the cap is ever read
    f.pf.st.sites.QuoteUrl = QUrl::fromLocalFile(site).toString();
    f.reader.getVec(f.pf.st);
    ASSERT_EQ(f.env.dialogs.shown.size(), 1u);
    EXPECT_EQ(f.env.dialogs.shown[0].text, kWarning);
    EXPECT_TRUE(f.reader.lastFetchFailed());
}

TEST(QuoteFetch, FiftyMebibyteStreamIsCutAtTheCap)
{
    Fixture f;
    f.pf.st.sites.FetchTimeoutSeconds = 20;
    EndlessServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    f.pf.st.sites.QuoteUrl = QStringLiteral("http://127.0.0.1:%1").arg(server.serverPort());
    f.reader.getVec(f.pf.st);
    ASSERT_EQ(f.env.dialogs.shown.size(), 1u);
    EXPECT_EQ(f.env.dialogs.shown[0].text, kWarning);
    // The reader stopped soon after the cap instead of taking the whole 50 MiB.
    EXPECT_GE(server.written, 4LL * 1024 * 1024);
    EXPECT_LT(server.written, 20LL * 1024 * 1024);
}

// A quote page that trickles a byte every tenth of a second is never idle for the time-out, but
// a draw waits for it no longer than two time-outs in all: the failure goes to the sink (never a
// box) with the deadline's reason.
TEST(QuoteFetch, ATricklingPageIsGivenUpAfterTwoTimeOutsInAll)
{
    Fixture f;
    SiteServer server;
    server.pages["/quote/1301.T"] = QByteArray(5000, 'x');
    server.ways["/quote/1301.T"] = SiteServer::Way::Trickle;
    ASSERT_TRUE(server.start());
    f.pf.st.sites.QuoteUrl = server.base().chopped(1);
    struct Sink : QuoteFailureSink {
        QStringList failed, read;
        void quoteFailed(const QString &address, const QString &reason) override { failed << address + ' ' + reason; }
        void quoteRead(const QString &address) override { read << address; }
    } sink;
    f.reader.setFailureSink(&sink);
    f.reader.getVec(f.pf.st);
    EXPECT_EQ(sink.failed, QStringList{server.base() + QStringLiteral("quote/1301.T 転送が 2 秒以内に終わりませんでした（時間切れ）")});
    EXPECT_TRUE(sink.read.isEmpty());
    EXPECT_TRUE(f.env.dialogs.shown.empty());
    EXPECT_EQ(f.reader.failureSink(), &sink);
}
