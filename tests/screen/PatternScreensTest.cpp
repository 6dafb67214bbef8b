#include "ScreenFixture.h"

using namespace velor;
using namespace velor::test;

namespace {

// Closes newest first; every bar opens at 100 and trades 1000 shares unless given.
std::vector<Bar> closes(std::initializer_list<float> c, std::initializer_list<double> v = {})
{
    std::vector<Bar> bars;
    int32_t date = 20240110;
    auto vi = v.begin();
    for (float x : c) {
        bars.push_back(bar(date--, 100, 120, 90, x, vi != v.end() ? *vi++ : 1000));
    }
    return bars;
}

class PatternScreens : public ScreenFixture {
protected:
    void SetUp() override
    {
        ScreenFixture::SetUp();
        pf.st.FilterMinPrice = 50;
        pf.writeMaster({{1001, QStringLiteral("日経平均"), 0},
                        {1301, QStringLiteral("極洋"), 1},
                        {1332, QStringLiteral("日本水産"), 1},
                        {1333, QStringLiteral("マルハニチロ"), 1}});
        prices(1001, closes({33000, 33000, 33000, 33000}, {5000, 1000, 1000, 1000}));
    }
    QString head(const char *text) const { return QString::fromUtf8(text) + stamp(); }
};

} // namespace

TEST_F(PatternScreens, JShapeOneThree)
{
    prices(1301, closes({110, 95, 100, 100}, {2000, 1000, 1000, 1000}));   // (100 + 100) / 2: 1.1
    prices(1332, closes({90, 100, 100, 100}));
    prices(1333, closes({200, 100, 100}));   // three bars: too few for a window ending 3 bars back
    screens().SQR2(1, 3);
    const QString r1301 = QStringLiteral("1301,\"極洋   (1)\",%1,100,120,90,110,0.2,↑");
    const QString r1332 = QStringLiteral("1332,\"日本水産 (1)\",%1,100,120,90,90,0.1,↓");
    const QString r1333 = QStringLiteral("1333,\"マルハニチ(1)\",%1,100,120,90,200,0.1,↑");
    const QStringList expected = {
        head("★Ｊ字絞り込み1,3（大） ★　５値 "),
        r1301.arg(QStringLiteral("1.1")),
        head("★Ｊ字絞り込み1,3（小） ★　５値 "),
        r1332.arg(QStringLiteral(".9")),
        // No threshold: always RankRows positions; 1001 is walked but writes no row.
        head("★Ｊ字絞り込み1,3*出来高上昇率（大） ★　５値 "),
        r1301.arg(QStringLiteral("2.2")),
        r1333.arg(QStringLiteral("1.")),
        head("★Ｊ字絞り込み1,3*出来高上昇率（小） ★　５値 "),
        r1332.arg(QStringLiteral(".9")),
        r1333.arg(QStringLiteral("1.")),
    };
    EXPECT_EQ(view.lines(), expected);
}

TEST_F(PatternScreens, JShapeWindowStartsAfterTheGuardBar)
{
    prices(1301, closes({120, 50, 90, 100, 100, 100}));   // window: positions 3, 4, 5
    prices(1332, closes({120, 50, 0, 100, 100, 100}));    // the guard bar (position 2) closed at 0
    prices(1333, closes({300, 100, 100}));
    screens().SQR2(2, 5);
    EXPECT_EQ(view.lines().mid(0, 3),
              (QStringList{head("★Ｊ字絞り込み2,5（大） ★　５値 "),
                           QStringLiteral("1301,\"極洋   (1)\",1.2,100,120,90,120,0.1,↑"),
                           head("★Ｊ字絞り込み2,5（小） ★　５値 ")}));
    // 1301: 120 / ((90 + 100 + 100 + 100) / 4); 1332: 120 / 75; 1333's three bars are skipped.
    screens().SQR2(1, 5);
    EXPECT_EQ(view.lines().mid(0, 4),
              (QStringList{head("★Ｊ字絞り込み1,5（大） ★　５値 "),
                           QStringLiteral("1332,\"日本水産 (1)\",1.6,100,120,90,120,0.1,↑"),
                           QStringLiteral("1301,\"極洋   (1)\",1.231,100,120,90,120,0.1,↑"),
                           head("★Ｊ字絞り込み1,5（小） ★　５値 ")}));
}

TEST_F(PatternScreens, VolumeJShapeScoresIndexSeriesButWritesNoRowForThem)
{
    prices(1301, closes({110, 95, 100, 100}, {2000, 1000, 1000, 1000}));
    prices(1332, closes({90, 100, 100, 100}));
    prices(1333, closes({200, 100, 100, 100}, {500, 1000, 1000, 1000}));
    screens().SQR3(1, 3);
    const QStringList expected = {
        head("★出来高（株数）のＪ字絞り込み1,3（大） ★　５値 "),
        // 1001 (5000 / 1000) is first and writes nothing; then 1301; 1332's 1.0 ends the list
        QStringLiteral("1301,\"極洋   (1)\",2.,100,120,90,110,0.2,↑"),
        head("★出来高（株数）のＪ字絞り込み1,3（小） ★　５値 "),
        QStringLiteral("1333,\"マルハニチ(1)\",.5,100,120,90,200,0.05,↑"),
    };
    EXPECT_EQ(view.lines(), expected);
}

TEST_F(PatternScreens, RsiHeadersAndTheFallbackOfShortHistories)
{
    pf.st.RsiPeriod1 = 14;
    prices(1301, closes({110, 95, 100, 100}, {2000, 1000, 1000, 1000}));
    prices(1332, closes({90, 100, 100, 100}));
    prices(1333, closes({200, 100, 100, 100}));
    pf.st.LiveMode = 0;
    screens().SRSI();
    // Too few bars for 14 steps: RSI 0.5 for every stock, so lists 1 and 2 are empty; list 3
    // weights 0.5 by the volume change (1301: 2000 / 1000).
    const QStringList expected = {
        head("★RSI14大★　５値"),
        head("★RSI14小★　５値"),
        head("★RSI14大*出来高上昇率★　５値"),
        QStringLiteral("1301,\"極洋   (1)\",1.,100,120,90,110,0.2,↑"),
        head("★RSI14小*出来高上昇率★　５値"),
    };
    EXPECT_EQ(view.lines(), expected);
    EXPECT_EQ(pf.st.QuoteMode, 0);
    pf.st.LiveMode = 1;   // the live bar is not asked for here (BarOffset stays 0): only the mode is set
    screens().SPSYC();
    EXPECT_EQ(pf.st.QuoteMode, 7);
    EXPECT_EQ(view.lines()[0], QStringLiteral("★サイコロジカル0大★　５値") + stamp());
}
