#include "common/StockCode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using namespace velor;

TEST(StockCode, TextsAreReadAndWrittenBackExactly)
{
    // Text in, whether it is a code, and for a code with letters that it is one.
    struct Case { const char *text; bool code; bool letter; };
    const Case cases[] = {
        {"1301", true, false}, {"1001", true, false}, {"9999", true, false}, {"5", true, false},
        {"130A", true, true},  {"9A76", true, true},  {"9A7A", true, true},  {"2G14", true, true},
        {"1Y9Y", true, true},  {"0", false, false},   {"0000", false, false}, {"10000", false, false},
        {"130B", false, false}, {"130E", false, false}, {"130I", false, false}, {"130O", false, false},
        {"130Q", false, false}, {"130V", false, false}, {"130Z", false, false}, {"13A0", false, false},
        {"A301", false, false}, {"0A01", false, false}, {"130a", false, false}, {"130A ", false, false},
        {"130", true, false},  {"30A", false, false},  {"130AA", false, false}, {"", false, false},
        {"-130", false, false}, {"+130", false, false}, {"１３０Ａ", false, false}};
    for (const Case &c : cases) {
        const auto code = codeFromText(QStringView(QString::fromUtf8(c.text)));
        ASSERT_EQ(code.has_value(), c.code) << c.text;
        if (!code) continue;
        EXPECT_TRUE(isStockCode(*code)) << c.text;
        EXPECT_EQ(hasLetter(*code), c.letter) << c.text;
        EXPECT_LT(*code, kCodeSpace) << c.text;
        EXPECT_EQ(codeText(*code), QString::fromUtf8(c.text)) << c.text;
        EXPECT_EQ(codeBytes(*code), QByteArray(c.text)) << c.text;
        EXPECT_EQ(codeFromText(std::string_view(c.text)), code) << c.text;
    }
    // Digit codes keep their value; a user may type lower case and blanks.
    EXPECT_EQ(codeFromText(std::string_view("1301")), 1301);
    EXPECT_EQ(codeFromInput(QStringLiteral(" 130a ")), codeFromText(std::string_view("130A")));
    EXPECT_EQ(codeFromInput(QStringLiteral("130b")), std::nullopt);
    // Numbers that are no code have no text of letters and are not codes.
    for (const int n : {0, -1, 10000, kCodeSpace - 1, kCodeSpace, 20000000}) EXPECT_FALSE(isStockCode(n)) << n;
}

TEST(StockCode, EveryCodeWithLettersReadsBackAndNoOtherNumberIsOne)
{
    int letterCodes = 0;
    for (int n = kLetterCodeBase; n < kCodeSpace; ++n) {
        if (!isStockCode(n)) continue;
        ++letterCodes;
        ASSERT_EQ(codeFromText(std::string_view(codeBytes(n).constData(), 4)), n) << n;
    }
    // First place 1-9, second a digit or one of 19 letters, third a digit, fourth a digit or a
    // letter, at least one letter: 9 * 29 * 10 * 29 - 9000 codes of digits only.
    EXPECT_EQ(letterCodes, 9 * 29 * 10 * 29 - 9000);
}

TEST(StockCode, CodesSortAsTheExchangeListsThem)
{
    const char *listed[] = {"1", "999", "1001", "1002", "1301", "130A", "130C", "1310", "1399", "13A0", "13Y9",
                            "1400", "1999", "1A00", "1A0A", "1A10", "1Y99", "2000", "9999", "9A76", "9A7A", "9Y9Y"};
    std::vector<int> codes;
    for (const char *t : listed) {
        const auto c = codeFromText(std::string_view(t));
        if (std::string_view(t) == "13A0" || std::string_view(t) == "13Y9") {
            EXPECT_FALSE(c.has_value()) << t;   // no letter in the third place
            continue;
        }
        ASSERT_TRUE(c.has_value()) << t;
        codes.push_back(*c);
    }
    for (size_t i = 1; i < codes.size(); ++i)
        EXPECT_TRUE(codeLess(codes[i - 1], codes[i])) << codeText(codes[i - 1]).toStdString() << " < " << codeText(codes[i]).toStdString();
    std::vector<int> shuffled(codes.rbegin(), codes.rend());
    std::sort(shuffled.begin(), shuffled.end(), codeLess);
    EXPECT_EQ(shuffled, codes);
}
