#pragma once
// The backtest of a screen. For every trading day of a range (the days of the index series
// 1001), the screen is run as of that day: on each stock's daily bars up to that day, adjusted
// for the splits whose ex-date is that day or earlier (what the database held at that day's
// close). Its top K at that day's close are the day's picks, and each pick's return after each
// holding period is measured close to close on the bars adjusted for every recorded split.
// Every price file is read once and the screen is evaluated at every position of it in one go.
#include "db/CorporateActions.h"
#include "db/MasterVars.h"
#include "db/PriceFile.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <expected>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace velor {

struct State;
class BarReadAhead;

/// A screen as the backtest runs it: a filter and an optional score, evaluated on one stock's
/// daily bar tables at every position at once. The value at position p (1 = the newest bar
/// loaded) may depend only on bars p, p+1, ... (that bar and older ones), so that it is what the
/// screen showed at the close of that bar's day.
class BacktestScreen {
public:
    virtual ~BacktestScreen() = default;
    /// False: the screen has only a filter, and the stocks it passes rank in code order. Scores
    /// rank as the ranking window ranks them, as single-precision values; equal ones in the
    /// exchange's code order.
    virtual bool hasScore() const = 0;
    /// How many bars older than a position its values read; the backtest loads that many bars
    /// before the range's first day (the default: every bar the tables hold).
    virtual int lookback() const { return kBarTableSize; }
    /// pass[p] (non-zero where the filter holds) and score[p] for the positions first..last
    /// (1 <= first <= last <= tables.BarCount); the callee sizes both to at least last + 1. A score
    /// that is no number (a bar it needs does not exist) leaves the stock out that day.
    virtual void evaluate(const BarVars &tables, int first, int last, std::vector<uint8_t> &pass,
                          std::vector<double> &score) = 0;
};

struct BacktestOptions {
    int32_t from = 0, to = 0;         ///< YYYYMMDD, both included
    std::vector<int> holds{1, 5, 20}; ///< holding periods in bars of the stock
    int top = 10;                     ///< picks a day at most
    bool bottom = false;              ///< the lowest scores first
    /// The master entries the screen examines (a watch list, the working set); nullopt: the whole
    /// master. The market's figures always cover every stock.
    std::optional<std::vector<int>> entries;
    /// The screens' floors on the day's bar: turnover (close × volume) and the price band.
    double minTurnover = 0, minPrice = 0, maxPrice = std::numeric_limits<double>::infinity();
    /// Read and parse the price files on a worker thread while the screen is evaluated.
    bool readAhead = true;
};

constexpr double kNoValue = std::numeric_limits<double>::quiet_NaN();

struct BacktestPick {
    int32_t date = 0;
    int code = 0;
    double score = kNoValue;        ///< no number when the screen has no score
    float close = 0;                ///< the day's close as it was known that day
    std::vector<double> returns;    ///< one per hold; no number where that bar is not stored yet
};

/// The returns measured for one holding period.
struct ReturnStats {
    long long count = 0;            ///< returns measured (bars that exist)
    double mean = kNoValue, median = kNoValue;
    double rose = kNoValue;         ///< share of the measured returns above zero
};

struct BacktestResult {
    std::vector<int32_t> days;                     ///< the range's trading days, oldest first
    std::vector<BacktestPick> picks;               ///< day by day, the best first
    std::vector<int> holds;
    std::vector<ReturnStats> pickStats, marketStats;   ///< one per hold
    /// Equal-weight curves, daily rebalanced: point 0 is 1, point i+1 is point i times one plus
    /// the average 1-bar return (to each stock's next close) of day i's picks, or of every stock
    /// with a bar that day for the market; a day with no such return leaves the curve flat.
    std::vector<double> curve, marketCurve;
    /// The worst fall of each curve from its highest point so far, as a fraction (0.1 = 10%).
    double drawdown = 0, marketDrawdown = 0;
    int stocks = 0;                                ///< price files read
    int missingFiles = 0;                          ///< master entries without a price file
    QStringList unreadable;                        ///< why other price files could not be read
    bool stopped = false;                          ///< stopped before every stock was examined
    int daysWithPicks() const;
};

/// Runs a backtest in steps, so that a window can show progress and stop it between steps.
class Backtest {
public:
    Backtest(const State &st, BacktestScreen &screen, BacktestOptions options);
    ~Backtest();
    /// Checks the options and reads the trading days; an error text (Japanese) when the options
    /// are out of range, 1001 cannot be read or the range holds no trading day.
    std::expected<void, QString> start();
    /// Examines up to `stocks` more master entries; false once every entry has been.
    bool step(int stocks);
    int done() const { return m_next - 1; }
    int total() const;
    /// The result of the entries examined; `stopped` marks a run ended early.
    BacktestResult finish(bool stopped = false);

private:
    struct Candidate;
    void examine(int entry);
    void pairDays(const std::vector<Bar> &raw);
    void addMarketReturns(const std::vector<Bar> &adjusted);
    void screenStock(int code, const std::vector<Bar> &raw, const std::vector<Bar> &adjusted,
                     std::span<const CorporateAction> actions);
    void consider(int code, size_t p, size_t day, const std::vector<Bar> &adjusted);
    void addCandidate(size_t day, Candidate c);
    void prune(std::vector<Candidate> &list, size_t keep) const;
    bool better(const Candidate &a, const Candidate &b) const;

    const State &m_st;
    BacktestScreen &m_screen;
    BacktestOptions m_options;
    BacktestResult m_result;
    BarVars m_tables;
    std::vector<uint8_t> m_pass;
    std::vector<double> m_score;
    std::vector<std::vector<Candidate>> m_candidates;       // by day
    std::vector<std::vector<double>> m_marketReturns;        // by hold
    std::vector<double> m_marketSum;                         // by day: 1-bar returns of the market
    std::vector<int> m_marketCount;
    std::vector<int> m_codes;                                // the master's codes at the start
    QString m_dataDir;
    std::vector<uint8_t> m_inScope;
    std::vector<std::pair<size_t, size_t>> m_onDays;         // of the stock examined                          // by master entry
    std::unique_ptr<BarReadAhead> m_readAhead;
    int m_next = 1;
};

/// A whole backtest at once; `progress(done, total)` after each step may return false to stop.
std::expected<BacktestResult, QString> runBacktest(const State &st, BacktestScreen &screen, const BacktestOptions &options,
                                                   const std::function<bool(int, int)> &progress = {});

/// Statistics of measured returns (no numbers are left out); the median of an even count is the
/// mean of the two middle ones.
ReturnStats returnStats(std::vector<double> values);
/// The worst fall of a curve from its highest earlier point, as a fraction.
double maxDrawdown(const std::vector<double> &curve);

} // namespace velor
