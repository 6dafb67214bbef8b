#include "demo/MarketGenerator.h"

#include "common/StockCode.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace velor::demo {

int32_t dateNumber(const QDate &d) { return d.year() * 10000 + d.month() * 100 + d.day(); }

namespace {

const char16_t *const kHeads[] = {u"東洋", u"日本", u"大和", u"三和", u"北海", u"中央", u"新光", u"富士", u"明治",
                                  u"昭和", u"第一", u"関西", u"九州", u"東京", u"大阪", u"名古屋", u"横浜", u"神戸",
                                  u"北陸", u"四国", u"東邦", u"太平", u"朝日", u"旭", u"光", u"丸",  u"山陽", u"信越"};
const char16_t *const kTails[] = {u"製作", u"工業", u"電機", u"化学", u"建設", u"商事", u"物産", u"銀行", u"証券",
                                  u"食品", u"薬品", u"電工", u"運輸", u"通信", u"精機", u"重工", u"繊維", u"鉄鋼",
                                  u"産業", u"興産", u"紙業", u"ガス", u"電力", u"海運", u"ＨＤ", u"技研", u"製薬"};

std::mt19937_64 rngFor(uint64_t seed, int code) { return std::mt19937_64(seed * 0x9E3779B97F4A7C15ULL + uint64_t(code) * 7919); }

float roundPrice(double v, bool index) { return index ? float(std::round(v * 100) / 100) : float(std::max(1.0, std::round(v))); }

} // namespace

MarketGenerator::MarketGenerator(MarketOptions options) : m_opt(std::move(options))
{
    // Weekdays from the first day of the month 299 months back, so 300 monthly bars exist.
    const QDate last = m_opt.lastStoredDay;
    QDate start = QDate(last.year(), last.month(), 1).addMonths(-299);
    for (QDate d = start; d <= last; d = d.addDays(1))
        if (d.dayOfWeek() <= 5) m_calendar.push_back(d);
    m_stored = int(m_calendar.size());
    for (QDate d = last.addDays(1); int(m_calendar.size()) < m_stored + m_opt.nextDays; d = d.addDays(1))
        if (d.dayOfWeek() <= 5) m_calendar.push_back(d);

    m_listing.push_back({1001, QStringLiteral("日経平均"), 0});
    m_listing.push_back({1002, QStringLiteral("ＴＯＰＩＸ"), 0});
    m_kind = {0, 0};
    const int n = std::max(m_opt.stocks, 0);
    std::mt19937_64 rng = rngFor(m_opt.seed, 0);
    const double span = double(9999 - 1301) / std::max(n, 1);
    for (int i = 0; i < n; ++i) {
        const int code = 1301 + int(std::floor(i * span));
        const auto *head = kHeads[rng() % std::size(kHeads)];
        const auto *tail = kTails[rng() % std::size(kTails)];
        const int section = 1 + int(rng() % 10 < 6 ? 0 : rng() % 4);
        m_listing.push_back({code, QString::fromUtf16(head) + QString::fromUtf16(tail), int16_t(section)});
        uint8_t kind = 0;
        if (i % 97 == 13) kind = 1;
        else if (i % 193 == 50) kind = 2;
        else if (i % 19 == 7) kind = 3;
        if (n >= 20 && (i == n / 3 || i == (2 * n) / 3)) kind = 4;
        m_kind.push_back(kind);
    }
    m_listedOn.assign(m_listing.size(), 0);
    for (size_t i = 0; i < m_listing.size(); ++i) m_ordinal.push_back(int(i));
    if (m_opt.letterCodes > 0) addLetterCodes();
    if (m_opt.splits) chooseSplits();
}

void MarketGenerator::chooseSplits()
{
    // Ordinary stocks of digit codes with a whole history, spread over the listing.
    const auto pick = [this](double at) -> std::optional<size_t> {
        for (size_t i = std::max<size_t>(2, size_t(at * double(m_listing.size()))); i < m_listing.size(); ++i)
            if (m_kind[i] == 0 && !hasLetter(m_listing[i].code) && m_listing[i].code >= 1301 &&
                std::none_of(m_splits.begin(), m_splits.end(), [i](const DemoSplit &s) { return s.index == i; }))
                return i;
        return std::nullopt;
    };
    const int next = m_opt.nextDays;
    const struct { double at; int exDay; double before, after; bool listed; } planned[] = {
        {0.2, m_stored - 200, 1, 5, true}, {0.4, m_stored - 120, 1, 2, true}, {0.6, m_stored - 60, 5, 1, true},
        {0.8, m_stored + std::min(3, next - 1), 1, 3, true}, {0.1, m_stored + std::min(6, next - 1), 1, 4, false}};
    for (const auto &p : planned) {
        if (p.exDay < 1 || p.exDay >= int(m_calendar.size())) continue;
        if (const auto i = pick(p.at)) m_splits.push_back({*i, p.exDay, p.before, p.after, p.listed});
    }
    std::sort(m_splits.begin(), m_splits.end(), [](const DemoSplit &a, const DemoSplit &b) { return a.exDay < b.exDay; });
}

