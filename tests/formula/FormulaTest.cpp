#include "formula/Formula.h"

#include "chart/Indicators.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <vector>

using namespace velor;

namespace {

// Eight bars, position 1 the newest: open, high, low, close, volume.
struct HandBar {
    float o, h, l, c;
    double v;
};
const HandBar kBars[] = {
    {105, 110, 100, 108, 3000}, {100, 106, 98, 104, 1000}, {102, 103, 97, 100, 2000}, {99, 104, 98, 102, 1500},
    {100, 101, 95, 99, 500},    {96, 100, 95, 100, 0},     {95, 97, 94, 96, 800},     {94, 96, 93, 95, 1000},
};

BarVars handTable()
{
    BarVars b;
    int p = 1;
    for (const HandBar &x : kBars) {
        b.BarOpen[size_t(p)] = x.o, b.BarHigh[size_t(p)] = x.h, b.BarLow[size_t(p)] = x.l;
        b.BarClose[size_t(p)] = x.c, b.BarVolume[size_t(p)] = x.v;
        ++p;
    }
    b.BarCount = int16_t(std::size(kBars));
    return b;
}

// A longer table for comparing with the chart's indicators: a walk with flat stretches and ties.
BarVars walkTable(int count)
{
    BarVars b;
    float c = 1000;
    for (int p = count; p >= 1; --p) {
        const int step = (p * 37) % 11 - 5;
        c += step % 3 == 0 ? 0.0f : float(step) * 2.5f;
        b.BarClose[size_t(p)] = c;
        b.BarOpen[size_t(p)] = c - 1, b.BarHigh[size_t(p)] = c + 3, b.BarLow[size_t(p)] = c - 4;
        b.BarVolume[size_t(p)] = 1000 + (p * 13) % 7 * 100;
    }
    b.BarCount = int16_t(count);
    return b;
}

constexpr double kNo = std::numeric_limits<double>::quiet_NaN();

} // namespace

TEST(Formula, ValuesOnTheHandTable)
{
    struct Case {
        const char16_t *text;
        int pos;
        double want;   // NaN: no value
    };
    const Case cases[] = {
        {u"C", 1, 108}, {u"c", 3, 100}, {u"C[1]", 1, 104}, {u"C[7]", 1, 95}, {u"C[8]", 1, kNo}, {u"C", 9, kNo},
        {u"C", 0, 0},   // the live slot is a bar when asked for (KDOPN clears it)
        {u"O + H * 2", 1, 325}, {u"(O + H) * 2", 1, 430}, {u"-C + 1", 1, -107}, {u"- -C", 1, 108},
        {u"H - L", 2, 8}, {u"C / 4", 1, 27}, {u"C / V", 6, kNo}, {u"C / 0", 1, kNo}, {u"1.5e2 + .5", 1, 150.5},
        {u"C > C[1]", 1, 1}, {u"C > C[1]", 3, 0}, {u"C >= 108", 1, 1}, {u"C = 108", 1, 1}, {u"C == 107", 1, 0},
        {u"C <> 108", 1, 0}, {u"C != 107", 1, 1}, {u"C < 108", 1, 0}, {u"C <= 108", 1, 1},
        {u"TURNOVER", 1, 324000}, {u"turnover[1]", 1, 104000},
        {u"MA(C,3)", 1, 104}, {u"MA(C,8)", 1, 100.5}, {u"MA(C,8)", 2, kNo}, {u"MA(V,2)", 1, 2000},
        {u"MA(C[1],3)", 1, 102}, {u"MA(C,3)[1]", 1, 102},
        {u"HHV(H,3)", 1, 110}, {u"HHV(H,3)", 2, 106}, {u"LLV(L,4)", 1, 97}, {u"LLV(L,4)", 6, kNo},
        {u"ROC(C,2)", 1, 8}, {u"ROC(V,1)", 5, kNo}, {u"REF(C,2)", 1, 100}, {u"REF(C,0)", 1, 108},
        {u"EMA(C,2)", 1, 106.25720164609054}, {u"EMA(C,2)", 2, kNo},
        {u"CROSS(C, MA(C,3))", 1, 0}, {u"CROSS(C, MA(C,3))", 2, 1}, {u"CROSS(C, 100)", 4, 1},
        {u"CROSS(C, 100)", 8, kNo},
        {u"C[8] > 0 AND C > 0", 1, kNo}, {u"C[8] > 0 OR C > 0", 1, 1}, {u"C[8] > 0 AND C > 200", 1, 0},
        {u"C[8] > 0 OR C > 200", 1, kNo}, {u"NOT C[8] > 0", 1, kNo}, {u"NOT C > 200", 1, 1},
        {u"C > 100 AND V > 2000 OR C < 50", 1, 1}, {u"C > 100 AND (V > 3000 OR C < 50)", 1, 0},
        {u"!(C > 1) | C > 1 & V = 3000", 1, 1},
        // RSI: moves +4 +4 -2; at 5: -1 +4 +1. KAIRI: 108 / 312 * 3. PSY: 2 of 3 rose.
        {u"RSI(3)", 1, 0.8}, {u"RSI(3)", 5, 5.0 / 6}, {u"RSI(3)", 6, kNo}, {u"RSI(7)", 1, 16.0 / 19}, {u"RSI(8)", 1, kNo},
        {u"RCI(3)", 1, 1}, {u"KAIRI(3)", 1, 1.0384615}, {u"PSY(3)", 1, 2.0 / 3}, {u"PSY(3) * 100 > 60", 1, 1},
        // Full-width text as an input method gives it.
        {u"Ｃ＞１００　ＡＮＤ　ｍａ（Ｃ，３）＝１０４", 1, 1},
    };
    const BarVars b = handTable();
    for (const Case &c : cases) {
        const QString text = QString::fromUtf16(c.text);
        const auto p = formula::compile(text);
        ASSERT_TRUE(p) << text.toStdString() << ": " << p.error().message.toStdString();
        const auto v = formula::evaluate(*p, b, c.pos);
        if (std::isnan(c.want)) {
            EXPECT_FALSE(v) << text.toStdString() << " at " << c.pos << " gave " << *v;
        } else {
            ASSERT_TRUE(v) << text.toStdString() << " at " << c.pos;
            EXPECT_NEAR(*v, c.want, 1e-6) << text.toStdString() << " at " << c.pos;
        }
    }
}

