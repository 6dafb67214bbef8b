// Ordered batch fetches through the real transport against a local server that answers out of
// order, fails or stays silent on purpose. Nothing here depends on how fast the machine is: the
// server decides when to answer from what it has received, never from a clock.
#include "common/Net.h"
#include "common/Quit.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QDir>
#include <QTimer>
#include <QUrl>
#include <gtest/gtest.h>
#include <algorithm>
#include <functional>
#include <memory>
#include <set>

using namespace velor;

namespace {

// Answers GET /p/<i> with "page <i>". Requests are held until `hold` of them wait (or all that
// can still come), then answered last-first, so pages arrive out of order.
class ScriptedServer {
public:
    int total = 0;
    int hold = 1;
    std::set<int> silent;    ///< never answered
    std::set<int> missing;   ///< answered 404
    int answerFirstAfter = 0;   ///< when > 0: page 0 waits until this many requests have come

    std::function<void()> onReceived;   ///< called after each request has been counted

    int received = 0;
    std::set<int> requestedPages;
    int maxWaiting = 0;   ///< most requests received and not yet answered at one time
    int maxOpen = 0;      ///< most connections open at one time
    int open = 0;

    ScriptedServer()
    {
        test::coreApp();
        EXPECT_TRUE(m_server.listen(QHostAddress::LocalHost));
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket *s = m_server.nextPendingConnection()) {
                maxOpen = std::max(maxOpen, ++open);
                QObject::connect(s, &QTcpSocket::disconnected, s, [this, s] {
                    --open;
                    std::erase_if(m_waiting, [s](const auto &w) { return w.second == s; });
                    s->deleteLater();
                });
                QObject::connect(s, &QTcpSocket::readyRead, s, [this, s] { onRequest(s); });
            }
        });
    }
    QString address(int i) const { return QStringLiteral("http://127.0.0.1:%1/p/%2").arg(m_server.serverPort()).arg(i); }
    QStringList addresses() const
    {
        QStringList out;
        for (int i = 0; i < total; ++i) out << address(i);
        return out;
    }

private:
    void onRequest(QTcpSocket *s)
    {
        m_buffer[s] += s->readAll();
        if (!m_buffer[s].contains("\r\n\r\n")) return;
        const QByteArray path = m_buffer[s].split(' ').value(1);
        m_buffer.remove(s);
        const int i = path.mid(3).toInt();
        ++received;
        requestedPages.insert(i);
        m_waiting.emplace_back(i, s);
        maxWaiting = std::max(maxWaiting, int(m_waiting.size()));
        answerDue();
        if (onReceived) onReceived();
    }

    void answerDue()
    {
        std::vector<std::pair<int, QTcpSocket *>> due;
        for (const auto &w : m_waiting)
            if (!silent.count(w.first) && !(w.first == 0 && received < answerFirstAfter)) due.push_back(w);
        const int stillToCome = total - m_answered - int(silent.size());
        if (answerFirstAfter == 0 && int(due.size()) < std::min(hold, stillToCome)) return;
        std::sort(due.begin(), due.end(), [](const auto &a, const auto &b) { return a.first > b.first; });
        for (const auto &[i, s] : due) {
            std::erase_if(m_waiting, [s](const auto &w) { return w.second == s; });
            ++m_answered;
            const QByteArray body = "page " + QByteArray::number(i);
            s->write(missing.count(i) ? QByteArray("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n")
                                      : "HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(body.size()) +
                                            "\r\nConnection: close\r\n\r\n" + body);
            s->disconnectFromHost();
        }
    }

    QHash<QTcpSocket *, QByteArray> m_buffer;
    std::vector<std::pair<int, QTcpSocket *>> m_waiting;
    int m_answered = 0;
    // Last, so that it goes first: its sockets report their disconnection into the members above.
    QTcpServer m_server;
};

struct Delivered {
    std::vector<int> order;
    std::vector<QByteArray> bodies;   ///< the page, or "error: " and the address
    std::vector<bool> timedOut;
};

