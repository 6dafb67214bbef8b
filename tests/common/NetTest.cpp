#include "common/Net.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
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
