#include "common/Cp932.h"
#include "import/ImportFixture.h"

using namespace velor;
using namespace velor::test;

namespace {
const QByteArray kDay9 = "2024-01-09,1001,0,33000,33100,32900,33050,2500000000\r\n"
                         "2024-01-09,1301,1,1535,1550,1528,1540,50000\r\n"
                         "2024-01-09,1302,1,1535,1550,1528,1540,0\r\n";
const QByteArray kDay10 = "2024/01/10,1001,0,33050,33200,33000,33150,3000000000\r\n"
                          "2024/01/10,1301,1,1545,1560,1530,1555,60000\r\n"
                          "2024/01/10,1302,2,1535,1550,1528,1540,50000\r\n";
QByteArray entry(int code, const QByteArray &name10, int section)
{
    QByteArray b;
    b += char(code & 0xff), b += char(code >> 8), b += name10, b += char(section & 0xff), b += char(section >> 8);
    return b;
}
const QByteArray kHeader = QByteArray::fromHex("2c01 2c01 2c01 000000000000");
} // namespace

TEST(DailyImport, TwoConsecutiveDaysBothLandOldestFirst)
{
    Market m;
    m.inbox("D240110.csv", kDay10);
    m.inbox("D240109.csv", kDay9);
    ASSERT_TRUE(m.run());
    EXPECT_EQ(m.price(1001), priceText("5,3,2",
                                       {"20240110,33050,33200,33000,33150,3000", "20240109,33000,33100,32900,33050,2500",
                                        "20240105,1520,1545,1511,1530,118300", "20240104,1500,1525,1490,1512,98000",
                                        "20231229,1490,1510,1482,1500,75600"},
                                       {"20240110,33000,33200,32900,33150,5500", "20240105,1500,1545,1490,1530,216300",
                                        "20231229,1490,1510,1482,1500,75600"},
                                       {"20240110,1500,33200,1490,33150,221800", "20231229,1490,1510,1482,1500,75600"}));
    EXPECT_EQ(m.price(1301), priceText("5,3,2",
                                       {"20240110,1545,1560,1530,1555,60000", "20240109,1535,1550,1528,1540,50000",
                                        "20240105,1520,1545,1511,1530,118300", "20240104,1500,1525,1490,1512,98000",
                                        "20231229,1490,1510,1482,1500,75600"},
                                       {"20240110,1535,1560,1528,1555,110000", "20240105,1500,1545,1490,1530,216300",
                                        "20231229,1490,1510,1482,1500,75600"},
                                       {"20240110,1500,1560,1490,1555,326300", "20231229,1490,1510,1482,1500,75600"}));
    // Zero volume on the 9th: flat bars at the previous close; the month keeps its values.
    EXPECT_EQ(m.price(1302), priceText("5,3,2",
                                       {"20240110,1535,1550,1528,1540,50000", "20240109,1530,1530,1530,1530,0",
                                        "20240105,1520,1545,1511,1530,118300", "20240104,1500,1525,1490,1512,98000",
                                        "20231229,1490,1510,1482,1500,75600"},
                                       {"20240110,1535,1550,1528,1540,50000", "20240105,1500,1545,1490,1530,216300",
                                        "20231229,1490,1510,1482,1500,75600"},
                                       {"20240110,1500,1550,1490,1540,266300", "20231229,1490,1510,1482,1500,75600"}));
    EXPECT_EQ(m.price(1303), exampleStock());   // not in the files: untouched
    EXPECT_EQ(readFile(m.data + "meigara.dat"),
              QByteArray::fromHex("0400") + kHeader + entry(1001, QByteArray::fromHex("93fa8c6f95bd8bcf2020"), 0) +
                  entry(1301, "ABCDE     ", 1) + entry(1302, QByteArray::fromHex("8bc9976d202020202020"), 2) +
                  entry(1303, "XYZ       ", 2));
    EXPECT_EQ(readFile(m.data + "VELOR.log"),
              QByteArray("20240110\x81\x46\x81\x40") +
                  toCp932(QStringLiteral("銘柄： 1302, 極洋         の部の変更。　1 → 2")) + "\r\n");
    EXPECT_EQ(m.env.shell.messages(), QStringLiteral("銘柄： 1302, 極洋         の部の変更。　1 → 2\r\n"
                                                     "20240110 のデータを追加しています\r\n"
                                                     "20240109 のデータを追加しています\r\n"));
    EXPECT_EQ(m.env.dialogs.texts(), QStringList{QStringLiteral("データの追加が終わりました")});
    EXPECT_EQ(m.env.dialogs.shown[0].icon, Icon::None);
    EXPECT_TRUE(m.inboxNames().isEmpty());
    EXPECT_EQ(m.st.DownloadState, 1);
    EXPECT_EQ(m.st.LastTradeDate, 20240110);
    EXPECT_EQ(m.st.StockSection[3], 2);
    // One redraw once the pass holding both days is written, one at the end.
    EXPECT_EQ(m.env.shell.redraws(), (std::vector<int>{1, 1}));
    EXPECT_FALSE(m.env.shell.progressVisible());
    EXPECT_EQ(m.env.shell.progressMax(), 4);
    EXPECT_FALSE(QFile::exists(m.data + "VELOR.jnl"));
}

