#include "import/LzhExtract.h"

#include "demo/DemoSite.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

using namespace velor;
using namespace velor::test;

namespace {
QString lzh(const char *name) { return fixturePath(QStringLiteral("lzh/") + QLatin1String(name)); }
QByteArray firstLine(const QByteArray &b) { return b.left(b.indexOf('\r')); }
} // namespace

TEST(LzhExtract, EveryMethodAndHeaderLevelExtractsTheDailyFile)
{
    const struct { const char *archive, *member, *firstLine; } cases[] = {
        {"D240109.lzh", "D240109.csv", "2024-01-09,1001,0,32155.8,33861.2,31403.6,33102.9,2156857004"},
        {"D240110.lzh", "D240110.csv", "2024/01/10,1001,0,"},
        {"D240111.lzh", "D240111.csv", "2024.01.11,1001,0,"},
        {"D240112.lzh", "D240112.csv", "2024-01-12,1001,0,"},
        {"D240115.lzh", "D240115.csv", "2024-01-15,1001,0,"},
        {"D240116.lzh", "D240116.csv", "2024-01-16,1001,0,"},
    };
    for (const auto &c : cases) {
        ProgramFolder pf;
        const QString target = pf.program + QStringLiteral("out.csv");
        const auto r = extractLzhMember(lzh(c.archive), QLatin1String(c.member), target);
        ASSERT_TRUE(r.has_value()) << c.archive << " " << r.error().detail.toStdString();
        EXPECT_TRUE(*r) << c.archive;
        const QByteArray got = readFile(target);
        EXPECT_TRUE(firstLine(got).startsWith(c.firstLine)) << c.archive << ": " << firstLine(got).constData();
        EXPECT_EQ(got.count('\n'), 62) << c.archive;
    }
    ProgramFolder pf;
    ASSERT_TRUE(extractLzhMember(lzh("D240109.lzh"), QStringLiteral("d240109.CSV"), pf.program + "x.csv").value_or(false));
    EXPECT_EQ(readFile(pf.program + "x.csv"), readFile(lzh("D240109.csv")));
}

TEST(LzhExtract, BrokenArchivesLeaveNoFileBehind)
{
    const struct { const char *archive, *member; LzhError::Kind kind; } cases[] = {
        {"D240118.lzh", "D240118.csv", LzhError::NotArchive},
        {"D240119.lzh", "D240109.csv", LzhError::Failed},   // truncated
        {"D240122.lzh", "D240109.csv", LzhError::Failed},   // a flipped byte: bad CRC
    };
    for (const auto &c : cases) {
        ProgramFolder pf;
        const QString target = pf.program + QStringLiteral("out.csv");
        const auto r = extractLzhMember(lzh(c.archive), QLatin1String(c.member), target);
        ASSERT_FALSE(r.has_value()) << c.archive;
        EXPECT_EQ(r.error().kind, c.kind) << c.archive;
        EXPECT_FALSE(QFileInfo::exists(target)) << c.archive;
        EXPECT_EQ(QDir(pf.program).entryList(QDir::Files), QStringList{QStringLiteral("VELOR.ini")}) << c.archive;
    }
}

TEST(LzhExtract, MissingMemberIsReportedNotWritten)
{
    ProgramFolder pf;
    const auto r = extractLzhMember(lzh("D240117.lzh"), QStringLiteral("D240117.csv"), pf.program + "d240117.csv");
    ASSERT_TRUE(r.has_value());
    EXPECT_FALSE(*r);
    EXPECT_EQ(QDir(pf.program).entryList(QDir::Files), QStringList{QStringLiteral("VELOR.ini")});
}