Delivered fetchAll(const QStringList &addresses, int inFlight, FetchLimits limits = {5000, 1 << 20}, int stopAt = -1)
{
    Delivered d;
    QtNet net;
    net.fetchOrdered(addresses, limits, inFlight, [&](int i, const std::expected<QByteArray, NetError> &page) {
        d.order.push_back(i);
        d.bodies.push_back(page ? *page : "error: " + page.error().address.toUtf8());
        d.timedOut.push_back(!page && page.error().timedOut);
        return i != stopAt;
    });
    return d;
}

std::vector<int> upTo(int n)
{
    std::vector<int> v(size_t(n), 0);
    for (int i = 0; i < n; ++i) v[size_t(i)] = i;
    return v;
}

void waitFor(const std::function<bool()> &done)
{
    // A guard against hanging, not a measurement: the condition normally holds at once.
    QDeadlineTimer guard(20000);
    while (!done() && !guard.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

} // namespace

TEST(FetchOrdered, PagesAnsweredLastFirstArriveInListOrderWithFourAtOnce)
{
    ScriptedServer server;
    server.total = 10;
    server.hold = 4;
    const Delivered d = fetchAll(server.addresses(), 4);
    EXPECT_EQ(d.order, upTo(10));
    ASSERT_EQ(d.bodies.size(), 10u);
    EXPECT_EQ(d.bodies[0], "page 0");
    EXPECT_EQ(d.bodies[9], "page 9");
    EXPECT_EQ(server.maxWaiting, 4);
    EXPECT_GE(server.maxOpen, 4);
}

TEST(FetchOrdered, MoreThanSixAtOnceIsHeldToSix)
{
    // Qt opens no more than six connections to one host; a seventh request would wait inside it
    // with its time-out running.
    ScriptedServer server;
    server.total = 14;
    server.hold = 6;
    const Delivered d = fetchAll(server.addresses(), 10);
    EXPECT_EQ(d.order, upTo(14));
    EXPECT_EQ(d.bodies[13], "page 13");
    EXPECT_EQ(server.maxWaiting, 6);
}

TEST(FetchOrdered, OneAndFourInFlightDeliverTheSamePages)
{
    ScriptedServer one;
    one.total = 9;
    one.missing = {4};
    const Delivered a = fetchAll(one.addresses(), 1);
    EXPECT_EQ(one.maxWaiting, 1);
    EXPECT_EQ(one.maxOpen, 1);

    ScriptedServer four;
    four.total = 9;
    four.hold = 4;
    four.missing = {4};
    const Delivered b = fetchAll(four.addresses(), 4);
    EXPECT_EQ(four.maxWaiting, 4);
    EXPECT_EQ(a.order, b.order);
    // The same bodies apart from the port in the failing page's address.
    for (size_t i = 0; i < a.bodies.size(); ++i)
        if (i != 4) {
            EXPECT_EQ(a.bodies[i], b.bodies[i]) << i;
        }
    EXPECT_EQ(b.bodies[4], "error: " + four.address(4).toUtf8());
}

TEST(FetchOrdered, AFailingPageIsReportedInItsPlaceAndTheRestGoOn)
{
    ScriptedServer server;
    server.total = 6;
    server.hold = 3;
    server.missing = {2};
    const Delivered d = fetchAll(server.addresses(), 3);
    EXPECT_EQ(d.order, upTo(6));
    EXPECT_EQ(d.bodies, (std::vector<QByteArray>{"page 0", "page 1", "error: " + server.address(2).toUtf8(), "page 3",
                                                  "page 4", "page 5"}));
    EXPECT_EQ(d.timedOut, (std::vector<bool>{false, false, false, false, false, false}));
}

TEST(FetchOrdered, APageThatNeverComesTimesOutAlone)
{
    ScriptedServer server;
    server.total = 5;
    server.silent = {2};
    const Delivered d = fetchAll(server.addresses(), 4, FetchLimits{2000, 1 << 20});
    EXPECT_EQ(d.order, upTo(5));
    EXPECT_EQ(d.bodies, (std::vector<QByteArray>{"page 0", "page 1", "error: " + server.address(2).toUtf8(), "page 3", "page 4"}));
    EXPECT_EQ(d.timedOut, (std::vector<bool>{false, false, true, false, false}));
}

TEST(FetchOrdered, StoppingAbortsWhatIsInFlight)
{
    // Pages from 2 on are never answered and the time-out is far away: the batch only comes back
    // because stopping aborts them, and the server then sees every connection closed.
    ScriptedServer server;
    server.total = 12;
    for (int i = 2; i < 12; ++i) server.silent.insert(i);
    const Delivered d = fetchAll(server.addresses(), 4, FetchLimits{3600 * 1000, 1 << 20}, 1);
    EXPECT_EQ(d.order, (std::vector<int>{0, 1}));
    EXPECT_EQ(d.bodies, (std::vector<QByteArray>{"page 0", "page 1"}));
    waitFor([&] { return server.open == 0; });
    EXPECT_EQ(server.open, 0);
    EXPECT_LE(server.received, 8);
}

TEST(FetchOrdered, EveryConnectionStaysBusyWhileTheFirstPageStalls)
{
    // Page 0 is answered only once every other page has been requested: the batch keeps its
    // connections busy behind the page it waits for, holding what arrives for its turn.
    ScriptedServer server;
    server.total = 20;
    server.answerFirstAfter = 20;
    int receivedAtFirstPage = -1;
    QtNet net;
    std::vector<int> order;
    net.fetchOrdered(server.addresses(), FetchLimits{60000, 1 << 20}, 4, [&](int i, const auto &page) {
        if (i == 0) receivedAtFirstPage = server.received;
        EXPECT_TRUE(page.has_value()) << i;
        order.push_back(i);
        return true;
    });
    EXPECT_EQ(receivedAtFirstPage, 20);
    EXPECT_EQ(order, upTo(20));
}

TEST(FetchOrdered, PagesHeldAheadOfAStalledOneAreBoundedByTheirBytes)
{
    // Page 0 never comes. With room for 20 bytes of held pages ("page N" is 6 or 7 bytes), the
    // batch stops requesting once that much waits for its turn, whatever number of connections
    // is free, and goes on after the time-out.
    ScriptedServer server;
    server.total = 40;
    server.silent = {0};
    int receivedAtFirstPage = -1;
    QtNet net;
    std::vector<int> order;
    FetchLimits limits{2000, 1 << 20};
    limits.maxHeldBytes = 20;
    net.fetchOrdered(server.addresses(), limits, 4, [&](int i, const auto &page) {
        if (i == 0) {
            receivedAtFirstPage = server.received;
            EXPECT_TRUE(!page && page.error().timedOut);
        } else {
            EXPECT_EQ(page.value_or("error"), "page " + QByteArray::number(i));
        }
        order.push_back(i);
        return true;
    });
    // Page 0, at most three arrived (18 bytes, below the cap) and three more in flight.
    EXPECT_LE(receivedAtFirstPage, 7);
    EXPECT_GE(receivedAtFirstPage, 2);
    EXPECT_EQ(order, upTo(40));
}

TEST(FetchOrdered, StalledPagesOverlapOnEveryConnection)
{
    // Four pages never answer and four requests are in flight: all four stall at once, so they
    // cost one time-out between them rather than one each. By the time the first is given up,
    // the last stalled page (13) has long been requested.
    ScriptedServer server;
    server.total = 24;
    server.silent = {1, 5, 9, 13};
    bool lastStalledRequested = false;
    QtNet net;
    std::vector<int> order, timedOut;
    net.fetchOrdered(server.addresses(), FetchLimits{3000, 1 << 20}, 4, [&](int i, const auto &page) {
        if (i == 1) lastStalledRequested = server.requestedPages.count(13) == 1;
        if (!page && page.error().timedOut) timedOut.push_back(i);
        order.push_back(i);
        return true;
    });
    EXPECT_TRUE(lastStalledRequested);
    EXPECT_EQ(server.maxWaiting, 4);
    EXPECT_EQ(order, upTo(24));
    EXPECT_EQ(timedOut, (std::vector<int>{1, 5, 9, 13}));
}

TEST(FetchOrdered, AQuitRequestEndsTheBatchAndClosesItsConnections)
{
    // Pages from 2 on never answer and the time-out is an hour away: only the quit request,
    // made when the fourth request arrives, can end the batch.
    ScriptedServer server;
    server.total = 12;
    for (int i = 2; i < 12; ++i) server.silent.insert(i);
    server.onReceived = [&] {
        if (server.received == 4) requestQuit();
    };
    std::vector<int> order;
    QtNet net;
    net.fetchOrdered(server.addresses(), FetchLimits{3600 * 1000, 1 << 20}, 4, [&](int i, const auto &) {
        order.push_back(i);
        return true;
    });
    EXPECT_TRUE(quitRequested());
    EXPECT_TRUE(std::all_of(order.begin(), order.end(), [](int i) { return i < 2; }));
    const int receivedAtQuit = server.received;
    test::forgetQuit();
    waitFor([&] { return server.open == 0; });
    EXPECT_EQ(server.open, 0);
    EXPECT_EQ(server.received, receivedAtQuit);
}

TEST(FetchOrdered, FileAddressesTakeTheirPlaceAmongNetworkPages)
{
    QTemporaryDir dir;
    test::writeFile(dir.path() + "/site/quote/1301.T", "local 1301");
    const QString file = QUrl::fromLocalFile(dir.path() + "/site/quote/1301.T").toString();
    const QString absent = QUrl::fromLocalFile(dir.path() + "/site/quote/9999.T").toString();
    ScriptedServer server;
    server.total = 2;
    const Delivered d = fetchAll({server.address(0), file, server.address(1), absent, "gopher://x/"}, 4);
    EXPECT_EQ(d.order, upTo(5));
    EXPECT_EQ(d.bodies, (std::vector<QByteArray>{"page 0", "local 1301", "page 1", "error: " + absent.toUtf8(),
                                                  "error: gopher://x/"}));
}

TEST(FetchOrdered, AnEmptyListCallsNothing)
{
    test::coreApp();
    EXPECT_TRUE(fetchAll({}, 4).order.empty());
}

namespace {

// Sends its page one byte at a time, `gapMs` apart: a slow but steady transfer. With
// `quitOnRequest` it sends nothing and asks the program to end as the request arrives.
class TrickleServer {
public:
    QByteArray body = "0123456789ABCDEF";
    int gapMs = 150;
    bool quitOnRequest = false;
    int open = 0;

    TrickleServer()
    {
        test::coreApp();
        EXPECT_TRUE(m_server.listen(QHostAddress::LocalHost));
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket *s = m_server.nextPendingConnection()) {
                ++open;
                QObject::connect(s, &QTcpSocket::disconnected, s, [this, s] {
                    --open;
                    s->deleteLater();
                });
                QObject::connect(s, &QTcpSocket::readyRead, s, [this, s] {
                    if (!s->readAll().contains("\r\n\r\n")) return;
                    if (quitOnRequest) return requestQuit();
                    s->write("HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(body.size()) +
                             "\r\nConnection: close\r\n\r\n");
                    auto *timer = new QTimer(s);
                    auto sent = std::make_shared<int>(0);
                    QObject::connect(timer, &QTimer::timeout, s, [this, s, timer, sent] {
                        s->write(body.mid((*sent)++, 1));
                        if (*sent == body.size()) {
                            timer->stop();
                            s->disconnectFromHost();
                        }
                    });
                    timer->start(gapMs);
                });
            }
        });
    }
    QString address() const { return QStringLiteral("http://127.0.0.1:%1/slow").arg(m_server.serverPort()); }

