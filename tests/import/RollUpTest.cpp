#include "import/RollUp.h"

#include "import/ImportFixture.h"
#include "import/ImportPass.h"
#include "import/ImportTestData.h"

#include <QDate>
#include <random>
#include <string>
#include <gtest/gtest.h>

using namespace velor;
using velor::test::priceText;

namespace {

DailyFile dayOf(const QByteArray &csv)
{
    auto f = parseDailyFile(csv, "d.csv");
    EXPECT_TRUE(f.has_value());
    return f.value_or(DailyFile{});
}

// The stored example: three days, two weeks, two months.
const QByteArray kStock = priceText("3,2,2",
                                    {"20240105,1520,1545,1511,1530,118300", "20240104,1500,1525,1490,1512,98000",
                                     "20231229,1490,1510,1482,1500,75600"},
                                    {"20240105,1500,1545,1490,1530,216300", "20231229,1490,1510,1482,1500,75600"},
                                    {"20240105,1500,1545,1490,1530,216300", "20231229,1490,1510,1482,1500,75600"});
const std::vector<int32_t> kCalendar = {20240105, 20240104, 20231229};

} // namespace

TEST(RollUp, NewWeekSameMonthStoresPriceTextsInShortestForm)
{
    const DailyFile d = dayOf("2024-01-09,1301,1,1535.0,1550,1528,1540,50000\r\n");
    const auto r = rollUpPriceFile(kStock, d, d.lines[0], kCalendar);
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(r->bytes, priceText("4,3,2",
                                  {"20240109,1535,1550,1528,1540,50000", "20240105,1520,1545,1511,1530,118300",
                                   "20240104,1500,1525,1490,1512,98000", "20231229,1490,1510,1482,1500,75600"},
                                  {"20240109,1535,1550,1528,1540,50000", "20240105,1500,1545,1490,1530,216300",
                                   "20231229,1490,1510,1482,1500,75600"},
                                  {"20240109,1500,1550,1490,1540,266300", "20231229,1490,1510,1482,1500,75600"}));
}

TEST(RollUp, SameWeekTakesOpenHighLowOverTheWeek)
{
    // Friday 01-05 is stored; Thursday 01-04 too. A Saturday file (01-06) lies in that week.
    const DailyFile d = dayOf("2024-01-06,1301,1,1531,1540,1480,1535,1000\r\n");
    const auto r = rollUpPriceFile(kStock, d, d.lines[0], kCalendar);
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(r->bytes, priceText("4,2,2",
                                  {"20240106,1531,1540,1480,1535,1000", "20240105,1520,1545,1511,1530,118300",
                                   "20240104,1500,1525,1490,1512,98000", "20231229,1490,1510,1482,1500,75600"},
                                  {"20240106,1500,1545,1480,1535,217300", "20231229,1490,1510,1482,1500,75600"},
                                  {"20240106,1500,1545,1480,1535,217300", "20231229,1490,1510,1482,1500,75600"}));
}

TEST(RollUp, ZeroVolumeOrdinaryStockGetsFlatBars)
{
    const struct { const char *line; QByteArray expected; } cases[] = {
        // New week: flat at the previous close everywhere a bar has no volume.
        {"2024-01-09,1301,1,1535,1550,1528,1540,0\r\n",
         priceText("4,3,2",
                   {"20240109,1530,1530,1530,1530,0", "20240105,1520,1545,1511,1530,118300",
                    "20240104,1500,1525,1490,1512,98000", "20231229,1490,1510,1482,1500,75600"},
                   {"20240109,1530,1530,1530,1530,0", "20240105,1500,1545,1490,1530,216300",
                    "20231229,1490,1510,1482,1500,75600"},
                   {"20240109,1500,1545,1490,1530,216300", "20231229,1490,1510,1482,1500,75600"})},
        // An index series gets its bar as delivered, volume in millions; a day without volume
        // still moves its month (an index has prices every day).
        {"2024-01-09,1002,0,1535,1550,1528,1540,0\r\n",
         priceText("4,3,2",
                   {"20240109,1535,1550,1528,1540,0", "20240105,1520,1545,1511,1530,118300",
                    "20240104,1500,1525,1490,1512,98000", "20231229,1490,1510,1482,1500,75600"},
                   {"20240109,1535,1550,1528,1540,0", "20240105,1500,1545,1490,1530,216300",
                    "20231229,1490,1510,1482,1500,75600"},
                   {"20240109,1500,1550,1490,1540,216300", "20231229,1490,1510,1482,1500,75600"})},
        {"2024-01-09,1001,0,1535,1550,1528,1540,2500000\r\n",
         priceText("4,3,2",
                   {"20240109,1535,1550,1528,1540,2.5", "20240105,1520,1545,1511,1530,118300",
                    "20240104,1500,1525,1490,1512,98000", "20231229,1490,1510,1482,1500,75600"},
                   {"20240109,1535,1550,1528,1540,2.5", "20240105,1500,1545,1490,1530,216300",
                    "20231229,1490,1510,1482,1500,75600"},
                   {"20240109,1500,1550,1490,1540,216302.5", "20231229,1490,1510,1482,1500,75600"})},
    };
    for (const auto &c : cases) {
        const DailyFile d = dayOf(c.line);
        const auto r = rollUpPriceFile(kStock, d, d.lines[0], kCalendar);
        ASSERT_TRUE(r.has_value()) << c.line;
        EXPECT_EQ(r->bytes, c.expected) << c.line;
    }
}

