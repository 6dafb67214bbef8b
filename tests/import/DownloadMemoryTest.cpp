// Archives are streamed to disk: a download holds a small buffer however large the file, and
// one above the cap is refused without ever being held.
#include "common/Net.h"
#include "import/AutoDownload.h"
#include "import/ImportFixture.h"
#include "import/LzhExtract.h"

#include <QCoreApplication>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>
#include <cstdio>
#include <fstream>
#include <string>

using namespace velor;
using namespace velor::test;

namespace {

// A value of /proc/self/status in bytes ("VmHWM:" the peak resident memory, "VmRSS:" the
// current one); 0 where it cannot be read.
qint64 statusBytes(const char *key)
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(key, 0) == 0) return std::stoll(line.substr(std::string(key).size())) * 1024;
    return 0;
}

// Starts a new peak from what the process holds now; false where the system cannot.
bool resetPeak()
{
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    return bool(clear) && statusBytes("VmHWM:") <= statusBytes("VmRSS:") + (1 << 20);
}

// A price-data site on 127.0.0.1: the top page, and an archive of `size` bytes sent a quarter
// megabyte at a time (the server itself never holds the whole file).
class Site {
public:
    explicit Site(qint64 size) : m_size(size)
    {
        m_server.listen(QHostAddress::LocalHost);
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
            QTcpSocket *s = m_server.nextPendingConnection();
            QObject::connect(s, &QTcpSocket::readyRead, s, [this, s] { answer(s); });
        });
    }
    QString base() const { return QStringLiteral("http://127.0.0.1:%1/").arg(m_server.serverPort()); }

private:
    void answer(QTcpSocket *s)
    {
        const QByteArray request = s->readAll();
        if (!request.startsWith("GET /data2024/")) {
            const QByteArray page = "<a href=\"data2024/D240105.lzh\">D240105.lzh</a>\n"
                                    "<a href=\"data2024/D240109.lzh\">D240109.lzh</a>\n";
            s->write("HTTP/1.0 200 OK\r\nContent-Length: " + QByteArray::number(page.size()) + "\r\n\r\n" + page);
            s->disconnectFromHost();
            return;
        }
        s->write("HTTP/1.0 200 OK\r\nContent-Length: " + QByteArray::number(m_size) + "\r\n\r\n");
        auto sent = std::make_shared<qint64>(0);
        const QByteArray chunk(256 * 1024, 'x');
        auto feed = [this, s, sent, chunk] {
            while (*sent < m_size && s->bytesToWrite() < 1024 * 1024) {
                const qint64 n = std::min<qint64>(chunk.size(), m_size - *sent);
                s->write(chunk.constData(), n);
                *sent += n;
            }
            if (*sent >= m_size && s->bytesToWrite() == 0) s->disconnectFromHost();
        };
        QObject::connect(s, &QTcpSocket::bytesWritten, s, feed);
        feed();
    }

    QTcpServer m_server;
    qint64 m_size;
};

struct StreamedDownload : ::testing::Test {
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "test";
        static char *argv[] = {name, nullptr};
        static QCoreApplication app(argc, argv);
    }
};

TEST_F(StreamedDownload, AnArchiveAboveTheCapIsRefusedWithoutBeingHeld)
{
    Market m;
    Site site(kMaxLzhMember + (16 << 20));
    m.st.sites.DataSiteUrl = site.base();
    QtNet net;
    Services sv{m.env.clock, net, m.env.launcher, m.env.sound, m.env.dialogs, m.env.shell, &m.env.noQuote};
    if (!resetPeak()) GTEST_SKIP() << "peak memory cannot be measured here";
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer keeps freed memory in quarantine: the peak says nothing here";
#endif
    const qint64 before = statusBytes("VmRSS:");
    EXPECT_FALSE(JIDOU(m.st, sv));
    const qint64 grown = statusBytes("VmHWM:") - before;
    ASSERT_EQ(m.env.dialogs.texts().size(), 2);   // the question, then the refusal
    EXPECT_EQ(m.env.dialogs.texts()[1], QStringLiteral("ファイルを取得できませんでした：　") + site.base() +
                                            QStringLiteral("data2024/D240109.lzh\r\n\r\nデータが大きすぎます\r\n\r\nダウンロードを中止します。"));
    EXPECT_TRUE(m.inboxNames().isEmpty());
    // Far below the 64 MB cap: only the stream's buffers were held.
    EXPECT_LT(grown, qint64(16) << 20);
    std::printf("peak memory grew by %.1f MB refusing an archive of %.0f MB\n", double(grown) / (1 << 20),
                double(kMaxLzhMember + (16 << 20)) / (1 << 20));
}

TEST_F(StreamedDownload, AFileBelowTheCapArrivesWholeAndReplacesTheOldOneOnlyThen)
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/D240109.lzh";
    writeFile(path, "old");
    QtNet net;
    Site big(3 << 20);
    const auto refused = net.fetchToFile(big.base() + "data2024/D240109.lzh", FetchLimits{10000, (3 << 20) - 1}, path);
    ASSERT_FALSE(refused.has_value());
    EXPECT_TRUE(refused.error().tooLarge);
    EXPECT_EQ(readFile(path), QByteArray("old"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"D240109.lzh"});

    ASSERT_TRUE(net.fetchToFile(big.base() + "data2024/D240109.lzh", FetchLimits{10000, 3 << 20}, path).has_value());
    EXPECT_EQ(readFile(path), QByteArray(3 << 20, 'x'));

    // file:// addresses are copied the same way.
    writeFile(dir.path() + "/site/data2024/D240110.lzh", "archive bytes");
    const QString local = QUrl::fromLocalFile(dir.path() + "/site").toString();
    ASSERT_TRUE(net.fetchToFile(local + "/data2024/D240110.lzh", FetchLimits{}, dir.path() + "/copy.lzh").has_value());
    EXPECT_EQ(readFile(dir.path() + "/copy.lzh"), QByteArray("archive bytes"));
    const auto tooBig = net.fetchToFile(local + "/data2024/D240110.lzh", FetchLimits{1000, 5}, dir.path() + "/copy.lzh");
    ASSERT_FALSE(tooBig.has_value());
    EXPECT_TRUE(tooBig.error().tooLarge);
    EXPECT_EQ(readFile(dir.path() + "/copy.lzh"), QByteArray("archive bytes"));
}

TEST_F(StreamedDownload, AFullDiskIsAWriteFailureAndLeavesTheOldFile)
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/D240109.lzh";
    writeFile(path, "old");
    QtNet net;
    Site site(1 << 20);
    DiskSpaceLimit full(1000);
    const auto r = net.fetchToFile(site.base() + "data2024/D240109.lzh", FetchLimits{10000, 4 << 20}, path);
    ASSERT_FALSE(r.has_value());
    EXPECT_TRUE(r.error().writeFailed);
    EXPECT_EQ(r.error().reason, QStringLiteral("ファイル：　") + path + QStringLiteral(" に書き込めません。ディスクがいっぱいです。"));
    EXPECT_EQ(readFile(path), QByteArray("old"));
}

} // namespace