TEST(Formula, ErrorsNameThePositionInJapanese)
{
    struct Case {
        QString text;
        int pos;
        const char16_t *message;
    };
    const Case cases[] = {
        {u""_qs, 0, u"条件式が空です"},
        {u"   "_qs, 0, u"条件式が空です"},
        {u"X > 1"_qs, 0, u"「X」という項目や関数はありません"},
        {u"C > foo(3)"_qs, 4, u"「foo」という項目や関数はありません"},
        {u"MA(C)"_qs, 0, u"引数の数が違います。MA(x,n) の形で、値 x と期間 n の 2 つを書きます"},
        {u"MA(C,25,3)"_qs, 0, u"引数の数が違います。MA(x,n) の形で、値 x と期間 n の 2 つを書きます"},
        {u"CROSS(C)"_qs, 0, u"引数の数が違います。CROSS(a,b) の形で、値を 2 つ書きます"},
        {u"RSI(C,14)"_qs, 4, u"RSI の期間には 1 から 1500 までの整数を書きます"},
        {u"RSI(0)"_qs, 4, u"RSI の期間は 1 から 1500 までの整数です"},
        {u"RSI(1501)"_qs, 4, u"RSI の期間は 1 から 1500 までの整数です"},
        {u"RCI(1)"_qs, 4, u"RCI の期間は 2 から 1500 までの整数です"},
        {u"EMA(C,401)"_qs, 6, u"EMA の期間は 1 から 400 までの整数です"},
        {u"MA(C,2.5)"_qs, 5, u"MA の期間には 1 から 1500 までの整数を書きます"},
        {u"MA(C,-3)"_qs, 5, u"MA の期間は 1 から 1500 までの整数です"},
        {u"(C > 1"_qs, 6, u"「)」がありません（「(」は 1 文字目）"},
        {u"MA(C,25"_qs, 7, u"「)」がありません（「(」は 3 文字目）"},
        {u"C > 1)"_qs, 5, u"対応する「(」のない「)」があります"},
        {u"C > 1 2"_qs, 6, u"式の後に余分な文字があります"},
        {u"C >"_qs, 3, u"式が途中で終わっています"},
        {u"C AND"_qs, 5, u"式が途中で終わっています"},
        {u")"_qs, 0, u"「)」の前に値がありません"},
        {u", C"_qs, 0, u"ここには値・項目・関数を書きます（「,」は置けません）"},
        {u"C # 1"_qs, 2, u"使えない文字「#」があります"},
        {u"C > 終値"_qs, 4, u"使えない文字「終」があります"},
        {u"C[1"_qs, 3, u"「]」がありません（「[」は 2 文字目）"},
        {u"C[-1]"_qs, 2, u"「[ ]」の中は 0 から 1500 までの整数です"},
        {u"C[1501]"_qs, 2, u"「[ ]」の中は 0 から 1500 までの整数です"},
        {u"1 < C < 2"_qs, 6, u"比較は続けて書けません（AND でつないでください）"},
        {u"MA > 1"_qs, 0, u"MA の後には「(」が必要です（MA(x,n) の形で、値 x と期間 n の 2 つを書きます）"},
        {u"C(1)"_qs, 0, u"C は関数ではありません（前の足は C[1] と書きます）"},
        {u"1e999"_qs, 0, u"数が大きすぎます"},
        {QString(1001, u' '), 1000, u"条件式が長すぎます（1000 文字まで）"},
        {QString(33, u'(') + u"C"_qs + QString(33, u')'), 32, u"括弧や関数の入れ子が深すぎます（32 段まで）"},
        {QString(33, u'-') + u"C"_qs, 32, u"括弧や関数の入れ子が深すぎます（32 段まで）"},
        {u"REF(REF(C,1500),101)"_qs, 0, u"さかのぼる本数の合計が長すぎます（1600 本まで）"},
    };
    for (const Case &c : cases) {
        const auto p = formula::compile(c.text);
        ASSERT_FALSE(p) << c.text.toStdString();
        EXPECT_EQ(p.error().position, c.pos) << c.text.toStdString();
        EXPECT_EQ(p.error().message, QString::fromUtf16(c.message)) << c.text.toStdString();
    }
    // At the limits exactly, the texts compile.
    EXPECT_TRUE(formula::compile(QString(32, u'(') + u"C"_qs + QString(32, u')')));
    EXPECT_TRUE(formula::compile(u"REF(REF(C,1500),100)"_qs));
    EXPECT_TRUE(formula::compile(QString(999, u' ') + u"C"_qs));
}

