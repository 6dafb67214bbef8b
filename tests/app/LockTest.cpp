// Who may run beside whom: commands that write take the program folder's and the data folder's
// locks; commands that only read take none; a folder that cannot hold a lock says why.
#include "app/CommandLine.h"
#include "app/Startup.h"

#include "SmallDisk.h"

#include <QFileInfo>
#include <gtest/gtest.h>
#include <unistd.h>

namespace velor::test {
namespace {

const QByteArray kDay = "2024-01-09,1001,0,33000,33100,32900,33050,2500000000\r\n"
                        "2024-01-09,1301,1,1535,1550,1528,1540,50000\r\n";

struct Outcome {
    int code;
    QString err;
};

Outcome runVelor(const QString &program, const QStringList &args)
{
    auto o = parseCommandLine(QStringList{QStringLiteral("velor"), QStringLiteral("--home"), program} + args);
    if (!o) return {-1, {}};
    ::testing::internal::CaptureStderr();
    ::testing::internal::CaptureStdout();
    const int code = runCommand(*o, program);
    (void)::testing::internal::GetCapturedStdout();
    return {code, QString::fromStdString(::testing::internal::GetCapturedStderr())};
}

class Locks : public ::testing::Test {
protected:
    void SetUp() override
    {
        pf.writeMaster({{1001, QStringLiteral("日経平均"), 0}, {1301, QStringLiteral("極洋"), 1}});
        writeFile(pf.program + "touroku.dat", " 1301 \r\n");
    }
    ProgramFolder pf;
};

TEST_F(Locks, ASecondProgramFolderOnTheSameDataFolderIsRefused)
{
    WriterLocks window;   // the first copy, open on pf
    ScriptedDialogs shown;
    ASSERT_TRUE(window.lockProgramFolder(pf.program, shown));
    ASSERT_TRUE(window.lockDataFolder(pf.data, shown));

    QTemporaryDir second;
    writeFile(second.path() + "/VELOR.ini", validSettings(pf.data));
    writeFile(pf.data + "tmp/D240109.csv", kDay);
    const QByteArray before = readFile(pf.data + "1301.csv");
    const Outcome r = runVelor(second.path(), {QStringLiteral("import")});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, QStringLiteral("error: データフォルダー：　") + pf.data +
                         QStringLiteral(" は別のプログラムフォルダーから起動された VELOR が使っています。"
                                        "その VELOR を終了してから起動して下さい。\n"));
    EXPECT_TRUE(QFileInfo::exists(pf.data + "tmp/D240109.csv"));
    EXPECT_EQ(readFile(pf.data + "1301.csv"), before);
}

TEST_F(Locks, ADataFolderInsideTheProgramFolderItselfIsNoSecondCopy)
{
    WriterLocks locks;
    ScriptedDialogs shown;
    ASSERT_TRUE(locks.lockProgramFolder(pf.program, shown));
    EXPECT_TRUE(locks.lockDataFolder(pf.program, shown));
    EXPECT_TRUE(shown.shown.empty());
}

TEST_F(Locks, ReadingCommandsRunBesideTheOpenWindowAndWritingOnesDoNot)
{
    WriterLocks window;
    ScriptedDialogs shown;
    ASSERT_TRUE(window.lockProgramFolder(pf.program, shown));
    ASSERT_TRUE(window.lockDataFolder(pf.data, shown));
    const QStringList reading[] = {{QStringLiteral("watch"), QStringLiteral("list"), QStringLiteral("1")},
                                   {QStringLiteral("search"), QStringLiteral("極洋")}};
    for (const QStringList &args : reading) EXPECT_EQ(runVelor(pf.program, args).code, 0) << args.join(' ').toStdString();
    const Outcome add = runVelor(pf.program, {QStringLiteral("watch"), QStringLiteral("add"), QStringLiteral("1"), QStringLiteral("1001")});
    EXPECT_EQ(add.code, 1);
    // Refused with exit code 1: an error, not a warning.
    EXPECT_EQ(add.err, QStringLiteral("error: このアプリケーションは既に実行されています。\n"));
    EXPECT_EQ(readFile(pf.program + "touroku.dat"), QByteArray(" 1301 \r\n"));
}

TEST_F(Locks, AReadOnlyProgramFolderIsReportedAsSuchNotAsASecondCopy)
{
    SmallDisk disk(pf.dir.path(), 1 << 20);
    const bool readOnly = ::geteuid() == 0 ? disk.makeReadOnly() : QFile::setPermissions(pf.program, QFile::ReadOwner | QFile::ExeOwner);
    if (!readOnly) GTEST_SKIP() << "no read-only folder can be made here";
    const Outcome add = runVelor(pf.program, {QStringLiteral("watch"), QStringLiteral("add"), QStringLiteral("1"), QStringLiteral("1001")});
    if (::geteuid() != 0) QFile::setPermissions(pf.program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(add.code, 1);
    EXPECT_EQ(add.err, QStringLiteral("error: フォルダー：　") + pf.program + QStringLiteral(" に書き込めないため、ロックファイル ") +
                           pf.program + QStringLiteral("velor.lock を作れません。フォルダーの書き込み許可を確かめて下さい。\n"));
    EXPECT_EQ(runVelor(pf.program, {QStringLiteral("watch"), QStringLiteral("list"), QStringLiteral("1")}).code, 0);
}

TEST_F(Locks, AFullProgramFolderIsReportedAsSuchNotAsASecondCopy)
{
    SmallDisk disk(pf.dir.path(), 0);
    if (!disk.mounted) GTEST_SKIP() << "no tmpfs can be mounted here";
    const Outcome add = runVelor(pf.program, {QStringLiteral("watch"), QStringLiteral("add"), QStringLiteral("1"), QStringLiteral("1001")});
    EXPECT_EQ(add.code, 1);
    EXPECT_EQ(add.err, QStringLiteral("error: ロックファイル ") + pf.program +
                           QStringLiteral("velor.lock を書き込めません。ディスクの空きを確かめて下さい。\n"));
    EXPECT_EQ(readFile(pf.program + "touroku.dat"), QByteArray(" 1301 \r\n"));
}

} // namespace
} // namespace velor::test