private:
    QTcpServer m_server;
};

} // namespace

TEST(FetchTimeOut, CountsFromTheLastByteNotFromTheStart)
{
    // 16 bytes 150 ms apart take 2.4 s, more than twice the one-second time-out: only a time-out
    // that starts again with every byte lets them through.
    TrickleServer server;
    FetchLimits limits{1000, 1 << 20};
    limits.totalMs = 120 * 1000;   // the whole transfer's own limit is not what this is about
    QtNet net;
    const auto page = net.fetch(server.address(), limits);
    EXPECT_EQ(page ? *page : "error: " + page.error().reason.toUtf8(), server.body);

    std::vector<QByteArray> batch;
    net.fetchOrdered({server.address(), server.address()}, limits, 2, [&](int, const auto &p) {
        batch.push_back(p ? *p : "error: " + p.error().reason.toUtf8());
        return true;
    });
    EXPECT_EQ(batch, (std::vector<QByteArray>{server.body, server.body}));

    QTemporaryDir dir;
    const auto saved = net.fetchToFile(server.address(), limits, dir.path() + "/slow.lzh");
    EXPECT_TRUE(saved.has_value()) << (saved ? std::string() : saved.error().reason.toStdString());
    EXPECT_EQ(test::readFile(dir.path() + "/slow.lzh"), server.body);
}

