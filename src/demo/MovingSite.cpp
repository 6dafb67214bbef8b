#include "demo/MovingSite.h"

#include "common/StockCode.h"
#include "demo/DemoQuotes.h"
#include "demo/IntradayPath.h"

#include <QUrl>
#include <algorithm>

namespace velor::demo {

namespace {

// The pages read a stock's stored days back to a year (245 days) before the next day, and the
// next day itself.
constexpr int kKeptDays = 247;

} // namespace

MovingSite::MovingSite(MarketOptions options) : m_gen(std::move(options))
{
    const auto &listing = m_gen.listing();
    for (size_t i = 0; i < listing.size(); ++i) m_index.insert(int(listing[i].code), i);
    m_kept.resize(listing.size());
}

StockSeries MovingSite::seriesAt(size_t i) const
{
    {
        std::lock_guard guard(m_mutex);
        if (const Kept *k = m_kept[i].get()) {
            StockSeries s;
            s.entry = k->entry;
            s.firstDay = k->firstDay;
            s.endDay = k->endDay;
            s.daily.assign(m_gen.calendar().size(), Bar{});
            std::copy(k->bars.begin(), k->bars.end(), s.daily.begin() + k->from);
            return s;
        }
    }
    StockSeries s = m_gen.series(i);
    auto kept = std::make_unique<Kept>();
    kept->entry = s.entry;
    kept->firstDay = s.firstDay;
    kept->endDay = s.endDay;
    const int size = int(s.daily.size());
    kept->from = std::clamp(m_gen.storedDays() + 1 - kKeptDays, 0, size);
    kept->bars.assign(s.daily.begin() + kept->from, s.daily.begin() + std::min(m_gen.storedDays() + 1, size));
    std::lock_guard guard(m_mutex);
    if (!m_kept[i]) m_kept[i] = std::move(kept);
    return s;
}

void MovingSite::prepareAll(const std::atomic<bool> &stop) const
{
    for (size_t i = 0; i < m_kept.size() && !stop.load(std::memory_order_relaxed); ++i) {
        {
            std::lock_guard guard(m_mutex);
            if (m_kept[i]) continue;
        }
        (void)seriesAt(i);
    }
}

std::optional<StockSeries> MovingSite::seriesOf(int code) const
{
    const auto it = m_index.constFind(code);
    if (it == m_index.constEnd()) return std::nullopt;
    return seriesAt(*it);
}

std::optional<QByteArray> MovingSite::quotePage(int code, const QTime &t) const
{
    const std::optional<StockSeries> s = seriesOf(code);
    if (!s || !s->ordinary()) return std::nullopt;
    if (!movesThroughTheDay(m_gen, *s)) return stockQuotePage(m_gen, *s);
    if (const std::optional<Bar> bar = barSoFar(m_gen, *s, t)) return stockQuotePage(m_gen, *s, *bar, true);
    // Nothing traded yet: the fundamentals stand on the previous close.
    Bar before;
    before.close = previousClose(m_gen, *s);
    return stockQuotePage(m_gen, *s, before, false);
}

QByteArray MovingSite::futuresPage(const QTime &t) const
{
    const std::optional<StockSeries> index = seriesOf(1001);
    if (!index) return futuresQuotePage(0);
    const std::optional<Bar> bar = barSoFar(m_gen, *index, t);
    if (!bar) return futuresQuotePage(futuresPrice(previousClose(m_gen, *index)));
    if (tradePointAt(t) == kClosingAuctionPoint) return futuresQuotePage(m_gen, *index);
    return futuresQuotePage(futuresPrice(bar->close));
}

std::optional<QByteArray> MovingSite::page(const QByteArray &path, const QTime &t) const
{
    const qsizetype query = path.indexOf('?');
    const QString p = QUrl::fromPercentEncoding(query < 0 ? path : path.left(query));
    if (!p.startsWith(QLatin1Char('/')) || p.split(QLatin1Char('/')).contains(QStringLiteral(".."))) return std::nullopt;
    if (p == QLatin1String("/cme/") || p == QLatin1String("/cme/index.html")) return futuresPage(t);
    const QString quote = QStringLiteral("/quote/"), target = QStringLiteral("/stock/");
    if (p.startsWith(quote) && p.endsWith(QLatin1String(".T"))) {
        const std::optional<int> code = codeFromText(QStringView(p).sliced(quote.size(), p.size() - quote.size() - 2));
        return code ? quotePage(*code, t) : std::nullopt;
    }
    if (p.startsWith(target)) {
        const std::optional<int> code = codeFromText(QStringView(p).sliced(target.size()));
        if (!code) return std::nullopt;
        const std::optional<StockSeries> s = seriesOf(*code);
        if (!s || !s->ordinary()) return std::nullopt;
        return targetPricePage(m_gen, *s);
    }
    return std::nullopt;
}

} // namespace velor::demo