TEST(LzhExtract, HostileMemberNamesWriteOnlyTheExpectedFile)
{
    const struct { const char *archive, *member, *outside; } cases[] = {
        {"D240123.lzh", "D240123.csv", "../D240123.csv"},
        {"D240124.lzh", "D240124.csv", "../../VELOR.ini"},
        {"D240125.lzh", "D240125.csv", "/tmp/D240125.csv"},
    };
    for (const auto &c : cases) {
        ProgramFolder pf;
        const QByteArray settings = readFile(pf.program + "VELOR.ini");
        const QString outside = QString::fromLatin1(c.outside).startsWith('/') ? QString::fromLatin1(c.outside)
                                                                                : pf.program + QLatin1String(c.outside);
        const bool existed = QFileInfo::exists(outside);
        const QString target = pf.program + QString::fromLatin1(c.member).toLower();
        const auto r = extractLzhMember(lzh(c.archive), QLatin1String(c.member), target);
        ASSERT_TRUE(r.has_value()) << c.archive;
        EXPECT_TRUE(*r);
        EXPECT_TRUE(readFile(target).startsWith("2024-01-")) << c.archive;
        EXPECT_EQ(readFile(pf.program + "VELOR.ini"), settings);
        QStringList files = QDir(pf.program).entryList(QDir::Files);
        files.sort();
        EXPECT_EQ(files, (QStringList{QStringLiteral("VELOR.ini"), QString::fromLatin1(c.member).toLower()}));
        if (!existed) {
            EXPECT_FALSE(QFileInfo::exists(outside)) << c.archive;
        }
    }
}

TEST(LzhExtract, NotAnArchiveMessage)
{
    ProgramFolder pf;
    TestEnv env;
    const QString a = lzh("D240118.lzh");
    EXPECT_EQ(ExtractLzh(a, QStringLiteral("D240118.csv"), pf.program + "d240118.csv", env.dialogs), -1);
    ASSERT_EQ(env.dialogs.shown.size(), 1u);
    EXPECT_EQ(env.dialogs.shown[0].text, a + QStringLiteral(" は正しい書庫ファイルではありません。"));
    EXPECT_EQ(env.dialogs.shown[0].icon, Icon::Error);
    EXPECT_EQ(ExtractLzh(lzh("D240122.lzh"), QStringLiteral("D240109.csv"), pf.program + "d.csv", env.dialogs), -1);
    EXPECT_EQ(env.dialogs.shown.size(), 1u);   // a damaged archive gets no message here
    EXPECT_EQ(ExtractLzh(lzh("D240112.lzh"), QStringLiteral("D240112.csv"), pf.program + "d.csv", env.dialogs), 0);
}

TEST(LzhExtract, AnOtherFileOfTheTargetNameIsNeverReplaced)
{
    ProgramFolder pf;
    const QString target = pf.program + QStringLiteral("d240109.csv");
    writeFile(target, "my own notes\r\n");
    const auto r = extractLzhMember(lzh("D240109.lzh"), QStringLiteral("D240109.csv"), target);
    ASSERT_FALSE(r.has_value());
    EXPECT_EQ(r.error().kind, LzhError::Failed);
    EXPECT_EQ(readFile(target), "my own notes\r\n");
    // A copy of the same member, as an interrupted run may leave it, is accepted.
    writeFile(target, readFile(lzh("D240109.csv")));
    EXPECT_TRUE(extractLzhMember(lzh("D240109.lzh"), QStringLiteral("D240109.csv"), target).value_or(false));
}

TEST(LzhExtract, AMemberAboveSixtyFourMebibytesIsRefused)
{
    // A stored member whose header claims 64 MiB + 1 bytes.
    QByteArray a = demo::storedLzh("D240126.csv", "2024-01-26,1001,0,1,1,1,1,1\r\n", 0x58290000);
    const quint32 claimed = (64u << 20) + 1;
    for (int at : {7, 11})
        for (int i = 0; i < 4; ++i) a[at + i] = char((claimed >> (8 * i)) & 0xff);
    quint8 sum = 0;
    for (int i = 2; i < 2 + quint8(a[0]); ++i) sum = quint8(sum + quint8(a[i]));
    a[1] = char(sum);
    ProgramFolder pf;
    writeFile(pf.program + "D240126.lzh", a);
    const auto r = extractLzhMember(pf.program + "D240126.lzh", QStringLiteral("D240126.csv"), pf.program + "d240126.csv");
    ASSERT_FALSE(r.has_value());
    EXPECT_EQ(r.error().kind, LzhError::Failed);
    EXPECT_EQ(r.error().detail, QStringLiteral("書庫の中のファイルが大きすぎます。"));
    EXPECT_FALSE(QFileInfo::exists(pf.program + "d240126.csv"));
}
