#pragma once
// The demo's quote site as it stands at a time of day: the same addresses and the same page
// layout as the fixed pages of `velor demo`, with the live bar of each stock and the futures
// price where the market has got to by then.
#include "demo/MarketGenerator.h"

#include <QByteArray>
#include <QHash>
#include <QTime>
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace velor::demo {

class MovingSite {
public:
    explicit MovingSite(MarketOptions options);
    const MarketGenerator &market() const { return m_gen; }

    /// The page at `path` ("/quote/<code>.T", "/cme/" or "/cme/index.html", "/stock/<code>"; a
    /// query is ignored) at time of day `t`; none for any other path, a code without a page,
    /// or a path that climbs out of the site.
    std::optional<QByteArray> page(const QByteArray &path, const QTime &t) const;

    /// The quote page of the stock with this code at `t`; none when the fixed site has none.
    std::optional<QByteArray> quotePage(int code, const QTime &t) const;
    /// The futures page at `t`: the index's path rounded to the futures tick; before 9:00 the
    /// previous close, from 15:30 on exactly the fixed page.
    QByteArray futuresPage(const QTime &t) const;

    /// Makes every series ahead of its first page, until `stop` is set (from another thread:
    /// the pages are the same either way, only sooner).
    void prepareAll(const std::atomic<bool> &stop) const;

private:
    // The part of a series the pages read: the last year of stored days and the next day.
    struct Kept {
        MasterEntry entry;
        int firstDay = 0, endDay = 0, from = 0;
        std::vector<Bar> bars;
    };
    std::optional<StockSeries> seriesOf(int code) const;
    StockSeries seriesAt(size_t i) const;

    MarketGenerator m_gen;
    QHash<int, size_t> m_index;   // code -> position in the listing
    // A whole series takes milliseconds to make, and a monitor pass asks for thousands.
    mutable std::mutex m_mutex;
    mutable std::vector<std::unique_ptr<const Kept>> m_kept;   // by position in the listing
};

} // namespace velor::demo
