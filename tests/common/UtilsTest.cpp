#include "common/Clock.h"
#include "common/Utils.h"
#include "common/WindowPlace.h"

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

TEST(Clock, NowGivenOnTheCommandLineRunsOn)
{
    // The window's --now: set at start, then moving with the time that passes, so a 50-second
    // timer reaches the next minute.
    qint64 elapsed = 0;
    RunningClock clock(parseNow(QStringLiteral("2026-11-30 10:15")), [&elapsed] { return elapsed; });
    EXPECT_EQ(clock.now(), QDateTime(QDate(2026, 11, 30), QTime(10, 15)));
    elapsed = 50000;
    EXPECT_EQ(clock.now(), QDateTime(QDate(2026, 11, 30), QTime(10, 15, 50)));
    elapsed = 100000;
    EXPECT_EQ(clock.now().time().minute(), 16);
    // Without a timer of its own it starts at the given time and never goes back.
    RunningClock real(QDateTime(QDate(2026, 11, 30), QTime(10, 15)));
    const QDateTime first = real.now();
    EXPECT_GE(first, QDateTime(QDate(2026, 11, 30), QTime(10, 15)));
    EXPECT_GE(real.now(), first);
}

TEST(WindowPlace, AWindowPlacedByOffsetsStaysOnTheScreen)
{
    const QRect screen(0, 0, 1600, 870);   // a 1,600-pixel screen without its panel
    struct Case { QPoint wanted; QSize size; QRect want; };
    const Case cases[] = {
        {{100, 100}, {800, 600}, {100, 100, 800, 600}},        // fits: left where the rules put it
        {{733, 100}, {1000, 640}, {600, 100, 1000, 640}},      // 9500 twips right of the main window: moved left
        {{-50, -20}, {400, 300}, {0, 0, 400, 300}},            // above and left of the screen
        {{300, 500}, {1000, 640}, {300, 230, 1000, 640}},      // below: moved up
        {{10, 10}, {2000, 1000}, {0, 0, 1600, 870}},           // larger than the screen: shrunk to it
    };
    for (const Case &c : cases) EXPECT_EQ(keptInside(c.wanted, c.size, screen), c.want) << c.wanted.x() << "," << c.wanted.y();
    EXPECT_EQ(keptInside({5000, 5000}, {10, 10}, QRect()), QRect(5000, 5000, 10, 10));   // no screen: as placed
}