TEST(Formula, LookbackNamesTheOldestBarRead)
{
    struct Case {
        const char16_t *text;
        int lookback;
    };
    const Case cases[] = {{u"C", 0}, {u"C[3]", 3}, {u"MA(C,25)", 24}, {u"RSI(14)", 14}, {u"EMA(C,5)", 19},
                          {u"CROSS(C, MA(C,25)) AND V > MA(V,5)*2", 25}, {u"HHV(C[2],10)[1]", 12},
                          {u"ROC(C,10)", 10}, {u"REF(MA(C,5),3)", 7}};
    for (const Case &c : cases) {
        const auto p = formula::compile(QString::fromUtf16(c.text));
        ASSERT_TRUE(p);
        EXPECT_EQ(p->lookback(), c.lookback) << QString::fromUtf16(c.text).toStdString();
        EXPECT_EQ(p->barsNeeded(1), c.lookback + 2);
    }
}

// One implementation: the functions give exactly the chart's own values, at every position.
TEST(Formula, IndicatorsAreTheChartsOwn)
{
    const BarVars b = walkTable(120);
    for (int n : {1, 2, 5, 9, 14, 25, 119}) {
        struct Pair {
            QString text;
            std::function<double(int s)> chart;
        };
        const int16_t nn = int16_t(n);
        std::vector<Pair> pairs = {
            {u"RSI(%1)"_qs.arg(n), [&](int s) { return double(calcRSI(b, nn, int16_t(s))); }},
            {u"KAIRI(%1)"_qs.arg(n), [&](int s) { return double(calcKAIRI(b, nn, int16_t(s))); }},
            {u"PSY(%1)"_qs.arg(n), [&](int s) { return double(calcPSYC(b, nn, int16_t(s))); }},
            {u"MA(C,%1)"_qs.arg(n), [&](int s) { return calcMA(b, n, s); }},
        };
        if (n >= 2) pairs.push_back({u"RCI(%1)"_qs.arg(n), [&](int s) { return double(calcRCI(b, nn, int16_t(s))); }});
        for (const Pair &pair : pairs) {
            const auto p = formula::compile(pair.text);
            ASSERT_TRUE(p);
            const std::vector<double> all = formula::evaluateRange(*p, b, 1, 120);
            int valued = 0;
            for (int pos = 1; pos <= 120; ++pos) {
                const auto v = formula::evaluate(*p, b, pos);
                // The chart's position is the table's minus one; it has a value with n + 1 bars.
                const bool exists = pair.text.startsWith(u"MA"_qs) ? pos + n - 1 <= 120 : pos + n <= 120;
                ASSERT_EQ(bool(v), exists) << pair.text.toStdString() << " at " << pos;
                ASSERT_EQ(std::isnan(all[size_t(pos - 1)]), !exists);
                if (!v) continue;
                ++valued;
                EXPECT_EQ(*v, pair.chart(pos - 1)) << pair.text.toStdString() << " at " << pos;
                EXPECT_EQ(all[size_t(pos - 1)], *v);
            }
            EXPECT_GT(valued, 0) << pair.text.toStdString();
        }
    }
}