TEST(FetchTimeOut, ATransferThatDribblesEndsAtItsDeadline)
{
    // A byte every 50 ms for 10,000 bytes never lets the idle time-out of 30 s run out; only
    // the deadline of the whole transfer (one second here) ends it, in all three ways of fetching.
    TrickleServer server;
    server.body = QByteArray(10000, 'x');
    server.gapMs = 50;
    FetchLimits limits{30 * 1000, 1 << 20};
    limits.totalMs = 1000;
    const QString expected = QStringLiteral("転送が 1 秒以内に終わりませんでした（時間切れ）");
    QtNet net;
    const auto page = net.fetch(server.address(), limits);
    ASSERT_FALSE(page.has_value());
    EXPECT_EQ(page.error().reason, expected);
    EXPECT_TRUE(page.error().timedOut);

    std::vector<QString> batch;
    net.fetchOrdered({server.address(), server.address()}, limits, 2, [&](int, const auto &p) {
        batch.push_back(p ? QStringLiteral("page") : p.error().reason);
        return true;
    });
    EXPECT_EQ(batch, (std::vector<QString>{expected, expected}));

    QTemporaryDir dir;
    const auto saved = net.fetchToFile(server.address(), limits, dir.path() + "/slow.lzh");
    ASSERT_FALSE(saved.has_value());
    EXPECT_EQ(saved.error().reason, expected);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    // Without a limit of its own, a transfer has six times the idle time-out.
    EXPECT_EQ(FetchLimits{}.deadlineMs(), 60000);
}

