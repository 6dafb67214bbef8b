#include "ListsFixture.h"

#include "lists/StockList.h"
#include "lists/WatchLists.h"
#include "lists/WorkingSet.h"

namespace velor::test {
namespace {

class StockList : public ListsFixture {
protected:
    // A result-file-like set: a heading, 1332, 1301.
    void loadHeadingSet()
    {
        writeList("touroku.dat", "0\r\n1332\r\n1301\r\n");
        pf.st.Starting = true;   // no draw of its own
        PL222_Click(lists, 1);
        pf.st.Starting = false;
        env.shell.clearMessages();
    }
};

TEST_F(StockList, LineAndLabelFormats)
{
    EXPECT_EQ(listLine(pf.st, 5), QStringLiteral(" 1333 マルハニチ (1)"));
    EXPECT_EQ(listLine(pf.st, 7), QStringLiteral(" 1500 ABCDE (2)"));
    pf.st.WorkTitle = QStringLiteral("登録銘柄");
    pf.st.WorkCount = 25;
    pf.st.WorkMissing = 2;
    EXPECT_EQ(listLabel(pf.st), QStringLiteral("登録銘柄 / 25 ( 27 ) 銘柄"));
}

TEST_F(StockList, SyncSelectsTheRowOfTheCurrentStock)
{
    loadHeadingSet();
    pf.st.CurCode = 1301;
    syncListToCurrent(lists);
    EXPECT_EQ(view.row, 2);
    EXPECT_EQ(pf.st.CurIndex, 3);
    EXPECT_EQ(view.code, QStringLiteral("1301"));
    EXPECT_FALSE(pf.st.ListSyncing);
    EXPECT_EQ(env.shell.messages(), QString());
}

TEST_F(StockList, SyncFallsBackToAllStocks)
{
    loadHeadingSet();
    pf.st.VolFilterOn = true;
    pf.st.CurCode = 1400;
    syncListToCurrent(lists);
    EXPECT_EQ(env.shell.messages(),
              QStringLiteral("★この銘柄 (1400)はリストボックスにありません。全銘柄をロードして再検索します★\r\n"));
    EXPECT_EQ(pf.st.WorkKind, 0);
    EXPECT_EQ(pf.st.WorkCount, 7);
    EXPECT_EQ(pf.st.WorkMissing, 0);
    EXPECT_EQ(view.label, QStringLiteral("全銘柄 / 7 ( 7 ) 銘柄"));
    EXPECT_FALSE(pf.st.VolFilterOn);
    EXPECT_EQ(view.volumeCaption, QStringLiteral("出来高制限無"));
    EXPECT_EQ(view.row, 5);
    EXPECT_EQ(view.code, QStringLiteral("1400"));
}

TEST_F(StockList, ClickShowsTheStockOfTheRow)
{
    loadHeadingSet();
    env.shell.prependMessage(QStringLiteral("前の表示"));
    List1_LeftClick(lists, 1);
    EXPECT_EQ(pf.st.CurCode, 1332);
    EXPECT_EQ(pf.st.CurIndex, 4);
    EXPECT_EQ(env.shell.messages(), QString());
    EXPECT_EQ(env.shell.redraws(), std::vector<int>{1});
}

TEST_F(StockList, ClickOnATextLineOrWhileSyncingDoesNothing)
{
    loadHeadingSet();
    pf.st.CurCode = 1001;
    List1_LeftClick(lists, 0);
    pf.st.ListSyncing = true;
    List1_LeftClick(lists, 1);
    pf.st.ListSyncing = false;
    List1_LeftClick(lists, 3);   // beyond the last row
    EXPECT_EQ(pf.st.CurCode, 1001);
    EXPECT_TRUE(env.shell.redraws().empty());
}

TEST_F(StockList, PopupOnlyOutsideTheMinutePeriod)
{
    pf.st.CurPeriod = 3;
    EXPECT_FALSE(listPopupAllowed(pf.st));
    pf.st.CurPeriod = 2;
    EXPECT_TRUE(listPopupAllowed(pf.st));
}

struct CodeCase { const char *typed; int shownCode; const char16_t *message; };
class CodeEntry : public StockList, public ::testing::WithParamInterface<CodeCase> {};

TEST_P(CodeEntry, EnterShowsAKnownCodeOrSaysItIsUnknown)
{
    const CodeCase &c = GetParam();
    pf.st.CurCode = 1001;
    view.code = QString::fromUtf8(c.typed);
    txtCODE_Enter(lists);
    if (c.shownCode != 0) {
        EXPECT_EQ(pf.st.CurCode, c.shownCode);
        EXPECT_EQ(env.shell.redraws(), std::vector<int>{1});
        EXPECT_TRUE(env.dialogs.shown.empty());
    } else {
        EXPECT_EQ(pf.st.CurCode, 1001);
        EXPECT_TRUE(env.shell.redraws().empty());
        ASSERT_EQ(env.dialogs.shown.size(), 1u);
        EXPECT_EQ(env.dialogs.shown[0].text, QString::fromUtf16(c.message));
        EXPECT_EQ(env.dialogs.shown[0].icon, Icon::Error);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Typed, CodeEntry,
    ::testing::Values(CodeCase{"1332", 1332, u""}, CodeCase{" 1301x", 1301, u""},
                      CodeCase{"", 0, u"このコード(0)の銘柄はありません。"},
                      CodeCase{"9999", 0, u"このコード(9999)の銘柄はありません。"},
                      CodeCase{"123456", 0, u"このコード(123456)の銘柄はありません。"},
                      CodeCase{"abc", 0, u"このコード(0)の銘柄はありません。"}));

TEST_F(StockList, CodesWithLettersAreTypedListedAndSortedInTheExchangesOrder)
{
    const int a = *codeFromText(std::string_view("130A")), y = *codeFromText(std::string_view("9Y9Y"));
    pf.writeMaster({{1001, QStringLiteral("日経平均"), 0}, {1301, QStringLiteral("極洋"), 1}, {a, QStringLiteral("新興"), 1},
                    {1332, QStringLiteral("日本水産"), 1}, {y, QStringLiteral("末尾"), 2}});
    EXPECT_EQ(listLine(pf.st, 3), QStringLiteral(" 130A 新興    (1)"));
    struct Typed { const char *text; int shown; const char16_t *message; };
    const Typed cases[] = {{"130a", a, u""}, {" 9Y9Y ", y, u""}, {"131A", 0, u"このコード(131A)の銘柄はありません。"},
                           {"130B", 0, u"このコード(130)の銘柄はありません。"}};
    for (const Typed &c : cases) {
        pf.st.CurCode = 1001;
        env.dialogs.shown.clear();
        view.code = QString::fromUtf8(c.text);
        txtCODE_Enter(lists);
        EXPECT_EQ(pf.st.CurCode, c.shown ? c.shown : 1001) << c.text;
        if (!c.shown) {
            ASSERT_EQ(env.dialogs.shown.size(), 1u) << c.text;
            EXPECT_EQ(env.dialogs.shown[0].text, QString::fromUtf16(c.message)) << c.text;
        }
    }
    // A hand-typed list in any order: codes with letters are read, sorted in place, written back
    // as the list writes them, and shown in the list's order.
    // 36922 is the number the program gives 130A inside; typed in a list it stays a number, no code.
    ASSERT_EQ(a, 36922);
    writeList("touroku2.dat", "36922\r\n9Y9Y,1332\r\n130A 1301\r\n");
    ASSERT_TRUE(sortWatchList(lists, 2));
    EXPECT_EQ(readFile(pf.st.ProgramDir + "touroku2.dat"),
              QByteArray(" 1301 \r\n 130A \r\n 1332 \r\n 9Y9Y \r\n 36922 \r\n"));
    pf.st.Starting = true;
    PL222_Click(lists, 2);
    EXPECT_EQ(view.lines, QStringList({QStringLiteral(" 1301 極洋    (1)"), QStringLiteral(" 130A 新興    (1)"),
                                       QStringLiteral(" 1332 日本水産  (1)"), QStringLiteral(" 9Y9Y 末尾    (2)")}));
    EXPECT_EQ(codeOfLine(view.lines[1]), a);
    EXPECT_EQ(pf.st.WorkMissing, 1);
}

struct StepCase { int startRow; int key; int endRow; int shownCode; };
class Stepping : public StockList, public ::testing::WithParamInterface<StepCase> {};

TEST_P(Stepping, F11AndF12MoveOneRow)
{
    writeList("touroku.dat", "1301\r\n1332\r\n1333\r\n");
    PL222_Click(lists, 1);
    pf.st.CurCode = 1001;
    view.setCurrentRow(GetParam().startRow);
    RHyouji_Click(lists, GetParam().key);
    EXPECT_EQ(view.row, GetParam().endRow);
    EXPECT_EQ(pf.st.CurCode, GetParam().shownCode);
}

INSTANTIATE_TEST_SUITE_P(Rows, Stepping,
                         ::testing::Values(StepCase{-1, 0, 0, 1301}, StepCase{0, 0, 1, 1332},
                                           StepCase{2, 0, 2, 1001}, StepCase{2, 1, 1, 1332},
                                           StepCase{0, 1, 0, 1001}, StepCase{-1, 1, -1, 1001}));

} // namespace
} // namespace velor::test
