#pragma once
// The small market every backtest test runs on: eight trading days of 1001 (2026-01-05 to
// 2026-01-15, the 12th a holiday), 1301 swinging by 10%, 1332 with a 1:2 split ex 2026-01-13,
// 130A listed on 2026-01-08, 1333, and 1334 in the master without a price file. Each bar's open,
// high and low equal its close; the volume is 1000.
#include "backtest/Backtest.h"
#include "support/TestSupport.h"

#include <map>
#include <ostream>
#include <vector>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &s, std::ostream *os) { *os << s.toStdString(); }
QT_END_NAMESPACE

namespace velor::test {

inline const std::vector<int32_t> kMarketDays{20260105, 20260106, 20260107, 20260108,
                                              20260109, 20260113, 20260114, 20260115};

/// Closes oldest first, aligned to the last days of kMarketDays.
inline std::map<int, std::vector<float>> marketCloses()
{
    return {{1001, {1000, 1010, 1020, 1030, 1040, 1050, 1060, 1070}},
            {1301, {300, 330, 363, 330, 297, 330, 363, 300}},
            {1332, {400, 420, 400, 440, 460, 240, 230, 250}},
            {codeFromText(std::string_view("130A")).value(), {50, 60, 45, 90, 99}},
            {1333, {80, 76, 80, 84, 80, 88, 90, 72}}};
}

/// Writes one stock's price file from its closes (oldest first).
inline void writeCloses(ProgramFolder &f, int code, const std::vector<float> &closes)
{
    PriceSections s;
    const size_t skip = kMarketDays.size() - closes.size();
    for (size_t i = closes.size(); i-- > 0;) {
        const float c = closes[i];
        s[0].push_back({kMarketDays[skip + i], c, c, c, c, 1000});
    }
    writeFile(f.st.priceFilePath(code), formatPriceFile(s));
}

/// The market in a temporary program folder, its master and split.dat loaded into f.st; the
/// screens' floors (VELOR.ini and f.st) let every stock through.
inline void writeMarket(ProgramFolder &f, const std::map<int, std::vector<float>> &closes = marketCloses())
{
    writeFile(f.program + QStringLiteral("VELOR.ini"), validSettings(f.data).replace("100,50000,300000000\r\n", "0,100000,0\r\n"));
    f.st.FilterMinPrice = 0, f.st.FilterMaxPrice = 100000, f.st.FilterTurnoverBase = 0;
    f.writeMaster({{1001, QStringLiteral("日経平均"), 1}, {1301, QStringLiteral("極洋"), 1},
                   {codeFromText(std::string_view("130A")).value(), QStringLiteral("新規上場"), 3},
                   {1332, QStringLiteral("日本水産"), 1}, {1333, QStringLiteral("マルハ"), 1},
                   {1334, QStringLiteral("ファイルなし"), 2}});
    for (const auto &[code, c] : closes) writeCloses(f, code, c);
    writeFile(f.data + QStringLiteral("split.dat"), "1332,20260113,1:2\r\n");
    ASSERT_TRUE(f.st.actions.load(actionsPath(f.data)).has_value());
}

/// The CSV of the screen below (C > C[1], scored by C) over 2026-01-06..14, top 2, holds 1 and 2.
// Picks of 2026-01-06..09 see 1332's raw prices (its 1:2 split is ex 2026-01-13, not yet known),
// and from the 13th its halved history; 130A ties 1333 at 90 on the 14th and goes first by the
// exchange's order; the 2-day returns of the 14th reach past the stored bars.
inline QStringList handCsv()
{
    return {
        QStringLiteral("date,code,score,close,r1,r2"),
        QStringLiteral("2026-01-06,1332,420,420,-0.047619047619047616,0.047619047619047616"),
        QStringLiteral("2026-01-06,1301,330,330,0.1,0"),
        QStringLiteral("2026-01-07,1301,363,363,-0.09090909090909091,-0.18181818181818182"),
        QStringLiteral("2026-01-07,1333,80,80,0.05,0"),
        QStringLiteral("2026-01-08,1332,440,440,0.045454545454545456,0.09090909090909091"),
        QStringLiteral("2026-01-08,1333,84,84,-0.047619047619047616,0.047619047619047616"),
        QStringLiteral("2026-01-09,1332,460,460,0.043478260869565216,0"),
        QStringLiteral("2026-01-09,130A,60,60,-0.25,0.5"),
        QStringLiteral("2026-01-13,1301,330,330,0.1,-0.09090909090909091"),
        QStringLiteral("2026-01-13,1332,240,240,-0.041666666666666664,0.041666666666666664"),
        QStringLiteral("2026-01-14,1301,363,363,-0.17355371900826447,"),
        QStringLiteral("2026-01-14,130A,90,90,0.1,"),
    };
}

/// A screen written out by hand: the close rose from the previous bar; scored by the close.
class RisingCloseScreen final : public BacktestScreen {
public:
    bool hasScore() const override { return true; }
    int lookback() const override { return 1; }
    void evaluate(const BarVars &t, int first, int last, std::vector<uint8_t> &pass, std::vector<double> &score) override
    {
        pass.assign(size_t(last) + 1, 0);
        score.assign(size_t(last) + 1, kNoValue);
        for (int p = first; p <= last; ++p) {
            score[size_t(p)] = t.BarClose[size_t(p)];
            pass[size_t(p)] = p < t.BarCount && t.BarClose[size_t(p)] > t.BarClose[size_t(p + 1)];
        }
    }
};

} // namespace velor::test