QByteArray MarketGenerator::splitLines(bool stored) const
{
    QByteArray out;
    for (const DemoSplit &s : m_splits)
        if (stored ? s.exDay < m_stored : s.listed)
            out += codeBytes(m_listing[s.index].code) + ',' + QByteArray::number(dateNumber(m_calendar[size_t(s.exDay)])) + ',' +
                   QByteArray::number(s.before) + ':' + QByteArray::number(s.after) + "\r\n";
    return out;
}

int defaultLetterCodes(int stocks) { return stocks < 1 ? 0 : std::max(3, stocks / 15); }

void MarketGenerator::addLetterCodes()
{
    // Their own random numbers, so that the stocks of digit codes stay as they are.
    std::mt19937_64 rng = rngFor(m_opt.seed, 1);
    const int m = m_opt.letterCodes;
    int first = 0;   // the first trading day of 2024
    while (first < m_stored && m_calendar[size_t(first)] < QDate(2024, 1, 4)) ++first;
    struct Added { MasterEntry entry; uint8_t kind; int listedOn; };
    std::vector<Added> added;
    const int step = std::max(1, 870 / m);
    for (int k = 0; k < m; ++k) {
        QByteArray text = QByteArray::number(130 + (k * step) % 870) + 'A';    // 130A, 133A, …
        if (k == m / 2) text = QByteArray("9") + kCodeLetters[size_t(k) % 7] + char('0' + k % 10) + 'A';   // 9A7A-like
        else if (k == m / 3) text = QByteArray("2") + kCodeLetters[size_t(k) % 5] + QByteArray::number(10 + k % 90);
        const int code = codeFromText(std::string_view(text.constData(), size_t(text.size()))).value_or(0);
        if (code == 0 || std::any_of(added.begin(), added.end(), [code](const Added &a) { return a.entry.code == code; }))
            continue;
        const auto *head = kHeads[rng() % std::size(kHeads)];
        const auto *tail = kTails[rng() % std::size(kTails)];
        const int section = 1 + int(rng() % 10 < 4 ? 0 : rng() % 3 + 1);
        const bool pending = k == m - 1 && m_opt.nextDays > 0;
        const int listedOn = pending ? m_stored + std::max(m_opt.nextDays / 2, 0)
                                     : first + int((long long)(m_stored - 1 - first) * k / std::max(m - 1, 1));
        added.push_back({{code, QString::fromUtf16(head) + QString::fromUtf16(tail), int16_t(section)},
                         uint8_t(pending ? 4 : 5), listedOn});
    }
    std::sort(added.begin(), added.end(), [](const Added &a, const Added &b) { return codeLess(a.entry.code, b.entry.code); });
    // Merged in the exchange's order after the index series.
    std::vector<MasterEntry> listing(m_listing.begin(), m_listing.begin() + 2);
    std::vector<uint8_t> kind(m_kind.begin(), m_kind.begin() + 2);
    std::vector<int> listedOn(2, 0), ordinal{0, 1};
    size_t a = 0;
    for (size_t i = 2; i <= m_listing.size(); ++i) {
        while (a < added.size() && (i == m_listing.size() || codeLess(added[a].entry.code, m_listing[i].code))) {
            listing.push_back(added[a].entry);
            kind.push_back(added[a].kind);
            listedOn.push_back(added[a].listedOn);
            ordinal.push_back(-1);
            ++a;
        }
        if (i == m_listing.size()) break;
        listing.push_back(m_listing[i]);
        kind.push_back(m_kind[i]);
        listedOn.push_back(0);
        ordinal.push_back(int(i));
    }
    m_listing = std::move(listing);
    m_kind = std::move(kind);
    m_listedOn = std::move(listedOn);
    m_ordinal = std::move(ordinal);
}

