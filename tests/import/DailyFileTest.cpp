#include "common/NumText.h"
#include "common/StockCode.h"
#include "import/DailyFile.h"

#include <QList>
#include <cstdlib>
#include <gtest/gtest.h>
#include <random>

using namespace velor;

TEST(WeekStart, MondayOfTheWeekComputedOnTheNumber)
{
    const struct { int32_t day, monday; } cases[] = {
        {20240109, 20240108},   // Tuesday
        {20240108, 20240108},   // Monday
        {20240112, 20240108},   // Friday
        {20240113, 20240108},   // Saturday
        {20240114, 20240115},   // Sunday gives the following Monday
        {20240331, 20240332},   // ... computed on the number, so it may be no real date
        {20240101, 20240101},   // Monday
        {20240103, 20240101},   // Wednesday
        {20240201, 20240129},   // Thursday: into January
        {20240302, 20240226},   // Saturday: into a 29-day February (leap year)
        {20230302, 20230227},   // Thursday: into a 28-day February
        {20210101, 20201228},   // Friday: into the previous December
        {21000303, 21000301},   // Wednesday
    };
    for (const auto &c : cases) EXPECT_EQ(WeekStart(c.day), c.monday) << c.day;
}

TEST(DailyFile, DateTextWithAnySeparators)
{
    EXPECT_EQ(dateOfText("2024-01-09"), 20240109);
    EXPECT_EQ(dateOfText("2024/01/10"), 20240110);
    EXPECT_EQ(dateOfText("2024.01.11"), 20240111);
    EXPECT_EQ(dateOfText("2024x12x31"), 20241231);
    EXPECT_EQ(dateOfText("2024-1-9"), 0);
    EXPECT_EQ(dateOfText("2024-02-30"), 0);
    EXPECT_EQ(dateOfText("abcd-01-09"), 0);
}

TEST(DailyFile, ReadsLinesWithPriceTextsInShortestForm)
{
    const auto f = parseDailyFile("2024-02-01,1001,0,100.50,101,99,100.5,2500000000\r\n"
                                  "2024-02-01,1301,1,1520,1545,1511,1530,118300\r\n\r\n",
                                  "x.csv");
    ASSERT_TRUE(f.has_value());
    EXPECT_EQ(f->D, 20240201);
    EXPECT_EQ(f->WS, 20240129);
    EXPECT_EQ(f->MS, 20240201);
    ASSERT_EQ(f->lines.size(), 2u);
    EXPECT_EQ(f->lines[0].open, QByteArray("100.5"));
    EXPECT_DOUBLE_EQ(f->lines[0].volume, 2500);   // index volume in millions
    EXPECT_EQ(f->lines[1].code, 1301);
    EXPECT_EQ(f->lines[1].section, 1);
    EXPECT_EQ(f->lines[1].close, QByteArray("1530"));
    EXPECT_DOUBLE_EQ(f->lines[1].volume, 118300);
}

TEST(DailyFile, AByteOrderMarkAndCodesWithLettersAreRead)
{
    const auto f = parseDailyFile("\xEF\xBB\xBF" "2024-02-01,1301,1,1520,1545,1511,1530,118300\r\n"
                                  "2024-02-01,130A,1,1500,1550,1480,1520,120000\r\n"
                                  "2024-02-01, 9a7a ,1,1500,1550,1480,1520,120000\r\n",
                                  "x.csv");
    ASSERT_FALSE(f.has_value());   // a lower-case letter is no code in a daily file
    EXPECT_EQ(f.error().text, QStringLiteral("データファイル： x.csv の 3 行目が正しくありません（銘柄コードが 1 から 9999 の数ではありません）。読み込みを中止します。"));
    const auto g = parseDailyFile("\xEF\xBB\xBF" "2024-02-01,1301,1,1520,1545,1511,1530,118300\r\n"
                                  "2024-02-01,130A,1,1500,1550,1480,1520,120000\r\n"
                                  "2024-02-01,130A,1,1500,1550,1480,1520,120000\r\n",
                                  "x.csv");
    ASSERT_FALSE(g.has_value());
    EXPECT_EQ(g.error().text, QStringLiteral("データファイル： x.csv の 3 行目が正しくありません（銘柄コードが重複しています）。読み込みを中止します。"));
    const auto h = parseDailyFile("\xEF\xBB\xBF" "2024-02-01,130A,1,1500,1550,1480,1520,120000\r\n", "x.csv");
    ASSERT_TRUE(h.has_value());
    EXPECT_EQ(h->D, 20240201);
    EXPECT_EQ(codeText(h->lines[0].code), QStringLiteral("130A"));
}

