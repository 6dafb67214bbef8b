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

TEST(Cp932, RoundTripAndWidth)
{
    const QString name = QStringLiteral("新規銘柄　");
    const QByteArray bytes = toCp932(name);
    EXPECT_EQ(bytes.size(), 10);
    EXPECT_EQ(bytes.toHex(), QByteArray("90568b4b96c195bf8140"));
    EXPECT_EQ(fromCp932(bytes), name);
    EXPECT_EQ(cp932Width(QStringLiteral("ｱｲ①")), 4);   // half-width kana 1 byte each, ① is a CP932 extension
}
