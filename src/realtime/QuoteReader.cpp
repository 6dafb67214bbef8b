#include "realtime/QuoteReader.h"

#include "common/Clock.h"
#include "common/Dialogs.h"
#include "common/Net.h"
#include "common/Utils.h"
#include "db/State.h"
#include "realtime/QuotePage.h"

#include <algorithm>

namespace velor {

void resetLiveValues(State &st, int32_t today)
{
    st.BarDate[0] = today;
    st.BarOpen[0] = st.BarHigh[0] = st.BarLow[0] = st.BarClose[0] = 0;
    st.BarVolume[0] = 0;
    st.QuoteYield = st.QuoteDPS = st.QuotePER = st.QuotePBR = st.QuoteEPS = st.QuoteBPS = 0;
    st.QuoteMinBuy = st.QuoteYearHigh = st.QuoteYearLow = 0;
    st.MarginDate = st.MarginBuy = st.MarginSell = st.MarginRatio = 0;
    st.MarginDateText.clear();
}

void applyQuotePage(State &st, const QuotePage &q)
{
    st.BarOpen[0] = q.open;
    st.BarHigh[0] = q.high;
    st.BarLow[0] = q.low;
    st.BarClose[0] = q.close;
    st.BarVolume[0] = q.volume;
    if (q.pricesRead) st.CurTurnover = q.turnover;
    st.QuoteYield = q.yield;
    st.QuoteDPS = q.dps;
    st.QuotePER = q.per;
    st.QuotePBR = q.pbr;
    st.QuoteEPS = q.eps;
    st.QuoteBPS = q.bps;
    st.QuoteMinBuy = q.minBuy;
    st.QuoteYearHigh = q.yearHigh;
    st.QuoteYearLow = q.yearLow;
    st.MarginDateText = q.marginDate;
    st.MarginDate = getNum(q.marginDate, 5);
    st.MarginBuy = q.marginBuy;
    st.MarginSell = q.marginSell;
    st.MarginRatio = q.marginRatio;
}

namespace {

int sectionOf(const State &st, int code)
{
    if (code < 0 || code >= int(st.StockIndex.size())) return 0;
    const int i = st.StockIndex[size_t(code)];
    return i > 0 && i < int(st.StockSection.size()) ? st.StockSection[size_t(i)] : 0;
}

// Whether a page gave anything at all: a page of junk reads as all zeros.
bool hasAnyValue(const QuotePage &q)
{
    const double values[] = {q.open, q.high, q.low, q.close, q.volume, q.turnover, q.yield, q.dps, q.per, q.pbr,
                             q.eps, q.bps, q.minBuy, q.yearHigh, q.yearLow, double(q.marginBuy), double(q.marginSell)};
    for (double v : values)
        if (v != 0) return true;
    return !q.marginDate.isEmpty();
}

} // namespace

QString QuoteReader::pageAddress(const State &st, int code)
{
    if (code == 1001) return joinAddress(st.sites.FuturesUrl, QStringLiteral("/cme/"));
    return joinAddress(st.sites.QuoteUrl, QStringLiteral("/quote/") + codeText(code) + QStringLiteral(".T"));
}

// Whether getVec reads a page for the code at this time of day (HHMM).
bool QuoteReader::fetchesPage(const State &st, int code, int hhmm)
{
    if (code != 1001 && hhmm >= 700 && hhmm <= 899) return false;   // before the market opens
    return !(code == 1002 || (sectionOf(st, code) == 4 && code != 1001));
}

void QuoteReader::getVec(State &st)
{
    if (!(st.BarOffset < 0 || st.QuoteMode != 0)) return;
    if (m_busy) return;
    m_failed = m_noValues = false;
    const QDateTime now = m_clock.now();
    const QDate d = now.date();
    resetLiveValues(st, d.year() * 10000 + d.month() * 100 + d.day());
    const int code = st.CurCode;
    if (!fetchesPage(st, code, now.time().hour() * 100 + now.time().minute())) return;
    m_busy = true;
    const QString address = pageAddress(st, code);
    // One page while a chart waits for it: a site that trickles may hold the draw no longer
    // than two time-outs in all (a silent one ends at the first, with its own message).
    FetchLimits limits = pageLimits(st);
    limits.totalMs = 2 * limits.timeoutMs;
    readPage(st, address, m_net.fetch(address, limits));
    m_busy = false;
}

void QuoteReader::getVecs(State &st, const std::vector<int> &codes, const std::function<bool(size_t)> &each)
{
    if (!(st.BarOffset < 0 || st.QuoteMode != 0) || m_busy) {
        LiveQuote::getVecs(st, codes, each);
        return;
    }
    const QDateTime now = m_clock.now();
    const int32_t today = now.date().year() * 10000 + now.date().month() * 100 + now.date().day();
    const int hhmm = now.time().hour() * 100 + now.time().minute();
    QStringList addresses;
    std::vector<size_t> fetched;
    for (size_t k = 0; k < codes.size(); ++k)
        if (fetchesPage(st, codes[k], hhmm)) {
            addresses << pageAddress(st, codes[k]);
            fetched.push_back(k);
        }
    size_t next = 0;   // the next code to hand on
    bool going = true;
    auto begin = [&](size_t k) {
        st.CurCode = codes[k];
        m_failed = m_noValues = false;
        resetLiveValues(st, today);
    };
    // The codes without a page get the reset values, as getVec leaves them.
    auto passUpTo = [&](size_t end) {
        for (; going && next < end; ++next) {
            begin(next);
            going = each(next);
        }
        return going;
    };
    m_busy = true;
    m_net.fetchOrdered(addresses, pageLimits(st), std::clamp(st.sites.MaxConnections, 1, 32),
                       [&](int i, const std::expected<QByteArray, NetError> &page) {
                           const size_t k = fetched[size_t(i)];
                           if (!passUpTo(k)) return false;
                           begin(k);
                           readPage(st, addresses[i], page);
                           next = k + 1;
                           going = each(k);
                           return going;
                       });
    m_busy = false;
    if (!quitRequested()) passUpTo(codes.size());
}

FetchLimits QuoteReader::pageLimits(const State &st)
{
    FetchLimits limits;
    // An hour is more than any page needs, and keeps the milliseconds within an int.
    limits.timeoutMs = std::clamp(st.sites.FetchTimeoutSeconds, 1, 3600) * 1000;
    limits.maxBytes = kQuotePageMaxBytes;
    return limits;
}

void QuoteReader::readPage(State &st, const QString &address, const std::expected<QByteArray, NetError> &page)
{
    const int code = st.CurCode;
    m_failed = !page || page->isEmpty();
    if (m_failed && m_sink) {
        m_sink->quoteFailed(address, page ? QStringLiteral("ページが空です") : page.error().reason);
        return;
    }
    if (m_failed) {
        m_dialogs.message(QStringLiteral("目的銘柄: ") + codeText(code) + QStringLiteral(", ") + st.nameOf(code) +
                              QStringLiteral(" のリアルタイムデータ取得に失敗しました"),
                          Icon::Warning);
        return;
    }
    if (m_sink) m_sink->quoteRead(address);
    const QString text = decodeQuotePage(*page);
    const QuotePage q = parseQuotePage(text, code, st.QuoteMode);
    m_noValues = !hasAnyValue(q);
    applyQuotePage(st, q);
}

} // namespace velor
