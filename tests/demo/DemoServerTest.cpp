// The page server end to end on 127.0.0.1: the program's own quote reader reads the live bar
// from it as the (fake) clock moves on.
#include "demo/DemoServer.h"
#include "demo/IntradayPath.h"
#include "common/Clock.h"
#include "common/Net.h"
#include "common/StockCode.h"
#include "db/State.h"
#include "realtime/QuoteReader.h"
#include "support/GuiApp.h"
#include "support/TestSupport.h"

#include <QEventLoop>
#include <QTcpSocket>
#include <QTimer>
#include <gtest/gtest.h>

using namespace velor;
using namespace velor::demo;

namespace {

MarketOptions options300()
{
    MarketOptions o;
    o.stocks = 300;
    return o;
}

QDateTime at(int h, int m) { return QDateTime(QDate(2026, 11, 30), QTime(h, m)); }

// One raw request, waiting in the event loop for the whole answer (the server closes nothing,
// so the answer is complete once its Content-Length bytes are in); fails the test by name after
// ten seconds without one.
QByteArray rawRequest(quint16 port, const QByteArray &requestLine)
{
    QTcpSocket socket;
    QByteArray answer;
    QEventLoop loop;
    bool done = false;
    QObject::connect(&socket, &QTcpSocket::connected, &loop, [&] { socket.write(requestLine + "\r\nHost: 127.0.0.1\r\n\r\n"); });
    QObject::connect(&socket, &QTcpSocket::readyRead, &loop, [&] {
        answer += socket.readAll();
        const qsizetype head = answer.indexOf("\r\n\r\n");
        if (head < 0) return;
        const qsizetype lengthAt = answer.indexOf("Content-Length: ");
        const qsizetype length = answer.mid(lengthAt + 16, answer.indexOf("\r\n", lengthAt) - lengthAt - 16).toLongLong();
        if (answer.size() >= head + 4 + length) { done = true; loop.quit(); }
    });
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    limit.start(10000);
    socket.connectToHost(QHostAddress::LocalHost, port);
    loop.exec();
    EXPECT_TRUE(done) << "no whole answer to " << requestLine.constData();
    return answer;
}

QByteArray statusOf(const QByteArray &answer) { return answer.left(answer.indexOf("\r\n")); }

} // namespace

TEST(DemoServer, TheLiveBarMovesWithTheClock)
{
    test::ensureGuiApp();
    FixedClock clock(at(10, 15));
    DemoServer server(options300(), clock);
    ASSERT_TRUE(server.listen(0));
    EXPECT_TRUE(server.baseAddress().startsWith("http://127.0.0.1:"));

    State st;
    st.sites.QuoteUrl = server.baseAddress();
    st.sites.FuturesUrl = server.baseAddress();
    QtNet net;
    test::ScriptedDialogs dialogs;
    QuoteReader reader(clock, net, dialogs);
    struct Case { int h, m; float open, high, low, close; double volume; };
    const Case cases[] = {
        {10, 15, 1357, 1361, 1355, 1356, 66300},
        {10, 16, 1357, 1361, 1355, 1355, 66900},
        {15, 30, 1357, 1361, 1339, 1350, 221900},
    };
    for (const Case &c : cases) {
        clock.set(at(c.h, c.m));
        st.CurCode = 1532;
        st.BarOffset = -1;
        st.QuoteMode = 1;
        reader.getVec(st);
        ASSERT_FALSE(reader.lastFetchFailed()) << c.h << ":" << c.m;
        EXPECT_EQ(st.BarOpen[0], c.open) << c.h << ":" << c.m;
        EXPECT_EQ(st.BarHigh[0], c.high) << c.h << ":" << c.m;
        EXPECT_EQ(st.BarLow[0], c.low) << c.h << ":" << c.m;
        EXPECT_EQ(st.BarClose[0], c.close) << c.h << ":" << c.m;
        EXPECT_EQ(st.BarVolume[0], c.volume) << c.h << ":" << c.m;
        EXPECT_EQ(st.BarDate[0], 20261130);
    }
    // The futures page answers at /cme/ and moves too.
    clock.set(at(10, 15));
    st.CurCode = 1001;
    reader.getVec(st);
    ASSERT_FALSE(reader.lastFetchFailed());
    EXPECT_GT(st.BarClose[0], 0.0f);
    EXPECT_EQ(std::fmod(st.BarClose[0], 10.0f), 0.0f);
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(server.requests(), 4);
}

TEST(DemoServer, UnknownPagesAndClimbingOutAreNotFound)
{
    test::ensureGuiApp();
    FixedClock clock(at(10, 15));
    DemoServer server(options300(), clock);
    ASSERT_TRUE(server.listen(0));
    const quint16 port = quint16(server.port());
    struct Case { const char *line; const char *status; };
    const Case cases[] = {
        {"GET /quote/1301.T HTTP/1.1", "HTTP/1.1 200 OK"},
        {"GET /cme/ HTTP/1.1", "HTTP/1.1 200 OK"},
        {"GET /stock/1301 HTTP/1.1", "HTTP/1.1 200 OK"},
        {"GET /quote/1302.T HTTP/1.1", "HTTP/1.1 404 Not Found"},
        {"GET /quote/130A.T HTTP/1.1", "HTTP/1.1 404 Not Found"},
        {"GET /../ HTTP/1.1", "HTTP/1.1 404 Not Found"},
        {"GET /quote/../quote/1301.T HTTP/1.1", "HTTP/1.1 404 Not Found"},
        {"GET /%2e%2e/etc/passwd HTTP/1.1", "HTTP/1.1 404 Not Found"},
        {"GET / HTTP/1.1", "HTTP/1.1 404 Not Found"},
        {"POST /quote/1301.T HTTP/1.1", "HTTP/1.1 405 Method Not Allowed"},
    };
    for (const Case &c : cases) EXPECT_EQ(statusOf(rawRequest(port, c.line)), QByteArray(c.status)) << c.line;

    // Through the program's transport, a missing page is reported as not found.
    QtNet net;
    const auto missing = net.fetch(server.baseAddress() + "/quote/" + codeText(1302) + ".T", FetchLimits{});
    ASSERT_FALSE(missing.has_value());
    EXPECT_TRUE(missing.error().notFound);
    // The same bytes twice at one time, and the page the reader reads is the site's.
    const auto first = net.fetch(server.baseAddress() + "/quote/1301.T", FetchLimits{});
    const auto second = net.fetch(server.baseAddress() + "/quote/1301.T", FetchLimits{});
    ASSERT_TRUE(first.has_value());
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ(*first, *second);
    EXPECT_EQ(*first, MovingSite(options300()).page("/quote/1301.T", QTime(10, 15)).value_or(""));
}

TEST(DemoServer, ClosedItAnswersNoMore)
{
    test::ensureGuiApp();
    FixedClock clock(at(10, 15));
    DemoServer server(options300(), clock);
    ASSERT_TRUE(server.listen(0));
    const int port = server.port();
    // A second server cannot take the same port.
    DemoServer second(options300(), clock);
    EXPECT_FALSE(second.listen(port));
    EXPECT_FALSE(second.errorText().isEmpty());
    server.close();
    EXPECT_FALSE(server.listening());
    QtNet net;
    FetchLimits limits;
    limits.timeoutMs = 10000;
    EXPECT_FALSE(net.fetch(QStringLiteral("http://127.0.0.1:%1/quote/1301.T").arg(port), limits).has_value());
    EXPECT_TRUE(second.listen(port));
}
