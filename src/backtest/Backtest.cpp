#include "backtest/Backtest.h"

#include "backtest/BarReadAhead.h"
#include "backtest/DailyHistory.h"
#include "common/StockCode.h"
#include "db/State.h"

#include <QDate>
#include <algorithm>
#include <bit>
#include <cmath>

namespace velor {

namespace {

constexpr int kMaxHold = 1600;   // the bar tables' reach
constexpr int kMaxTop = 5000;
constexpr size_t kMaxHolds = 10;  // each keeps a return of every stock and day for the market's median

QString dayText(int32_t d)
{
    return QStringLiteral("%1-%2-%3").arg(d / 10000).arg(d / 100 % 100, 2, 10, QLatin1Char('0')).arg(d % 100, 2, 10, QLatin1Char('0'));
}

// The return from bar `p` to bar `p - h` (positions newest first, 0-based), or no number where
// that bar is not stored or a close is not a price.
double barReturn(const std::vector<Bar> &bars, size_t p, int h)
{
    if (p < size_t(h)) return kNoValue;
    const double from = bars[p].close, to = bars[p - size_t(h)].close;
    if (!(from > 0) || !(to > 0)) return kNoValue;
    // The difference of two single-precision prices is exact in double, so a return of 10% reads 0.1.
    return (to - from) / from;
}

} // namespace

struct Backtest::Candidate {
    double score = kNoValue;
    int code = 0;
    float close = 0;
    double next = kNoValue;          // the 1-bar return, for the curve
    std::vector<double> returns;
};

int BacktestResult::daysWithPicks() const
{
    int n = 0;
    for (size_t i = 0; i < picks.size(); ++i)
        if (i == 0 || picks[i].date != picks[i - 1].date) ++n;
    return n;
}

Backtest::Backtest(const State &st, BacktestScreen &screen, BacktestOptions options)
    : m_st(st), m_screen(screen), m_options(std::move(options))
{
}

Backtest::~Backtest() = default;

int Backtest::total() const { return int(m_codes.size()); }

std::expected<void, QString> Backtest::start()
{
    const auto &o = m_options;
    if (o.from <= 0 || o.to <= 0) return std::unexpected(QStringLiteral("開始日と終了日を指定してください。"));
    if (o.from > o.to)
        return std::unexpected(QStringLiteral("開始日 ") + dayText(o.from) + QStringLiteral(" が終了日 ") + dayText(o.to) +
                               QStringLiteral(" より後です。"));
    if (o.holds.empty()) return std::unexpected(QStringLiteral("保有期間を 1 つ以上指定してください。"));
    if (o.holds.size() > kMaxHolds)
        return std::unexpected(QStringLiteral("保有期間は %1 個までです（%2 個あります）。").arg(kMaxHolds).arg(o.holds.size()));
    for (int h : o.holds)
        if (h < 1 || h > kMaxHold)
            return std::unexpected(QStringLiteral("保有期間 %1 は 1 から %2 までの日数ではありません。").arg(h).arg(kMaxHold));
    if (o.top < 1 || o.top > kMaxTop)
        return std::unexpected(QStringLiteral("選ぶ銘柄数 %1 は 1 から %2 までの数ではありません。").arg(o.top).arg(kMaxTop));

    auto calendar = readDailyBars(State::priceFilePath(m_st.DataDir, 1001));
    if (!calendar)
        return std::unexpected(QStringLiteral("営業日の基準にする 1001 を読めません: ") + calendar.error().text);
    for (auto it = calendar->rbegin(); it != calendar->rend(); ++it)
        if (it->date >= o.from && it->date <= o.to && (m_result.days.empty() || it->date > m_result.days.back()))
            m_result.days.push_back(it->date);
    if (m_result.days.empty())
        return std::unexpected(QStringLiteral("期間 ") + dayText(o.from) + QStringLiteral(" 〜 ") + dayText(o.to) +
                               QStringLiteral(" に営業日（1001 の日足のある日）がありません。"));
    m_result.holds = o.holds;
    m_candidates.assign(m_result.days.size(), {});
    m_marketReturns.assign(o.holds.size(), {});
    m_marketSum.assign(m_result.days.size(), 0);
    m_marketCount.assign(m_result.days.size(), 0);
    // The master and the data folder as they are now: a run that goes on between a window's
    // events keeps to them whatever is loaded meanwhile.
    const size_t entries = std::min(size_t(std::max<int>(m_st.StockCount, 0)), m_st.StockCode.size() - 1);
    m_codes.assign(m_st.StockCode.begin() + 1, m_st.StockCode.begin() + 1 + std::ptrdiff_t(entries));
    m_dataDir = m_st.DataDir;
    m_inScope.assign(m_codes.size() + 1, o.entries ? 0 : 1);
    for (int e : o.entries.value_or(std::vector<int>()))
        if (e >= 1 && size_t(e) <= m_codes.size()) m_inScope[size_t(e)] = 1;
    if (o.readAhead) {
        std::vector<QString> paths;
        for (int code : m_codes) paths.push_back(code <= 1002 ? QString() : State::priceFilePath(m_dataDir, code));
        m_readAhead = std::make_unique<BarReadAhead>(std::move(paths), m_result.days.front(), m_screen.lookback());
    }
    // Every stock's returns of every day at most: reserved once rather than grown and copied.
    for (auto &v : m_marketReturns) v.reserve(std::min(m_codes.size() * m_result.days.size(), size_t(1) << 22));
    m_next = 1;
    return {};
}

bool Backtest::step(int stocks)
{
    for (int k = 0; k < stocks && m_next <= total(); ++k) examine(m_next++);
    return m_next <= total();
}

bool Backtest::better(const Candidate &a, const Candidate &b) const
{
    const float x = float(a.score), y = float(b.score);
    if (m_screen.hasScore() && x != y) return m_options.bottom ? x < y : x > y;
    return codeLess(a.code, b.code);
}

void Backtest::prune(std::vector<Candidate> &list, size_t keep) const
{
    if (list.size() <= keep) return;
    std::nth_element(list.begin(), list.begin() + std::ptrdiff_t(keep), list.end(),
                     [this](const Candidate &a, const Candidate &b) { return better(a, b); });
    list.resize(keep);
}

void Backtest::addCandidate(size_t day, Candidate c)
{
    auto &list = m_candidates[day];
    list.push_back(std::move(c));
    // Only the day's best K can be picked; the rest need not wait for the end.
    if (list.size() >= 4 * size_t(m_options.top) + 64) prune(list, size_t(m_options.top));
}

void Backtest::examine(int entry)
{
    const int code = m_codes[size_t(entry - 1)];
    auto read = m_readAhead ? m_readAhead->take(size_t(entry - 1)) : BarReadAhead::Result();
    if (code <= 1002) return;   // the index series are no stocks to pick
    if (!m_readAhead) read = readDailyBars(State::priceFilePath(m_dataDir, code), m_result.days.front(), m_screen.lookback());
    if (!read) {
        if (read.error().missing) ++m_result.missingFiles;
        else m_result.unreadable << read.error().text;
        return;
    }
    ++m_result.stocks;
    const std::vector<Bar> &raw = *read;
    pairDays(raw);
    if (m_onDays.empty()) return;
    const auto actions = m_st.actions.of(code);
    // For the returns: the bars adjusted for every recorded split.
    std::vector<Bar> adjustedCopy;
    if (!actions.empty()) {
        adjustedCopy = raw;
        adjustBars(adjustedCopy, 0, actions);
    }
    const std::vector<Bar> &adjusted = actions.empty() ? raw : adjustedCopy;
    addMarketReturns(adjusted);
    if (m_inScope[size_t(entry)]) screenStock(code, raw, adjusted, actions);
}

void Backtest::pairDays(const std::vector<Bar> &raw)
{
    // The stock's bars on the range's trading days: (position, day), newest first; both lists
    // are in date order, so one walk pairs them.
    const auto &days = m_result.days;
    m_onDays.clear();
    size_t later = days.size();   // days[later - 1] is the newest day not after the bar's
    for (size_t p = 0; p < raw.size() && later > 0; ++p) {
        const int32_t d = raw[p].date;
        while (later > 0 && days[later - 1] > d) --later;
        // A date stored twice (a damaged file) counts once: its newest line.
        if (later > 0 && days[later - 1] == d && raw[p].close > 0 && (m_onDays.empty() || m_onDays.back().second != later - 1))
            m_onDays.emplace_back(p, later - 1);
    }
}

void Backtest::addMarketReturns(const std::vector<Bar> &adjusted)
{
    // A million or so a year, so one division per stock and day (its reciprocal) rather than one
    // per holding period; they differ from the picks' exact quotients in the last bit at most, far
    // below what the figures show.
    const auto &holds = m_options.holds;
    for (const auto &[p, day] : m_onDays) {
        const double from = adjusted[p].close, inverse = 1 / from;
        const auto ret = [&, p = p](int h) {
            if (p < size_t(h)) return kNoValue;
            const double to = adjusted[p - size_t(h)].close;
            return to > 0 ? (to - from) * inverse : kNoValue;
        };
        const double next = ret(1);
        if (!std::isnan(next)) m_marketSum[day] += next, ++m_marketCount[day];
        for (size_t h = 0; h < holds.size(); ++h)
            if (const double r = holds[h] == 1 ? next : ret(holds[h]); !std::isnan(r)) m_marketReturns[h].push_back(r);
    }
}

void Backtest::screenStock(int code, const std::vector<Bar> &raw, const std::vector<Bar> &adjusted,
                           std::span<const CorporateAction> actions)
{
    // The screen sees, on each day, the bars adjusted for the splits known that day: one
    // evaluation for each set of known splits that some day of the range has.
    for (size_t known = 0; known <= actions.size(); ++known) {
        const int32_t lo = known == 0 ? 0 : actions[known - 1].exDate;
        const int32_t hi = known == actions.size() ? std::numeric_limits<int32_t>::max() : actions[known].exDate;
        const auto inSet = [&](size_t p) { return raw[p].date >= lo && raw[p].date < hi; };
        int first = kBarTableSize, last = 0;   // the positions of the range's days in this set
        for (const auto &x : m_onDays)
            if (inSet(x.first)) first = std::min(first, int(x.first) + 1), last = std::max(last, int(x.first) + 1);
        if (last == 0) continue;
        if (known == actions.size()) {
            fillBarTables(m_tables, adjusted);
        } else {
            std::vector<Bar> view = raw;
            adjustBars(view, 0, actions.first(known));
            fillBarTables(m_tables, view);
        }
        m_pass.clear();
        m_score.clear();
        m_screen.evaluate(m_tables, first, last, m_pass, m_score);
        for (const auto &[p, day] : m_onDays)
            if (inSet(p)) consider(code, p, day, adjusted);
    }
}

void Backtest::consider(int code, size_t p, size_t day, const std::vector<Bar> &adjusted)
{
    const size_t pos = p + 1;
    if (pos >= m_pass.size() || !m_pass[pos]) return;
    Candidate c;
    c.code = code;
    c.close = m_tables.BarClose[pos];
    const double turnover = double(c.close) * m_tables.BarVolume[pos];
    if (turnover < m_options.minTurnover || c.close < m_options.minPrice || c.close > m_options.maxPrice) return;
    if (m_screen.hasScore()) {
        if (pos >= m_score.size() || !std::isfinite(m_score[pos])) return;
        c.score = m_score[pos];
    }
    c.next = barReturn(adjusted, p, 1);
    c.returns.reserve(m_options.holds.size());
    for (int h : m_options.holds) c.returns.push_back(barReturn(adjusted, p, h));
    addCandidate(day, std::move(c));
}

BacktestResult Backtest::finish(bool stopped)
{
    BacktestResult r = std::move(m_result);
    r.stopped = stopped || m_next <= total();
    const size_t nh = r.holds.size();
    std::vector<std::vector<double>> pickReturns(nh);
    r.curve.assign(1, 1.0);
    r.marketCurve.assign(1, 1.0);
    for (size_t day = 0; day < r.days.size(); ++day) {
        auto &list = m_candidates[day];
        prune(list, size_t(m_options.top));
        std::sort(list.begin(), list.end(), [this](const Candidate &a, const Candidate &b) { return better(a, b); });
        double sum = 0;
        int count = 0;
        for (Candidate &c : list) {
            if (!std::isnan(c.next)) sum += c.next, ++count;
            for (size_t h = 0; h < nh; ++h)
                if (!std::isnan(c.returns[h])) pickReturns[h].push_back(c.returns[h]);
            r.picks.push_back({r.days[day], c.code, c.score, c.close, std::move(c.returns)});
        }
        r.curve.push_back(r.curve.back() * (1 + (count > 0 ? sum / count : 0)));
        const int mc = m_marketCount[day];
        r.marketCurve.push_back(r.marketCurve.back() * (1 + (mc > 0 ? m_marketSum[day] / mc : 0)));
    }
    for (size_t h = 0; h < nh; ++h) {
        r.pickStats.push_back(returnStats(std::move(pickReturns[h])));
        r.marketStats.push_back(returnStats(std::move(m_marketReturns[h])));
    }
    r.drawdown = maxDrawdown(r.curve);
    r.marketDrawdown = maxDrawdown(r.marketCurve);
    m_candidates.clear();
    m_marketReturns.clear();
    m_readAhead.reset();
    return r;
}

std::expected<BacktestResult, QString> runBacktest(const State &st, BacktestScreen &screen, const BacktestOptions &options,
                                                   const std::function<bool(int, int)> &progress)
{
    Backtest b(st, screen, options);
    if (auto s = b.start(); !s) return std::unexpected(s.error());
    bool more = true;
    while (more) {
        more = b.step(64);
        if (progress && !progress(b.done(), b.total())) return b.finish(more);
    }
    return b.finish();
}

namespace {

// A key whose unsigned order is the order of the doubles (no NaN among them).
uint64_t orderKey(double x)
{
    const uint64_t bits = std::bit_cast<uint64_t>(x);
    return (bits >> 63) ? ~bits : bits | (uint64_t(1) << 63);
}

// The k-th smallest value (0-based) and the one before it (k >= 1; or itself for k = 0). A
// market's returns of a year run to a million values a holding period: counting them by the top
// 16 bits of their keys finds the buckets that hold ranks k - 1 and k in one pass, and only those
// are sorted out in a second.
std::pair<double, double> middleValues(std::vector<double> &v, size_t k)
{
    if (v.size() < 65536) {
        std::nth_element(v.begin(), v.begin() + std::ptrdiff_t(k), v.end());
        const double before = k == 0 ? v[k] : *std::max_element(v.begin(), v.begin() + std::ptrdiff_t(k));
        return {before, v[k]};
    }
    std::vector<uint32_t> count(65536, 0);
    for (double x : v) ++count[orderKey(x) >> 48];
    const size_t lowRank = k == 0 ? 0 : k - 1;
    size_t low = 0, belowLow = 0;
    while (belowLow + count[low] <= lowRank) belowLow += count[low++];
    size_t high = low, belowHigh = belowLow;
    while (belowHigh + count[high] <= k) belowHigh += count[high++];
    std::vector<double> in;
    in.reserve(count[low] + (high != low ? count[high] : 0));
    for (double x : v)
        if (const uint64_t b = orderKey(x) >> 48; b == low || b == high) in.push_back(x);
    const size_t r = k - belowLow;   // the buckets between them are empty
    std::nth_element(in.begin(), in.begin() + std::ptrdiff_t(r), in.end());
    const double before = r == 0 ? in[0] : *std::max_element(in.begin(), in.begin() + std::ptrdiff_t(r));
    return {k == 0 ? in[r] : before, in[r]};
}

} // namespace

ReturnStats returnStats(std::vector<double> v)
{
    ReturnStats s;
    s.count = (long long)v.size();
    if (v.empty()) return s;
    double sum = 0;
    long long up = 0;
    for (double x : v) sum += x, up += x > 0 ? 1 : 0;
    s.mean = sum / double(v.size());
    s.rose = double(up) / double(v.size());
    const auto [before, middle] = middleValues(v, v.size() / 2);
    s.median = v.size() % 2 == 0 ? (before + middle) / 2 : middle;
    return s;
}

double maxDrawdown(const std::vector<double> &curve)
{
    double peak = 0, worst = 0;
    for (double v : curve) {
        peak = std::max(peak, v);
        if (peak > 0) worst = std::max(worst, 1 - v / peak);
    }
    return worst;
}

} // namespace velor
