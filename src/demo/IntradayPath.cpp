#include "demo/IntradayPath.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace velor::demo {

namespace {

constexpr int kMorningOpen = 9 * 60, kMorningClose = 11 * 60 + 30;
constexpr int kAfternoonOpen = 12 * 60 + 30, kLastTrade = 15 * 60 + 25, kAuction = 15 * 60 + 30;
constexpr int kPoints = kClosingAuctionPoint + 1;

uint64_t mix(uint64_t x)
{
    x += 0x9e3779b97f4a7c15ULL;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
    return x ^ (x >> 31);
}

// A number in [0, 1) from the stock's key and a salt; the same inputs always give the same number.
double unit(uint64_t key, uint64_t salt) { return double(mix(key ^ mix(salt)) >> 11) / double(1ULL << 53); }

// Salts apart, so that the walk, the turning points and the volume never share their numbers.
constexpr uint64_t kHighSalt = 1, kLowSalt = 2, kAuctionSalt = 3, kStepSalt = 1000, kVolumeSalt = 2000;

uint64_t stockKey(const MarketGenerator &gen, const StockSeries &s)
{
    return mix(gen.options().seed * 0x2545f4914f6cdd1dULL + uint64_t(uint32_t(s.entry.code)));
}

// The generator's price steps: whole yen for a stock, hundredths for an index.
float roundPrice(double v, bool index) { return index ? float(std::round(v * 100) / 100) : float(std::max(1.0, std::round(v))); }

// Folds a value back into [low, high] as often as it strays out, so a path that wanders past a
// bound turns back there instead of lying along it.
double foldInto(double v, double low, double high)
{
    const double width = high - low;
    if (width <= 0) return low;
    double x = std::fmod(v - low, 2 * width);
    if (x < 0) x += 2 * width;
    return x <= width ? low + x : high - (x - width);
}

const Bar *dayBarOf(const MarketGenerator &gen, const StockSeries &s)
{
    const int day = gen.storedDays();
    if (!movesThroughTheDay(gen, s)) return nullptr;
    const Bar &b = s.daily[size_t(day)];
    return b.volume > 0 ? &b : nullptr;
}

} // namespace

std::optional<int> tradePointAt(const QTime &t)
{
    const int m = t.hour() * 60 + t.minute();
    if (m < kMorningOpen) return std::nullopt;
    if (m <= kMorningClose) return m - kMorningOpen;
    if (m < kAfternoonOpen) return kMorningClose - kMorningOpen;   // lunch: the morning's last trade
    if (m <= kLastTrade) return kMorningClose - kMorningOpen + 1 + (m - kAfternoonOpen);
    if (m < kAuction) return kLastContinuousPoint;                 // waiting for the auction
    return kClosingAuctionPoint;
}

Bar quotedDayBar(const MarketGenerator &gen, const StockSeries &s)
{
    const int day = std::clamp(std::min(gen.storedDays(), s.endDay - 1), 0, int(s.daily.size()) - 1);
    return s.daily.empty() ? Bar{} : s.daily[size_t(day)];
}

bool movesThroughTheDay(const MarketGenerator &gen, const StockSeries &s)
{
    const int day = gen.storedDays();
    return s.firstDay <= day && day < s.endDay && day < int(s.daily.size());
}

float previousClose(const MarketGenerator &gen, const StockSeries &s)
{
    const int last = std::min(gen.storedDays(), s.endDay) - 1;
    return last >= s.firstDay && last >= 0 && last < int(s.daily.size()) ? s.daily[size_t(last)].close : 0.0f;
}

