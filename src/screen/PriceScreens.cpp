// The rankings by the last bar's price and volume: 全般, 当日上昇率, 値幅率, 新規上場／上場廃止.
#include "screen/Screens.h"

#include <algorithm>

namespace velor {

namespace {

// The reference bar (k) and the bar before it (k + 1) of the loaded stock.
struct RefBars {
    float O, H, L, C, Hp, Lp, Cp;
    double V, Vp;
    RefBars(const State &st, int k)
        : O(st.BarOpen[size_t(k)]), H(st.BarHigh[size_t(k)]), L(st.BarLow[size_t(k)]), C(st.BarClose[size_t(k)]),
          Hp(st.BarHigh[size_t(k + 1)]), Lp(st.BarLow[size_t(k + 1)]), Cp(st.BarClose[size_t(k + 1)]),
          V(st.BarVolume[size_t(k)]), Vp(st.BarVolume[size_t(k + 1)])
    {
    }
};

} // namespace

void Screens::RANKING()
{
    run([this] {
        m_st.QuoteMode = m_st.BarOffset == -1 ? 7 : 0;
        const QString stamp = BeginScreen(QStringLiteral("ランキング全般"));
        walkMaster([this](int i) {
            resetScores(i, 1.0, 0, 1.0, 0);
            if (m_st.CurCode < 1301) return;
            load(2);
            const RefBars b(m_st, ref());
            if (!admitted(double(b.C) * b.V, b.C) || b.O == 0 || m_st.BarDate[1] != m_st.LastTradeDate) return;
            if (b.Cp != 0) Score1[size_t(i)] = double(b.C) / b.Cp;
            Score2[size_t(i)] = b.V / 10000;
            if (b.Vp != 0) Score3[size_t(i)] = b.V / b.Vp;
            Score4[size_t(i)] = double(b.C) * b.V / 1e8;
        });
        m_view.clearLines();
        const int n = m_st.RankRows;
        writeList({&Score1, Walk::Top, Keep::Above, 1, QStringLiteral("★値上がり率（対前日比）★　５値　"), n}, stamp);
        writeList({&Score1, Walk::Bottom, Keep::Below, 1, QStringLiteral("★値下がり率（対前日比）★　５値　"), n}, stamp);
        writeList({&Score3, Walk::Top, Keep::Above, 1, QStringLiteral("★出来高上昇率（対前日比）★　５値"), n}, stamp);
        writeList({&Score3, Walk::Bottom, Keep::Below, 1, QStringLiteral("★出来高下降率（対前日比）★　５値"), n}, stamp);
        writeList({&Score2, Walk::Top, Keep::Any, 0, QStringLiteral("★出来高（万株）★　５値  "), n}, stamp);
        writeList({&Score4, Walk::Top, Keep::Any, 0, QStringLiteral("★出来高（金額：億円）★　５値 "), n}, stamp);
        EndScreen();
    });
}

void Screens::Toujitu()
{
    run([this] {
        const int16_t savedOffset = m_st.BarOffset;
        m_st.QuoteMode = m_st.LiveMode ? 7 : 0;
        m_st.BarOffset = m_st.LiveMode ? -1 : 0;
        const QString stamp = BeginScreen(QStringLiteral("当日上昇率"));
        walkMaster([this](int i) {
            resetScores(i, 1.0, 1.0);
            load(2);
            const RefBars b(m_st, ref());
            if (!admitted(m_st.CurTurnover, b.C)) return;
            if (b.O != 0) Score1[size_t(i)] = double(b.C) / b.O;
            if (b.Vp != 0) Score2[size_t(i)] = b.V * Score1[size_t(i)] / b.Vp;
        });
        m_view.clearLines();
        const int n = m_st.RankRows;
        writeList({&Score1, Walk::Top, Keep::Above, 1, QStringLiteral("★当日上昇率大★　５値 "), n}, stamp);
        writeList({&Score1, Walk::Bottom, Keep::Below, 1, QStringLiteral("★当日上昇率小★　５値"), n}, stamp);
        writeList({&Score2, Walk::Top, Keep::Any, 0, QStringLiteral("★当日上昇率*出来高上昇率　大★　５値 "), n}, stamp);
        writeList({&Score2, Walk::Bottom, Keep::Any, 0, QStringLiteral("★当日上昇率*出来高上昇率　小★　５値 "), n}, stamp);
        EndScreen();
        m_st.BarOffset = savedOffset;
    });
}

void Screens::neHABA(int variant)
{
    if (variant < 0 || variant > 3) return;
    run([this, variant] {
        m_st.QuoteMode = m_st.BarOffset == -1 ? 7 : 0;
        const QString stamp = BeginScreen(QStringLiteral("値幅率"));
        walkMaster([this, variant](int i) {
            resetScores(i, 0, 0);
            load(2);
            const RefBars b(m_st, ref());
            if (!admitted(m_st.CurTurnover, b.C)) return;
            double &s1 = Score1[size_t(i)];
            if (variant == 0 && b.C != 0) s1 = double(b.H - b.L) / b.C;
            if (variant == 1 && b.C != 0) s1 = double(b.H - b.L) / b.C * b.V;
            if (variant == 2 && b.C != 0) s1 = double(std::max(b.H, b.Hp) - std::min(b.L, b.Lp)) / b.C * b.V;
            if (variant == 3) s1 = double(b.H - b.L) * b.V;
            if (b.Vp != 0) Score2[size_t(i)] = b.V * s1 / b.Vp;
        });
        static const char16_t *heads[4][2] = {
            {u"★値幅率★　５値 ", u"★値幅率×出来高上昇率★　５値 "},
            {u"★値幅率×出来高（株数）★　５値 ", u"★値幅率×出来高（株数）×出来高上昇率★　５値 "},
            {u"★値幅率（前日の値含む）×出来高（株数）★　５値 ", u"★値幅率（前日含の終値含む）×出来高上昇率★　５値 "},
            {u"★値幅率×出来高（金額）★　５値 ", u"★値幅率×出来高（金額）×出来高上昇率★　５値 "}};
        m_view.clearLines();
        const int n = m_st.RankRows;
        writeList({&Score1, Walk::Top, Keep::Any, 0, QString::fromUtf16(heads[variant][0]), n}, stamp);
        writeList({&Score2, Walk::Top, Keep::Any, 0, QString::fromUtf16(heads[variant][1]), n}, stamp);
        EndScreen();
    });
}

void Screens::SHINKI_HAISHI()
{
    run([this] {
        const int16_t live = m_st.LiveMode, offset = m_st.BarOffset, mode = m_st.QuoteMode;
        m_st.LiveMode = m_st.BarOffset = m_st.QuoteMode = 0;
        const QString stamp = BeginScreen(QStringLiteral("新規上場／上場廃止銘柄の検索（絞込制限なし）"));
        walkMaster([this](int i) {
            resetScores(i, 0, 0);
            load(2);
            Score1[size_t(i)] = m_st.BarCount;
            // A stock without any bar has no date at all (0), not the previous stock's.
            const int32_t date = m_st.BarCount > 0 ? m_st.BarDate[size_t(ref())] : 0;
            Score2[size_t(i)] = date == m_st.LastTradeDate ? 1e12 : double(date);
        });
        m_view.clearLines();
        const int n = m_st.RankRows;
        writeList({&Score1, Walk::Bottom, Keep::Any, 0, QStringLiteral("新規上場(絞込制限なし） "), n}, stamp);
        // List 2 ends at the first stock that still trades.
        const int count = m_st.StockCount;
        sort(Score2);
        m_view.addLine(QStringLiteral("上場廃止？(絞込制限なし）") + stamp);
        for (int pos = 1; pos <= std::min(n, count); ++pos) {
            m_st.CurCode = m_st.StockCode[size_t(RankIndex[size_t(pos)])];
            load(2);
            if (m_st.BarCount > 0 && m_st.BarDate[1] == m_st.LastTradeDate) break;
            AddRow(Score2, pos);
        }
        EndScreen();
        m_st.LiveMode = live;
        m_st.BarOffset = offset;
        m_st.QuoteMode = mode;
    });
}

} // namespace velor
