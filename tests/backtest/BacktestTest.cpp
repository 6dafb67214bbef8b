// The backtest engine on a small market whose every number was worked out by hand.
#include "backtest/BacktestMarket.h"
#include "backtest/BacktestReport.h"
#include "backtest/DailyHistory.h"
#include "backtest/BacktestSetup.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <bit>
#include <string>

namespace velor::test {

namespace {

BacktestOptions rangeOptions(int32_t from = 20260106, int32_t to = 20260114)
{
    BacktestOptions o;
    o.from = from, o.to = to;
    o.holds = {1, 2};
    o.top = 2;
    return o;
}

BacktestResult run(const State &st, const BacktestOptions &o)
{
    RisingCloseScreen screen;
    auto r = runBacktest(st, screen, o);
    EXPECT_TRUE(r.has_value()) << (r ? QString() : r.error()).toStdString();
    return r ? *r : BacktestResult{};
}

const QStringList kCsv = handCsv();

} // namespace

TEST(Backtest, HandBuiltMarketGivesTheHandComputedPicksReturnsAndSummary)
{
    ProgramFolder f;
    writeMarket(f);
    BacktestOptions o = rangeOptions();
    o.readAhead = false;
    EXPECT_EQ(backtestCsv(run(f.st, o)), kCsv);   // the files read one after the other
    o.readAhead = true;
    const BacktestResult r = run(f.st, o);
    EXPECT_EQ(backtestCsv(r), kCsv);
    EXPECT_EQ(r.days, (std::vector<int32_t>{20260106, 20260107, 20260108, 20260109, 20260113, 20260114}));
    EXPECT_EQ(r.stocks, 4);
    EXPECT_EQ(r.missingFiles, 1);   // 1334
    EXPECT_FALSE(r.stopped);
    // Means, medians and shares of the twelve 1-bar and ten 2-bar pick returns and of the market's
    // 22 and 18; the curves multiply each day's average 1-bar return.
    EXPECT_EQ(backtestSummary(r, QStringLiteral("テスト"), o),
              (QStringList{
                  QStringLiteral("バックテスト: テスト"),
                  QStringLiteral("期間: 2026-01-06 〜 2026-01-14（営業日 6 日）  上位 2 銘柄を毎日の終値で選ぶ"),
                  QStringLiteral("選んだ銘柄: 延べ 12（選んだ日 6 日、調べた銘柄 4）"),
                  QStringLiteral("保有 1 日: 選定 件数 12  平均 -1.77%  中央値 0.09%  上昇 50.00%  ／ 市場 件数 22  平均 5.28%  "
                                 "中央値 4.77%  上昇 63.64%"),
                  QStringLiteral("保有 2 日: 選定 件数 10  平均 4.55%  中央値 2.08%  上昇 50.00%  ／ 市場 件数 18  平均 10.98%  "
                                 "中央値 4.46%  上昇 55.56%"),
                  QStringLiteral("等金額・毎日リバランスの曲線: 選定 最終 0.8926  最大ドローダウン -13.02%  ／ 市場 最終 1.3108  "
                                 "最大ドローダウン -4.66%"),
              }));
    ASSERT_EQ(r.curve.size(), 7u);
    EXPECT_NEAR(r.curve[1], 1.026190476190476, 1e-12);       // (-10/210 + 33/330) / 2
    EXPECT_NEAR(r.curve[4], 0.900426824324097, 1e-12);       // the trough after the peak at [1]
    EXPECT_NEAR(r.drawdown, 0.1301726405901651, 1e-12);
    EXPECT_NEAR(r.marketDrawdown, 0.046649299317283455, 1e-12);
}

TEST(Backtest, TheLastStoredDayHasEmptyReturnCells)
{
    ProgramFolder f;
    writeMarket(f);
    const BacktestResult r = run(f.st, rangeOptions(20260115, 20260131));
    EXPECT_EQ(backtestCsv(r), (QStringList{QStringLiteral("date,code,score,close,r1,r2"), QStringLiteral("2026-01-15,1332,250,250,,"),
                                           QStringLiteral("2026-01-15,130A,99,99,,")}));
    EXPECT_EQ(r.pickStats[0].count, 0);
    EXPECT_EQ(percentText(r.pickStats[0].mean), QStringLiteral("－"));
    EXPECT_EQ(r.curve, (std::vector<double>{1, 1}));   // nothing to hold: the curve stays flat
}

// A price planted on 2026-01-14 that would put 1332 first on the 13th (and make it pass on the
// 9th's next bar) if the screen read ahead: the picks of the days before it keep their scores
// and closes; only returns whose holding reaches the 14th change.
TEST(Backtest, APlantedFuturePriceChangesOnlyTheReturnsThatReachIt)
{
    ProgramFolder f;
    auto closes = marketCloses();
    closes[1332][6] = 1000;
    writeMarket(f, closes);
    const QStringList csv = backtestCsv(run(f.st, rangeOptions(20260106, 20260113)));
    QStringList expected = kCsv.mid(0, 11);
    expected[7] = QStringLiteral("2026-01-09,1332,460,460,0.043478260869565216,3.347826086956522");
    expected[10] = QStringLiteral("2026-01-13,1332,240,240,3.1666666666666665,0.041666666666666664");
    EXPECT_EQ(csv, expected);

    // A 1:3 split of 1301 ex 2026-01-14 is not known on the days before: its picks keep their raw
    // closes, and the returns across the split, measured on adjusted bars, are those of the
    // unsplit market.
    ProgramFolder g;
    closes = marketCloses();
    closes[1301][6] = 121, closes[1301][7] = 100;
    writeMarket(g, closes);
    writeFile(g.data + QStringLiteral("split.dat"), "1301,20260114,1:3\r\n1332,20260113,1:2\r\n");
    ASSERT_TRUE(g.st.actions.load(actionsPath(g.data)).has_value());
    EXPECT_EQ(backtestCsv(run(g.st, rangeOptions(20260106, 20260113))), kCsv.mid(0, 11));
}

TEST(Backtest, OptionsOutOfRangeAndRangesWithoutTradingDaysAreRefused)
{
    ProgramFolder f;
    writeMarket(f);
    struct Case {
        BacktestOptions options;
        QString message;
    };
    auto with = [](auto change) {
        BacktestOptions o = rangeOptions();
        change(o);
        return o;
    };
    const std::vector<Case> cases{
        {with([](auto &o) { o.from = 0; }), QStringLiteral("開始日と終了日を指定してください。")},
        {with([](auto &o) { o.from = 20260114, o.to = 20260106; }), QStringLiteral("開始日 2026-01-14 が終了日 2026-01-06 より後です。")},
        {with([](auto &o) { o.holds.clear(); }), QStringLiteral("保有期間を 1 つ以上指定してください。")},
        {with([](auto &o) { o.holds = {5, 0}; }), QStringLiteral("保有期間 0 は 1 から 1600 までの日数ではありません。")},
        {with([](auto &o) { o.holds = {1601}; }), QStringLiteral("保有期間 1601 は 1 から 1600 までの日数ではありません。")},
        {with([](auto &o) { o.holds = std::vector<int>(11, 5); }), QStringLiteral("保有期間は 10 個までです（11 個あります）。")},
        {with([](auto &o) { o.top = 0; }), QStringLiteral("選ぶ銘柄数 0 は 1 から 5000 までの数ではありません。")},
        {with([](auto &o) { o.from = 20260110, o.to = 20260112; }),
         QStringLiteral("期間 2026-01-10 〜 2026-01-12 に営業日（1001 の日足のある日）がありません。")},
    };
    for (const Case &c : cases) {
        RisingCloseScreen screen;
        const auto r = runBacktest(f.st, screen, c.options);
        ASSERT_FALSE(r.has_value()) << c.message.toStdString();
        EXPECT_EQ(r.error(), c.message);
    }
    QFile::remove(f.st.priceFilePath(1001));
    RisingCloseScreen screen;
    const auto r = runBacktest(f.st, screen, rangeOptions());
    ASSERT_FALSE(r.has_value());
    EXPECT_EQ(r.error(), QStringLiteral("営業日の基準にする 1001 を読めません: データファイル ") + f.st.priceFilePath(1001) +
                             QStringLiteral(" がありません"));
}

TEST(Backtest, AnUnreadableFileIsNamedAndLeftOutAndAStopEndsEarly)
{
    ProgramFolder f;
    writeMarket(f);
    QByteArray bytes = readFile(f.st.priceFilePath(1333));
    bytes.replace("20260114,90,90,90,90,1000", "20260114,90,x,90,90,1000");
    writeFile(f.st.priceFilePath(1333), bytes);
    const BacktestResult r = run(f.st, rangeOptions());
    EXPECT_EQ(r.unreadable, QStringList{QStringLiteral("データファイル ") + f.st.priceFilePath(1333) + QStringLiteral(" の 3 行目が読めません")});
    EXPECT_EQ(r.stocks, 3);
    for (const auto &p : r.picks) EXPECT_NE(p.code, 1333);
#ifndef _WIN32
    // A FIFO where a price file belongs is refused at once rather than waited on; a line longer
    // than any bar line ends the file's reading as the bar loader's does.
    QFile::remove(f.st.priceFilePath(1301));
    ASSERT_EQ(::mkfifo(QFile::encodeName(f.st.priceFilePath(1301)).constData(), 0600), 0);
    writeFile(f.st.priceFilePath(1333), "8,0,0\r\n20260115," + QByteArray(300, '7') + ",1,1,1,1\r\n");
    const BacktestResult hostile = run(f.st, rangeOptions());
    EXPECT_EQ(hostile.unreadable, (QStringList{QStringLiteral("ファイル：　") + f.st.priceFilePath(1301) + QStringLiteral(" は通常のファイルではありません。"),
                                               QStringLiteral("データファイル ") + f.st.priceFilePath(1333) + QStringLiteral(" の 2 行目が読めません")}));
    EXPECT_EQ(hostile.stocks, 2);
#endif

    RisingCloseScreen screen;
    Backtest b(f.st, screen, rangeOptions());
    ASSERT_TRUE(b.start().has_value());
    EXPECT_TRUE(b.step(1));
    EXPECT_EQ(b.done(), 1);
    EXPECT_EQ(b.total(), 6);
    const BacktestResult part = b.finish(true);
    EXPECT_TRUE(part.stopped);
    EXPECT_EQ(part.curve.size(), 7u);

    // The master reloaded between steps (the window's run goes on between events): the run keeps
    // to the master it started with.
    ProgramFolder g;
    writeMarket(g);
    Backtest c(g.st, screen, rangeOptions());
    ASSERT_TRUE(c.start().has_value());
    c.step(2);
    g.st.StockCode.assign(1, 0);
    g.st.StockCount = 0;
    while (c.step(1)) {}
    EXPECT_EQ(backtestCsv(c.finish()), kCsv);
}

TEST(Backtest, StatisticsAndDrawdownOfSmallSeries)
{
    struct Case {
        std::vector<double> values;
        long long count;
        double mean, median, rose;
    };
    const std::vector<Case> cases{
        {{0.5}, 1, 0.5, 0.5, 1},
        {{0.25, -0.5, 0, 1}, 4, 0.1875, 0.125, 0.5},
        {{-0.25, 0.5, -0.75}, 3, -0.5 / 3, -0.25, 1.0 / 3},
    };
    for (const Case &c : cases) {
        const ReturnStats s = returnStats(c.values);
        EXPECT_EQ(s.count, c.count);
        EXPECT_DOUBLE_EQ(s.mean, c.mean);
        EXPECT_DOUBLE_EQ(s.median, c.median);
        EXPECT_DOUBLE_EQ(s.rose, c.rose);
    }
    EXPECT_EQ(returnStats({}).count, 0);
    // A market's worth of values goes through the counting selection: -50 .. 50 in steps of
    // 0.001, in a scrambled order, with and without its middle value.
    std::vector<double> many;
    for (int i = 0; i <= 100000; ++i) many.push_back(double((i * 7919) % 100001) / 1000 - 50);
    EXPECT_DOUBLE_EQ(returnStats(many).median, 0);
    many.erase(std::find(many.begin(), many.end(), 50.0));
    EXPECT_DOUBLE_EQ(returnStats(many).median, (49999.0 / 1000 - 50) / 2);   // the mean of -0.001 and 0
    EXPECT_EQ(returnStats(many).count, 100000);
    EXPECT_DOUBLE_EQ(maxDrawdown({1, 1.5, 0.75, 1.2, 0.6, 2}), 0.6);   // 1.5 down to 0.6
    EXPECT_DOUBLE_EQ(maxDrawdown({1, 1.1, 1.2}), 0);
}

// The bar lines a backtest reads give, bit for bit, what the bar loader's reader gives.
TEST(Backtest, BarLinesReadAsTheBarLoaderReadsThem)
{
    const std::vector<std::string> lines{
        "20261127,154,154,153,154,795800",          "20261127,34264.8,34345.98,34045.05,34117.18,1940.79",
        "20261127,0.1,0.2,0.3,0.7,14136.949999999997", " 20261127, 154,154,153,154,795800",
        "20261127,+154,154,153,154,795800",         "20261127,1e3,154,153,154,795800",
        "20261127,154.,.5,153,154,7958.00",         "20261127,16777217,154,153,154,1",
        "20261127,123456.789,0.0000000001,1,1,1",   "20261127,1,1,1,1,1\r",
        "20261127,154,154,153,154",                 "20261127,154,154,153,154,795800,1",
        "x,1,1,1,1,1",                              "20261127,,1,1,1,1",
        "20261127,1,1,1,1,",                        "20261127,-5,1,1,1,1",
        "",                                         "20261127,1..5,1,1,1,1",
        "20261127,12345678,1234567.8,0.12345678,1.2345678,123456789012", "20261127,1,1,1,1,123456789",
        "2026112,1,1,1,1,1",                        "202611270,1,1,1,1,1",
        "20261127,1,1,1,1,1.5e3",                   "20261127,1,1,1,1,99999999.9999999",
        "20261127,00154,0.50,1.,1,1",               "20261127,1,1,1,1,1 ",
        "20261127,1,1,1,1,1,",                      "20,61125,1,1,1,1,",
        "20261117.,1,1,1,1,1",                      "20261117",
    };
    const auto same = [](const std::string &line) {
        const auto a = readBarLine(line.data(), line.data() + line.size());
        const auto b = parseBarLine(line.data(), line.data() + line.size());
        if (a.has_value() != b.has_value()) return false;
        if (!a) return true;
        return a->date == b->date && std::bit_cast<uint32_t>(a->open) == std::bit_cast<uint32_t>(b->open) &&
               std::bit_cast<uint32_t>(a->high) == std::bit_cast<uint32_t>(b->high) &&
               std::bit_cast<uint32_t>(a->low) == std::bit_cast<uint32_t>(b->low) &&
               std::bit_cast<uint32_t>(a->close) == std::bit_cast<uint32_t>(b->close) &&
               std::bit_cast<uint64_t>(a->volume) == std::bit_cast<uint64_t>(b->volume);
    };
    for (const std::string &line : lines) EXPECT_TRUE(same(line)) << line;
    EXPECT_FALSE(readBarLine(lines[10].data(), lines[10].data() + lines[10].size()).has_value());
    // Every count of decimals over a spread of digits, near and at the limits of the quick path.
    for (uint64_t i = 0; i < 60000; ++i) {
        const uint64_t digits = (i * 2654435761u) % 16777300;
        const int k = int(i % 12);
        std::string text = std::to_string(digits);
        if (k > 0) {
            text.insert(0, size_t(std::max(0, k + 1 - int(text.size()))), '0');
            text.insert(text.size() - size_t(k), ".");
        }
        const std::string line = "20260105," + text + "," + text + "," + text + "," + text + "," + text + text;
        ASSERT_TRUE(same(line)) << line;
    }
}

} // namespace velor::test

