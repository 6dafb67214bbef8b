#include "chart/ChartTexts.h"

#include "chart/ChartGeometry.h"
#include "common/NumText.h"
#include "common/Utils.h"
#include "db/State.h"

#include <QDir>
#include <cmath>

namespace velor {

namespace {

// Quote values read as single-precision numbers print in their single form (0.92, not
// 0.9200000166893005); whole doubles such as a margin balance print in full.
QString quoteText(double v)
{
    const float f = float(v);
    return double(f) == v ? singleText(f) : doubleText(v);
}

} // namespace

namespace {

const QString kCrLf = QStringLiteral("\r\n");

double periodFactor(int period)
{
    switch (period) {
    case 0: return 1;
    case 1: return 5;
    case 2: return 20;
    default: return 0;
    }
}

size_t elem(int p) { return size_t(std::clamp(p + 1, 0, kBarTableSize - 1)); }

int sectionOf(const State &st, int code)
{
    const int e = st.entryOf(code);
    return (e > 0 && size_t(e) < st.StockSection.size()) ? st.StockSection[size_t(e)] : 0;
}

} // namespace

bool timeOfDayFactor(int hhmm, double &factor, int32_t yyyymmdd)
{
    const int lastBandEnd = yyyymmdd >= kCloseAt1530From ? 1529 : 1499;
    if (hhmm > 700 && hhmm < 930) factor = 0;
    else if (hhmm >= 930 && hhmm <= 999) factor = 0.1;
    else if (hhmm >= 1000 && hhmm <= 1029) factor = 0.2;
    else if (hhmm >= 1030 && hhmm <= 1229) factor = 0.4;
    else if (hhmm >= 1230 && hhmm <= 1329) factor = 0.6;
    else if (hhmm >= 1330 && hhmm <= lastBandEnd) factor = 0.8;
    else return false;
    return true;
}

void updateTurnoverLimits(State &st, const QDateTime &now)
{
    const double pf = periodFactor(st.CurPeriod);
    st.VolLimitAdj = st.VolLimit * pf;
    const double filterBase = st.FilterTurnoverBase * pf;
    const bool live = st.LiveMode != 0 || st.BarOffset == -1;
    if (!live) {
        st.MinTurnover = filterBase;
        st.RealTurnover = st.RealTurnoverBase;
        return;
    }
    double factor = 0;
    const QTime t = now.time();
    const QDate d = now.date();
    if (timeOfDayFactor(t.hour() * 100 + t.minute(), factor, d.year() * 10000 + d.month() * 100 + d.day())) {
        st.MinTurnover = filterBase * factor;
        st.RealTurnover = st.RealTurnoverBase * factor;
    }
}

// A folder as the title shows it: native separators, none doubled, none at the end.
static QString titleFolder(const QString &folder) { return QDir::toNativeSeparators(QDir::cleanPath(folder)); }

QString windowTitle(const State &st)
{
    const bool live = st.LiveMode != 0 || st.CurPeriod == 3;
    return codeText(st.CurCode) + QLatin1Char(' ') + st.nameOf(st.CurCode).left(5) +
           QStringLiteral("   - VELOR Pro -  ") + titleFolder(st.ProgramDir) + QStringLiteral("     株価データフォルダ＝") +
           titleFolder(st.DataDir) +
           (live ? QStringLiteral("        リアルタイム=オン") : QStringLiteral("        リアルタイム=オフ"));
}

QString statusLine(const State &st, const QDateTime &now)
{
    QString s = QStringLiteral("銘柄数= ") + NumStr(st.StockCount) + QLatin1Char('/') + NumStr(st.MaxStocks) +
                QStringLiteral("  オフセット= ") + NumStr(st.BarOffset) + QStringLiteral("  ");
    if (st.CurPeriod != 3) {
        static const char16_t *heads[] = {u"先頭日 = ", u"先頭週 = ", u"先頭月 = "};
        s += QString::fromUtf16(heads[std::clamp<int>(st.CurPeriod, 0, 2)]) + LngStr(st.BarDate[elem(st.BarOffset)]) +
             QLatin1Char(' ');
    }
    s += QStringLiteral("表示出来高制限値（億円）, 期間= ") + formatPattern(st.VolLimitAdj / 1e8, QStringLiteral("###0.####")) +
         QStringLiteral(", ") + NumStr(st.VolWindow) + QStringLiteral(" 絞込出来高制限値（億円）= ") +
         formatPattern(st.MinTurnover / 1e8, QStringLiteral("###0.####"));
    if (st.LiveMode != 0) s += QStringLiteral("   ") + now.time().toString(QStringLiteral("H:mm:ss"));
    return s;
}

QString nameLabel(const State &st)
{
    return st.nameOf(st.CurCode).left(5) + QStringLiteral(", ") + NumStr(int16_t(sectionOf(st, st.CurCode))) +
           QStringLiteral("部");
}

QString infoPanel(const State &st)
{
    const size_t e = elem(st.BarOffset);
    const float close = st.BarClose[e];
    const float older = st.BarClose[elem(st.BarOffset + 1)];
    const double change = (st.CurPeriod == 3 || older == 0) ? 0 : (double(close) / double(older) - 1) * 100;
    QString s = QStringLiteral("始値：") + singleText(st.BarOpen[e]) + kCrLf + QStringLiteral("高値：") +
                singleText(st.BarHigh[e]) + kCrLf + QStringLiteral("安値：") + singleText(st.BarLow[e]) + kCrLf +
                QStringLiteral("終値：") + singleText(close) + kCrLf + QStringLiteral("騰落率%： ") +
                formatPattern(change, QStringLiteral("##0.##")) + kCrLf;
    if (st.CurCode <= 1300) return s;
    s += QStringLiteral("出来高（万株）：") + formatPattern(st.BarVolume[e] / 10000, QStringLiteral("########0.#####")) +
         kCrLf + QStringLiteral("出来高（億円）：") + formatPattern(st.CurTurnover / 1e8, QStringLiteral("#######0.##")) +
         kCrLf;
    if (sectionOf(st, st.CurCode) == 4) return s;
    const double ratio = st.MarginBuy == 0 ? 0 : st.MarginRatio;
    const std::pair<const char16_t *, double> lines[] = {
        {u"", -1}, {u"配当利回り% ", st.QuoteYield}, {u"一株配当 ", st.QuoteDPS}, {u"(PER) ", st.QuotePER},
        {u"(PBR) ", st.QuotePBR}, {u"(EPS) ", st.QuoteEPS}, {u"(BPS) ", st.QuoteBPS},
        {u"最低購入代金", st.QuoteMinBuy}, {u"年初来高値", st.QuoteYearHigh}, {u"年初来安値", st.QuoteYearLow},
        {u"", -1}, {u"信用買残", st.MarginBuy}, {u"信用売残", st.MarginSell}};
    for (const auto &[label, v] : lines)
        s += QString::fromUtf16(label) + (label[0] ? quoteText(v) : QString()) + kCrLf;
    // No margin date read shows as "()", not as a number 0.
    const QString date = !st.MarginDateText.isEmpty() ? st.MarginDateText
                         : st.MarginDate != 0        ? doubleText(st.MarginDate)
                                                     : QString();
    s += QStringLiteral("信用倍率") + formatPattern(ratio, QStringLiteral("##0.##")) + QStringLiteral("  (") + date +
         QStringLiteral(")") + kCrLf;
    return s;
}

QString warningText(const State &st)
{
    QString s;
    if (st.CurPeriod != 3 && st.CurCode != 1001 && st.CurCode != 1002) {
        for (int p = st.BarOffset; p < st.BarOffset + st.VolWindow; ++p) {
            const size_t e = elem(p);
            if (double(st.BarClose[e]) * st.BarVolume[e] < st.VolLimitAdj) {
                s = QStringLiteral("出来高不足");
                break;
            }
        }
    }
    if (st.BarOffset == 0 && st.CurPeriod != 3 && st.BarDate[1] != st.LastTradeDate)
        s += kCrLf + QStringLiteral("日付不一致,上場廃止？");
    return s;
}

} // namespace velor
