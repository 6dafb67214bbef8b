// The screens by a figure of the quote page (PER … 最低購入代金) and by the target price.
// Pages are fetched with several requests in flight but handed over in master order, so the
// lists are those of a one-at-a-time run.
#include "screen/Screens.h"

#include "common/Utils.h"
#include "realtime/QuotePage.h"
#include "realtime/QuoteReader.h"
#include "screen/TargetPricePage.h"

#include <algorithm>

namespace velor {

namespace {

FetchLimits pageLimits(const State &st)
{
    FetchLimits limits;
    limits.timeoutMs = std::clamp(st.sites.FetchTimeoutSeconds, 1, 3600) * 1000;
    limits.maxBytes = kQuotePageMaxBytes;
    return limits;
}

int sectionOf(const State &st, int code)
{
    const int e = st.entryOf(code);
    return (e > 0 && size_t(e) < st.StockSection.size()) ? st.StockSection[size_t(e)] : 0;
}

// What getVec leaves before it reads a page: today's date in the live slot, everything else 0.
void resetQuote(State &st, const QDate &today)
{
    resetLiveValues(st, today.year() * 10000 + today.month() * 100 + today.day());
    // A stock whose page is not read has no turnover, rather than the previous stock's.
    st.CurTurnover = 0;
}

} // namespace

bool Screens::fetchesQuote(int code) const
{
    if (!(m_st.BarOffset < 0 || m_st.QuoteMode != 0)) return false;
    const QTime t = m_sv.clock.now().time();
    const int hhmm = t.hour() * 100 + t.minute();
    if (code != 1001 && hhmm >= 700 && hhmm <= 899) return false;   // before the market opens
    return !(code == 1002 || (sectionOf(m_st, code) == 4 && code != 1001));
}

bool Screens::walkQuotePages(const std::vector<int> &entries, const std::function<void(int)> &score)
{
    const QDate today = m_sv.clock.now().date();
    // The entries whose page getVec would read; the others get the reset values only.
    std::vector<int> fetched;
    QStringList addresses;
    for (int e : entries) {
        const int code = m_st.StockCode[size_t(e)];
        if (!fetchesQuote(code)) continue;
        fetched.push_back(e);
        addresses << QuoteReader::pageAddress(m_st, code);
    }
    size_t next = 0;   // the next of `entries` to score
    auto scoreUpTo = [&](int entry, const QuotePage *page) {
        for (; next < entries.size() && entries[next] <= entry; ++next) {
            const int e = entries[next];
            progress(e, true);
            m_st.CurCode = m_st.StockCode[size_t(e)];
            resetQuote(m_st, today);
            if (e == entry && page) {
                applyQuotePage(m_st, *page);
                m_live[size_t(e)] = {page->open, page->high, page->low, page->close, page->volume};
            }
            score(e);
        }
    };
    bool stopped = false;
    m_net.fetchOrdered(addresses, pageLimits(m_st), std::max(1, m_st.sites.MaxConnections),
                       [&](int i, const std::expected<QByteArray, NetError> &page) {
                           const int e = fetched[size_t(i)];
                           if (page && !page->isEmpty()) {
                               const QuotePage q = parseQuotePage(decodeQuotePage(*page), m_st.StockCode[size_t(e)],
                                                                  m_st.QuoteMode);
                               scoreUpTo(e, &q);
                           } else {
                               scoreUpTo(e, nullptr);
                           }
                           if (m_view.stopRequested()) stopped = true;
                           return !stopped;
                       });
    if (stopped) {
        m_stopped = true;
        return false;
    }
    scoreUpTo(entries.empty() ? 0 : entries.back(), nullptr);
    return true;
}

void Screens::fundamentalScreen(const QString &name, double reset1, double reset2, bool skipSection4,
                                const std::function<double()> &value, const QString &topHeader,
                                const QString &bottomHeader)
{
    run([&] {
        const int16_t offset = m_st.BarOffset;
        m_st.QuoteMode = 1;
        m_st.BarOffset = -1;
        const QString stamp = BeginScreen(name);
        m_live.assign(Score1.size(), LiveBar{});
        std::vector<int> entries;
        for (int i = 1; i <= m_st.StockCount; ++i) {
            resetScores(i, reset1, reset2, Score3[size_t(i)], Score4[size_t(i)]);
            const int code = m_st.StockCode[size_t(i)];
            if (code >= 1301 && !(skipSection4 && m_st.StockSection[size_t(i)] == 4)) entries.push_back(i);
        }
        walkQuotePages(entries, [&](int i) {
            if (!admitted(m_st.CurTurnover, m_st.BarClose[0])) return;
            const double v = value();
            if (v == 0) return;
            Score1[size_t(i)] = Score2[size_t(i)] = v;
        });
        m_liveRows = true;
        m_view.clearLines();
        const int n = m_st.RankRows;
        writeList({&Score2, Walk::Top, Keep::Any, 0, topHeader, n + 1}, stamp);
        writeList({&Score1, Walk::Bottom, Keep::Any, 0, bottomHeader, n}, stamp);
        m_liveRows = false;
        EndScreen();
        m_st.BarOffset = offset;
    });
}

void Screens::PER()
{
    fundamentalScreen(QStringLiteral("PER"), 1e7, -1, false, [this] { return m_st.QuotePER; },
                      QStringLiteral("★PER 大★　５値"), QStringLiteral("★PER 小★　５値"));
}

void Screens::PBR()
{
    fundamentalScreen(QStringLiteral("PBR"), 10000, -1, false, [this] { return m_st.QuotePBR; },
                      QStringLiteral("★PBR 大★　５値"), QStringLiteral("★PBR 小★　５値"));
}

void Screens::EPS()
{
    fundamentalScreen(QStringLiteral("EPS"), 1e10, -1e8, false, [this] { return m_st.QuoteEPS; },
                      QStringLiteral("★EPS 大★　５値"), QStringLiteral("★EPS 小★　５値"));
}

void Screens::BPS()
{
    fundamentalScreen(QStringLiteral("BPS"), 10000, -1, false, [this] { return m_st.QuoteBPS; },
                      QStringLiteral("★BPS 大★　５値"), QStringLiteral("★BPS 小★　５値"));
}

void Screens::SHINYOUBAIRITSU()
{
    fundamentalScreen(QStringLiteral("信用倍率"), 1e7, -1, true, [this] { return m_st.MarginRatio; },
                      QStringLiteral("★信用倍率 大★　５値"), QStringLiteral("★信用倍率　小★　５値"));
}

void Screens::HAITOU()
{
    run([this] {
        m_st.QuoteMode = 11;
        const QString stamp = BeginScreen(QStringLiteral("配当利回り （絞り込み制限なし）"));
        m_live.assign(Score1.size(), LiveBar{});
        std::vector<int> entries;
        for (int i = 1; i <= m_st.StockCount; ++i) {
            Score1[size_t(i)] = -1;
            if (m_st.StockCode[size_t(i)] >= 1301) entries.push_back(i);
        }
        walkQuotePages(entries, [this](int i) {
            const double y = m_st.QuoteYield;
            if (y != 0 && y < 40) Score1[size_t(i)] = Score2[size_t(i)] = y;
        });
        m_st.QuoteMode = 7;
        m_view.clearLines();
        writeList({&Score1, Walk::Top, Keep::Any, 0, QStringLiteral("★配当利回り　大（絞り込み制限なし）★　５値"), 101},
                  stamp);
        EndScreen();
    });
}

void Screens::SKD()
{
    run([this] {
        m_st.QuoteMode = 11;
        const QString stamp = BeginScreen(QStringLiteral("最低購入代金　（絞り込み制限なし）"));
        m_live.assign(Score1.size(), LiveBar{});
        std::vector<int> entries;
        for (int i = 1; i <= m_st.StockCount; ++i) {
            resetScores(i, 1e8, -1, Score3[size_t(i)], Score4[size_t(i)]);
            if (m_st.StockCode[size_t(i)] >= 1301) entries.push_back(i);
        }
        walkQuotePages(entries, [this](int i) {
            const double v = m_st.QuoteMinBuy;
            if (v > 0) Score1[size_t(i)] = Score2[size_t(i)] = v;
        });
        m_view.clearLines();
        writeList({&Score1, Walk::Bottom, Keep::Any, 0, QStringLiteral("★最低購入代金 小（絞り込み制限なし）★　５値"), 100},
                  stamp);
        writeList({&Score2, Walk::Top, Keep::Any, 0, QStringLiteral("★最低購入代金 大（絞り込み制限なし）★　５値"), 101},
                  stamp);
        EndScreen();
    });
}

void Screens::MINKABU() { targetPriceScreen(false); }
void Screens::MINKABU2() { targetPriceScreen(true); }

void Screens::targetPriceScreen(bool filtered)
{
    run([this, filtered] {
        const int16_t live = m_st.LiveMode, offset = m_st.BarOffset, mode = m_st.QuoteMode;
        m_st.LiveMode = m_st.BarOffset = m_st.QuoteMode = 0;
        const QString stamp = BeginScreen(filtered ? QStringLiteral("「みんかぶ」目標株価との比較（絞り込み制限あり）")
                                                   : QStringLiteral("「みんかぶ」目標株価との比較（絞り込み制限なし）"));
        // First the stored bars of every stock (they decide which pages are needed), then the
        // pages, handed over in master order.
        std::vector<float> open(Score1.size(), 0), close(Score1.size(), 0);
        std::vector<int> entries;
        QStringList addresses;
        walkMaster([&](int i) {
            Score1[size_t(i)] = 1.0;
            if (m_st.CurCode < 1301) return;
            load(2);
            open[size_t(i)] = m_st.BarOpen[1];
            close[size_t(i)] = m_st.BarClose[1];
            // A stock without a price to compare with cannot score: its page is not needed.
            if (open[size_t(i)] == 0 || close[size_t(i)] == 0) return;
            if (filtered && !admitted(double(m_st.BarClose[1]) * m_st.BarVolume[1], m_st.BarClose[1])) return;
            entries.push_back(i);
            addresses << joinAddress(m_st.sites.TargetPriceUrl, QStringLiteral("/stock/") + codeText(m_st.CurCode));
        });
        FetchLimits limits = pageLimits(m_st);
        m_net.fetchOrdered(addresses, limits, std::max(1, m_st.sites.MaxConnections),
                           [&](int k, const std::expected<QByteArray, NetError> &page) {
                               const int i = entries[size_t(k)];
                               progress(i, true);
                               m_st.CurCode = m_st.StockCode[size_t(i)];
                               const double target = page ? readTargetPrice(decodeQuotePage(*page)) : 0;
                               if (open[size_t(i)] != 0 && close[size_t(i)] != 0 && target != 0)
                                   Score1[size_t(i)] = target / close[size_t(i)];
                               if (m_view.stopRequested()) m_stopped = true;
                               return !m_stopped;
                           });
        m_view.clearLines();
        const int n = 2 * m_st.RankRows;
        writeList({&Score1, Walk::Top, Keep::Above, 1, QStringLiteral("★みんかぶ比較割安★　５値　"), n}, stamp);
        writeList({&Score1, Walk::Bottom, Keep::Below, 1, QStringLiteral("★みんかぶ比較割高★　５値　"), n}, stamp);
        EndScreen();
        m_st.LiveMode = live;
        m_st.BarOffset = offset;
        m_st.QuoteMode = mode;
    });
}

} // namespace velor
