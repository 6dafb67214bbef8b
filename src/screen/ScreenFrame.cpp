#include "screen/Screens.h"

#include "common/Quit.h"
#include "common/Utils.h"
#include "db/Bars.h"
#include "lists/SortByValue.h"
#include "screen/RowText.h"

#include <algorithm>
#include <cmath>

namespace velor {

QString failuresText(const PageFailures &f)
{
    return QStringLiteral("ページを取得できなかった銘柄が ") + QString::number(f.count) +
           QStringLiteral(" 件ありました。\r\n最初のアドレス: ") + f.firstAddress + QStringLiteral("\r\n理由: ") +
           f.firstReason;
}

Screens::Screens(State &st, Services &sv, ScreenView &view)
    : m_st(st), m_sv(sv), m_view(view), m_net(sv.net), m_reader(sv.clock, m_net, m_quiet),
      m_qsv{sv.clock, m_net, sv.launcher, sv.sound, m_quiet, sv.shell, &m_reader}
{
    const size_t n = size_t(std::max<int>(st.MaxStocks, 1)) + 1;
    Score1.assign(n, 0);
    Score2.assign(n, 0);
    Score3.assign(n, 0);
    Score4.assign(n, 0);
    RankIndex.assign(n, 0);
}

QString Screens::nowText() const
{
    const QTime t = m_sv.clock.now().time();
    return timeText(t.hour(), t.minute(), t.second());
}

QString screenRefusedText()
{
    return QStringLiteral("実行中の検索／ランキング／絞り込みが終わるまで、次の検索は始められません（中止は Esc）");
}

void Screens::refuseWhileRunning()
{
    if (!m_running) return;
    m_refused = true;
    m_view.setLabel(m_startLabel + QStringLiteral("\r\n") + screenRefusedText());
}

QString Screens::BeginScreen(const QString &title)
{
    // The stamp dates the run by the stock on display. The tables may still hold whatever stock
    // an earlier run (or the monitor) loaded last, so that stock's stored bars are read again,
    // quietly and without a page.
    if (FileExist(m_st.priceFilePath(m_st.CurCode))) {
        TextShell quiet;
        Services stored{m_qsv.clock, m_qsv.net, m_qsv.launcher, m_qsv.sound, m_quiet, quiet, &m_noQuote};
        load(2, stored);
    }
    const int k = std::clamp(ref(), 0, kBarTableSize - 1);
    int32_t date = m_st.BarDate[size_t(k)];
    // The live bar is today's even before a page has filled it.
    if (k == 0 && date == 0) {
        const QDate d = m_sv.clock.now().date();
        date = d.year() * 10000 + d.month() * 100 + d.day();
    }
    const QString stamp = stampText(m_st.CurPeriod, date, nowText());
    m_savedCode = m_st.CurCode;
    m_shownAtStart = m_st.LastCode;
    m_view.clearLines();
    m_view.addLine(m_st.BarOffset < 0 || m_st.QuoteMode != 0
                       ? QStringLiteral("検索／ランキング／絞り込み中（リアルタイム）")
                       : QStringLiteral("検索／ランキング／絞り込み中（ノット　リアルタイム）"));
    m_view.addLine(QString());
    m_view.addLine(title);
    m_view.setProgressMax(m_st.StockCount);
    m_view.setProgress(0);
    m_view.showProgress(true);
    m_startLabel = startLabel(m_st.FilterMinPrice, m_st.FilterMaxPrice, m_st.MinTurnover, nowText());
    m_view.setLabel(m_startLabel);
    m_view.keepAlive(false);
    return stamp;
}

void Screens::EndScreen()
{
    m_view.showProgress(false);
    QString label = m_startLabel + QStringLiteral(" , ") + nowText();
    if (m_stopped)
        label += QStringLiteral("\r\n中止: ") + QString::number(m_examined) + QLatin1Char('/') +
                 QString::number(m_st.StockCount) + QStringLiteral(" 銘柄まで");
    if (m_refused) label += QStringLiteral("\r\n") + screenRefusedText();
    m_view.setLabel(label);
    // A stock the user had drawn while the pages were awaited stays the current one.
    m_st.CurCode = m_st.LastCode != m_shownAtStart ? m_st.LastCode : m_savedCode;
    PlayDone(m_sv.sound, m_st.DoneSound, pathIn(m_st.ProgramDir, QStringLiteral("DONE.wav")));
}

void Screens::load(int n) { load(n, m_qsv); }

void Screens::load(int n, Services &sv)
{
    // KDOPN leaves the positions a short file does not fill as the previous stock left them.
    const int upto = std::min(n + 2, kBarTableSize);
    std::fill_n(m_st.BarDate.begin(), upto, 0);
    std::fill_n(m_st.BarOpen.begin(), upto, 0.0f);
    std::fill_n(m_st.BarHigh.begin(), upto, 0.0f);
    std::fill_n(m_st.BarLow.begin(), upto, 0.0f);
    std::fill_n(m_st.BarClose.begin(), upto, 0.0f);
    std::fill_n(m_st.BarVolume.begin(), upto, 0.0);
    KDOPN(m_st, sv, n);
}

void Screens::AddRow(const std::vector<double> &score, int pos)
{
    if (m_st.CurCode <= 1002) return;
    const int e = RankIndex[size_t(pos)];
    if (m_liveRows) {
        // The walk has read this stock's page already; its live bar is the reference bar.
        Services rows{m_qsv.clock, m_qsv.net, m_qsv.launcher, m_qsv.sound, m_quiet, m_qsv.shell, &m_noQuote};
        const int16_t mode = m_st.QuoteMode;
        m_st.QuoteMode = 0;
        const int16_t offset = m_st.BarOffset;
        m_st.BarOffset = 0;
        load(2, rows);
        m_st.BarOffset = offset;
        m_st.QuoteMode = mode;
        const LiveBar &b = m_live[size_t(e)];
        m_st.BarOpen[0] = b.open;
        m_st.BarHigh[0] = b.high;
        m_st.BarLow[0] = b.low;
        m_st.BarClose[0] = b.close;
        m_st.BarVolume[0] = b.volume;
    } else if (m_st.BarOffset >= 0) {
        // The row shows a stored bar: a quote page read now would not appear in it.
        Services rows{m_qsv.clock, m_qsv.net, m_qsv.launcher, m_qsv.sound, m_quiet, m_qsv.shell, &m_noQuote};
        load(2, rows);
    } else {
        load(2);
    }
    const size_t k = size_t(std::clamp(ref(), 0, kBarTableSize - 2));
    RowValues r;
    r.code = m_st.CurCode;
    r.name = m_st.StockName[size_t(e)];
    r.section = m_st.StockSection[size_t(e)];
    r.score = score[size_t(e)];
    r.open = m_st.BarOpen[k];
    r.high = m_st.BarHigh[k];
    r.low = m_st.BarLow[k];
    r.close = m_st.BarClose[k];
    r.volume = m_st.BarVolume[k];
    r.prevClose = m_st.BarClose[k + 1];
    m_view.addLine(rowText(r));
}

void sortScores(std::span<const double> value, std::span<int16_t> index, int count)
{
    if (count < 1) return;
    // The insertion sort puts each entry after every entry of an equal or smaller value, that is a
    // stable ascending sort of the single-precision values; done here in n log n. Values that do
    // not order (NaN) keep the insertion sort's own answer.
    std::vector<float> key(size_t(count) + 1);
    for (int e = 1; e <= count; ++e) {
        key[size_t(e)] = float(value[size_t(e)]);
        if (std::isnan(key[size_t(e)])) return SortByValue(value, index, count);
    }
    for (int e = 1; e <= count; ++e) index[size_t(e)] = int16_t(e);
    std::stable_sort(index.begin() + 1, index.begin() + count + 1,
                     [&key](int16_t a, int16_t b) { return key[size_t(a)] < key[size_t(b)]; });
}

void Screens::sort(const std::vector<double> &score) { sortScores(score, RankIndex, m_st.StockCount); }

void Screens::writeList(const ListPlan &l, const QString &stamp)
{
    const int count = m_st.StockCount;
    sort(*l.score);
    m_view.addLine(l.header + stamp);
    for (int w = 0; w < l.length; ++w) {
        const int pos = l.walk == Walk::Top ? count - w : 1 + w;
        if (pos < 1 || pos > count) break;
        const int e = RankIndex[size_t(pos)];
        const double v = (*l.score)[size_t(e)];
        if (l.keep == Keep::Above && !(v > l.threshold)) break;
        if (l.keep == Keep::Below && !(v < l.threshold)) break;
        m_st.CurCode = m_st.StockCode[size_t(e)];
        AddRow(*l.score, pos);
    }
}

bool Screens::admitted(double turnover, float close) const
{
    return turnover >= m_st.MinTurnover && double(close) >= m_st.FilterMinPrice && double(close) <= m_st.FilterMaxPrice;
}

void Screens::resetScores(int entry, double s1, double s2, double s3, double s4)
{
    Score1[size_t(entry)] = s1;
    Score2[size_t(entry)] = s2;
    Score3[size_t(entry)] = s3;
    Score4[size_t(entry)] = s4;
}

void Screens::progress(int entry, bool stoppable)
{
    m_examined = entry;
    m_view.setProgress(entry);
    m_view.keepAlive(stoppable);
}

bool Screens::walkMaster(const std::function<void(int)> &body)
{
    for (int i = 1; i <= m_st.StockCount; ++i) {
        progress(i, false);
        // The program is ending: the rest of the market is not worth the wait.
        if (quitRequested()) return m_stopped = true, false;
        m_st.CurCode = m_st.StockCode[size_t(i)];
        body(i);
    }
    return true;
}

void Screens::run(const std::function<void()> &body)
{
    if (m_running) return;
    m_running = true;
    m_stopped = false;
    m_examined = 0;
    m_refused = false;
    m_net.failures = {};
    m_liveRows = false;
    body();
    m_liveRows = false;
    m_running = false;
    // A run that read no page at all did not do what was asked.
    if (m_net.failures.count > 0)
        m_sv.dialogs.report(failuresText(m_net.failures), Icon::Warning, m_net.failures.read == 0);
}

} // namespace velor