namespace velor::test {

namespace {

BacktestResult runFormula(const State &st, const QString &filter, const QString &score, const BacktestOptions &o)
{
    FormulaScreenText text;
    text.filter = filter, text.score = score, text.bottom = o.bottom;
    auto prepared = prepareBacktest(st, text, o);
    EXPECT_TRUE(prepared.has_value()) << (prepared ? QString() : prepared.error()).toStdString();
    if (!prepared) return {};
    if (o.entries) prepared->options.entries = o.entries;
    auto r = runBacktest(st, prepared->screen, prepared->options);
    EXPECT_TRUE(r.has_value());
    return r ? *r : BacktestResult{};
}

// The date, code, score and close of each pick before `day`.
QStringList picksBefore(const BacktestResult &r, int32_t day)
{
    QStringList out;
    for (const QString &line : backtestCsv(r).mid(1))
        if (line.left(10) < backtestDateText(day)) out << line.section(',', 0, 3);
    return out;
}

} // namespace

TEST(FormulaBacktest, TheFormulaOfTheHandWrittenScreenGivesTheSameLines)
{
    ProgramFolder f;
    writeMarket(f);
    EXPECT_EQ(backtestCsv(runFormula(f.st, QStringLiteral("C > C[1]"), QStringLiteral("C"), rangeOptions())), kCsv);
    // Without a score the stocks that pass rank by their turnover, as in a formula screen; the
    // bottom ones first with bottom.
    BacktestOptions o = rangeOptions(20260109, 20260109);
    o.bottom = true;
    EXPECT_EQ(backtestCsv(runFormula(f.st, QStringLiteral("C > C[1]"), QString(), o)),
              (QStringList{QStringLiteral("date,code,score,close,r1,r2"), QStringLiteral("2026-01-09,130A,60000,60,-0.25,0.5"),
                           QStringLiteral("2026-01-09,1332,460000,460,0.043478260869565216,0")}));
    // A screen over a list picks only its stocks; the market stays the whole market.
    o = rangeOptions(20260106, 20260107);
    o.top = 5;
    o.entries = std::vector<int>{f.st.entryOf(1333), f.st.entryOf(1301)};
    const BacktestResult listed = runFormula(f.st, QStringLiteral("C > C[1]"), QStringLiteral("C"), o);
    EXPECT_EQ(backtestCsv(listed), (QStringList{QStringLiteral("date,code,score,close,r1,r2"), kCsv[2], kCsv[3], kCsv[4]}));
    EXPECT_EQ(listed.marketStats[0].count, 6);
}

// Every function of the language, on a market whose 2026-01-14 bars are planted far away: the
// picks and scores of the days before are those of the untouched market.
TEST(FormulaBacktest, NoFunctionReadsAPlantedFutureBar)
{
    ProgramFolder clean, planted;
    writeMarket(clean);
    auto closes = marketCloses();
    for (auto &[code, c] : closes) c[c.size() - 2] *= 7;
    writeMarket(planted, closes);
    const std::vector<std::pair<QString, QString>> formulas{
        {QStringLiteral("C > MA(C,2)"), QStringLiteral("MA(C,3)")},
        {QStringLiteral("C >= EMA(C,1)"), QStringLiteral("EMA(H,1) - C")},
        {QStringLiteral("C = HHV(C,3)"), QStringLiteral("LLV(L,3)")},
        {QStringLiteral("ROC(C,1) > 0"), QStringLiteral("ROC(C,2)")},
        {QStringLiteral("REF(C,1) > 0"), QStringLiteral("REF(C,1) + C")},
        {QStringLiteral("CROSS(C, MA(C,2)) OR C < C[1]"), QStringLiteral("TURNOVER")},
        {QStringLiteral("RSI(2) >= 0"), QStringLiteral("RSI(2) + RCI(3)")},
        {QStringLiteral("KAIRI(2) > 0 OR PSY(2) >= 0"), QStringLiteral("KAIRI(2)")},
    };
    BacktestOptions o = rangeOptions(20260106, 20260115);
    o.top = 5;
    for (const auto &[filter, score] : formulas) {
        const QStringList before = picksBefore(runFormula(clean.st, filter, score, o), 20260114);
        EXPECT_FALSE(before.isEmpty()) << filter.toStdString();
        EXPECT_EQ(picksBefore(runFormula(planted.st, filter, score, o), 20260114), before) << filter.toStdString();
        // The planted day itself is read: the test would see a formula that ignored the bars.
        EXPECT_NE(backtestCsv(runFormula(planted.st, filter, score, o)), backtestCsv(runFormula(clean.st, filter, score, o)))
            << filter.toStdString();
    }
}

// 1332's line of 2026-01-09 stored twice (a damaged file): the stock is one pick that day, from
// its newest line.
TEST(FormulaBacktest, ADateStoredTwiceGivesOnePick)
{
    ProgramFolder f;
    writeMarket(f);
    QByteArray bytes = readFile(f.st.priceFilePath(1332));
    const QByteArray line = "20260109,460,460,460,460,1000\r\n";
    bytes.replace("8,0,0\r\n", "9,0,0\r\n").replace(line, line + line);
    writeFile(f.st.priceFilePath(1332), bytes);
    BacktestOptions o = rangeOptions(20260109, 20260109);
    o.top = 5;
    EXPECT_EQ(backtestCsv(runFormula(f.st, QStringLiteral("C > 0"), QStringLiteral("C"), o)),
              (QStringList{kCsv[0], kCsv[7], QStringLiteral("2026-01-09,1301,297,297,0.1111111111111111,0.2222222222222222"),
                           QStringLiteral("2026-01-09,1333,80,80,0.1,0.125"), kCsv[8]}));
}

TEST(FormulaBacktest, TheScreensFloorsApplyToEachDaysBar)
{
    ProgramFolder f;
    writeMarket(f);
    // 130A and 1333 trade below 100 yen; 1332's first day after its split turns over 240,000 yen.
    f.st.FilterMinPrice = 100, f.st.FilterTurnoverBase = 300000;
    EXPECT_EQ(backtestCsv(runFormula(f.st, QStringLiteral("C > C[1]"), QStringLiteral("C"), rangeOptions())),
              (QStringList{kCsv[0], kCsv[1], kCsv[2], kCsv[3], kCsv[5], kCsv[7], kCsv[9], kCsv[11]}));
    f.st.FilterMinPrice = 0, f.st.FilterTurnoverBase = 0, f.st.FilterMaxPrice = 400;
    EXPECT_EQ(backtestCsv(runFormula(f.st, QStringLiteral("C > C[1]"), QStringLiteral("C"), rangeOptions(20260106, 20260107))),
              (QStringList{kCsv[0], kCsv[2], kCsv[3], kCsv[4]}));
}

} // namespace velor::test