TEST(RollUp, MondayStartsAWeekTuesdayUpdatesIt)
{
    const QByteArray friday = priceText("2,1,1", {"20240112,100,110,95,105,1000", "20240111,90,100,88,99,500"},
                                        {"20240112,90,110,88,105,1500"}, {"20240112,90,110,88,105,1500"});
    const DailyFile mon = dayOf("2024-01-15,1301,1,106,112,104,108,700\r\n");
    const auto afterMon = rollUpPriceFile(friday, mon, mon.lines[0], {20240112, 20240111});
    ASSERT_TRUE(afterMon.has_value());
    EXPECT_EQ(afterMon->bytes,
              priceText("3,2,1", {"20240115,106,112,104,108,700", "20240112,100,110,95,105,1000", "20240111,90,100,88,99,500"},
                        {"20240115,106,112,104,108,700", "20240112,90,110,88,105,1500"}, {"20240115,90,112,88,108,2200"}));
    const DailyFile tue = dayOf("2024-01-16,1301,1,107,109,101,103,300\r\n");
    const auto afterTue = rollUpPriceFile(afterMon->bytes, tue, tue.lines[0], {20240115, 20240112, 20240111});
    ASSERT_TRUE(afterTue.has_value());
    EXPECT_EQ(afterTue->bytes,
              priceText("4,2,1",
                        {"20240116,107,109,101,103,300", "20240115,106,112,104,108,700", "20240112,100,110,95,105,1000",
                         "20240111,90,100,88,99,500"},
                        {"20240116,106,112,101,103,1000", "20240112,90,110,88,105,1500"},
                        {"20240116,90,112,88,103,2500"}));
}

TEST(RollUp, FirstTradingDayOfAMonthStartsAMonthlyBar)
{
    const QByteArray jan = priceText("1,1,1", {"20240131,10.5,11,10,10.25,100"}, {"20240131,10,11,9.5,10.25,300"},
                                     {"20240131,9,12,8,10.25,5000"});
    const DailyFile d = dayOf("2024-02-01,1301,1,10.3,10.8,10.1,10.7,200\r\n");
    const auto r = rollUpPriceFile(jan, d, d.lines[0], {20240131});
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(r->bytes, priceText("2,1,2", {"20240201,10.3,10.8,10.1,10.7,200", "20240131,10.5,11,10,10.25,100"},
                                  {"20240201,10.5,11,10,10.7,300"},
                                  {"20240201,10.3,10.8,10.1,10.7,200", "20240131,9,12,8,10.25,5000"}));
}

TEST(RollUp, OldValuesAreWrittenBackInShortestForm)
{
    const QByteArray odd = priceText("1,1,1", {"20240105,0100.50,101.0,+99,100.5,1.0e3"}, {"20240105,100.5,101,99,100.5,1000"},
                                     {"20240105,100.5,101,99,100.5,1000"});
    const DailyFile d = dayOf("2024-01-09,1301,1,100,100,100,100,1\r\n");
    const auto r = rollUpPriceFile(odd, d, d.lines[0], {20240105});
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(r->bytes, priceText("2,2,1", {"20240109,100,100,100,100,1", "20240105,100.5,101,99,100.5,1000"},
                                  {"20240109,100,100,100,100,1", "20240105,100.5,101,99,100.5,1000"},
                                  {"20240109,100.5,101,99,100,1001"}));
}

