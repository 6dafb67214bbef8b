// The monitor through the real transport against a local server: the lists do not depend on
// how many requests are in flight, and the real wait returns as soon as 停止 is pressed.
#include "MonitorFixture.h"
#include "realtime/SurgeMonitor.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

using namespace velor;
using namespace velor::test;

namespace {

// Answers GET /quote/<code>.T with the page held for that path; 404 otherwise.
class PageServer : public QTcpServer {
public:
    QHash<QByteArray, QByteArray> pages;
    int served = 0;
    PageServer()
    {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = nextPendingConnection()) {
                connect(s, &QTcpSocket::readyRead, s, [this, s] {
                    QByteArray &buf = m_buffers[s];
                    buf += s->readAll();
                    if (!buf.contains("\r\n\r\n")) return;
                    const QByteArray path = buf.split(' ').value(1);
                    m_buffers.remove(s);
                    const auto it = pages.constFind(path);
                    const QByteArray body = it == pages.constEnd() ? QByteArray("not found") : *it;
                    ++served;
                    s->write((it == pages.constEnd() ? "HTTP/1.1 404 Not Found\r\n" : "HTTP/1.1 200 OK\r\n") +
                             QByteArray("Content-Type: text/html\r\nConnection: close\r\nContent-Length: ") +
                             QByteArray::number(body.size()) + "\r\n\r\n" + body);
                    s->disconnectFromHost();
                });
                connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            }
        });
    }
private:
    QHash<QTcpSocket *, QByteArray> m_buffers;
};

QStringList runOnce(int inFlight, PageServer &server, int stocks)
{
    MonitorFixture f(stocks);
    QtNet net;
    Services sv{f.env.clock, net, f.env.launcher, f.env.sound, f.env.dialogs, f.env.shell, &f.env.noQuote};
    SurgeMonitor monitor(f.pf.st, sv, f.view, f.wait);
    f.view.monitor = &monitor;
    f.pf.st.sites.QuoteUrl = QStringLiteral("http://127.0.0.1:%1").arg(server.serverPort());
    f.pf.st.sites.FuturesUrl = f.pf.st.sites.QuoteUrl;
    monitor.setInFlight(inFlight);
    EXPECT_TRUE(monitor.RealMeigara(0));
    QStringList all;
    for (int k = 1; k <= 6; ++k) all << QStringLiteral("#%1").arg(k) << monitor.lists()[size_t(k)];
    EXPECT_EQ(monitor.failedPages(), 1);
    return all;
}

} // namespace

TEST(MonitorServer, SameListsWithOneAndFourRequestsInFlight)
{
    coreApp();
    PageServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    const int stocks = 40;
    for (int k = 0; k < stocks; ++k) {
        if (k == 7) continue;   // one page missing: counted, the pass goes on
        // Prices that tie in single precision keep master order, so order matters.
        const QString close = QString::number(90 + (k * 37) % 23);
        server.pages.insert("/quote/" + QByteArray::number(1301 + k) + ".T", monitorPage(close, QStringLiteral("95")));
    }
    server.pages.insert("/cme/", futuresPage(QStringLiteral("5")).toUtf8());
    const QStringList one = runOnce(1, server, stocks);
    const QStringList four = runOnce(4, server, stocks);
    EXPECT_EQ(one, four);
    EXPECT_EQ(one.size(), 6 + 26 + 25 + 26 + 25 + 26 + 25);
    EXPECT_EQ(one[1], QStringLiteral("1319,\"銘柄018(1)\" , 1.12,  112,  15"));
    EXPECT_EQ(server.served, 2 * (stocks + 1));
}

TEST(MonitorServer, StopEndsARealWaitAtOnce)
{
    coreApp();
    MonitorFixture f(1);
    f.page(1301, "110", "100");
    EventLoopWait realWait;
    SurgeMonitor monitor(f.pf.st, f.env.services, f.view, realWait);
    f.view.monitor = &monitor;
    f.view.stopAfter = 1000;
    f.pf.st.RealParam = 3600;   // an hour: only the stop can end it within the test
    QTimer::singleShot(0, [&] { monitor.Command1_Click(); });
    EXPECT_TRUE(monitor.RealMeigara(0));
    EXPECT_EQ(monitor.passCount(), 2);
    EXPECT_FALSE(monitor.running());
}