TEST(DailyImport, TheSameFileTwiceIsRefusedTheSecondTime)
{
    Market m;
    m.inbox("a.csv", kDay9);
    m.inbox("b.csv", kDay9);
    ASSERT_TRUE(m.run());
    const QByteArray once = priceText("4,3,2",
                                      {"20240109,1535,1550,1528,1540,50000", "20240105,1520,1545,1511,1530,118300",
                                       "20240104,1500,1525,1490,1512,98000", "20231229,1490,1510,1482,1500,75600"},
                                      {"20240109,1535,1550,1528,1540,50000", "20240105,1500,1545,1490,1530,216300",
                                       "20231229,1490,1510,1482,1500,75600"},
                                      {"20240109,1500,1550,1490,1540,266300", "20231229,1490,1510,1482,1500,75600"});
    EXPECT_EQ(m.price(1301), once);
    EXPECT_EQ(m.env.dialogs.texts(),
              (QStringList{QStringLiteral("日： 20240109 のデータは既に格納されています。読み込みを中止します。"),
                           QStringLiteral("データの追加が終わりました")}));
    EXPECT_EQ(m.env.dialogs.shown[0].icon, Icon::Warning);
    EXPECT_TRUE(m.inboxNames().isEmpty());
    EXPECT_FALSE(QFile::exists(m.data + "VELOR.log"));
}

TEST(DailyImport, NewCodesAreInsertedInCodeOrder)
{
    Market m({{1001, QStringLiteral("日経平均"), 0}, {1301, QStringLiteral("AB"), 1}, {1305, QStringLiteral("CD"), 1}});
    m.put(1303, "stale");
    m.inbox("D240109.csv", "2024-01-09,1001,0,33000,33100,32900,33050,2500000000\r\n"
                           "2024-01-09,9999,3,10.5,11,10,10.5,700\r\n"
                           "2024-01-09,1303,2,500,510,490,505,0\r\n");
    ASSERT_TRUE(m.run());
    const QByteArray newName = QByteArray::fromHex("90568b4b96c195bf8140");
    EXPECT_EQ(readFile(m.data + "meigara.dat"),
              QByteArray::fromHex("0500") + kHeader + entry(1001, QByteArray::fromHex("93fa8c6f95bd8bcf2020"), 0) +
                  entry(1301, "AB        ", 1) + entry(1303, newName, 2) + entry(1305, "CD        ", 1) +
                  entry(9999, newName, 3));
    EXPECT_EQ(readFile(m.data + "VELOR.log"),
              "20240109\x81\x46\x81\x40" + newName.left(8) + "\x81\x46 9999, " + newName + "(3) \x82\xf0\x92\xc7\x89\xc1\x81\x42\r\n" +
                  "20240109\x81\x46\x81\x40" + newName.left(8) + "\x81\x46 1303, " + newName + "(2) \x82\xf0\x92\xc7\x89\xc1\x81\x42\r\n");
    EXPECT_EQ(m.price(9999), priceText("1,1,1", {"20240109,10.5,11,10,10.5,700"}, {"20240109,10.5,11,10,10.5,700"},
                                       {"20240109,10.5,11,10,10.5,700"}));
    EXPECT_EQ(m.price(1303), priceText("1,1,1", {"20240109,500,510,490,505,0"}, {"20240109,500,510,490,505,0"},
                                       {"20240109,500,510,490,505,0"}));
    EXPECT_EQ(m.env.shell.messages(), QStringLiteral("新規銘柄： 1303, 新規銘柄　(2) を追加。\r\n"
                                                     "新規銘柄： 9999, 新規銘柄　(3) を追加。\r\n"
                                                     "20240109 のデータを追加しています\r\n"));
    EXPECT_EQ(m.st.StockCount, 5);
}

TEST(DailyImport, RestoresTheCurrentStockAndPeriodAndPlaysTheSound)
{
    Market m;
    m.st.CurCode = 1301;
    m.st.CurPeriod = 1;
    m.st.DoneSound = 1;
    writeFile(m.program + "DONE.wav", "RIFF");
    m.inbox("D240109.csv", kDay9);
    ASSERT_TRUE(m.run());
    EXPECT_EQ(m.st.CurCode, 1301);
    EXPECT_EQ(m.st.CurPeriod, 1);
    EXPECT_EQ(m.st.LastTradeDate, 20240109);
    EXPECT_EQ(m.st.BarDate[2], 20240105);   // the weekly bars of 1301 are loaded
    EXPECT_EQ(m.env.sound.played, QStringList{m.program + "DONE.wav"});
    EXPECT_FALSE(m.st.ImportRunning);
}

TEST(DailyImport, DownloadModeKeepsTheMessagePane)
{
    Market m;
    m.env.shell.prependMessage("before\r\n");
    m.st.DownloadState = -1;
    m.inbox("D240109.csv", kDay9);
    ASSERT_TRUE(m.run());
    EXPECT_EQ(m.env.shell.messages(), QStringLiteral("20240109 のデータを追加しています\r\nbefore\r\n"));
    EXPECT_EQ(m.st.DownloadState, 1);
}