TEST(RollUp, ThreeHundredBarsStayThreeHundred)
{
    QList<QByteArray> daily;
    QDate day(2022, 1, 3);
    for (int i = 0; i < 300; ++i) daily.prepend(QByteArray::number(day.addDays(i).toString("yyyyMMdd").toInt()) + ",5,5,5,5,1");
    const QByteArray full = priceText("300,300,300", daily, daily, daily);
    const DailyFile d = dayOf("2024-01-09,1301,1,6,6,6,6,2\r\n");
    const auto r = rollUpPriceFile(full, d, d.lines[0], {});
    ASSERT_TRUE(r.has_value());
    const QList<QByteArray> lines = r->bytes.split('\n');
    ASSERT_EQ(lines.size(), 902);
    EXPECT_EQ(lines[0], "300,300,300\r");
    EXPECT_EQ(lines[1], "20240109,6,6,6,6,2\r");
    EXPECT_EQ(lines[2], "20221029,5,5,5,5,1\r");
    EXPECT_EQ(lines[300], "20220104,5,5,5,5,1\r");   // the oldest, 20220103, fell off
    EXPECT_EQ(lines[301], "20240109,6,6,6,6,2\r");
}

TEST(RollUp, ShortOrBrokenFilesAreRefusedWithTheLine)
{
    const DailyFile d = dayOf("2024-01-09,1301,1,6,6,6,6,2\r\n");
    QByteArray shortFile = kStock;
    shortFile.chop(13 * 5);
    QByteArray badLine = kStock;
    badLine.replace("20240104,1500,1525,1490,1512,98000", "20240104,1500,abc,1490,1512,98000");
    const struct { QByteArray text; const char16_t *error; } cases[] = {
        {"", u"1 行目"},
        {"3,2\r\n", u"1 行目"},
        {shortFile, u"897 行目"},
        {badLine, u"3 行目"},
    };
    for (const auto &c : cases) {
        const auto r = rollUpPriceFile(c.text, d, d.lines[0], kCalendar);
        ASSERT_FALSE(r.has_value());
        EXPECT_EQ(r.error(), QString::fromUtf16(c.error));
    }
}

TEST(RollUp, AFileAlreadyHoldingTheDayIsLeftAlone)
{
    const DailyFile d = dayOf("2024-01-05,1301,1,6,6,6,6,2\r\n");
    const auto r = rollUpPriceFile(kStock, d, d.lines[0], kCalendar);
    ASSERT_TRUE(r.has_value());
    EXPECT_TRUE(r->alreadyHeld);
}

TEST(RollUp, ShortestLineCheck)
{
    const struct { const char *line; bool shortest; } cases[] = {
        {"20240105,1520,1545,1511,1530,118300", true}, {"0,0,0,0,0,0", true},
        {"20240105,0.5,10.25,9999999,123456,123456789012345", true},
        {"20240105,01,1,1,1,1", false}, {"20240105,1.50,1,1,1,1", false}, {"20240105,12345678,1,1,1,1", false},
        {"20240105,1234.567,1,1,1,1", false}, {"20240105,1,1,1,1,1234567890123456", false},
        {"20240105,1,1,1,1", false}, {"20240105,-1,1,1,1,1", false}, {"20240105,1,1,1,1,1.", false},
    };
    for (const auto &c : cases) {
        const QByteArray l(c.line);
        EXPECT_EQ(isShortestBarLine(l.constBegin(), l.constEnd()), c.shortest) << c.line;
    }
}

// Only 300 lines of each section are written back, so the header never names more; a file
// whose weekly and monthly sections are longer stays readable after the day is added.
TEST(RollUp, LongSectionsAreWrittenBackAsThreeHundredAndCountedSo)
{
    QByteArray old = "3,2000,2000\r\n"
                     "20240105,1520,1545,1511,1530,118300\r\n20240104,1500,1525,1490,1512,98000\r\n"
                     "20231229,1490,1510,1482,1500,75600\r\n";
    for (int i = 3; i < 300; ++i) old += "0,0,0,0,0,0\r\n";
    for (int s = 0; s < 2; ++s) {
        old += "20240105,1500,1545,1490,1530,216300\r\n";
        for (int i = 1; i < 2000; ++i) old += "20231229,1490,1510,1482,1500,75600\r\n";
    }
    const DailyFile d = dayOf("2024-01-06,1301,1,1531,1540,1480,1535,1000\r\n");   // same week, same month
    const auto r = rollUpPriceFile(old, d, d.lines[0], kCalendar);
    ASSERT_TRUE(r.has_value());
    EXPECT_TRUE(r->bytes.startsWith("4,300,300\r\n")) << r->bytes.left(20).constData();
    EXPECT_EQ(r->bytes.count('\n'), 901);
}

