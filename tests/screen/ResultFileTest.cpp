#include "ScreenFixture.h"

#include "common/Cp932.h"
#include "screen/ResultFile.h"

#include <QDir>

using namespace velor;
using namespace velor::test;

namespace {

class ResultFile : public ScreenFixture {
protected:
    void SetUp() override
    {
        ScreenFixture::SetUp();
        pf.writeMaster({{1001, QStringLiteral("日経平均"), 0}, {1301, QStringLiteral("極洋"), 1}});
        prices(1001, {bar(20240110, 33000, 33500, 32900, 33400, 0), bar(20240109, 33000, 33100, 32800, 33000, 0)});
        prices(1301, {bar(20240110, 105, 112, 104, 110, 2000), bar(20240109, 100, 101, 99, 100, 1000)});
        QDir().mkpath(vedat());
    }
    QString vedat() const { return pf.program + QStringLiteral("VEDAT"); }
};

} // namespace

TEST_F(ResultFile, SavingRightAfterARunWritesTitleAndDataRowsOnly)
{
    screens().SKAIRI();   // any screen: the progress lines must be gone from the file
    const QString path = vedat() + QStringLiteral("/kairi.csv");
    env.dialogs.files.push_back(path);
    EXPECT_EQ(cmdSAVE_Click(pf.st, env.services, view.lines()), SaveOutcome::Saved);
    const QByteArray expected = toCp932(QStringLiteral("★乖離率0大★　５値") + stamp()) + "\r\n" +
                                toCp932(QStringLiteral("★乖離率0小★　５値") + stamp()) + "\r\n";
    EXPECT_EQ(readFile(path), expected);
    EXPECT_EQ(env.dialogs.fileDialogDirs, QStringList{vedat()});
    EXPECT_EQ(QDir::currentPath(), QDir(vedat()).canonicalPath());
}

TEST_F(ResultFile, BytesAreCp932WithCrLf)
{
    const QStringList lines = {QStringLiteral("★値上がり率（対前日比）★　５値　 日= 20240110 9:00:00"),
                               QStringLiteral("1301,\"極洋   (1)\",1.1,105,112,104,110,0.2,↑")};
    const QByteArray b = resultFileBytes(lines);
    EXPECT_EQ(b.right(2), QByteArray("\r\n"));
    EXPECT_EQ(b.count("\r\n"), 2);
    EXPECT_TRUE(b.startsWith("\x81\x9a"));   // ★ in CP932
    EXPECT_TRUE(b.contains("1301,\"\x8b\xc9\x97\x6d   (1)\",1.1,105,112,104,110,0.2,\x81\xaa\r\n"));
}

TEST_F(ResultFile, ReplacingAnExistingFileIsAskedFirst)
{
    const QString path = vedat() + QStringLiteral("/old.csv");
    writeFile(path, "1301\r\n");
    env.dialogs.files.push_back(path);
    env.dialogs.answers.push_back(Answer::No);
    EXPECT_EQ(cmdSAVE_Click(pf.st, env.services, {QStringLiteral("new")}), SaveOutcome::Cancelled);
    EXPECT_EQ(readFile(path), QByteArray("1301\r\n"));
    ASSERT_EQ(env.dialogs.shown.size(), 1u);
    EXPECT_EQ(env.dialogs.shown[0].text, QStringLiteral("old.csv は既にあります。\r\n置き換えますか？"));

    env.dialogs.files.push_back(path);
    env.dialogs.answers.push_back(Answer::Yes);
    EXPECT_EQ(cmdSAVE_Click(pf.st, env.services, {QStringLiteral("new")}), SaveOutcome::Saved);
    EXPECT_EQ(readFile(path), QByteArray("new\r\n"));
}

TEST_F(ResultFile, CancelOrMissingFolderWritesNothingAndSaysNothing)
{
    EXPECT_EQ(cmdSAVE_Click(pf.st, env.services, {QStringLiteral("x")}), SaveOutcome::Cancelled);
    QDir(vedat()).removeRecursively();
    env.dialogs.files.push_back(vedat() + QStringLiteral("/x.csv"));
    EXPECT_EQ(cmdSAVE_Click(pf.st, env.services, {QStringLiteral("x")}), SaveOutcome::Cancelled);
    EXPECT_TRUE(env.dialogs.shown.empty());
    EXPECT_EQ(env.dialogs.files.size(), 1u);   // the dialog was not even shown
}
