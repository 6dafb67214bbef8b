// velor search / velor watch on a program folder.
#include "ListsFixture.h"

#include "app/CommandLine.h"
#include "common/Utils.h"

namespace velor::test {
namespace {

class ListsCommands : public ListsFixture {
protected:
    int run(const QStringList &args)
    {
        auto o = parseCommandLine(QStringList{QStringLiteral("velor"), QStringLiteral("--home"), pf.program} + args);
        if (!o) return -1;
        return runCommand(*o, pf.program);
    }
};

TEST_F(ListsCommands, SearchPrintsTheWindowsLines)
{
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(run({QStringLiteral("search"), QStringLiteral("日本")}), 0);
    EXPECT_EQ(QString::fromStdString(::testing::internal::GetCapturedStdout()),
              QStringLiteral("1332  日本水産       (1)\n=== 検索の終了 ===\n"));
}

TEST_F(ListsCommands, WatchListPrintsTheCodes)
{
    writeList("touroku2.dat", " 1332 \r\n0\r\n1301, 9999\r\n");
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(run({QStringLiteral("watch"), QStringLiteral("list"), QStringLiteral("2")}), 0);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), std::string("1332\n1301\n9999\n"));
}

TEST_F(ListsCommands, WatchAddRemoveAndSortRewriteTheFiles)
{
    writeList("touroku.dat", " 1332 \r\n");
    EXPECT_EQ(run({QStringLiteral("watch"), QStringLiteral("add"), QStringLiteral("1"), QStringLiteral("1301")}), 0);
    EXPECT_EQ(readFile(file("touroku.dat")), QByteArray(" 1332 \r\n 1301 \r\n"));
    EXPECT_EQ(run({QStringLiteral("watch"), QStringLiteral("add"), QStringLiteral("1"), QStringLiteral("1301")}), 0);
    EXPECT_EQ(readFile(file("touroku.dat")), QByteArray(" 1332 \r\n 1301 \r\n"));
    writeList("touroku2.dat", "1400\r\n1333\r\n");
    writeList("touroku3.dat", "1500\r\n");
    EXPECT_EQ(run({QStringLiteral("watch"), QStringLiteral("sort")}), 0);
    EXPECT_EQ(readFile(file("touroku.dat")), QByteArray(" 1301 \r\n 1332 \r\n"));
    EXPECT_EQ(readFile(file("touroku2.dat")), QByteArray(" 1333 \r\n 1400 \r\n"));
    EXPECT_EQ(run({QStringLiteral("watch"), QStringLiteral("remove"), QStringLiteral("1"), QStringLiteral("1332")}), 0);
    EXPECT_EQ(readFile(file("touroku.dat")), QByteArray(" 1301 \r\n"));
    EXPECT_EQ(run({QStringLiteral("watch"), QStringLiteral("remove"), QStringLiteral("1"), QStringLiteral("1301")}), 0);
    EXPECT_EQ(readFile(file("touroku.dat")), QByteArray(" 1301 \r\n"));
}

struct FailCase { const char *name; QStringList args; int code; };
class ListsCommandFailures : public ListsCommands, public ::testing::WithParamInterface<FailCase> {};

TEST_P(ListsCommandFailures, ReportAndReturnTheirCode)
{
    EXPECT_EQ(run(GetParam().args), GetParam().code);
    EXPECT_FALSE(FileExist(file("touroku2.dat")));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ListsCommandFailures,
    ::testing::Values(FailCase{"unknownCode", {"watch", "add", "2", "9999"}, 1},
                      FailCase{"missingListToRemoveFrom", {"watch", "remove", "2", "1301"}, 1},
                      FailCase{"missingListToPrint", {"watch", "list", "2"}, 1},
                      FailCase{"listNumberOutOfRange", {"watch", "add", "4", "1301"}, 2},
                      FailCase{"codeNotANumber", {"watch", "add", "2", "x"}, 2},
                      FailCase{"noVerb", {"watch"}, 2},
                      FailCase{"searchWithoutKeyword", {"search"}, 2}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace velor::test
