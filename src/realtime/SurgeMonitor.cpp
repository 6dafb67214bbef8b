#include "realtime/SurgeMonitor.h"

#include "common/Net.h"
#include "common/NumText.h"
#include "common/Quit.h"
#include "db/Bars.h"
#include "db/Services.h"
#include "db/State.h"
#include "lists/ListView.h"
#include "lists/SortByValue.h"
#include "realtime/QuotePage.h"
#include "realtime/QuoteReader.h"

#include <QEventLoop>
#include <QTimer>
#include <algorithm>

namespace velor {

namespace {

constexpr int kRiserRows = 26;
constexpr int kFallerRows = 25;
constexpr int kMaxWaitSeconds = 24 * 3600;

int hhmmOf(const QDateTime &t) { return t.time().hour() * 100 + t.time().minute(); }

int sectionOfEntry(const State &st, int i) { return i > 0 && i < int(st.StockSection.size()) ? st.StockSection[size_t(i)] : 0; }

// Whether the quote reader would fetch this stock's page now (it leaves every value 0 otherwise).
bool readerFetches(const State &st, int i, int hhmm)
{
    const int code = st.StockCode[size_t(i)];
    if (code != 1001 && hhmm >= 700 && hhmm <= 899) return false;
    return !(code == 1002 || (sectionOfEntry(st, i) == 4 && code != 1001));
}

} // namespace

void EventLoopWait::wait(int ms)
{
    if (ms <= 0) return;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    QEventLoop *outer = m_loop;
    m_loop = &loop;
    timer.start(ms);
    loop.exec();
    m_loop = outer;
}

void EventLoopWait::wake()
{
    if (m_loop) m_loop->quit();
}

QStringList monitorCaptions()
{
    return {QStringLiteral("急騰銘柄（前日比）"), QStringLiteral("急落銘柄（前日比）"), QStringLiteral("急騰銘柄（当日比）"),
            QStringLiteral("急落銘柄（当日比）"), QStringLiteral("急騰銘柄（前回ループ比）"),
            QStringLiteral("急落銘柄（前回ループ比）")};
}

int waitSeconds(const QString &text)
{
    return int(std::clamp<long long>(leadingNumber(text), 0, kMaxWaitSeconds));
}

bool SurgeMonitor::RealMeigara(int n)
{
    bool started = false;
    for (;;) {
        if (n == 0) {
            RealCount = 0;
            m_savedOffset = m_st.BarOffset;
            m_savedLive = m_st.LiveMode;
            m_savedQuote = m_st.QuoteMode;
            m_savedCode = m_st.CurCode;
            m_waitText = QString::number(m_st.RealParam);
            m_view.setWaitText(m_waitText);
        }
        m_open = true;
        const int hhmm = hhmmOf(m_sv.clock.now());
        if (hhmm >= 700 && hhmm <= 899) {
            m_sv.dialogs.message(QStringLiteral("この機能は７：００～９：００の間は使えません"), Icon::Warning);
            m_open = false;
            m_view.closeWindow();
            return started;
        }
        started = true;
        resize();
        m_view.setProgress(0, m_st.StockCount);
        m_st.LiveMode = 1;
        m_st.BarOffset = -1;
        m_st.QuoteMode = 7;
        RealRunning = true;
        m_view.setListsEnabled(false);
        m_sv.shell.redrawChart(0);
        m_inLoop = true;
        for (;;) {
            m_view.pump();
            if (quitRequested()) RealRunning = false;   // the program is ending: no further pass
            if (!RealRunning) break;
            RealPass();
            ++RealCount;
        }
        m_inLoop = false;
        // 再計算 pressed while the stopped run was still unwinding: start it now.
        if (!m_restart || !m_open) return true;
        m_restart = false;
        RealCount = 0;
        n = 1;
    }
}

void SurgeMonitor::resize()
{
    const size_t n = size_t(std::max<int>(m_st.StockCount, 0)) + 1;
    RealBase.resize(n, 0.f);
    RealLast.resize(n, 0.f);
    RealScore.resize(n, {});
    RealPrice.resize(n, {});
    RealVolume.resize(n, {});
    m_scored.resize(n, {});
    RankIndex.assign(n, 0);
}

void SurgeMonitor::RealPass()
{
    m_view.setRecalcEnabled(false);
    if (!RealRunning) return;
    m_view.setStatus(statusText());
    m_view.pump();
    if (RealCount == 0) {
        basePass();
        return;
    }
    if (!scorePass()) return;
    m_failed = m_failing;
    m_asked = m_asking;
    m_firstError = m_firstErrorNow;
    m_view.setStatus(statusText());
    buildLists();
    if (onPassLists) onPassLists();
    waitBetweenPasses();
}

QString SurgeMonitor::statusText() const
{
    QString s = QStringLiteral("LOOP Count=") + QString::number(RealCount) + QStringLiteral(",  時刻　") +
                m_sv.clock.now().time().toString(QStringLiteral("H:mm:ss")) + QStringLiteral("\r\n") +
                QStringLiteral("絞込最低株価、最高株価=") + QString::number(m_st.RealMinPrice) + ',' +
                QString::number(m_st.RealMaxPrice) + QStringLiteral("\r\n") + QStringLiteral("絞込出来高（億円）=") +
                doubleText(m_st.RealTurnover / 1e8);
    if (m_failed > 0)
        s += QStringLiteral("\r\n取得失敗=") + QString::number(m_failed) + QStringLiteral("件　") + m_firstError;
    return s;
}

void SurgeMonitor::pumpSometimes(int i)
{
    if (i % 32 == 0) m_view.pump();
    if (quitRequested()) RealRunning = false;
}

void SurgeMonitor::basePass()
{
    const int n = m_st.StockCount;
    for (int i = 1; i <= n; ++i) {
        if (!RealRunning) return;
        m_st.CurCode = m_st.StockCode[size_t(i)];
        m_view.setProgress(i, n);
        KDOPN(m_st, m_sv, 1);
        // A stock without a price file has no close to compare with (not the last stock's one).
        const float close = m_st.BarCount > 0 ? m_st.BarClose[1] : 0.f;
        RealBase[size_t(i)] = RealLast[size_t(i)] = close;
        pumpSometimes(i);
    }
}

bool SurgeMonitor::scorePass()
{
    const int n = m_st.StockCount;
    m_processed = m_passed = 0;
    m_failing = 0;
    m_firstErrorNow.clear();
    m_pagePrices.clear();
    // Which stocks need a page, in master order. With RealSwitch the stored bar decides first,
    // so only stocks in range are fetched.
    m_passStored.assign(size_t(n) + 1, true);
    QStringList addresses;
    std::vector<int> fetchEntry;
    const int hhmm = hhmmOf(m_sv.clock.now());
    for (int i = 1; i <= n; ++i) {
        if (!RealRunning) return false;
        auto &sc = RealScore[size_t(i)];
        sc[1] = sc[3] = sc[5] = 0;
        sc[2] = sc[4] = sc[6] = 1000;
        m_scored[size_t(i)] = {};
        if (m_st.RealSwitch != 0) {
            m_st.CurCode = m_st.StockCode[size_t(i)];
            KDOPN(m_st, m_sv, 1);
            const float close = m_st.BarClose[1];
            m_passStored[size_t(i)] = m_st.BarCount > 0 && m_st.CurTurnover >= m_st.RealTurnover &&
                             m_st.RealMinPrice <= close && close <= m_st.RealMaxPrice;
            pumpSometimes(i);
        }
        if (m_passStored[size_t(i)] && readerFetches(m_st, i, hhmm)) {
            addresses << QuoteReader::pageAddress(m_st, m_st.StockCode[size_t(i)]);
            fetchEntry.push_back(i);
        }
    }

    m_asking = int(addresses.size());
    int next = 1;
    auto upTo = [&](int limit) {
        for (; next < limit; ++next) {
            if (!RealRunning) return false;
            scoreEntry(next, nullptr);
            pumpSometimes(next);
        }
        return RealRunning;
    };
    FetchLimits limits;
    limits.timeoutMs = std::clamp(m_st.sites.FetchTimeoutSeconds, 1, 3600) * 1000;
    limits.maxBytes = kQuotePageMaxBytes;
    const int inFlight = std::clamp(m_inFlight > 0 ? m_inFlight : m_st.sites.MaxConnections, 1, 32);
    m_sv.net.fetchOrdered(addresses, limits, inFlight, [&](int k, const std::expected<QByteArray, NetError> &page) {
        const int i = fetchEntry[size_t(k)];
        if (!upTo(i)) return false;
        const bool failed = !page || page->isEmpty();
        if (failed) {
            const int code = m_st.StockCode[size_t(i)];
            if (m_failing++ == 0)
                m_firstErrorNow = QStringLiteral("目的銘柄: ") + codeText(code) + QStringLiteral(", ") +
                                  m_st.nameOf(code) + QStringLiteral(" のリアルタイムデータ取得に失敗しました") +
                                  (page ? QString() : QStringLiteral("（") + page.error().reason + QStringLiteral("）"));
            scoreEntry(i, nullptr);
        } else {
            const QuotePage q = parseQuotePage(decodeQuotePage(*page), m_st.StockCode[size_t(i)], 7);
            if (q.close > 0) m_pagePrices.push_back({m_st.StockCode[size_t(i)], q.close});
            scoreEntry(i, &q);
        }
        next = i + 1;
        return RealRunning;
    });
    if (!RealRunning) return false;
    return upTo(n + 1);
}

void SurgeMonitor::scoreEntry(int i, const QuotePage *q)
{
    // A page that could not be read counts as all zeros, as the quote reader leaves them.
    const size_t e = size_t(i);
    m_st.CurCode = m_st.StockCode[e];
    m_processed = i;
    m_view.setProgress(i, m_st.StockCount);
    const float p = q ? q->close : 0.f, o = q ? q->open : 0.f;
    const double v = q ? q->volume : 0.0;
    if (m_st.RealSwitch == 0) {
        if (q && q->pricesRead) m_st.CurTurnover = q->turnover;
        if (!(m_st.CurTurnover >= m_st.RealTurnover && m_st.RealMinPrice <= p && p <= m_st.RealMaxPrice)) return;
    } else if (!m_passStored[e]) {
        return;
    }
    ++m_passed;
    m_view.setProgressText(QStringLiteral("(") + QString::number(m_passed) + '/' + QString::number(m_processed) +
                           QStringLiteral(")  "));
    if (p == 0 || o == 0) return;
    auto &sc = RealScore[e];
    auto &scored = m_scored[e];
    const auto show = [&](int k) {
        RealPrice[e][size_t(k)] = p;
        RealVolume[e][size_t(k)] = float(v);
        scored[size_t(k)] = true;
    };
    if (RealBase[e] != 0) {
        sc[1] = sc[2] = double(p / RealBase[e]);
        show(1);
        show(2);
    }
    sc[3] = sc[4] = double(p / o);
    show(3);
    show(4);
    if (RealLast[e] != 0) {
        sc[5] = sc[6] = double(p / RealLast[e]);
        show(5);
        show(6);
        RealLast[e] = p;
    }
}

void SurgeMonitor::buildLists()
{
    const int n = m_st.StockCount;
    std::vector<double> values(size_t(n) + 1);
    for (int k = 1; k <= 6; ++k) {
        for (int i = 1; i <= n; ++i) values[size_t(i)] = RealScore[size_t(i)][size_t(k)];
        SortByValue(values, RankIndex, n);
        QStringList rows;
        const bool risers = k % 2 == 1;
        const int first = risers ? n : 1;
        const int count = std::min(n, risers ? kRiserRows : kFallerRows);
        for (int step = 0; step < count; ++step) {
            const int i = RankIndex[size_t(risers ? first - step : first + step)];
            m_st.CurCode = m_st.StockCode[size_t(i)];
            // AddRealRow: not the index series, nothing once stopped, and (unlike a bare sort)
            // no stock that has no score in this list.
            if (m_st.CurCode <= 1002 || !RealRunning || !m_scored[size_t(i)][size_t(k)]) continue;
            rows << rowText(i, k);
        }
        m_lists[size_t(k)] = rows;
        m_view.setList(k, rows);
    }
}

QString SurgeMonitor::rowText(int i, int k) const
{
    const size_t e = size_t(i), kk = size_t(k);
    return codeText(m_st.StockCode[e]) + QStringLiteral(",\"") + m_st.StockName[e].left(5) + '(' +
           QString::number(m_st.StockSection[e]) + QStringLiteral(")\" , ") +
           formatPattern(RealScore[e][kk], QStringLiteral("#.###")) + QStringLiteral(",  ") +
           singleText(RealPrice[e][kk]) + QStringLiteral(",  ") + singleText(RealVolume[e][kk] / 10000.f);
}

void SurgeMonitor::waitBetweenPasses()
{
    const int w = waitSeconds(m_waitText);
    m_view.setProgressText(QStringLiteral("待機中・・・"));
    m_view.pump();
    if (w > 0 && RealRunning && !quitRequested()) m_wait.wait(w * 1000);
}

void SurgeMonitor::Command1_Click()
{
    RealRunning = false;
    m_restart = false;
    m_view.setProgress(0, m_st.StockCount);
    m_st.BarOffset = -1;
    m_st.CurCode = m_savedCode;
    m_view.setListsEnabled(true);
    m_view.placeFromMain(9500, -1);
    m_view.setRecalcEnabled(true);
    // The wait's "待機中・・・" is no longer true.
    m_view.setProgressText(QStringLiteral("停止中"));
    m_wait.wake();
}

void SurgeMonitor::Command2_Click()
{
    m_view.placeFromMain(250, 250);
    if (m_inLoop) {
        m_restart = true;   // the stopped run is still returning; it starts again once it has
        return;
    }
    RealCount = 0;
    RealMeigara(1);
}

void SurgeMonitor::cmdEXIT_Click()
{
    RealRunning = false;
    m_restart = false;
    m_view.setMonitorChecked(false);
    m_st.BarOffset = m_savedOffset;
    m_st.LiveMode = m_savedLive;
    m_st.QuoteMode = m_savedQuote;
    m_open = false;
    m_view.closeWindow();
    m_wait.wake();
}

int SurgeMonitor::listMouseDown(int k, const QString &rowText, bool leftButton)
{
    m_st.BarOffset = -1;
    RealList = k;
    if (!leftButton) return 0;
    m_st.CurCode = codeOfLine(rowText);
    if (m_st.CurCode != 0) m_sv.shell.redrawChart(1);
    return m_st.CurCode;
}

} // namespace velor