// The calendar series itself may hold far more daily lines than the bar tables: the import
// reads its 300 newest as the calendar and adds the day like any other.
TEST(RollUp, ACalendarSeriesLongerThanTheTablesImportsTheDay)
{
    velor::test::Market m;
    QByteArray longIndex = "2000,1,1\r\n";
    QDate day(2024, 1, 5);
    for (int i = 0; i < 2000; ++i, day = day.addDays(-1))
        longIndex += day.toString("yyyyMMdd").toLatin1() + ",100,110,90,105,1000\r\n";
    longIndex += "20240105,100,110,90,105,1000\r\n";
    for (int i = 1; i < 300; ++i) longIndex += "0,0,0,0,0,0\r\n";
    longIndex += "20240105,100,110,90,105,1000\r\n";
    for (int i = 1; i < 300; ++i) longIndex += "0,0,0,0,0,0\r\n";
    m.put(1001, longIndex);
    m.inbox("D240109.csv", "2024-01-09,1001,0,106,112,101,111,2000000000\r\n2024-01-09,1301,1,1535,1550,1528,1540,50000\r\n");
    ASSERT_TRUE(m.run()) << m.env.dialogs.texts().join('|').toStdString();
    const QByteArray index = m.price(1001);
    EXPECT_TRUE(index.startsWith("300,2,1\r\n20240109,106,112,101,111,2000\r\n20240105,100,110,90,105,1000\r\n"))
        << index.left(120).constData();
    EXPECT_EQ(index.count('\n'), 901);
    EXPECT_TRUE(m.price(1301).startsWith("4,3,2\r\n20240109,1535,1550,1528,1540,50000\r\n"));
}

