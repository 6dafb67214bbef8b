#include "ListsFixture.h"

#include "common/Utils.h"
#include "lists/WatchLists.h"
#include "lists/WorkingSet.h"

#include <algorithm>

namespace velor::test {
namespace {

class WatchLists : public ListsFixture {};

TEST_F(WatchLists, AddAppendsAndShowsTheList)
{
    writeList("touroku2.dat", " 1301 \r\n");
    EXPECT_EQ(addToWatchList(lists, 2, 1332), AddResult::Added);
    EXPECT_EQ(readFile(file("touroku2.dat")), QByteArray(" 1301 \r\n 1332 \r\n"));
    EXPECT_EQ(pf.st.WorkKind, 2);
    EXPECT_EQ(pf.st.CurCode, 1332);
    EXPECT_EQ(env.shell.redraws().back(), 1);
    EXPECT_EQ(view.label, QStringLiteral("登録銘柄２ / 2 ( 2 ) 銘柄"));
}

TEST_F(WatchLists, AddCreatesAMissingList)
{
    EXPECT_EQ(addToWatchList(lists, 3, 1301), AddResult::Added);
    EXPECT_EQ(readFile(file("touroku3.dat")), QByteArray(" 1301 \r\n"));
    EXPECT_TRUE(env.dialogs.shown.empty());
}

TEST_F(WatchLists, AddKeepsAHandTypedLastLineApart)
{
    writeList("touroku.dat", "1301");
    addToWatchList(lists, 1, 1332);
    EXPECT_EQ(readFile(file("touroku.dat")), QByteArray("1301\r\n 1332 \r\n"));
}

TEST_F(WatchLists, AddOfAListedStockBeepsAndChangesNothing)
{
    writeList("touroku.dat", " 1332 \r\n 1301 \r\n");
    pf.st.WorkTitle = QStringLiteral("前のまま");
    EXPECT_EQ(addToWatchList(lists, 1, 1301), AddResult::AlreadyListed);
    EXPECT_EQ(env.sound.beeps, 1);
    EXPECT_EQ(readFile(file("touroku.dat")), QByteArray(" 1332 \r\n 1301 \r\n"));
    EXPECT_EQ(pf.st.WorkTitle, QStringLiteral("前のまま"));
}

TEST_F(WatchLists, AddOfATextLineDoesNothing)
{
    EXPECT_EQ(addToWatchList(lists, 1, 0), AddResult::NoStock);
    EXPECT_FALSE(FileExist(file("touroku.dat")));
}

struct BeepCase { bool minuteBars; int beeps; };
class MainListBeep : public WatchLists, public ::testing::WithParamInterface<BeepCase> {};

TEST_P(MainListBeep, BeepsOnlyWithoutTheMinuteDisplay)
{
    writeList("touroku.dat", " 1301 \r\n 1332 \r\n");
    PL222_Click(lists, 1);
    view.setCurrentRow(1);
    pf.st.MinuteBarsOn = GetParam().minuteBars;
    F402_Click(lists, 1);
    EXPECT_EQ(env.sound.beeps, GetParam().beeps);
    EXPECT_EQ(readFile(file("touroku.dat")), QByteArray(" 1301 \r\n 1332 \r\n"));
}

INSTANTIATE_TEST_SUITE_P(MinuteDisplay, MainListBeep, ::testing::Values(BeepCase{true, 0}, BeepCase{false, 1}));

TEST_F(WatchLists, DeletingTheOnlyStockLeavesTheFile)
{
    writeList("touroku.dat", " 1301 \r\n");
    PL222_Click(lists, 1);
    view.setCurrentRow(0);
    DelM_Click(lists);
    EXPECT_EQ(readFile(file("touroku.dat")), QByteArray(" 1301 \r\n"));
    EXPECT_EQ(pf.st.WorkCount, 1);
}

TEST_F(WatchLists, DeleteRemovesEveryOccurrence)
{
    writeList("touroku3.dat", "1301\r\n1332\r\n1301\r\n");
    PL222_Click(lists, 3);
    view.setCurrentRow(2);
    DelM_Click(lists);
    EXPECT_EQ(readFile(file("touroku3.dat")), QByteArray(" 1332 \r\n"));
    EXPECT_EQ(pf.st.WorkKind, 3);
    EXPECT_EQ(view.lines, QStringList{QStringLiteral(" 1332 日本水産  (1)")});
}

TEST_F(WatchLists, DeleteOnATextLineBeepsAndKeepsTheFile)
{
    writeList("touroku.dat", "0\r\n1301\r\n1332\r\n");
    PL222_Click(lists, 1);
    view.setCurrentRow(0);
    DelM_Click(lists);
    EXPECT_EQ(env.sound.beeps, 1);
    EXPECT_EQ(readFile(file("touroku.dat")), QByteArray("0\r\n1301\r\n1332\r\n"));
}

TEST_F(WatchLists, DeleteBeepsWhenTheSetIsNoWatchList)
{
    PL222_Click(lists, 0);
    view.setCurrentRow(0);
    DelM_Click(lists);
    EXPECT_EQ(env.sound.beeps, 1);
}

TEST_F(WatchLists, DeleteFromAMissingListSaysSo)
{
    pf.st.WorkTitle = QStringLiteral("前のまま");
    EXPECT_EQ(removeFromWatchList(lists, 2, 1301), RemoveResult::Missing);
    EXPECT_EQ(env.dialogs.texts(), QStringList{QStringLiteral("銘柄登録ファイル２：　") + pf.program +
                                               QStringLiteral("touroku2.dat がありません。")});
    EXPECT_FALSE(FileExist(file("touroku2.dat")));
    EXPECT_EQ(pf.st.WorkTitle, QStringLiteral("前のまま"));
}

TEST_F(WatchLists, SortIsStableAndDropsIndexCodes)
{
    writeList("touroku.dat", "1332\r\n1301\r\n1332\r\n");
    writeList("touroku2.dat", " 1500 \r\n 0 \r\n 1001 \r\n 500 \r\n 1000 \r\n 1400 \r\n");
    writeList("touroku3.dat", "");
    pf.st.LastCode = 1332;
    FSORT_Click(lists);
    // The reload shows the last stock, and the current stock stays the one shown.
    EXPECT_EQ(pf.st.CurCode, 1332);
    EXPECT_EQ(readFile(file("touroku.dat")), QByteArray(" 1301 \r\n 1332 \r\n 1332 \r\n"));
    EXPECT_EQ(readFile(file("touroku2.dat")), QByteArray(" 1001 \r\n 1400 \r\n 1500 \r\n"));
    EXPECT_EQ(readFile(file("touroku3.dat")), QByteArray());
    EXPECT_EQ(pf.st.WorkKind, 1);
    EXPECT_EQ(pf.st.ListChoice, -1);
    EXPECT_TRUE(env.dialogs.shown.empty());
}

TEST_F(WatchLists, SortSaysWhichListIsMissingAndSortsTheOthers)
{
    writeList("touroku.dat", "1332\r\n1301\r\n");
    writeList("touroku3.dat", "1400\r\n1333\r\n");
    FSORT_Click(lists);
    EXPECT_EQ(env.dialogs.texts(), QStringList{QStringLiteral("銘柄登録ファイル２：　") + pf.program +
                                               QStringLiteral("touroku2.dat がありません。")});
    EXPECT_EQ(readFile(file("touroku3.dat")), QByteArray(" 1333 \r\n 1400 \r\n"));
    EXPECT_FALSE(FileExist(file("touroku2.dat")));
}

TEST_F(WatchLists, OpensTheListInTheEditor)
{
    writeList("touroku.dat", " 1301 \r\n");
    openWatchListInEditor(lists, 1);
    openWatchListInEditor(lists, 2);
    EXPECT_EQ(env.launcher.commands, (QStringList{QStringLiteral("editor ") + pf.program + QStringLiteral("touroku.dat"),
                                                  QStringLiteral("editor ") + pf.program + QStringLiteral("touroku2.dat")}));
    EXPECT_EQ(readFile(file("touroku2.dat")), QByteArray());
    EXPECT_TRUE(FileExist(file("touroku2.dat")));
}

// Some editors start a saved file with a byte-order mark; it hides no code, and sorting keeps them all.
TEST_F(WatchLists, AByteOrderMarkHidesNoCode)
{
    writeList("touroku.dat", "\xEF\xBB\xBF" "1333\r\n1301\r\n");
    PL222_Click(lists, 1);
    EXPECT_EQ(pf.st.WorkSet, (std::vector<int16_t>{0, 5, 3}));
    EXPECT_EQ(pf.st.WorkMissing, 0);
    EXPECT_TRUE(sortWatchList(lists, 1));
    EXPECT_EQ(readFile(file("touroku.dat")), QByteArray(" 1301 \r\n 1333 \r\n"));

    const QString result = pf.program + QStringLiteral("VEDAT/bom.csv");
    writeFile(result, "\xEF\xBB\xBF" "1332,x\r\n1301,y\r\n");
    env.dialogs.files.push_back(result);
    PL222_Click(lists, 4);
    EXPECT_EQ(pf.st.WorkSet, (std::vector<int16_t>{0, 4, 3}));
    EXPECT_EQ(pf.st.WorkText, QStringList());
}

// A list of 32,768 lines or more loses no code when sorted.
TEST_F(WatchLists, SortingAListOfFortyThousandLinesKeepsEveryCode)
{
    QByteArray list;
    std::vector<int> codes;
    for (int k = 0; k < 40000; ++k) {
        codes.push_back(1001 + (k * 7919) % 8999);
        list += QByteArray::number(codes.back()) + "\r\n";
    }
    writeList("touroku3.dat", list);
    EXPECT_TRUE(sortWatchList(lists, 3));
    std::sort(codes.begin(), codes.end());
    QByteArray expected;
    for (int c : codes) expected += ' ' + QByteArray::number(c) + " \r\n";
    EXPECT_EQ(readFile(file("touroku3.dat")), expected);
}

TEST_F(WatchLists, DeleteWorksAfterTheListWasReloadedByTheVolumeSwitch)
{
    // 分足オン/オフ toggle the volume switch, which reloads the list with a negative request.
    writeList("touroku.dat", " 1301 \r\n 1332 \r\n");
    PL222_Click(lists, 1);
    PL222_Click(lists, -1);
    ASSERT_EQ(pf.st.ListChoice, -1);
    view.setCurrentRow(0);
    DelM_Click(lists);
    EXPECT_EQ(env.sound.beeps, 0);
    EXPECT_EQ(readFile(file("touroku.dat")), QByteArray(" 1332 \r\n"));
    EXPECT_EQ(pf.st.WorkKind, 1);
}

} // namespace
} // namespace velor::test
