#include "realtime/AlertReach.h"

#include "common/NumText.h"
#include "common/StockCode.h"
#include "db/Bars.h"
#include "db/Services.h"
#include "db/State.h"
#include "lists/ListView.h"
#include "lists/WorkingSet.h"
#include "realtime/PriceAlerts.h"

namespace velor {

namespace {

QString stockText(const State &st, int code)
{
    const QString name = shortName(st, code);
    return codeText(code) + (name.isEmpty() ? QString() : QLatin1Char(' ') + name);
}

int sectionOfCode(const State &st, int code)
{
    const int i = st.entryOf(code);
    return i > 0 && i < int(st.StockSection.size()) ? st.StockSection[size_t(i)] : 0;
}

QString dateText(int32_t d)
{
    auto two = [](int v) { return QString::number(v).rightJustified(2, QLatin1Char('0')); };
    return QString::number(d / 10000) + QLatin1Char('/') + two(d / 100 % 100) + QLatin1Char('/') + two(d % 100);
}

} // namespace

QString alertNeverFires(const State &st, int code)
{
    if (code <= 1002 && code != 1001)
        return stockText(st, code) + QStringLiteral(" は指数で、そのページは読まれないため、アラートは鳴りません。"
                                                     "指数のアラートは 1001 だけです。");
    if (code != 1001 && sectionOfCode(st, code) == 4)
        return stockText(st, code) + QStringLiteral(" は4部の銘柄で、株価のページが読まれないため、アラートは鳴りません。");
    return {};
}

bool onWatchList(const State &st, int code)
{
    for (int n = 1; n <= 3; ++n) {
        auto numbers = readListNumbers(watchListPath(st, n));
        if (!numbers) continue;
        for (long long v : *numbers)
            if (listCode(v) == code) return true;
    }
    return false;
}

QString alertReachWarning(const State &st, int code, bool watched)
{
    if (watched) return {};
    QString text = stockText(st, code) +
                   QStringLiteral(" は登録銘柄（touroku.dat, touroku2.dat, touroku3.dat）にないため、分足の収集では読まれません。"
                                  "このアラートが鳴るのはリアルタイム急騰急落の実行中だけです");
    if (st.RealSwitch != 0)
        text += QStringLiteral("（それも保存済みの終値が ") + QString::number(st.RealMinPrice) + QStringLiteral("～") +
                QString::number(st.RealMaxPrice) + QStringLiteral(" 円で、売買代金が急騰急落の下限以上のときだけ）");
    return text + QStringLiteral("。分足でも見張るには登録銘柄に加えてください。");
}

QString currentPriceText(State &st, Services &sv, int code)
{
    // The live slot holds the charted stock's quote while live quotes are on.
    const bool live = st.LiveMode != 0 || st.BarOffset == -1;
    if (live && code == st.CurCode && st.BarClose[0] > 0)
        return QStringLiteral("現在値（リアルタイム）: ") + singleText(st.BarClose[0]);
    // The stored close, read without disturbing what the chart has loaded.
    const BarVars kept = st;   // the tables with the code, period and offset they belong to
    const int16_t mode = st.QuoteMode;
    st.CurCode = code;
    st.CurPeriod = 0;
    st.QuoteMode = 0;
    st.BarOffset = 0;
    KDOPN(st, sv, 1);
    const bool have = st.BarCount > 0 && st.BarClose[1] > 0;
    const QString text = have ? QStringLiteral("終値（") + dateText(st.BarDate[1]) + QStringLiteral("）: ") + singleText(st.BarClose[1])
                              : QStringLiteral("株価: 保存された株価がありません");
    static_cast<BarVars &>(st) = kept;
    st.QuoteMode = mode;
    return text;
}

} // namespace velor