StockSeries MarketGenerator::series(size_t i) const
{
    StockSeries s;
    s.entry = m_listing.at(i);
    const int code = s.entry.code;
    const bool index = code < 1301;
    const uint8_t kind = m_kind.at(i);
    std::mt19937_64 rng = rngFor(m_opt.seed, code);
    std::normal_distribution<double> step(0.0, index ? 0.011 : 0.021);
    std::uniform_real_distribution<double> uni(0.0, 1.0);
    const int days = int(m_calendar.size());
    s.firstDay = 0;
    s.endDay = days;
    if (kind == 1) s.firstDay = m_stored - 5 - int(rng() % 55);
    if (kind == 2) s.endDay = m_stored - 20 - int(rng() % 180);
    if (kind == 4) s.firstDay = m_stored + 1 + int(rng() % std::max(m_opt.nextDays - 1, 1));
    if (kind == 4 && m_opt.listingNextDay >= 0) s.firstDay = m_stored + m_opt.listingNextDay;
    if (kind == 5 || (kind == 4 && hasLetter(code) && m_opt.listingNextDay < 0)) s.firstDay = m_listedOn.at(i);
    s.firstDay = std::clamp(s.firstDay, 0, days);

    // Each stock's level is log-uniform from 50 to 50,000 yen; the walk is pulled back towards it
    // so that prices stay in a realistic band over the whole 25 years.
    double level = code == 1001 ? 33000 : code == 1002 ? 2400 : 50.0 * std::pow(1000.0, uni(rng));
    const double baseVolume = code == 1001 ? 1.6e9 : code == 1002 ? 1.5e9 : std::pow(10.0, 3.5 + 2.5 * uni(rng)) * 2000.0 / std::sqrt(level);
    s.daily.assign(size_t(days), Bar{});
    double close = level;
    for (int d = s.firstDay; d < s.endDay; ++d) {
        const double prev = close;
        const double open = prev * std::exp(step(rng) * 0.3);
        close = std::max(index ? 1.0 : 5.0, prev * std::exp(step(rng) + 0.003 * std::log(level / prev)));
        const double hi = std::max(open, close) * (1 + std::abs(step(rng)) * 0.5);
        const double lo = std::min(open, close) * (1 - std::abs(step(rng)) * 0.5);
        Bar &b = s.daily[size_t(d)];
        b.date = dateNumber(m_calendar[size_t(d)]);
        double volume = std::round(baseVolume * std::exp(std::normal_distribution<double>(0, 0.6)(rng)) / 100) * 100;
        if (index) volume = std::round(volume / 1e6 * 100) / 100;   // stored in millions of shares
        if (!index && kind == 3 && uni(rng) < 0.12) volume = 0;
        if (volume == 0 && !index) {
            // No trade: a flat bar at the previous close, as the import stores it.
            const float c = d > s.firstDay ? s.daily[size_t(d - 1)].close : roundPrice(prev, false);
            b.open = b.high = b.low = b.close = c;
            b.volume = 0;
            close = c;
            continue;
        }
        b.open = roundPrice(open, index);
        b.close = roundPrice(close, index);
        b.high = std::max({roundPrice(hi, index), b.open, b.close});
        b.low = std::min({roundPrice(lo, index), b.open, b.close});
        b.volume = volume;
        close = b.close;
    }
    // Before a split's ex-date the stock traded on the old basis: old:new 1:5 means prices five
    // times as high and a fifth of the shares.
    for (const DemoSplit &sp : m_splits) {
        if (sp.index != i) continue;
        const double k = sp.after / sp.before;
        for (int d = s.firstDay; d < std::min(sp.exDay, s.endDay); ++d) {
            Bar &b = s.daily[size_t(d)];
            b.open = roundPrice(b.open * k, false), b.high = roundPrice(b.high * k, false);
            b.low = roundPrice(b.low * k, false), b.close = roundPrice(b.close * k, false);
            b.volume = std::round(b.volume / k / 100) * 100;
        }
    }
    return s;
}

double MarketGenerator::deliveredVolume(const StockSeries &s, const Bar &b)
{
    return s.entry.code == 1001 || s.entry.code == 1002 ? std::round(b.volume * 1e6) : b.volume;
}

int16_t MarketGenerator::sectionOn(size_t i, int day) const
{
    const int16_t section = m_listing.at(i).section;
    const int k = m_ordinal.at(i);   // stocks of letter codes keep their section
    if (m_opt.sectionChangeNextDay < 0 || k < 2 || k % 50 != 5 || day < m_stored + m_opt.sectionChangeNextDay) return section;
    return int16_t(section % 4 + 1);
}

PriceSections MarketGenerator::sections(const StockSeries &s, int uptoDay) const
{
    PriceSections out;
    const int end = std::min(uptoDay, s.endDay);
    // Daily: the newest 300 stored days.
    for (int d = end - 1; d >= s.firstDay && out[0].size() < size_t(kSectionLines); --d) out[0].push_back(s.daily[size_t(d)]);
    // Weekly and monthly: group by Monday / first of month; a zero-volume day of an ordinary
    // stock adds no open, high or low, a bar of only such days is flat at the previous close.
    for (int sec = 1; sec <= 2; ++sec) {
        std::vector<Bar> bars;   // oldest first
        qint64 currentKey = -1;
        bool traded = false;
        for (int d = s.firstDay; d < end; ++d) {
            const QDate date = m_calendar[size_t(d)];
            const qint64 key = sec == 1 ? date.addDays(1 - date.dayOfWeek()).toJulianDay() : date.year() * 12 + date.month();
            const Bar &b = s.daily[size_t(d)];
            const bool counts = b.volume > 0 || !s.ordinary();
            if (key != currentKey) {
                Bar w = b;
                if (!counts) { const float c = bars.empty() ? b.close : bars.back().close; w.open = w.high = w.low = w.close = c; }
                bars.push_back(w);
                currentKey = key;
                traded = counts;
                continue;
            }
            Bar &w = bars.back();
            w.date = b.date;
            w.volume += b.volume;
            if (!counts) continue;
            if (!traded) { w.open = b.open; w.high = b.high; w.low = b.low; traded = true; }
            else { w.high = std::max(w.high, b.high); w.low = std::min(w.low, b.low); }
            w.close = b.close;
        }
        for (auto it = bars.rbegin(); it != bars.rend() && out[size_t(sec)].size() < size_t(kSectionLines); ++it)
            out[size_t(sec)].push_back(*it);
    }
    return out;
}

} // namespace velor::demo
