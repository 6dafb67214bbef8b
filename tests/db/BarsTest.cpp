#include "db/Bars.h"
#include "db/PriceFile.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace velor;

namespace {

// The documented three-day example file.
QByteArray exampleFile()
{
    QByteArray f = "3,2,2\r\n"
                   "20240105,1520,1545,1511,1530,118300\r\n"
                   "20240104,1500,1525,1490,1512,98000\r\n"
                   "20231229,1490,1510,1482,1500,75600\r\n";
    for (int i = 5; i <= 301; ++i) f += "0,0,0,0,0,0\r\n";
    for (int s = 0; s < 2; ++s) {
        f += "20240105,1500,1545,1490,1530,216300\r\n20231229,1490,1510,1482,1500,75600\r\n";
        for (int i = 0; i < 298; ++i) f += "0,0,0,0,0,0\r\n";
    }
    return f;
}

} // namespace

TEST(Bars, KdopnOnTheExampleFile)
{
    test::ProgramFolder pf;
    pf.writeMaster({{1301, QStringLiteral("極洋"), 1}});
    test::writeFile(pf.data + "1301.csv", exampleFile());
    test::TestEnv env;
    State &st = pf.st;
    st.CurCode = 1301;

    KDOPN(st, env.services, 1);
    EXPECT_EQ(st.BarCount, 3);
    EXPECT_EQ(st.BarDate[1], 20240105);
    EXPECT_EQ(st.BarDate[2], 0);                       // only one line read
    EXPECT_DOUBLE_EQ(st.CurTurnover, 1530.0 * 118300);

    KDOPN(st, env.services, 300);
    EXPECT_EQ(st.BarCount, 3);
    EXPECT_EQ(st.BarDate[3], 20231229);
    EXPECT_FLOAT_EQ(st.BarLow[2], 1490);
    EXPECT_DOUBLE_EQ(st.BarVolume[2], 98000);
    EXPECT_EQ(st.BarDate[4], 0);
    st.BarOffset = 1;
    KDOPN(st, env.services, 300);
    EXPECT_DOUBLE_EQ(st.CurTurnover, 1512.0 * 98000);  // the reference bar moves with BarOffset
    st.BarOffset = 0;

    st.CurPeriod = 1;
    KDOPN(st, env.services, 300);
    EXPECT_EQ(st.BarCount, 2);
    EXPECT_DOUBLE_EQ(st.BarVolume[1], 216300);
    st.CurPeriod = 2;
    KDOPN(st, env.services, 2);
    EXPECT_EQ(st.BarCount, 2);
    EXPECT_EQ(st.BarDate[2], 20231229);
    EXPECT_TRUE(env.shell.messages().isEmpty());
}

TEST(Bars, LongSectionsAreSkippedByTheLargerCount)
{
    test::ProgramFolder pf;
    pf.writeMaster({{1301, QStringLiteral("極洋"), 1}});
    QByteArray f = "350,300,12\r\n";
    for (int i = 0; i < 350; ++i) f += "20200101,1,1,1,1,1\r\n";
    for (int i = 0; i < 300; ++i) f += "20200102,2,2,2,2,2\r\n";
    for (int i = 0; i < 12; ++i) f += QByteArray::number(20230100 + i + 1) + ",3,3,3,3,3\r\n";
    test::writeFile(pf.data + "1301.csv", f);
    test::TestEnv env;
    pf.st.CurCode = 1301;
    pf.st.CurPeriod = 2;
    KDOPN(pf.st, env.services, 300);
    EXPECT_EQ(pf.st.BarCount, 12);
    EXPECT_EQ(pf.st.BarDate[1], 20230101);
    EXPECT_EQ(pf.st.BarDate[12], 20230112);
    EXPECT_FLOAT_EQ(pf.st.BarClose[12], 3);
}

