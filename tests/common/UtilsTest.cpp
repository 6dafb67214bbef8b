#include "common/Utils.h"

#include <gtest/gtest.h>

using namespace velor;

TEST(Utils, GetNum)
{
    struct Case { const char *text; int n; double want; };
    const Case cases[] = {
        {"1,234.5円", 40, 1234.5},
        {"-12.5%", 40, -12.5},
        {"前日比 -3", 40, -3},
        {"文字だけ", 40, 0},
        {"", 10, 0},
        {" 1301 極洋", 10, 1301},
        {"12345678901", 5, 12345},          // only the first n characters count
        {"1.2.3", 40, 1.2},                 // stops where the kept characters stop forming a number
        {"3-4", 40, 3},
        {".5", 40, 0.5},
        {"---", 40, 0},
    };
    for (const auto &c : cases) EXPECT_DOUBLE_EQ(getNum(QString::fromUtf8(c.text), c.n), c.want) << c.text;
    // Characters past the first 40 are never read.
    EXPECT_DOUBLE_EQ(getNum(QString(40, 'x') + QStringLiteral("99"), 80), 0);
}

TEST(Utils, SmallHelpers)
{
    EXPECT_EQ(NumStr(1301), QStringLiteral("1301"));
    EXPECT_EQ(NumStr(-5), QStringLiteral("-5"));
    EXPECT_EQ(LngStr(20240105), QStringLiteral("20240105"));
    EXPECT_EQ(FileNameOf(QStringLiteral("C:\\kabu\\VEDAT\\a.txt")), QStringLiteral("a.txt"));
    EXPECT_EQ(FileNameOf(QStringLiteral("/home/u/touroku.dat")), QStringLiteral("touroku.dat"));
    EXPECT_EQ(FileNameOf(QStringLiteral("plain")), QStringLiteral("plain"));
    EXPECT_EQ(Mmax(350, 300), 350);
    EXPECT_EQ(Mmax(12, 300), 300);
    EXPECT_EQ(withTrailingSeparator(QStringLiteral("/data")), QStringLiteral("/data/"));
    EXPECT_EQ(withTrailingSeparator(QStringLiteral("/data/")), QStringLiteral("/data/"));
    EXPECT_EQ(pathIn(QStringLiteral("/p"), QStringLiteral("VELOR.ini")), QStringLiteral("/p/VELOR.ini"));
}
