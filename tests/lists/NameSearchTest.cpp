#include "ListsFixture.h"

#include "lists/NameSearch.h"

namespace velor::test {
namespace {

struct SearchCase { const char *name; const char16_t *keyword; QStringList expected; };
class NameSearch : public ::testing::TestWithParam<SearchCase> {};

TEST_P(NameSearch, ListsMatchesAndTheEndLine)
{
    ProgramFolder pf;
    writeSmallMaster(pf);
    EXPECT_EQ(searchNames(pf.st, QString::fromUtf16(GetParam().keyword)), GetParam().expected);
}

const QString kEnd = QStringLiteral("=== 検索の終了 ===");

INSTANTIATE_TEST_SUITE_P(
    Keywords, NameSearch,
    ::testing::Values(
        SearchCase{"matchesInMasterOrder", u"日",
                   {QStringLiteral("1001  日経平均       (0)"), QStringLiteral("1332  日本水産       (1)"), kEnd}},
        SearchCase{"wholeSixCharacterNameIsNotFound", u"マルハニチロ", {kEnd}},
        SearchCase{"sixthCharacterIsNotFound", u"ロ", {kEnd}},
        SearchCase{"firstFiveCharactersAreFound", u"ハニチ", {QStringLiteral("1333  マルハニチ      (1)"), kEnd}},
        SearchCase{"beyondFiveAsciiIsNotFound", u"F", {kEnd}},
        SearchCase{"caseSensitive", u"abc", {kEnd}},
        SearchCase{"paddingIsPartOfTheField", u"ABCDE ", {QStringLiteral("1500  ABCDE      (2)"), kEnd}},
        SearchCase{"emptyKeywordDoesNothing", u"", {}}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace velor::test