namespace velor::test {
namespace {

TEST_F(Locks, AMissingFolderAndAnotherMachinesLockAreNamedForWhatTheyAre)
{
    // A data folder that is not there: named, not taken for a full disk.
    WriterLocks locks;
    ScriptedDialogs shown;
    const QString missing = pf.dir.path() + "/gone/";
    EXPECT_FALSE(locks.lockDataFolder(missing, shown));
    ASSERT_EQ(shown.texts().size(), 1u);
    EXPECT_EQ(shown.texts().back(), QStringLiteral("フォルダー：　") + missing +
                                        QStringLiteral(" がありません。フォルダーの場所（VELOR.ini の 1 行目、--home）を確かめて下さい。"));
    // A lock written by a copy on another machine: whose it is, and what to do.
    const QString lock = pf.program + "velor.lock";
    writeFile(lock, "4242\nvelor\nother-machine.example\n");
    WriterLocks second;
    ScriptedDialogs told;
    EXPECT_FALSE(second.lockProgramFolder(pf.program, told));
    ASSERT_EQ(told.texts().size(), 1u);
    EXPECT_EQ(told.texts().back(), QStringLiteral("このアプリケーションは既に実行されています。（ロックファイル ") + lock +
                                       QStringLiteral(" はコンピューター other-machine.example のプロセス 4242 のものです。"
                                                      "そのコンピューターの VELOR が終了していることを確かめてから、このファイルを削除して下さい。）"));
    EXPECT_TRUE(QFileInfo::exists(lock));
}

} // namespace
} // namespace velor::test
