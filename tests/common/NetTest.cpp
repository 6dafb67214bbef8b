#include "common/Net.h"
#include "support/SiteServer.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>
#include <gtest/gtest.h>

using namespace velor;

TEST(Net, FileAddresses)
{
    QTemporaryDir dir;
    test::writeFile(dir.path() + "/site/index.html", "top page");
    test::writeFile(dir.path() + "/site/quote/1301.T", "quote");
    const QString base = QUrl::fromLocalFile(dir.path() + "/site").toString();
    QtNet net;
    EXPECT_EQ(net.fetch(base + "/", {}).value(), QByteArray("top page"));
    EXPECT_EQ(net.fetch(joinAddress(base, "/quote/1301.T"), {}).value(), QByteArray("quote"));
    auto missing = net.fetch(base + "/none", {});
    ASSERT_FALSE(missing.has_value());
    EXPECT_EQ(missing.error().address, base + "/none");
    auto big = net.fetch(joinAddress(base, "/quote/1301.T"), FetchLimits{1000, 3});
    ASSERT_FALSE(big.has_value());
    EXPECT_TRUE(big.error().tooLarge);
    EXPECT_EQ(joinAddress("http://h/", "/x"), "http://h/x");
    EXPECT_EQ(joinAddress("http://h", "x"), "http://h/x");
}

TEST(Net, SilentServerTimesOutAndBigPageIsCut)
{
    int argc = 0;
    QCoreApplication app(argc, nullptr);
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    QtNet net;
    auto r = net.fetch(QStringLiteral("http://127.0.0.1:%1/quote/1301.T").arg(silent.serverPort()), FetchLimits{300, 1000});
    ASSERT_FALSE(r.has_value());
    EXPECT_TRUE(r.error().timedOut);

    QTcpServer flood;
    ASSERT_TRUE(flood.listen(QHostAddress::LocalHost));
    QObject::connect(&flood, &QTcpServer::newConnection, [&] {
        QTcpSocket *s = flood.nextPendingConnection();
        QObject::connect(s, &QTcpSocket::readyRead, s, [s] {
            s->readAll();
            s->write("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n");
            s->write(QByteArray(200000, 'x'));
            s->flush();
        });
    });
    auto big = net.fetch(QStringLiteral("http://127.0.0.1:%1/").arg(flood.serverPort()), FetchLimits{5000, 1000});
    ASSERT_FALSE(big.has_value());
    EXPECT_TRUE(big.error().tooLarge);
}

// The progress function hears the bytes of a transfer and its whole size, and stops it when it
// says so, also while the server sends nothing (half the body, then silence): the page and the
// file alike end as cancelled, and no file is written; file:// addresses report too.
TEST(Net, ProgressIsReportedAndAStopEndsATransferAtOnce)
{
    test::coreApp();
    test::SiteServer server;
    const QByteArray body(3000, 'x');
    server.pages["/held"] = body;
    server.pages["/whole"] = body;
    server.ways["/held"] = test::SiteServer::Way::HalfHeld;
    ASSERT_TRUE(server.start());
    QTemporaryDir dir;
    test::writeFile(dir.path() + "/site/whole", body);
    const QString local = QUrl::fromLocalFile(dir.path() + "/site/whole").toString();
    QtNet net;
    const struct { QString address; bool toFile; bool stop; } cases[] = {
        {server.base() + "held", false, true}, {server.base() + "held", true, true},
        {server.base() + "whole", false, false}, {server.base() + "whole", true, false},
        {local, false, false}, {local, true, false},
    };
    for (const auto &c : cases) {
        std::vector<std::pair<qint64, qint64>> heard;
        FetchLimits limits;
        // Once half the body has come, the next report (the server then being silent) stops it.
        limits.progress = [&](qint64 received, qint64 total) {
            heard.emplace_back(received, total);
            return !(c.stop && heard.size() >= 2 && heard[heard.size() - 2].first == 1500);
        };
        const QString path = dir.path() + "/out";
        QFile::remove(path);
        std::expected<QByteArray, NetError> page;
        if (c.toFile) {
            auto r = net.fetchToFile(c.address, limits, path);
            if (r) page = test::readFile(path);
            else page = std::unexpected(r.error());
        } else {
            page = net.fetch(c.address, limits);
        }
        ASSERT_FALSE(heard.empty()) << c.address.toStdString();
        EXPECT_EQ(heard.back().second, 3000);
        if (c.stop) {
            ASSERT_FALSE(page.has_value());
            EXPECT_TRUE(page.error().cancelled);
            EXPECT_EQ(page.error().reason, QStringLiteral("中止しました"));
            EXPECT_EQ(heard.back().first, 1500);
            EXPECT_FALSE(QFile::exists(path));
        } else {
            EXPECT_EQ(page.value_or(QByteArray()), body);
            EXPECT_EQ(heard.back().first, 3000);
        }
    }
}
