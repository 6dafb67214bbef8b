// A full disk: every write is checked to its last byte, a failed write is an error (exit 1) and
// nothing stored is lost. Run on a real small file system where one can be mounted, and always
// through the write seam.
#include "app/CommandLine.h"
#include "common/TextFile.h"
#include "common/Utils.h"
#include "import/ImportFixture.h"
#include "import/LzhExtract.h"

#include "SmallDisk.h"

#include <QFileInfo>

namespace velor::test {
namespace {

QString lzh(const char *name) { return fixturePath(QStringLiteral("lzh/") + QLatin1String(name)); }

int runVelor(const QString &program, const QStringList &args)
{
    auto o = parseCommandLine(QStringList{QStringLiteral("velor"), QStringLiteral("--home"), program} + args);
    return o ? runCommand(*o, program) : -1;
}

TEST(FullDisk, SavingOverAFileOnAFullDiskFailsAndKeepsTheOldFile)
{
    ProgramFolder pf;
    const QString path = pf.program + QStringLiteral("touroku.dat");
    writeFile(path, " 1301 \r\n");
    SmallDisk disk(pf.dir.path(), 0);
    if (!disk.mounted) GTEST_SKIP() << "no tmpfs can be mounted here";
    EXPECT_FALSE(saveBytes(path, " 1301 \r\n 6519 \r\n").has_value());
    EXPECT_EQ(readFile(path), QByteArray(" 1301 \r\n"));
    EXPECT_FALSE(appendBytes(path, QByteArray(9000, 'a')).has_value());
    EXPECT_EQ(readFile(path), QByteArray(" 1301 \r\n"));
}

TEST(FullDisk, WatchAddWithNoSpaceLeftExitsOneAndKeepsTheList)
{
    ProgramFolder pf;
    pf.writeMaster({{1001, QStringLiteral("日経平均"), 0}, {1301, QStringLiteral("極洋"), 1}, {6519, QStringLiteral("X"), 1}});
    const QString path = pf.program + QStringLiteral("touroku.dat");
    writeFile(path, " 1301 \r\n");
    SmallDisk disk(pf.dir.path(), 8192);   // room for the two locks, not for the list
    if (!disk.mounted) GTEST_SKIP() << "no tmpfs can be mounted here";
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(runVelor(pf.program, {QStringLiteral("watch"), QStringLiteral("add"), QStringLiteral("1"), QStringLiteral("6519")}), 1);
    const QString err = QString::fromStdString(::testing::internal::GetCapturedStderr());
    EXPECT_TRUE(err.contains(QStringLiteral("error: ファイル：　") + path + QStringLiteral(" に書き込めません。"))) << err.toStdString();
    EXPECT_EQ(readFile(path), QByteArray(" 1301 \r\n"));
}

TEST(FullDisk, LzhImportOnAFullDiskIsNotReportedAsDoneAndKeepsTheInbox)
{
    Market m;
    m.inbox("D240109.lzh", readFile(lzh("D240109.lzh")));
    const auto before = m.snapshot();
    SmallDisk disk(m.dir.path(), 0);
    if (!disk.mounted) GTEST_SKIP() << "no tmpfs can be mounted here";
    EXPECT_FALSE(m.run());
    EXPECT_FALSE(m.env.dialogs.texts().contains(QStringLiteral("データの追加が終わりました")));
    EXPECT_EQ(m.inboxNames(), QStringList{QStringLiteral("D240109.lzh")});
    for (auto it = before.begin(); it != before.end(); ++it) EXPECT_EQ(readFile(m.data + it.key()), it.value()) << it.key().toStdString();
}

// The write seam: a disk that takes only so many more bytes.
TEST(FullDisk, EveryWriteHelperFailsWhenTheDiskFillsAndLeavesTheOldBytes)
{
    ProgramFolder pf;
    const QString path = pf.program + QStringLiteral("f.txt");
    writeFile(path, "old\r\n");
    for (qint64 room : {0, 1, 9, 10}) {
        DiskSpaceLimit limit(room);
        EXPECT_FALSE(saveBytes(path, "0123456789\r\n").has_value()) << room;
        EXPECT_FALSE(appendLineCp932(path, QStringLiteral("0123456789")).has_value()) << room;
        EXPECT_EQ(readFile(path), QByteArray("old\r\n")) << room;
    }
    DiskSpaceLimit limit(12);
    EXPECT_TRUE(saveBytes(path, "0123456789\r\n").has_value());
    EXPECT_EQ(readFile(path), QByteArray("0123456789\r\n"));
}

TEST(FullDisk, LzhExtractionOntoAFullDiskFailsAndLeavesNoFile)
{
    ProgramFolder pf;
    const QString target = pf.program + QStringLiteral("d240109.csv");
    DiskSpaceLimit limit(100);
    const auto r = extractLzhMember(lzh("D240109.lzh"), QStringLiteral("D240109.csv"), target);
    ASSERT_FALSE(r.has_value());
    EXPECT_EQ(r.error().detail, QStringLiteral("ファイル：　") + target + QStringLiteral(" に書き込めません。"));
    EXPECT_FALSE(QFileInfo::exists(target));
}

// Wherever the disk fills during an import, the run fails, keeps its inbox, and a run with room
// again gives exactly the files of a run that never met a full disk.
TEST(FullDisk, ImportStoppedByAFullDiskAnywhereCompletesToTheSameFiles)
{
    Market ref;
    ref.inbox("D240109.lzh", readFile(lzh("D240109.lzh")));
    qint64 total = 0;   // what the whole import writes
    {
        DiskSpaceLimit roomy(qint64(1) << 40);
        ASSERT_TRUE(ref.run());
        total = (qint64(1) << 40) - roomy.left();
    }
    const auto expected = ref.snapshot();
    ASSERT_GT(total, 10000);
    for (qint64 room : {qint64(0), qint64(1), total / 8, total / 4, total / 2, total * 3 / 4, total * 7 / 8, total - 1}) {
        Market m;
        m.inbox("D240109.lzh", readFile(lzh("D240109.lzh")));
        {
            DiskSpaceLimit limit(room);
            EXPECT_FALSE(m.run()) << room;
        }
        EXPECT_FALSE(m.env.dialogs.texts().contains(QStringLiteral("データの追加が終わりました"))) << room;
        EXPECT_EQ(m.inboxNames(), QStringList{QStringLiteral("D240109.lzh")}) << room;
        ASSERT_TRUE(m.run()) << room;
        EXPECT_EQ(m.snapshot(), expected) << room;
    }
}

} // namespace
} // namespace velor::test
