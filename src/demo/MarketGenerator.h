#pragma once
// A deterministic all-market price history: index series 1001 and 1002 and a few thousand stocks
// on a weekday calendar, with new listings, delisted stocks and zero-volume days. Each stock is
// generated from its own seed, so one stock can be made without making the others.
#include "db/PriceFile.h"
#include "db/StockMaster.h"

#include <QDate>
#include <cstdint>
#include <vector>

namespace velor::demo {

struct MarketOptions {
    int stocks = 3800;
    uint64_t seed = 1;
    QDate lastStoredDay = QDate(2026, 11, 27);   ///< newest day in the database (a Friday)
    int nextDays = 10;                            ///< trading days after it, for the download site
    int listingNextDay = -1;        ///< when >= 0: the stocks listed during the next days list on this one (0 = first)
    int sectionChangeNextDay = -1;  ///< when >= 0: every 50th stock moves to another section from this next day on
    /// Stocks listed since 2024 with codes that hold letters (130A, 133A, …, one like 9A7A, the
    /// last listing during the next days), placed among the others in the exchange's order.
    /// Every other stock is the same with or without them.
    int letterCodes = 0;
    /// Splits and a reverse split in the stored history (1:5, 1:2, 5:1), and two splits among the
    /// next days: a 1:3 that the site's split list names and a 1:4 that it leaves out.
    bool splits = false;
};

/// A split of the demo market: the stock's place in the listing, its ex-date's calendar day,
/// old:new shares, and whether the site's split list names it.
struct DemoSplit {
    size_t index = 0;
    int exDay = 0;
    double before = 1, after = 1;
    bool listed = true;
};

/// The share of letter codes `velor demo` gives a market of n stocks: one in fifteen, at least 3.
int defaultLetterCodes(int stocks);

/// One stock's daily bars, indexed by calendar day; days outside [firstDay, endDay) have none.
struct StockSeries {
    MasterEntry entry;
    int firstDay = 0;
    int endDay = 0;
    std::vector<Bar> daily;     ///< same length as the calendar
    bool ordinary() const { return entry.code >= 1301; }
};

class MarketGenerator {
public:
    explicit MarketGenerator(MarketOptions options);
    const MarketOptions &options() const { return m_opt; }
    /// Every weekday from the first stored day to the last next day.
    const std::vector<QDate> &calendar() const { return m_calendar; }
    /// Calendar days 0..storedDays()-1 are in the database; the rest are the next days.
    int storedDays() const { return m_stored; }
    /// All series in code order: 1001, 1002, then the stocks (including those listed later).
    const std::vector<MasterEntry> &listing() const { return m_listing; }
    StockSeries series(size_t i) const;
    /// The daily, weekly and monthly sections of a series as stored after day `uptoDay`-1
    /// (newest first, at most 300 each).
    PriceSections sections(const StockSeries &s, int uptoDay) const;
    /// Raw volume as a daily file delivers it (index series are delivered in shares, not millions).
    static double deliveredVolume(const StockSeries &s, const Bar &b);
    /// The section a stock's line carries on calendar day `day`.
    int16_t sectionOn(size_t i, int day) const;
    /// The market's splits, by ex-date.
    const std::vector<DemoSplit> &splits() const { return m_splits; }
    /// "code,YYYYMMDD,old:new" CR LF for each split whose ex-date is a stored day (`stored`) or a
    /// next day the site's list names (not `stored`).
    QByteArray splitLines(bool stored) const;
private:
    MarketOptions m_opt;
    std::vector<QDate> m_calendar;
    int m_stored = 0;
    std::vector<MasterEntry> m_listing;
    std::vector<uint8_t> m_kind;   ///< 0 normal, 1 new listing, 2 delisted, 3 illiquid, 4 listed during the next days, 5 listed since 2024
    std::vector<int> m_listedOn;   ///< kind 5: the calendar day of listing
    std::vector<int> m_ordinal;    ///< the place among the stocks of digit codes (-1 for letter codes)
    void addLetterCodes();
    void chooseSplits();
    std::vector<DemoSplit> m_splits;
};

/// YYYYMMDD of a date.
int32_t dateNumber(const QDate &d);

} // namespace velor::demo
