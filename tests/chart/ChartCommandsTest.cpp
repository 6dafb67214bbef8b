#include "app/ChartCommands.h"
#include "chart/ChartTestData.h"
#include "db/PriceFile.h"
#include "support/TestSupport.h"

#include <QGuiApplication>
#include <QImage>
#include <gtest/gtest.h>

using namespace velor;

namespace {

struct CommandFixture : ::testing::Test {
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "test";
        static char *argv[] = {name, nullptr};
        if (!qApp) new QGuiApplication(argc, argv);
    }
    void SetUp() override
    {
        pf.writeMaster({{1001, QStringLiteral("日経平均"), 0}, {1301, QStringLiteral("極洋"), 1}});
        // 30 rising bars: close 100 (oldest) .. 129 (newest)
        std::vector<Bar> daily;
        for (int p = 0; p < 30; ++p) {
            const float c = float(129 - p);
            daily.push_back({20240300 - p, c, c + 1, c - 1, c, 1000});
        }
        ASSERT_TRUE(writePriceFile(pf.data + "1301.csv", {daily, {daily[0]}, {daily[0]}}));
        ASSERT_TRUE(writePriceFile(pf.data + "1001.csv", {daily, {daily[0]}, {daily[0]}}));
    }
    CliOptions options(const QString &command, const QStringList &args) const
    {
        CliOptions o;
        o.home = pf.program;
        o.command = command;
        o.args = args;
        return o;
    }
    test::ProgramFolder pf;
};

} // namespace

TEST(ChartArgs, ParsesEveryOption)
{
    const auto r = parseChartArgs({"1301", "--period", "w", "--offset", "-1", "--indicator", "kairi", "--axis", "2",
                                   "--bars", "50", "--overlay", "--png", "/tmp/x.png", "--size", "800x600"},
                                  true);
    ASSERT_TRUE(r.has_value()) << r.error().toStdString();
    EXPECT_EQ(r->code, 1301);
    EXPECT_EQ(r->period, 1);
    EXPECT_EQ(r->offset, -1);
    EXPECT_EQ(r->indicator, 2);
    EXPECT_EQ(r->axis, 2);
    EXPECT_EQ(r->bars, 50);
    EXPECT_TRUE(r->overlay);
    EXPECT_EQ(r->png, QStringLiteral("/tmp/x.png"));
    EXPECT_EQ(r->width, 800);
    EXPECT_EQ(r->height, 600);
}

TEST(ChartArgs, RefusesBadUsage)
{
    const QStringList bad[] = {
        {"1301"},                                        // no --png
        {"--png", "x.png"},                              // no code
        {"1301", "--png", "x.png", "--period", "y"},
        {"1301", "--png", "x.png", "--bars", "0"},
        {"1301", "--png", "x.png", "--bars", "1601"},
        {"1301", "--png", "x.png", "--axis", "3"},
        {"1301", "--png", "x.png", "--size", "800"},
        {"1301", "--png", "x.png", "--indicator", "macd"},
        {"1301", "1302", "--png", "x.png"},
        {"1301", "--png"},
    };
    for (const QStringList &args : bad) EXPECT_FALSE(parseChartArgs(args, true).has_value()) << args.join(' ').toStdString();
    EXPECT_FALSE(parseChartArgs({"1301", "--overlay"}, false).has_value());   // export has only --period
    EXPECT_TRUE(parseChartArgs({"1301", "--period", "m"}, false).has_value());
}

TEST_F(CommandFixture, ExportWritesOneLinePerLoadedPosition)
{
    testing::internal::CaptureStdout();
    const int rc = exportCommand(options("export", {"1301"}), QString());
    std::fflush(stdout);
    const QString out = QString::fromStdString(testing::internal::GetCapturedStdout());
    ASSERT_EQ(rc, 0);
    const QStringList lines = out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 31);
    EXPECT_EQ(lines[0], QStringLiteral("position,date,open,high,low,close,volume,rsi1,rsi2,rci1,rci2,kairi1,kairi2,psyc1,psyc2"));
    EXPECT_EQ(lines[1], QStringLiteral("0,20240300,129,130,128,129,1000,1,1,1,1,1.04878,1.107296,1,1"));
    EXPECT_EQ(lines[30], QStringLiteral("29,20240271,100,101,99,100,1000,0.5,0.5,0,0,1,1,0.5,0.5"));
}

TEST_F(CommandFixture, ExportOfAMissingStockFails)
{
    testing::internal::CaptureStdout();
    const int rc = exportCommand(options("export", {"1332"}), QString());
    EXPECT_TRUE(testing::internal::GetCapturedStdout().empty());
    EXPECT_EQ(rc, 1);
}

TEST_F(CommandFixture, ChartWritesAPictureOfTheAskedSize)
{
    const QString png = pf.program + "c.png";
    ASSERT_EQ(chartCommand(options("chart", {"1301", "--png", png, "--size", "300x320", "--overlay"}), QString()), 0);
    const QImage image(png);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(300, 320));
    EXPECT_EQ(image.pixelColor(298, 318), QColor(150, 150, 150));   // background below the dates
    bool red = false;
    for (int y = 0; y < 320 && !red; ++y)
        for (int x = 40; x < 260 && !red; ++x) red = image.pixelColor(x, y) == QColor(255, 0, 0);
    EXPECT_TRUE(red);   // rising candles
    EXPECT_EQ(chartCommand(options("chart", {"1332", "--png", png}), QString()), 1);
}
