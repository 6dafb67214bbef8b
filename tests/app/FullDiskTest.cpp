// A full disk: every write is checked to its last byte, a failed write is an error (exit 1) and
// nothing stored is lost. Run on a real small file system where one can be mounted, and always
// through the write seam.
#include "app/CommandLine.h"
#include "common/BatchWriter.h"
#include "common/TextFile.h"
#include "common/Utils.h"
#include "import/ImportFixture.h"
#include "import/LzhExtract.h"

#include "SmallDisk.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cerrno>

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
    EXPECT_EQ(r.error().detail, QStringLiteral("ファイル：　") + target + QStringLiteral(" に書き込めません。ディスクがいっぱいです。"));
    EXPECT_FALSE(QFileInfo::exists(target));
}

// Wherever the disk fills during an import, the run fails, keeps its inbox, and a run with room
// again gives exactly the files of a run that never met a full disk.
TEST(FullDisk, ImportStoppedByAFullDiskAnywhereCompletesToTheSameFiles)
{
    // The archive of an independent archiver, and the same day as a plain file with a new listing
    // of a code with letters, which gives the master its tail.
    QByteArray withLetters = readFile(fixturePath(QStringLiteral("lzh/D240109.csv")));
    if (!withLetters.endsWith('\n')) withLetters += "\r\n";
    withLetters += "2024-01-09,130A,1,1500,1550,1480,1520,120000\r\n";
    const std::pair<QString, QByteArray> inputs[] = {{QStringLiteral("D240109.lzh"), readFile(lzh("D240109.lzh"))},
                                                     {QStringLiteral("D240109.csv"), withLetters}};
    for (const auto &[name, bytes] : inputs) {
        Market ref;
        ref.inbox(name, bytes);
        qint64 total = 0;   // what the whole import writes
        {
            DiskSpaceLimit roomy(qint64(1) << 40);
            ASSERT_TRUE(ref.run()) << name.toStdString();
            total = (qint64(1) << 40) - roomy.left();
        }
        const auto expected = ref.snapshot();
        ASSERT_GT(total, 10000);
        if (name.endsWith(QStringLiteral(".csv"))) {
            EXPECT_TRUE(expected.value("meigara.dat").endsWith("LTCD130A"));
            EXPECT_TRUE(expected.value("130A.csv").contains("\r\n20240109,1500,1550,1480,1520,120000\r\n"));
        }
        for (qint64 room : {qint64(0), qint64(1), total / 8, total / 4, total / 2, total * 3 / 4, total * 7 / 8, total - 1}) {
            Market m;
            m.inbox(name, bytes);
            {
                DiskSpaceLimit limit(room);
                EXPECT_FALSE(m.run()) << room;
            }
            EXPECT_FALSE(m.env.dialogs.texts().contains(QStringLiteral("データの追加が終わりました"))) << room;
            EXPECT_EQ(m.inboxNames(), QStringList{name}) << room;
            ASSERT_TRUE(m.run()) << room;
            EXPECT_EQ(m.snapshot(), expected) << name.toStdString() << ' ' << room;
        }
    }
}

// The messages of a full disk say so, not only which file could not be written.
TEST(FullDisk, AFullDiskIsNamedAsTheCause)
{
    ProgramFolder pf;
    const QString path = pf.program + QStringLiteral("f.txt");
    const QString full = QStringLiteral("ファイル：　") + path + QStringLiteral(" に書き込めません。ディスクがいっぱいです。");
    DiskSpaceLimit limit(3);
    const auto saved = saveBytes(path, "0123456789\r\n");
    ASSERT_FALSE(saved.has_value());
    EXPECT_EQ(saved.error(), full);
    const auto appended = appendLineCp932(path, QStringLiteral("0123456789"));
    ASSERT_FALSE(appended.has_value());
    EXPECT_EQ(appended.error(), full);
    const auto batch = BatchFileOps().writeUnsynced(path, "0123456789\r\n");
    ASSERT_FALSE(batch.has_value());
    EXPECT_EQ(batch.error(), full);
    // Any other failure names the file alone: a folder where the file should be.
    QDir().mkpath(pf.program + QStringLiteral("d.txt"));
    DiskSpaceLimit room(1 << 20);
    const auto other = saveBytes(pf.program + QStringLiteral("d.txt"), "x");
    ASSERT_FALSE(other.has_value());
    EXPECT_EQ(other.error(), QStringLiteral("ファイル：　") + pf.program + QStringLiteral("d.txt に書き込めません。"));
}