TEST(FetchTimeOut, AQuitRequestEndsASingleFetchAndADownloadWithNothingKept)
{
    TrickleServer server;
    server.quitOnRequest = true;
    const FetchLimits limits{3600 * 1000, 1 << 20};
    QtNet net;
    const auto page = net.fetch(server.address(), limits);
    ASSERT_FALSE(page.has_value());
    EXPECT_TRUE(page.error().stopped);
    test::forgetQuit();

    QTemporaryDir dir;
    const auto saved = net.fetchToFile(server.address(), limits, dir.path() + "/part.lzh");
    ASSERT_FALSE(saved.has_value());
    EXPECT_TRUE(saved.error().stopped);
    EXPECT_FALSE(saved.error().writeFailed);
    test::forgetQuit();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    waitFor([&] { return server.open == 0; });
    EXPECT_EQ(server.open, 0);
}

TEST(FetchTimeOut, AResetConnectionIsReportedAtOnceNotAsATimeOut)
{
    // The server reads the request, sends part of an answer and resets the connection. With an
    // idle time-out of an hour, only a reset reported as such ends the fetch.
    test::coreApp();
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    QObject::connect(&server, &QTcpServer::newConnection, [&server] {
        while (QTcpSocket *s = server.nextPendingConnection())
            QObject::connect(s, &QTcpSocket::readyRead, s, [s] {
                if (!s->readAll().contains("\r\n\r\n")) return;
                s->write("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\npart");
                s->flush();
                s->setSocketOption(QAbstractSocket::LowDelayOption, 1);
                s->abort();   // RST
            });
    });
    const QString address = QStringLiteral("http://127.0.0.1:%1/page").arg(server.serverPort());
    FetchLimits limits{3600 * 1000, 1 << 20};
    QtNet net;
    const auto page = net.fetch(address, limits);
    ASSERT_FALSE(page.has_value());
    EXPECT_FALSE(page.error().timedOut) << page.error().reason.toStdString();
    EXPECT_NE(page.error().reason, QStringLiteral("応答がありません（時間切れ）"));
}