TEST(DailyFile, RefusesBadLinesNamingFileAndLine)
{
    const QString head = QStringLiteral("データファイル： in.csv の 2 行目が正しくありません（");
    const QString tail = QStringLiteral("）。読み込みを中止します。");
    const struct { const char *second; const char16_t *why; } cases[] = {
        {"2024-01-09,1301,1,1520,1545,1511,1530", u"項目の数が 7 です"},
        {"2024-01-09,1301,1,1520,1545,1511,1530,100,9", u"項目の数が 9 です"},
        {"2024-01-09,0,1,1520,1545,1511,1530,100", u"銘柄コードが 1 から 9999 の数ではありません"},
        {"2024-01-09,10000,1,1520,1545,1511,1530,100", u"銘柄コードが 1 から 9999 の数ではありません"},
        {"2024-01-09,13a1,1,1520,1545,1511,1530,100", u"銘柄コードが 1 から 9999 の数ではありません"},
        {"2024-01-09,1001,1,1520,1545,1511,1530,100", u"銘柄コードが重複しています"},
        {"2024-01-09,1301,x,1520,1545,1511,1530,100", u"部が数ではありません"},
        {"2024-01-09,1301,1,1520,-,1511,1530,100", u"価格が数ではありません"},
        {"2024-01-09,1301,1,1520,1545,1511,,100", u"価格が数ではありません"},
        {"2024-01-09,1301,1,1520,1545,1511,1530,1e", u"出来高が数ではありません"},
        {"2024-01-09,1301,1,1520,1545,1511,1530,nan", u"出来高が数ではありません"},
        // Implausible lines: another day than the first line's, negative prices and volumes.
        {"2024-01-10,1301,1,1520,1545,1511,1530,100", u"日付が最初の行の 20240109 と違います"},
        {"2024-01-9,1301,1,1520,1545,1511,1530,100", u"日付が最初の行の 20240109 と違います"},
        {",1301,1,1520,1545,1511,1530,100", u"日付が最初の行の 20240109 と違います"},
        {"2024-01-09,1301,1,-1520,1545,1511,1530,100", u"価格が負の数です"},
        {"2024-01-09,1301,1,1520,1545,1511,-0.1,100", u"価格が負の数です"},
        {"2024-01-09,1301,1,1520,1545,1511,1530,-1", u"出来高が負の数です"},
    };
    for (const auto &c : cases) {
        const auto f = parseDailyFile(QByteArray("2024-01-09,1001,0,1,1,1,1,1\r\n") + c.second + "\r\n", "in.csv");
        ASSERT_FALSE(f.has_value()) << c.second;
        EXPECT_EQ(f.error().kind, DailyFileError::BadLine);
        EXPECT_EQ(f.error().text, head + QString::fromUtf16(c.why) + tail);
    }
}

TEST(DailyFile, EmptyAndUnreadableDate)
{
    auto e = parseDailyFile("", "tmp/a.csv");
    ASSERT_FALSE(e.has_value());
    EXPECT_EQ(e.error().kind, DailyFileError::Empty);
    EXPECT_EQ(e.error().text, QStringLiteral("データファイル： tmp/a.csv は空です。読み込みを中止します。"));
    auto d = parseDailyFile("09/01/2024,1301,1,1,1,1,1,1\r\n", "a.csv");
    ASSERT_FALSE(d.has_value());
    EXPECT_EQ(d.error().kind, DailyFileError::BadDate);
    EXPECT_EQ(d.error().text, QStringLiteral("データファイルの形式が正しくありません。読み込みを中止します。"));
}