// Several days whose writes are the price files' batch alone (no new listing, no section
// change, so no log line and no master): wherever the disk fills, no cut-short temporary may be
// renamed over a price file. The run fails, every file keeps its old bytes, and a run with
// room gives exactly the uninterrupted run's files.
TEST(FullDisk, ABatchCutShortByAFullDiskReplacesNoPriceFile)
{
    auto fill = [](Market &m) {
        for (const char *d : {"2024-01-08", "2024-01-09", "2024-01-10"}) {
            QByteArray day;
            for (const char *line : {",1001,0,33000,33100,32900,33050,2500000000\r\n", ",1301,1,1535,1550,1528,1540,50000\r\n",
                                     ",1302,1,201,205,199,204,12000\r\n", ",1303,2,88,90,87,89,0\r\n"})
                day += d + QByteArray(line);
            m.inbox(QStringLiteral("D") + QString::fromLatin1(d).remove('-').mid(2) + QStringLiteral(".csv"), day);
        }
    };
    Market ref;
    fill(ref);
    qint64 total = 0;
    {
        DiskSpaceLimit roomy(qint64(1) << 40);
        ASSERT_TRUE(ref.run());
        total = (qint64(1) << 40) - roomy.left();
    }
    const auto expected = ref.snapshot();
    ASSERT_GT(total, 20000);
    for (qint64 room : {qint64(0), total / 5, total * 2 / 5, total / 2, total * 3 / 5, total * 4 / 5, total - 12, total - 5, total - 1}) {
        Market m;
        fill(m);
        const auto before = m.snapshot();
        {
            DiskSpaceLimit limit(room);
            EXPECT_FALSE(m.run()) << room;
        }
        for (auto it = before.begin(); it != before.end(); ++it)
            EXPECT_EQ(readFile(m.data + it.key()), it.value()) << room << " " << it.key().toStdString();
        EXPECT_EQ(m.inboxNames().size(), 3) << room;
        ASSERT_TRUE(m.run()) << room;
        EXPECT_EQ(m.snapshot(), expected) << room;
    }
}

// The system calls of a real batch, with an I/O error from the file-system sync (where the
// written pages could not be put on the disk); the syncs of single files that follow report no
// error, as a descriptor opened after the failure would not.
class FailingSyncOps : public BatchFileOps {
public:
    int syncFileSystem(int) override
    {
        ++fileSystemSyncs;
        errno = EIO;
        return -1;
    }
    int syncDescriptor(int) override { return 0; }
    int fileSystemSyncs = 0;
};

TEST(FullDisk, AnIoErrorFromTheSyncFailsTheBatchAndReplacesNothing)
{
    QTemporaryDir dir;
    const QString folder = dir.path(), a = folder + "/1301.txt", b = folder + "/1302.txt";
    writeFile(a, "old a\r\n");
    writeFile(b, "old b\r\n");
    FailingSyncOps ops;
    BatchWriter batch(folder, ops);
    ASSERT_TRUE(batch.add(a, "new a\r\n"));
    ASSERT_TRUE(batch.add(b, "new b\r\n"));
    const auto r = batch.commit();
    EXPECT_EQ(ops.fileSystemSyncs, 1);
    ASSERT_FALSE(r.has_value());
    EXPECT_EQ(r.error(), QStringLiteral("ファイル：　") + folder + QStringLiteral(" に書き込めません。"));
    EXPECT_EQ(readFile(a), QByteArray("old a\r\n"));
    EXPECT_EQ(readFile(b), QByteArray("old b\r\n"));
    EXPECT_EQ(QDir(folder).entryList(QDir::Files), (QStringList{"1301.txt", "1302.txt"}));
}

} // namespace
} // namespace velor::test