TEST(Formula, RangeEqualsEachPositionAndNeverReadsNewerBars)
{
    const QString texts[] = {u"CROSS(C, MA(C,25)) AND V > MA(V,5)*2"_qs, u"EMA(C,7) - MA(C,7)"_qs,
                             u"HHV(MA(H,3),5) / LLV(L[2],4)"_qs, u"ROC(TURNOVER,3) + RCI(9) + RSI(14)"_qs,
                             u"NOT (C > C[1] OR C / (C - C[1]) > 3)"_qs};
    BarVars b = walkTable(90);
    for (const QString &t : texts) {
        const auto p = formula::compile(t);
        ASSERT_TRUE(p) << t.toStdString();
        const std::vector<double> all = formula::evaluateRange(*p, b, 0, 95);
        ASSERT_EQ(all.size(), 96u);
        for (int s = 0; s <= 95; ++s) {
            const auto v = formula::evaluate(*p, b, s);
            const double r = all[size_t(s)];
            ASSERT_EQ(bool(v), !std::isnan(r)) << t.toStdString() << " at " << s;
            if (v) {
                EXPECT_EQ(*v, r);
            }
        }
        // A future bar that would change every value if read: positions newer than s are spoilt.
        for (int s : {1, 10, 40}) {
            BarVars spoilt = b;
            for (int q = 0; q < s; ++q) {
                spoilt.BarClose[size_t(q)] *= 3, spoilt.BarOpen[size_t(q)] = 1, spoilt.BarHigh[size_t(q)] = 1e6;
                spoilt.BarLow[size_t(q)] = 0, spoilt.BarVolume[size_t(q)] = 1e9;
            }
            const auto before = formula::evaluate(*p, b, s), after = formula::evaluate(*p, spoilt, s);
            ASSERT_EQ(bool(before), bool(after)) << t.toStdString() << " at " << s;
            if (before) {
                EXPECT_EQ(*before, *after) << t.toStdString() << " at " << s;
            }
        }
    }
}

TEST(Formula, HostileTablesAndPositionsGiveNoValue)
{
    const auto p = formula::compile(u"MA(C,3) + RSI(2) + C[1500]"_qs);
    ASSERT_TRUE(p);
    BarVars b = handTable();
    for (int s : {-5, -1, 9, 1601, 1602, 5000}) EXPECT_FALSE(formula::evaluate(*p, b, s)) << s;
    // A count beyond the tables is read only as far as the tables go.
    b.BarCount = 32767;
    const auto q = formula::compile(u"HHV(C,1500)[100]"_qs);
    ASSERT_TRUE(q);
    EXPECT_TRUE(formula::evaluate(*q, b, 2));   // reads 102 .. 1601, the oldest position of the tables
    EXPECT_FALSE(formula::evaluate(*q, b, 3));
    EXPECT_EQ(formula::evaluateRange(*q, b, 5, 3).size(), 0u);
    const auto ma = formula::compile(u"MA(C,1500) + MA(C*1,1500)"_qs);
    ASSERT_TRUE(ma);
    EXPECT_TRUE(formula::evaluate(*ma, b, 102));
    EXPECT_FALSE(formula::evaluate(*ma, b, 103));
    EXPECT_TRUE(std::isnan(calcMA(b, 1500, 102)));
    // Overflow to infinity is no value, not a made-up number.
    const auto big = formula::compile(u"1e300 * 1e300"_qs);
    ASSERT_TRUE(big);
    EXPECT_FALSE(formula::evaluate(*big, b, 1));
}