// Blanks and signs around a price are not stored; the digits given are, in shortest form.
TEST(DailyFile, PriceTextsDropBlanksSignsAndTrailingZeros)
{
    const auto f = parseDailyFile("2026-11-30, 1953 , 1 , +22271 ,22339, 22100.0 ,\t0022300.50 , 1200\r\n"
                                  "2026-11-30,1001,0,33102.95,33861.25,-0,+.5,2156857004\r\n",
                                  "x.csv");
    ASSERT_TRUE(f.has_value());
    ASSERT_EQ(f->lines.size(), 2u);
    const DailyLine &a = f->lines[0], &b = f->lines[1];
    EXPECT_EQ(a.code, 1953);
    EXPECT_EQ(QList<QByteArray>({a.open, a.high, a.low, a.close}), QList<QByteArray>({"22271", "22339", "22100", "22300.5"}));
    EXPECT_EQ(QList<QByteArray>({b.open, b.high, b.low, b.close}), QList<QByteArray>({"33102.95", "33861.25", "0", "0.5"}));
    EXPECT_EQ(a.o, 22271.0f);
    EXPECT_EQ(a.c, 22300.5f);
}

// A day after today (by the program's clock) would be stored for every stock and make every real
// day after it look like a hole: refused on its first line. Today itself is a day like any other.
TEST(DailyFile, ADayAfterTodayIsRefusedOnItsFirstLine)
{
    const QByteArray file = "\r\n2099-12-31,1001,0,1,1,1,1,1\r\n2099-12-31,1301,1,1,1,1,1,1\r\n";
    const auto f = parseDailyFile(file, "tmp/D991231.csv", 20261207);
    ASSERT_FALSE(f.has_value());
    EXPECT_EQ(f.error().kind, DailyFileError::BadLine);
    EXPECT_EQ(f.error().text, QStringLiteral("データファイル： tmp/D991231.csv の 2 行目が正しくありません（日付 20991231 が今日 "
                                             "20261207 より後です）。読み込みを中止します。"));
    const struct { const char *first; int32_t today; bool ok; } cases[] = {
        {"2026-12-08", 20261207, false}, {"2026-12-07", 20261207, true}, {"2026-12-06", 20261207, true},
        {"2027-01-01", 20261231, false}, {"2026-12-08", 0, true},
    };
    for (const auto &c : cases) {
        const auto g = parseDailyFile(QByteArray(c.first) + ",1301,1,1,1,1,1,1\r\n", "a.csv", c.today);
        EXPECT_EQ(g.has_value(), c.ok) << c.first << " " << c.today;
    }
}

// Texts already in shortest form are kept without formatting them again: whatever the digits,
// the kept text must be the one the formatter gives for the value read.
TEST(DailyFile, PriceTextsKeptAsGivenAreThoseTheFormatterGives)
{
    std::mt19937 rng(7);
    QByteArray file;
    QList<QByteArray> given;
    for (int code = 1301; code < 1301 + 2000; ++code) {
        QByteArray t;
        const int digits = 1 + int(rng() % 18), point = int(rng() % (digits + 2));
        for (int i = 0; i < digits; ++i) {
            if (i == point && i > 0) t += '.';
            t += char('0' + (i == 0 && rng() % 4 ? 1 + rng() % 9 : rng() % 10));
        }
        if (rng() % 5 == 0 && !t.contains('.')) t = "0.0000" + t;
        given << t;
        file += "2026-11-30," + QByteArray::number(code) + ",1," + t + ',' + t + ',' + t + ',' + t + ",100\r\n";
    }
    const auto f = parseDailyFile(file, "x.csv");
    ASSERT_TRUE(f.has_value()) << f.error().text.toStdString();
    for (int i = 0; i < given.size(); ++i)
        ASSERT_EQ(f->lines[size_t(i)].close, doubleText(std::strtod(given[i].constData(), nullptr)).toLatin1()) << given[i].constData();
}