// A stock's further days in one pass are applied to its lines in memory; every day must leave
// the bytes that rolling up the file of the day before gives, and the in-memory way must really
// be taken except where it has to hand back to the full roll-up.
TEST(RollUp, FurtherDaysInMemoryGiveTheBytesOfRollingUpEachDay)
{
    const QByteArray legacy = priceText("3,2,2",
                                        {"20240105,+1520 ,1545.0,1511,1530,118300", "20240104,1500,1525,1490,1512,98000",
                                         "20231229,01490,1510,1482,1500,75600"},
                                        {"20240105,1500,1545,1490,1530,216300", "20231229,1490,1510,1482,1500,75600"},
                                        {"20240105,1500,1545,1490,1530,216300", "20231229,1490,1510,1482,1500,75600"});
    const std::vector<const char *> month = {
        "2024-01-09,1301,1,1535,1550,1528,1540,50000\r\n",   // new week
        "2024-01-10,1301,1,1541,1560,1530,1555,42000\r\n",
        "2024-01-10,1301,1,1,1,1,1,1\r\n",                   // already held: left alone
        "2024-01-11,1301,1,1555,1555,1555,1555,0\r\n",       // no volume: flat at the close
        "2024-01-15,1301,1,1549.5,1562,1540.25,1561,61000\r\n",
        "2024-01-31,1301,1,1570,1580,1565,1575,30000\r\n",
        "2024-02-01,1301,1,1576,1590,1571,1588,44000\r\n",   // new month
        "2024-02-02,1301,1,1588,1591,1580,1590,12000\r\n",
    };
    std::vector<const char *> huge = month;
    huge[1] = "2024-01-10,1301,1,1541,1560,1530,1555,1234567890123456\r\n";   // not in shortest form once stored
    const struct { const char *name; QByteArray start; std::vector<const char *> days; int inMemory; } cases[] = {
        {"stored in shortest form", kStock, month, 7},
        {"old file with blanks, signs and zeros", legacy, month, 7},
        {"a volume too long to keep its text", kStock, huge, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<int32_t> calendar = kCalendar;
        std::optional<QByteArray> reference = c.start, file = c.start;
        std::optional<RolledFile> rolled;
        int inMemory = 0;
        for (const char *csv : c.days) {
            const DailyFile d = dayOf(csv);
            const std::vector<int32_t> before = calendar;
            const auto r = rollUpPriceFile(*reference, d, d.lines[0], before);
            ASSERT_TRUE(r.has_value());
            if (!r->alreadyHeld) reference = r->bytes, calendar.insert(calendar.begin(), d.D);
            if (rolled && rolled->apply(d, d.lines[0], before)) {
                ++inMemory;
            } else {
                if (rolled) file = rolled->bytes(), rolled.reset();
                QString error;
                ASSERT_TRUE(applyDayLine(file, d, d.lines[0], false, before, error, &rolled));
            }
            EXPECT_EQ(rolled ? rolled->bytes() : *file, *reference) << csv;
        }
        EXPECT_EQ(inMemory, c.inMemory);
    }
}

// The quick judgement of lines of digits and commas must agree with the character-by-character
// one on every line, near the limits above all: lines built at the digit limits, then mutated.
TEST(RollUp, QuickShortestCheckAgreesWithTheCharacterByCharacterOne)
{
    std::mt19937 rng(20261207);
    auto pick = [&](int n) { return int(rng() % unsigned(n)); };
    auto number = [&](int digits) {
        std::string s(1, char('1' + pick(9)));
        while (int(s.size()) < digits) s += char('0' + pick(10));
        return pick(6) == 0 ? std::string("0") : s;
    };
    const std::string alphabet = "0123456789,.+ e0,";
    int agreedTrue = 0, agreedFalse = 0;
    for (int i = 0; i < 200000; ++i) {
        std::string line = number(1 + pick(9));
        for (int f = 1; f < 5; ++f) line += ',' + number(1 + pick(7));
        line += ',' + number(1 + pick(15));
        for (int m = pick(3); m > 0; --m) {
            const size_t at = size_t(pick(int(line.size()) + 1));
            switch (pick(3)) {
            case 0: line.insert(at, 1, alphabet[size_t(pick(int(alphabet.size())))]); break;
            case 1: if (at < line.size()) line.erase(at, 1); break;
            default: if (at < line.size()) line[at] = alphabet[size_t(pick(int(alphabet.size())))];
            }
        }
        const char *b = line.data(), *e = b + line.size();
        const bool quick = isShortestBarLine(b, e), slow = isShortestBarLineByChar(b, e);
        ASSERT_EQ(quick, slow) << line;
        ++(quick ? agreedTrue : agreedFalse);
    }
    EXPECT_GT(agreedTrue, 50000);
    EXPECT_GT(agreedFalse, 50000);
    // Lines shorter than a word, and the shortest lines there are.
    for (int i = 0; i < 50000; ++i) {
        std::string line = i % 2 ? "0,0,0,0,0,0" : "";
        for (int k = pick(12); k > 0; --k) line.insert(size_t(pick(int(line.size()) + 1)), 1, alphabet[size_t(pick(int(alphabet.size())))]);
        if (i % 2 && pick(2)) line.erase(size_t(pick(int(line.size()))), 1);
        const char *b = line.data(), *e = b + line.size();
        ASSERT_EQ(isShortestBarLine(b, e), isShortestBarLineByChar(b, e)) << line;
    }
}

// The data API serves an index without volume: its weekly and monthly bars must still follow
// its days, not stand at the first day's values.
TEST(RollUp, AnIndexWithoutVolumeRollsUpItsDays)
{
    const QByteArray friday = priceText("1,1,1", {"20240112,3000,3010,2990,3005,0"}, {"20240112,2980,3010,2970,3005,0"},
                                        {"20240112,2950,3010,2940,3005,0"});
    const DailyFile mon = dayOf("2024-01-15,1001,0,3006,3020,3001,3015,0\r\n");
    const auto afterMon = rollUpPriceFile(friday, mon, mon.lines[0], {20240112});
    ASSERT_TRUE(afterMon.has_value());
    const DailyFile tue = dayOf("2024-01-16,1001,0,3016,3040,2995,3030,0\r\n");
    const auto afterTue = rollUpPriceFile(afterMon->bytes, tue, tue.lines[0], {20240115, 20240112});
    ASSERT_TRUE(afterTue.has_value());
    // The month is rebuilt from its stored days, as for any series.
    EXPECT_TRUE(afterTue->bytes == priceText("3,2,1",
                                         {"20240116,3016,3040,2995,3030,0", "20240115,3006,3020,3001,3015,0",
                                          "20240112,3000,3010,2990,3005,0"},
                                         {"20240116,3006,3040,2995,3030,0", "20240112,2980,3010,2970,3005,0"},
                                         {"20240116,3000,3040,2990,3030,0"}));
}