std::vector<float> intradayPrices(const MarketGenerator &gen, const StockSeries &s)
{
    const Bar *day = dayBarOf(gen, s);
    if (!day) return {};
    const uint64_t key = stockKey(gen, s);
    const bool index = !s.ordinary();
    // The high and the low are reached at two different points of the continuous session.
    const int atHigh = 1 + int(mix(key ^ kHighSalt) % kLastContinuousPoint);
    int atLow = 1 + int(mix(key ^ kLowSalt) % kLastContinuousPoint);
    if (atLow == atHigh) atLow = atLow % kLastContinuousPoint + 1;
    struct Anchor { int point; float price; };
    std::array<Anchor, 4> anchors = {{{0, day->open}, {atHigh, day->high}, {atLow, day->low}, {kClosingAuctionPoint, day->close}}};
    std::sort(anchors.begin(), anchors.end(), [](const Anchor &a, const Anchor &b) { return a.point < b.point; });

    // A walk of small steps, tied down at every anchor (a bridge between each pair), so the path
    // wanders between the turning points instead of running straight.
    std::array<double, kPoints> walk{};
    for (int p = 1; p < kPoints; ++p) walk[size_t(p)] = walk[size_t(p - 1)] + 2 * unit(key, kStepSalt + uint64_t(p)) - 1;
    const double spread = (double(day->high) - double(day->low)) * 0.07;

    std::vector<float> prices(kPoints);
    for (size_t k = 0; k + 1 < anchors.size(); ++k) {
        const Anchor &a = anchors[k], &b = anchors[k + 1];
        for (int p = a.point; p <= b.point; ++p) {
            if (p == a.point || p == b.point) {
                prices[size_t(p)] = p == a.point ? a.price : b.price;
                continue;
            }
            const double f = double(p - a.point) / double(b.point - a.point);
            const double bridge = walk[size_t(p)] - walk[size_t(a.point)] - f * (walk[size_t(b.point)] - walk[size_t(a.point)]);
            const double v = double(a.price) + f * (double(b.price) - double(a.price)) + spread * bridge;
            prices[size_t(p)] = std::clamp(roundPrice(foldInto(v, double(day->low), double(day->high)), index), day->low, day->high);
        }
    }
    return prices;
}

std::vector<double> intradayVolumes(const MarketGenerator &gen, const StockSeries &s)
{
    const Bar *day = dayBarOf(gen, s);
    if (!day) return {};
    const uint64_t key = stockKey(gen, s);
    // Busy at the opening of each session and before the close, quieter in between; the closing
    // auction takes its own share of the day.
    std::array<double, kClosingAuctionPoint> weight{};
    double total = 0;
    for (int p = 0; p <= kLastContinuousPoint; ++p) {
        const bool morning = p <= kMorningClose - kMorningOpen;
        const double sinceOpen = morning ? p : p - (kMorningClose - kMorningOpen + 1);
        const double untilBreak = morning ? (kMorningClose - kMorningOpen) - p : kLastContinuousPoint - p;
        const double shape = 1 + (morning ? 3.0 : 1.5) * std::exp(-sinceOpen / 12) + (morning ? 0.6 : 2.0) * std::exp(-untilBreak / 20);
        weight[size_t(p)] = shape * (0.3 + 1.4 * unit(key, kVolumeSalt + uint64_t(p))) * (p == 0 ? 6 : 1);   // p 0: the opening auction
        total += weight[size_t(p)];
    }
    const double session = 1 - (0.05 + 0.07 * unit(key, kAuctionSalt));
    // Volumes are whole trading units of 100 shares; an index is kept in millions, to hundredths.
    const bool index = !s.ordinary();
    const double unitSize = index ? 0.01 : 100;
    std::vector<double> volumes(kPoints);
    double cumulative = 0;
    for (int p = 0; p <= kLastContinuousPoint; ++p) {
        cumulative += weight[size_t(p)];
        const double share = std::round(day->volume * session * cumulative / total / unitSize) * unitSize;
        volumes[size_t(p)] = std::min(day->volume, std::max(unitSize, share));
    }
    volumes[kClosingAuctionPoint] = day->volume;
    return volumes;
}

std::optional<Bar> barSoFar(const MarketGenerator &gen, const StockSeries &s, const QTime &t)
{
    const Bar whole = quotedDayBar(gen, s);
    if (!movesThroughTheDay(gen, s)) return whole;
    const std::optional<int> point = tradePointAt(t);
    if (point == kClosingAuctionPoint) return whole;
    const std::vector<float> prices = intradayPrices(gen, s);
    if (!point || prices.empty()) return std::nullopt;   // no trade yet
    const std::vector<double> volumes = intradayVolumes(gen, s);
    const auto upTo = prices.begin() + *point + 1;
    Bar b;
    b.date = whole.date;
    b.open = prices.front();
    b.high = *std::max_element(prices.begin(), upTo);
    b.low = *std::min_element(prices.begin(), upTo);
    b.close = prices[size_t(*point)];
    b.volume = volumes[size_t(*point)];
    return b;
}

} // namespace velor::demo
