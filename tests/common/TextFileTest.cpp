#include "common/TextFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#if defined(Q_OS_UNIX)
#include <sys/stat.h>
#endif

using namespace velor;

namespace {

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

} // namespace

// Every byte of a regular file, or one of three messages; a FIFO is refused without waiting for
// a writer, and a file that gives no size (as /proc's do) is still read to its end.
TEST(TextFile, ReadBytesTakesARegularFileWholeAndRefusesTheRest)
{
    QTemporaryDir dir;
    const QString base = dir.path() + QLatin1Char('/');
    const QByteArray lines = QByteArray("3,0,0\r\n20261208,1,2,0\0,1,5\r\n\x82\xA0", 26);
    writeFile(base + QStringLiteral("lines.csv"), lines);
    writeFile(base + QStringLiteral("empty.csv"), {});
    writeFile(base + QStringLiteral("ten.csv"), "0123456789");
    ASSERT_TRUE(QDir(base).mkdir(QStringLiteral("folder.csv")));
    const auto notRegular = [&](const char *name) { return QStringLiteral("ファイル：　") + base + QLatin1String(name) + QStringLiteral(" は通常のファイルではありません。"); };
    const auto unreadable = [&](const char *name) { return QStringLiteral("ファイル：　") + base + QLatin1String(name) + QStringLiteral(" を読めません。"); };
    const auto tooBig = [&](const char *name) { return QStringLiteral("ファイル：　") + base + QLatin1String(name) + QStringLiteral(" が大きすぎます。"); };
    struct Case {
        const char *name;
        qint64 maxBytes;
        QByteArray bytes;
        QString error;
    };
    std::vector<Case> cases = {
        {"lines.csv", 1 << 20, lines, {}},
        {"empty.csv", 1 << 20, {}, {}},
        {"ten.csv", 10, "0123456789", {}},
        {"ten.csv", 9, {}, tooBig("ten.csv")},
        {"missing.csv", 1 << 20, {}, unreadable("missing.csv")},
        {"folder.csv", 1 << 20, {}, notRegular("folder.csv")},
    };
#if defined(Q_OS_UNIX)
    ASSERT_EQ(::mkfifo(QFile::encodeName(base + QStringLiteral("fifo.csv")).constData(), 0600), 0);
    cases.push_back({"fifo.csv", 1 << 20, {}, notRegular("fifo.csv")});
#endif
    for (const Case &c : cases) {
        const auto r = readBytes(base + QLatin1String(c.name), c.maxBytes);
        EXPECT_EQ(r ? QString() : r.error(), c.error) << c.name << " " << c.maxBytes;
        if (r) {
            EXPECT_EQ(*r, c.bytes) << c.name;
        }
    }
#if defined(Q_OS_LINUX)
    QFile status(QStringLiteral("/proc/self/cmdline"));
    ASSERT_TRUE(status.open(QIODevice::ReadOnly));
    const QByteArray expected = status.readAll();
    ASSERT_GT(expected.size(), 1);
    const auto whole = readBytes(QStringLiteral("/proc/self/cmdline"));
    ASSERT_TRUE(whole);
    EXPECT_EQ(*whole, expected);
    EXPECT_EQ(readBytes(QStringLiteral("/proc/self/cmdline"), expected.size() - 1).error(),
              QStringLiteral("ファイル：　/proc/self/cmdline が大きすぎます。"));
#endif
}
