// A minute tick through the real transport against a local server: the pages of one tick are
// asked for together (up to MaxConnections), and the records are those of a one-at-a-time run.
#include "MonitorFixture.h"
#include "realtime/MinuteBars.h"
#include "realtime/QuoteReader.h"
#include "screen/PageServer.h"
#include "support/TestSupport.h"

#include <QTcpServer>
#include <QTcpSocket>

using namespace velor;
using namespace velor::test;

namespace {

// Answers GET /quote/<code>.T with the page held for that path (404 otherwise). With `holdFirst`,
// requests are held while the first one is open, until `holdFirst` of them are open together;
// then all are answered. Once the first is gone (the client gave it up), the rest are answered
// as they come. `maxOpen` is the most requests it ever held open together.
class HoldingServer : public QTcpServer {
public:
    QHash<QByteArray, QByteArray> pages;
    int holdFirst = 0;
    int received = 0;
    int maxOpen = 0;
    HoldingServer()
    {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = nextPendingConnection()) {
                connect(s, &QTcpSocket::readyRead, s, [this, s] {
                    QByteArray &buf = m_buffers[s];
                    buf += s->readAll();
                    if (!buf.contains("\r\n\r\n")) return;
                    const QByteArray path = buf.split(' ').value(1);
                    m_buffers.remove(s);
                    if (++received == 1 && holdFirst > 0) m_holding = true;
                    m_open.append({s, path});
                    maxOpen = std::max(maxOpen, int(m_open.size()));
                    if (m_holding && m_open.size() < holdFirst) return;
                    m_holding = false;
                    answerAll();
                });
                connect(s, &QTcpSocket::disconnected, s, [this, s] {
                    if (m_holding && !m_open.isEmpty() && m_open[0].first == s) {
                        m_holding = false;
                        m_open.removeFirst();
                        answerAll();
                    }
                    forget(s);
                    s->deleteLater();
                });
            }
        });
    }
    QString base() const { return QStringLiteral("http://127.0.0.1:%1").arg(serverPort()); }

private:
    void answerAll()
    {
        const auto open = m_open;
        m_open.clear();
        for (const auto &[s, path] : open) answer(s, path);
    }
    void answer(QTcpSocket *s, const QByteArray &path) { writePage(s, pages, path); }
    void forget(QTcpSocket *s)
    {
        for (qsizetype k = 0; k < m_open.size(); ++k)
            if (m_open[k].first == s) m_open.removeAt(k--);
    }
    QHash<QTcpSocket *, QByteArray> m_buffers;
    QList<QPair<QTcpSocket *, QByteArray>> m_open;
    bool m_holding = false;
};

struct TickRun {
    MinuteTick tick;
    QList<QByteArray> files;
};

const std::vector<int> kCodes{1301, 1332, 1333, 1352, 1377};

TickRun collectOnce(HoldingServer &server, int connections)
{
    ProgramFolder pf;
    TestEnv env;
    pf.writeMaster({{1301, QStringLiteral("極洋"), 1}, {1332, QStringLiteral("日水"), 1}, {1333, QStringLiteral("マルハ"), 1},
                    {1352, QStringLiteral("ホウスイ"), 1}, {1377, QStringLiteral("サカタ"), 1}});
    writeFile(pf.program + "touroku.dat", " 1301 \r\n 1332 \r\n 1333 \r\n 1352 \r\n 1377 \r\n");
    env.clock.set(QDateTime(QDate(2026, 12, 7), QTime(10, 0)));
    QtNet net;
    QuoteReader reader(env.clock, net, env.dialogs);
    Services sv{env.clock, net, env.launcher, env.sound, env.dialogs, env.shell, &reader};
    pf.st.sites.QuoteUrl = server.base();
    pf.st.sites.FetchTimeoutSeconds = 1;   // a page held for good fails at the reader's own time-out
    pf.st.sites.MaxConnections = connections;
    TickRun run;
    run.tick = collectMinuteBars(pf.st, sv);
    for (int code : kCodes) run.files << readFile(pf.program + "FUNASHI/" + QString::number(code) + ".csv");
    return run;
}

} // namespace

TEST(MinuteFetch, AllPagesOfATickAreAskedForBeforeTheFirstStalledOneAnswers)
{
    coreApp();
    HoldingServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    server.pages.insert("/quote/1301.T", monitorPage(QStringLiteral("1,234.5"), QStringLiteral("1,230")));
    server.pages.insert("/quote/1332.T", monitorPage(QStringLiteral("650"), QStringLiteral("640")));
    // 1333 has no page: it is counted as without a price.
    server.pages.insert("/quote/1352.T", monitorPage(QStringLiteral("2,001"), QStringLiteral("0")));   // no open yet
    server.pages.insert("/quote/1377.T", monitorPage(QStringLiteral("3,150"), QStringLiteral("3,100")));

    // One page at a time, nothing held: what the collection must give.
    const TickRun one = collectOnce(server, 1);
    EXPECT_EQ(server.maxOpen, 1);
    EXPECT_EQ(one.tick.written, 3);
    EXPECT_EQ(one.tick.empty, 2);
    EXPECT_EQ(one.tick.asked, 5);
    EXPECT_EQ(one.tick.failed, 0);
    EXPECT_EQ(one.files[0], QByteArray(" 12071000 , 1230 , 1234.5 , 1230 , 1234.5 , 150000 \r\n"));
    EXPECT_EQ(one.files[2], QByteArray());
    EXPECT_EQ(one.files[3], QByteArray());

    // The first page held until every page of the tick has been asked for.
    server.received = server.maxOpen = 0;
    server.holdFirst = int(kCodes.size());
    const TickRun five = collectOnce(server, 5);
    EXPECT_EQ(server.maxOpen, 5);
    EXPECT_EQ(server.received, 5);
    EXPECT_EQ(five.tick.written, one.tick.written);
    EXPECT_EQ(five.tick.empty, one.tick.empty);
    EXPECT_EQ(five.tick.asked, one.tick.asked);
    EXPECT_EQ(five.tick.failed, 0);
    EXPECT_EQ(five.tick.prices, one.tick.prices);
    EXPECT_EQ(five.files, one.files);
}
