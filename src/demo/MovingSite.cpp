#include "demo/MovingSite.h"

#include "common/StockCode.h"
#include "demo/DemoQuotes.h"
#include "demo/IntradayPath.h"

#include <QUrl>

namespace velor::demo {

MovingSite::MovingSite(MarketOptions options) : m_gen(std::move(options))
{
    const auto &listing = m_gen.listing();
    for (size_t i = 0; i < listing.size(); ++i) m_index.insert(int(listing[i].code), i);
}

std::optional<StockSeries> MovingSite::seriesOf(int code) const
{
    const auto it = m_index.constFind(code);
    if (it == m_index.constEnd()) return std::nullopt;
    return m_gen.series(*it);
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
