// The screens by an oscillator at the reference bar, and the J-shape pattern screens.
#include "screen/Screens.h"

#include "chart/Indicators.h"
#include "common/Utils.h"

namespace velor {

void Screens::SRSI() { indicatorScreen(0); }
void Screens::SRCI() { indicatorScreen(1); }
void Screens::SKAIRI() { indicatorScreen(2); }
void Screens::SPSYC() { indicatorScreen(3); }

void Screens::indicatorScreen(int which)
{
    run([this, which] {
        if (m_st.LiveMode) m_st.QuoteMode = 7;
        static const char16_t *titles[] = {u"RSI", u"RCI", u"乖離率", u"サイコロ"};
        const int16_t period = which == 0 ? m_st.RsiPeriod1 : which == 1 ? m_st.RciPeriod1
                               : which == 2                ? m_st.MaWidth2
                                                           : m_st.PsyPeriod1;
        const double reset = which == 0 || which == 3 ? 0.5 : which == 1 ? 0 : 1.0;
        const QString stamp = BeginScreen(QString::fromUtf16(titles[which]));
        walkMaster([&](int i) {
            resetScores(i, reset, which <= 1 ? reset : 0);
            load(period + m_st.BarOffset + 2);
            const int k = ref();
            const float C = m_st.BarClose[size_t(k)];
            const double V = m_st.BarVolume[size_t(k)], Vp = m_st.BarVolume[size_t(k + 1)];
            if (!admitted(double(C) * V, C)) return;
            const int16_t s = m_st.BarOffset;
            double &s1 = Score1[size_t(i)];
            if (which == 0) s1 = calcRSI(m_st, period, s);
            else if (which == 1) s1 = calcRCI(m_st, period, s);
            else if (which == 2) s1 = calcKAIRI(m_st, period, s);
            else s1 = calcPSYC(m_st, period, s);
            if (which <= 1 && Vp != 0) Score2[size_t(i)] = V * s1 / Vp;
        });
        static const char16_t *prefixes[] = {u"★RSI", u"★RCI", u"★乖離率", u"★サイコロジカル"};
        const QString prefix = QString::fromUtf16(prefixes[which]) + NumStr(period);
        const int n = m_st.RankRows;
        m_view.clearLines();
        writeList({&Score1, Walk::Top, Keep::Above, reset, prefix + QStringLiteral("大★　５値"), n}, stamp);
        writeList({&Score1, Walk::Bottom, Keep::Below, reset, prefix + QStringLiteral("小★　５値"), n}, stamp);
        if (which <= 1) {
            writeList({&Score2, Walk::Top, Keep::Above, reset, prefix + QStringLiteral("大*出来高上昇率★　５値"), n}, stamp);
            writeList({&Score2, Walk::Bottom, Keep::Below, reset, prefix + QStringLiteral("小*出来高上昇率★　５値"), n},
                      stamp);
        }
        EndScreen();
    });
}

void Screens::SQR2(int j1, int j2)
{
    if (j1 < 0 || j2 <= j1 || j2 > 1500) return;
    run([this, j1, j2] {
        if (m_st.LiveMode) m_st.QuoteMode = 7;
        const QString pair = QString::number(j1) + QLatin1Char(',') + QString::number(j2);
        const QString stamp = BeginScreen(QStringLiteral("Ｊ字絞り込み：") + pair);
        walkMaster([&](int i) {
            resetScores(i, 1.0, 1.0);
            if (m_st.CurCode < 1301) return;
            const int s = m_st.BarOffset;
            load(j2 + s + 2);
            auto C = [&](int p) { return m_st.BarClose[size_t(p + 1)]; };
            auto V = [&](int p) { return m_st.BarVolume[size_t(p + 1)]; };
            if (m_st.BarCount < s + j2 + 1 || m_st.BarOpen[size_t(s + 1)] == 0) return;
            if (!admitted(double(C(s)) * V(s), C(s))) return;
            if (C(s + j1) == 0) return;
            float sum = 0;
            for (int p = s + j1 + 1; p <= s + j2; ++p) sum += C(p);
            const float avg = sum / float(j2 - j1);
            if (avg != 0) Score1[size_t(i)] = double(C(s)) / avg;
            if (V(s + 1) != 0) Score2[size_t(i)] = V(s) * Score1[size_t(i)] / V(s + 1);
        });
        const QString head = QStringLiteral("★Ｊ字絞り込み") + pair, tail = QStringLiteral(" ★　５値 ");
        const int n = m_st.RankRows;
        m_view.clearLines();
        writeList({&Score1, Walk::Top, Keep::Above, 1, head + QStringLiteral("（大）") + tail, n}, stamp);
        writeList({&Score1, Walk::Bottom, Keep::Below, 1, head + QStringLiteral("（小）") + tail, n}, stamp);
        writeList({&Score2, Walk::Top, Keep::Any, 0, head + QStringLiteral("*出来高上昇率（大）") + tail, n}, stamp);
        writeList({&Score2, Walk::Bottom, Keep::Any, 0, head + QStringLiteral("*出来高上昇率（小）") + tail, n}, stamp);
        EndScreen();
    });
}

void Screens::SQR3(int j1, int j2)
{
    if (j1 < 0 || j2 <= j1 || j2 > 1500) return;
    run([this, j1, j2] {
        const QString pair = QString::number(j1) + QLatin1Char(',') + QString::number(j2);
        const QString stamp = BeginScreen(QStringLiteral("出来高（株数）のＪ字絞り込み：") + pair);
        if (m_st.LiveMode) m_st.QuoteMode = 7;
        walkMaster([&](int i) {
            resetScores(i, 1.0, Score2[size_t(i)], Score3[size_t(i)], Score4[size_t(i)]);
            const int s = m_st.BarOffset;
            load(j2 + s + 2);
            auto C = [&](int p) { return m_st.BarClose[size_t(p + 1)]; };
            auto V = [&](int p) { return m_st.BarVolume[size_t(p + 1)]; };
            if (m_st.BarCount < s + j2 + 1 || m_st.BarOpen[size_t(s + 1)] == 0) return;
            if (!admitted(double(C(s)) * V(s), C(s))) return;
            if (V(s + j1) == 0) return;
            float sum = 0;
            for (int p = s + j1 + 1; p <= s + j2; ++p) sum += float(V(p));
            const float avg = sum / float(j2 - j1);
            if (avg != 0) Score1[size_t(i)] = V(s) / avg;
        });
        const QString head = QStringLiteral("★出来高（株数）のＪ字絞り込み") + pair, tail = QStringLiteral(" ★　５値 ");
        const int n = m_st.RankRows;
        m_view.clearLines();
        writeList({&Score1, Walk::Top, Keep::Above, 1, head + QStringLiteral("（大）") + tail, n}, stamp);
        writeList({&Score1, Walk::Bottom, Keep::Below, 1, head + QStringLiteral("（小）") + tail, n}, stamp);
        EndScreen();
    });
}

} // namespace velor
