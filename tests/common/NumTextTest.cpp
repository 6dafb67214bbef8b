#include "common/Cp932.h"
#include "common/NumText.h"

#include <gtest/gtest.h>

using namespace velor;

TEST(NumText, PatternFormats)
{
    struct Case { double v; const char *pattern; const char *want; };
    const Case cases[] = {
        {10, "##0.##", "10."},
        {0.5, "##########.###", ".5"},
        {1234.56, "####.#", "1234.6"},
        {0, "####.#", "."},
        {100, "###0.0", "100.0"},
        {150.25, "###0.#", "150.3"},   // halves round away from zero
        {-3.5, "###0.0", "-3.5"},
        {1234567, "#,##0", "1,234,567"},
        {7.04, "#########.#", "7."},
        {99.5, "0%", "100%"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(formatPattern(c.v, QString::fromUtf8(c.pattern)), QString::fromUtf8(c.want)) << c.v << " " << c.pattern;
}

TEST(NumText, PrintFormAndShortestText)
{
    EXPECT_EQ(printForm(0.8), QStringLiteral(" .8 "));
    EXPECT_EQ(printForm(-0.25), QStringLiteral("-.25 "));
    EXPECT_EQ(printForm(1.0), QStringLiteral(" 1 "));
    EXPECT_EQ(printForm(-1.0), QStringLiteral("-1 "));
    EXPECT_EQ(printForm(1234.5), QStringLiteral(" 1234.5 "));
    EXPECT_EQ(printForm(0.0), QStringLiteral(" 0 "));
    EXPECT_EQ(printForm(12LL), QStringLiteral(" 12 "));

    EXPECT_EQ(singleText(1234.5f), QStringLiteral("1234.5"));
    EXPECT_EQ(singleText(810.0f), QStringLiteral("810"));
    EXPECT_EQ(singleText(0.1f), QStringLiteral("0.1"));
    EXPECT_EQ(singleText(33833.12f), QStringLiteral("33833.12"));
    EXPECT_EQ(doubleText(118300), QStringLiteral("118300"));
    EXPECT_EQ(doubleText(1e20), QStringLiteral("100000000000000000000"));
    EXPECT_EQ(doubleText(0.000125), QStringLiteral("0.000125"));
    EXPECT_EQ(doubleText(-2.5), QStringLiteral("-2.5"));
}

TEST(NumText, SingleTextHasAtMostSevenSignificantDigitsAndPatternsRoundFromTheDecimalDigits)
{
    // Shortest round trips that need eight or nine digits print as a single does: seven.
    const std::pair<float, const char *> singles[] = {
        {70451694.f / 10000.f, "7045.169"}, {1.0f / 3.0f, "0.3333333"}, {16777217.f, "16777220"},
        {-2.0f / 3.0f, "-0.6666667"},       {123456.7f, "123456.7"},     {1e-9f, "0.000000001"},
        {0.1f, "0.1"},                       {33833.12f, "33833.12"},     {3e10f, "30000000000"},
    };
    for (const auto &[v, want] : singles) EXPECT_EQ(singleText(v), QString::fromLatin1(want)) << want;
    EXPECT_EQ(printForm(70451694.0 / 10000), QStringLiteral(" 7045.169 "));

    struct Case { double v; const char *pattern; const char *want; };
    const Case cases[] = {
        {979902949090.94849, "##########.###", "979902949090.948"},   // x1000 in double gives ...949
        {979902949090.9995, "##########.###", "979902949091."},       // the carry runs into the whole part
        {0.0005, "#.###", ".001"},      // the double is a hair above the half
        {2.675, "#.##", "2.67"},        // and this one a hair below
        {1.5, "0", "2"}, {2.5, "0", "3"}, {-0.5, "#.#", "-.5"}, {-0.04, "#.#", "."},
        {99.95, "##0.0", "100.0"},      // 99.9500000000000028...
        {1e20, "#", "100000000000000000000"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(formatPattern(c.v, QString::fromUtf8(c.pattern)), QString::fromUtf8(c.want)) << c.v << " " << c.pattern;
}

TEST(Cp932, RoundTripAndWidth)
{
    const QString name = QStringLiteral("新規銘柄　");
    const QByteArray bytes = toCp932(name);
    EXPECT_EQ(bytes.size(), 10);
    EXPECT_EQ(bytes.toHex(), QByteArray("90568b4b96c195bf8140"));
    EXPECT_EQ(fromCp932(bytes), name);
    EXPECT_EQ(cp932Width(QStringLiteral("ｱｲ①")), 4);   // half-width kana 1 byte each, ① is a CP932 extension
}

// The converters are kept between calls: what one call leaves unfinished must not reach the next.
TEST(Cp932, EachCallStandsAlone)
{
    const QByteArray cut("\x82\xa0" "ab\x82", 5);   // ends inside a two-byte character
    EXPECT_EQ(fromCp932(cut), QStringLiteral("あab"));
    EXPECT_EQ(fromCp932(QByteArray("\xb1\x82\xa2", 3)), QStringLiteral("ｱい"));
    EXPECT_EQ(fromCp932("C:\\~x"), QStringLiteral("C:\\~x"));
    EXPECT_EQ(toCp932(QStringLiteral("a\u20acb")), QByteArray("a?b"));   // no CP932 form
    EXPECT_EQ(toCp932(QStringView(u"a\0b", 3)), QByteArray("a?b"));
    EXPECT_EQ(toCp932(QStringLiteral("い")), QByteArray("\x82\xa2"));
}
