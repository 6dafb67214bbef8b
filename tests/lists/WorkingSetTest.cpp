#include "ListsFixture.h"

#include "common/Cp932.h"
#include "lists/WorkingSet.h"

namespace velor::test {
namespace {

class WorkingSet : public ListsFixture {};

TEST_F(WorkingSet, UnknownCodeIsLeftOutButCounted)
{
    writeList("touroku.dat", " 1301 \r\n 9999 \r\n 1332 \r\n");
    PL222_Click(lists, 1);
    EXPECT_EQ(pf.st.WorkCount, 2);
    EXPECT_EQ(pf.st.WorkMissing, 1);
    EXPECT_EQ(pf.st.WorkSet, (std::vector<int16_t>{0, 3, 4}));
    EXPECT_EQ(view.lines, (QStringList{QStringLiteral(" 1301 極洋    (1)"), QStringLiteral(" 1332 日本水産  (1)")}));
    EXPECT_EQ(view.label, QStringLiteral("登録銘柄 / 2 ( 3 ) 銘柄"));
    EXPECT_EQ(pf.st.WorkKind, 1);
    EXPECT_EQ(pf.st.WorkTitle, QStringLiteral("登録銘柄"));
    EXPECT_EQ(pf.st.WorkFile, pf.program + QStringLiteral("touroku.dat"));
    EXPECT_EQ(pf.st.ListChoice, 1);
    EXPECT_FALSE(pf.st.AllStocks);
}

TEST_F(WorkingSet, AllStocksKeepsTheLastStock)
{
    pf.st.LastCode = 1332;
    pf.st.CurCode = 1001;
    PL222_Click(lists, 0);
    EXPECT_EQ(pf.st.CurCode, 1332);
    EXPECT_EQ(pf.st.WorkCount, 7);
    EXPECT_EQ(pf.st.WorkTitle, QStringLiteral("全銘柄"));
    EXPECT_TRUE(pf.st.AllStocks);
    EXPECT_EQ(view.label, QStringLiteral("全銘柄 / 7 ( 7 ) 銘柄"));
}

TEST_F(WorkingSet, WatchListMovesToItsFirstStock)
{
    pf.st.LastCode = 1332;
    writeList("touroku2.dat", "1333\r\n1301\r\n1332\r\n");
    PL222_Click(lists, 2);
    EXPECT_EQ(pf.st.CurCode, 1333);
    EXPECT_EQ(pf.st.WorkTitle, QStringLiteral("登録銘柄２"));
}

TEST_F(WorkingSet, ReloadKeepsTheLastStock)
{
    pf.st.LastCode = 1332;
    writeList("touroku3.dat", "1333\r\n1332\r\n");
    PL222_Click(lists, -3);
    EXPECT_EQ(pf.st.CurCode, 1332);
    EXPECT_EQ(pf.st.WorkKind, 3);
    EXPECT_EQ(pf.st.ListChoice, -3);
}

TEST_F(WorkingSet, ReloadWithAnUnknownLastStockMovesToTheFirst)
{
    pf.st.LastCode = 4000;
    writeList("touroku.dat", "1333\r\n1332\r\n");
    PL222_Click(lists, -1);
    EXPECT_EQ(pf.st.CurCode, 1333);
}

TEST_F(WorkingSet, MissingWatchListWarnsAndFallsBackToAllStocks)
{
    PL222_Click(lists, 2);
    ASSERT_EQ(env.dialogs.shown.size(), 1u);
    EXPECT_EQ(env.dialogs.shown[0].text, QStringLiteral("銘柄登録ファイル２：　") + pf.program + QStringLiteral("touroku2.dat がありません。"));
    EXPECT_EQ(env.dialogs.shown[0].icon, Icon::Warning);
    EXPECT_EQ(pf.st.WorkKind, 0);
    EXPECT_EQ(pf.st.WorkCount, 7);
    EXPECT_EQ(view.label, QStringLiteral("全銘柄 / 7 ( 7 ) 銘柄"));
}

TEST_F(WorkingSet, MissingFirstWatchListMessageHasNoNumber)
{
    PL222_Click(lists, 1);
    ASSERT_EQ(env.dialogs.texts().size(), 1);
    EXPECT_EQ(env.dialogs.texts()[0], QStringLiteral("銘柄登録ファイル：　") + pf.program + QStringLiteral("touroku.dat がありません。"));
}

TEST_F(WorkingSet, ResultFileHeadingBecomesATextLine)
{
    const QString path = pf.program + QStringLiteral("VEDAT/rank.csv");
    writeFile(path, toCp932(QStringLiteral("★値上がり率★　日= 20240110 15:30:00\r\n"
                                          "1332,\"日本水産 (1)\",5.5,100,110,90,105,12.3,↑\r\n"
                                          "1301,\"3D極洋 (1)\",1.,99,99,99,99,1,→\r\n")));
    env.dialogs.files.push_back(path);
    PL222_Click(lists, 4);
    EXPECT_EQ(env.dialogs.fileDialogDirs, QStringList{pf.program + QStringLiteral("VEDAT")});
    EXPECT_EQ(pf.st.WorkSet, (std::vector<int16_t>{0, -999, 4, 3}));
    EXPECT_EQ(pf.st.WorkText, QStringList{QStringLiteral("★値上がり率★　日= 20240110 15:30:00")});
    EXPECT_EQ(pf.st.CurCode, 1332);
    EXPECT_EQ(view.lines.value(0), QStringLiteral("★値上がり率★　日= 20240110 15:30:00"));
    EXPECT_EQ(view.label, QStringLiteral("rank.csv / 3 ( 3 ) 銘柄"));
    EXPECT_EQ(pf.st.WorkFile, path);
    EXPECT_EQ(pf.st.WorkKind, 4);

    // A reload reads the same file without asking.
    PL222_Click(lists, -4);
    EXPECT_EQ(env.dialogs.fileDialogDirs.size(), 1);
    EXPECT_EQ(pf.st.WorkCount, 3);
}

TEST_F(WorkingSet, ResultRowCodeIgnoresDigitsInTheName)
{
    const QString path = pf.program + QStringLiteral("VEDAT/digits.csv");
    writeFile(path, toCp932(QStringLiteral("1301,\"3D極洋 (1)\",1.,99,99,99,99,1,→\r\n")));
    env.dialogs.files.push_back(path);
    PL222_Click(lists, 4);
    EXPECT_EQ(pf.st.WorkSet, (std::vector<int16_t>{0, 3}));
    EXPECT_EQ(pf.st.WorkMissing, 0);
}

TEST_F(WorkingSet, CancelledResultDialogChangesNothing)
{
    writeList("touroku.dat", " 1301 \r\n");
    PL222_Click(lists, 1);
    PL222_Click(lists, 4);
    EXPECT_EQ(pf.st.WorkKind, 1);
    EXPECT_EQ(pf.st.ListChoice, 1);
    EXPECT_EQ(pf.st.WorkTitle, QStringLiteral("登録銘柄"));
    EXPECT_EQ(pf.st.WorkCount, 1);
}

TEST_F(WorkingSet, ResultFileWithoutStocksKeepsTheCurrentStock)
{
    const QString path = pf.program + QStringLiteral("VEDAT/empty.csv");
    writeFile(path, toCp932(QStringLiteral("見出し\r\n\r\n")));
    env.dialogs.files.push_back(path);
    pf.st.CurCode = 1301;
    PL222_Click(lists, 4);
    EXPECT_EQ(pf.st.CurCode, 1301);
    EXPECT_EQ(pf.st.WorkCount, 2);
    EXPECT_EQ(view.lines, (QStringList{QStringLiteral("見出し"), QString()}));
}

TEST_F(WorkingSet, NumbersMaySplitAtCommasAndBlanks)
{
    writeList("touroku.dat", "1301,1332 1333\r\n\r\n1400");
    auto numbers = readListNumbers(file("touroku.dat"));
    ASSERT_TRUE(numbers.has_value());
    EXPECT_EQ(*numbers, (std::vector<long long>{1301, 1332, 1333, 1400}));
}

TEST_F(WorkingSet, ZeroIsAnEmptyTextLine)
{
    writeList("touroku.dat", "0\r\n1301,,1332\r\n");
    PL222_Click(lists, 1);
    EXPECT_EQ(pf.st.WorkSet, (std::vector<int16_t>{0, -999, 3, -999, 4}));
    EXPECT_EQ(view.lines.value(0), QString());
    EXPECT_EQ(pf.st.CurCode, 1301);
}

TEST_F(WorkingSet, RedrawsOnlyAfterStartUp)
{
    pf.st.Starting = true;
    PL222_Click(lists, 0);
    EXPECT_TRUE(env.shell.redraws().empty());
    pf.st.Starting = false;
    PL222_Click(lists, 0);
    EXPECT_EQ(env.shell.redraws(), std::vector<int>{1});
}

TEST_F(WorkingSet, FileMenuDoesNothingInTheMinutePeriod)
{
    pf.st.CurPeriod = 3;
    pf.st.WorkTitle = QStringLiteral("前のまま");
    F005_Click(lists, 0);
    EXPECT_EQ(pf.st.WorkTitle, QStringLiteral("前のまま"));
    EXPECT_EQ(pf.st.WorkCount, 0);
    pf.st.CurPeriod = 0;
    F005_Click(lists, 0);
    EXPECT_EQ(pf.st.WorkCount, 7);
}

} // namespace
} // namespace velor::test