TEST(Bars, MissingAndBrokenFilesLoadNothing)
{
    test::ProgramFolder pf;
    pf.writeMaster({{1301, QStringLiteral("極洋"), 1}, {1332, QStringLiteral("日水"), 1}});
    test::TestEnv env;
    env.shell.prependMessage("old\r\n");
    pf.st.CurCode = 1301;
    pf.st.BarCount = 7;
    KDOPN(pf.st, env.services, 2);
    EXPECT_EQ(pf.st.BarCount, 0);
    EXPECT_EQ(env.shell.messages(), QStringLiteral("銘柄:1301:極洋") + QString(8, ' ') + QStringLiteral(" のデータファイルがありません\r\nold\r\n"));

    struct Case { const char *what; QByteArray file; int line; };
    const Case cases[] = {
        {"short", "3,3,3\r\n20240105,1,1,1,1,1\r\n", 3},
        {"malformed bar", "2,1,1\r\n20240105,1,1,1,1,1\r\n20240104,1,x,1,1,1\r\n", 3},
        {"bad header", "a,b\r\n", 1},
        {"empty", "", 1},
    };
    for (const auto &c : cases) {
        test::writeFile(pf.data + "1332.csv", c.file);
        env.shell.clearMessages();
        pf.st.CurCode = 1332;
        KDOPN(pf.st, env.services, 300);
        EXPECT_EQ(pf.st.BarCount, 0) << c.what;
        EXPECT_EQ(env.shell.messages(), QStringLiteral("銘柄:1332:日水") + QString(8, ' ') + QStringLiteral(" のデータファイル ") + pf.data +
                                             QStringLiteral("1332.csv の %1 行目が読めません\r\n").arg(c.line))
            << c.what;
        EXPECT_EQ(test::readFile(pf.data + "1332.csv"), c.file) << c.what;   // nothing rewritten
    }
}

TEST(PriceFile, WritesTheDocumentedLayout)
{
    QTemporaryDir dir;
    PriceSections s;
    s[0] = {{20240105, 1520, 1545, 1511, 1530.5f, 118300}};
    s[1] = s[0];
    s[2] = s[0];
    ASSERT_TRUE(writePriceFile(dir.path() + "/1301.csv", s).has_value());
    const QByteArray bytes = test::readFile(dir.path() + "/1301.csv");
    const QList<QByteArray> lines = bytes.split('\n');
    EXPECT_EQ(lines.size(), 902);   // 901 lines and the empty rest after the last CR LF
    EXPECT_EQ(lines[0], "1,1,1\r");
    EXPECT_EQ(lines[1], "20240105,1520,1545,1511,1530.5,118300\r");
    EXPECT_EQ(lines[2], "0,0,0,0,0,0\r");
    EXPECT_EQ(lines[301], "20240105,1520,1545,1511,1530.5,118300\r");
    EXPECT_EQ(lines[601], "20240105,1520,1545,1511,1530.5,118300\r");
    auto back = readPriceFile(dir.path() + "/1301.csv");
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ((*back)[2].size(), 1u);
    EXPECT_FLOAT_EQ((*back)[2][0].close, 1530.5f);
}

// Sections may be longer than 300 lines; the loader never counts more bars than its tables
// hold, and a count past 16 bits in another section still skips that whole section.
TEST(Bars, CountsBeyondTheTablesAreClampedToThem)
{
    test::ProgramFolder pf;
    pf.writeMaster({{1301, QStringLiteral("極洋"), 1}, {1302, QStringLiteral("X"), 1}});
    QByteArray longDaily = "2000,2,1\r\n";
    for (int i = 0; i < 2000; ++i) longDaily += "20240105,1,1,1,1,1\r\n";
    QByteArray hugeDaily = "40000,2,1\r\n";
    for (int i = 0; i < 40000; ++i) hugeDaily += "20240105,1,1,1,1,1\r\n";
    for (QByteArray *f : {&longDaily, &hugeDaily}) {
        *f += "20240105,1500,1545,1490,1530,216300\r\n20231229,1490,1510,1482,1500,75600\r\n";
        for (int i = 0; i < 298; ++i) *f += "0,0,0,0,0,0\r\n";
        *f += "20240105,1500,1545,1490,1530,216300\r\n";
        for (int i = 0; i < 299; ++i) *f += "0,0,0,0,0,0\r\n";
    }
    test::writeFile(pf.data + "1301.csv", longDaily);
    test::writeFile(pf.data + "1302.csv", hugeDaily);
    test::TestEnv env;
    State &st = pf.st;
    st.CurCode = 1301;
    KDOPN(st, env.services, 300);
    EXPECT_EQ(st.BarCount, 1601);
    EXPECT_EQ(int(st.BarDate.size()), 1603);
    st.CurCode = 1302;
    st.CurPeriod = 1;
    KDOPN(st, env.services, 300);
    EXPECT_EQ(st.BarCount, 2);
    EXPECT_EQ(st.BarDate[1], 20240105);
    EXPECT_DOUBLE_EQ(st.BarVolume[1], 216300);
    st.CurPeriod = 2;
    KDOPN(st, env.services, 300);
    EXPECT_EQ(st.BarCount, 1);
    EXPECT_DOUBLE_EQ(st.BarVolume[1], 216300);
    EXPECT_EQ(env.shell.messages(), QString());
}
