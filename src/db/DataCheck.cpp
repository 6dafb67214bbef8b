#include "db/DataCheck.h"

#include "common/NumText.h"
#include "common/StockCode.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <optional>

namespace velor {

namespace {

const char *const kSectionNames[3] = {"日足", "週足", "月足"};

QString sectionName(int s) { return QString::fromUtf8(kSectionNames[s]); }

constexpr uint64_t kOnes = 0x0101010101010101ULL;

// The number held by the `length` (1..8) digits at p.
inline uint64_t digitsValue(const char *p, int length)
{
    uint64_t v;
    std::memcpy(&v, p, 8);
    // The digits end up in the high bytes, zeros before them; the bytes after them are gone.
    uint64_t d = (v - kOnes * '0') << (8 * (8 - length));
    d = d * 10 + (d >> 8);
    return (((d & 0x000000FF000000FFULL) * (100 + (1000000ULL << 32))) + (((d >> 16) & 0x000000FF000000FFULL) * (1 + (10000ULL << 32)))) >> 32;
}

// Most stored lines are whole numbers and commas ending in CR LF; those are read here from the
// positions of their commas, found sixteen bytes at a time. Nothing for any other line (decimals,
// blanks, signs, a longer line), which the program's own reader then reads, so both agree on
// every line. Needs 72 readable bytes at p.
inline const char *wholeNumbersLine(const char *p, Bar &bar)
{
#if !defined(__SSE2__)
    return nullptr;
#else
    uint64_t comma = 0, other = 0;
    for (int i = 0; i < 4; ++i) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + 16 * i));
        const uint64_t c = uint32_t(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8(','))));
        // '0'..'9' become -128..-119 and nothing else does.
        const __m128i t = _mm_sub_epi8(v, _mm_set1_epi8(char('0' + 128)));
        const uint64_t digit = uint32_t(_mm_movemask_epi8(_mm_cmplt_epi8(t, _mm_set1_epi8(char(-128 + 10)))));
        comma |= c << (16 * i);
        other |= (~(digit | c) & 0xFFFFu) << (16 * i);
    }
    if (other == 0) return nullptr;
    const int cr = std::countr_zero(other);
    const uint64_t within = comma & ((uint64_t(1) << cr) - 1);
    // Five commas, no field empty, then CR LF.
    if (p[cr] != '\r' || p[cr + 1] != '\n' || (within & 1) || (within & (within << 1)) ||
        (within >> (cr - 1)))
        return nullptr;
    uint64_t f[6];
    uint64_t rest = within;
    int begin = 0;
    for (int i = 0; i < 6; ++i) {
        if ((i < 5) != (rest != 0)) return nullptr;   // five commas
        const int end = i < 5 ? std::countr_zero(rest) : cr;
        rest &= rest - 1;
        const int length = end - begin;
        if (length <= 8) f[i] = digitsValue(p + begin, length);
        else if (length <= 16) f[i] = digitsValue(p + begin, length - 8) * 100000000u + digitsValue(p + end - 8, 8);
        else return nullptr;
        begin = end + 1;
    }
    // A price above 2^24 is rounded by the float reader; a date beyond int32 is refused by it.
    if (f[0] > 0x7fffffffu || std::max({f[1], f[2], f[3], f[4]}) > (uint64_t(1) << 24)) return nullptr;
    bar = Bar{int32_t(f[0]), float(f[1]), float(f[2]), float(f[3]), float(f[4]), double(f[5])};
    return p + cr + 2;
#endif
}

QString lineError(const QString &path, qsizetype lineNo)
{
    return QStringLiteral("ファイル：　") + path + QStringLiteral(" の ") + QString::number(lineNo) +
           QStringLiteral(" 行目が正しくありません。");
}

// The counted bars of each section, as readPriceFile reads them (the padding lines are skipped
// unread; they need not be there at all).
std::expected<PriceSections, QString> parsePrices(const QByteArray &bytes, const QString &path, int sections)
{
    const char *p = bytes.constData(), *end = p + bytes.size();
    auto nextLine = [&](const char *&b, const char *&e) {
        if (p >= end) return false;
        const char *nl = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)));
        b = p, e = nl ? nl : end;
        p = nl ? nl + 1 : end;
        return true;
    };
    const char *b = nullptr, *e = nullptr;
    if (!nextLine(b, e)) return std::unexpected(lineError(path, 1));
    const auto counts = parseHeaderLine(b, e);
    if (!counts) return std::unexpected(lineError(path, 1));
    PriceSections out;
    qsizetype at = 1;   // lines before the section, as readPriceFile counts them
    for (int s = 0; s < sections; ++s) {
        const int n = (*counts)[size_t(s)];
        auto &bars = out[size_t(s)];
        bars.resize(size_t(n));
        for (int k = 0; k < n; ++k) {
            if (end - p >= 128)
                if (const char *after = wholeNumbersLine(p, bars[size_t(k)])) {
                    p = after;
                    continue;
                }
            if (!nextLine(b, e)) return std::unexpected(lineError(path, at + k + 1));
            const auto bar = parseBarLine(b, e);
            if (!bar) return std::unexpected(lineError(path, at + k + 1));
            bars[size_t(k)] = *bar;
        }
        for (int k = n; k < kSectionLines && s + 1 < sections && nextLine(b, e); ++k) {
        }
        at += std::max(n, kSectionLines);
    }
    return out;
}

// Days since 1970-01-01 of a valid YYYYMMDD.
int64_t dayNumber(int32_t ymd)
{
    int y = ymd / 10000;
    const unsigned m = unsigned(ymd / 100 % 100), d = unsigned(ymd % 100);
    y -= m <= 2;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return int64_t(era) * 146097 + int64_t(doe) - 719468;
}

bool validDate(int32_t ymd)
{
    const int y = ymd / 10000, m = ymd / 100 % 100, d = ymd % 100;
    if (y < 1900 || y > 2200 || m < 1 || m > 12 || d < 1) return false;
    static const int days[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return d <= (m == 2 && !leap ? 28 : days[m - 1]);
}

// The week (its Monday's day number) or the month (year * 12 + month) a date belongs to.
int64_t periodKey(int section, int32_t ymd)
{
    if (section == 2) return int64_t(ymd / 10000) * 12 + ymd / 100 % 100;
    const int64_t n = dayNumber(ymd);
    return n - ((n % 7 + 7 + 3) % 7);   // 1970-01-01 was a Thursday
}

QString barValues(const Bar &b)
{
    return QStringLiteral("始値 ") + singleText(b.open) + QStringLiteral(" 高値 ") + singleText(b.high) +
           QStringLiteral(" 安値 ") + singleText(b.low) + QStringLiteral(" 終値 ") + singleText(b.close) +
           QStringLiteral(" 出来高 ") + doubleText(b.volume);
}

QString isoDate(int32_t d)
{
    return QStringLiteral("%1-%2-%3").arg(d / 10000).arg(d / 100 % 100, 2, 10, QLatin1Char('0')).arg(d % 100, 2, 10, QLatin1Char('0'));
}

bool sameValue(float a, float b) { return a == b || std::abs(double(a) - double(b)) <= 1e-6 * std::max(std::abs(double(a)), std::abs(double(b))); }

bool sameBar(const Bar &a, const Bar &b)
{
    return a.date == b.date && sameValue(a.open, b.open) && sameValue(a.high, b.high) && sameValue(a.low, b.low) &&
           sameValue(a.close, b.close) && std::abs(a.volume - b.volume) <= 0.5;
}

class FileCheck {
public:
    FileCheck(const PriceSections &sec, int code, QString file, const PriceCheckContext &ctx)
        : m_sec(sec), m_code(code), m_file(std::move(file)), m_ctx(ctx)
    {
    }

    std::vector<CheckFinding> run(int dailyCount)
    {
        bool ordered[3];
        for (int s = 0; s < 3; ++s) ordered[s] = values(s);
        if (ordered[0]) {
            m_daily.assign(m_sec[0].rbegin(), m_sec[0].rend());
            missingDays();
            if (m_code >= 1301 && m_ctx.checkLimits) priceLimits();
            for (int s = 1; s <= 2; ++s)
                if (ordered[s]) periodBars(s, dailyCount < kSectionLines);
        }
        return std::move(m_out);
    }

private:
    void add(CheckKind kind, int32_t date, const QString &what) { m_out.push_back({kind, m_file, date, what}); }

    // Values and the order of dates in one section; false when its dates are out of order.
    bool values(int s)
    {
        bool ordered = true;
        const auto &bars = m_sec[size_t(s)];
        for (size_t k = 0; k < bars.size(); ++k) {
            const Bar &b = bars[k];
            // False for a negative value, NaN and infinity alike.
            constexpr float fmax = std::numeric_limits<float>::max();
            const auto fine = [](float x) { return x >= 0 && x <= fmax; };
            if (!(fine(b.open) && fine(b.high) && fine(b.low) && fine(b.close) && b.volume >= 0 && b.volume <= std::numeric_limits<double>::max()))
                add(CheckKind::BarValues, b.date, sectionName(s) + QStringLiteral("に負の値または数でない値があります（") + barValues(b) + QStringLiteral("）"));
            else if (b.high < b.open || b.high < b.close || b.low > b.open || b.low > b.close)
                add(CheckKind::BarValues, b.date, sectionName(s) + QStringLiteral("の高値・安値が始値・終値と矛盾しています（") + barValues(b) + QStringLiteral("）"));
            if (!validDate(b.date)) {
                add(CheckKind::DateOrder, b.date, sectionName(s) + QStringLiteral("の日付 ") + QString::number(b.date) + QStringLiteral(" は日付ではありません"));
                ordered = false;
            } else if (k > 0 && b.date >= bars[k - 1].date) {
                add(CheckKind::DateOrder, b.date, sectionName(s) + QStringLiteral("の日付が一つ上の行の ") + QString::number(bars[k - 1].date) +
                                                      QStringLiteral(" より古くありません"));
                ordered = false;
            }
        }
        return ordered;
    }

    // Every trading day of 1001 between the stock's oldest and newest daily bar has a bar.
    void missingDays()
    {
        const auto days = m_ctx.tradingDays;
        if (days.empty() || m_daily.empty()) return;
        const int32_t from = std::max(m_daily.front().date, days.front()), to = std::min(m_daily.back().date, days.back());
        auto have = m_daily.begin();
        for (auto t = std::lower_bound(days.begin(), days.end(), from); t != days.end() && *t <= to; ++t) {
            while (have != m_daily.end() && have->date < *t) ++have;
            if (have == m_daily.end() || have->date != *t)
                add(CheckKind::MissingDays, *t, QStringLiteral("日足がありません（1001 の取引日です）"));
        }
    }

    // A close beyond the limit from the last traded close, as the import judges it.
    void priceLimits()
    {
        std::optional<float> previous;
        for (const Bar &b : m_daily) {
            const bool recorded = std::any_of(m_ctx.actions.begin(), m_ctx.actions.end(), [&](const CorporateAction &a) { return a.exDate == b.date; });
            if (previous && b.volume > 0 && !recorded && std::abs(double(b.close) - *previous) > dailyPriceLimit(*previous)) {
                QString what = QStringLiteral("終値 ") + singleText(b.close) + QStringLiteral(" が前日の ") + singleText(*previous) +
                               QStringLiteral(" から値幅制限（") + doubleText(dailyPriceLimit(*previous)) + QStringLiteral(" 円）を超えて動いています");
                if (const auto r = suggestedRatio(*previous, b.close)) {
                    const QString ratio = doubleText(r->first) + QLatin1Char(':') + doubleText(r->second);
                    what += QStringLiteral("。") + ratio + QStringLiteral(" の株式分割・併合なら記録してください： velor split add ") +
                            codeText(m_code) + QLatin1Char(' ') + isoDate(b.date) + QLatin1Char(' ') + ratio;
                }
                add(CheckKind::PriceLimit, b.date, what);
            }
            if (b.volume > 0 && b.close > 0) previous = b.close;
        }
    }

    // Each weekly or monthly bar whose whole period the daily section covers, against the bar
    // the import builds from those days.
    void periodBars(int s, bool dailyComplete)
    {
        if (m_daily.empty()) return;
        std::vector<int64_t> &keys = m_keys[s - 1];
        keys.resize(m_daily.size());
        for (size_t i = 0; i < m_daily.size(); ++i) keys[i] = periodKey(s, m_daily[i].date);
        const bool everyDayCounts = m_code < 1301;
        for (const Bar &w : m_sec[size_t(s)]) {
            const int64_t key = periodKey(s, w.date);
            // Newest first: once a period starts before the daily bars, so do all after it.
            if (!dailyComplete && keys.front() >= key) break;
            const auto first = size_t(std::lower_bound(keys.begin(), keys.end(), key) - keys.begin());
            const auto last = size_t(std::upper_bound(keys.begin(), keys.end(), key) - keys.begin());
            if (first == last) {
                add(CheckKind::PeriodBars, w.date, sectionName(s) + QStringLiteral("の期間に日足がありません"));
                continue;
            }
            Bar r{m_daily[last - 1].date, 0, 0, 0, 0, 0};
            bool traded = false;
            for (size_t i = first; i < last; ++i) {
                const Bar &d = m_daily[i];
                r.volume += d.volume;
                if (!(d.volume > 0 || everyDayCounts)) continue;
                if (!traded) r.open = d.open, r.high = d.high, r.low = d.low, traded = true;
                r.high = std::max(r.high, d.high), r.low = std::min(r.low, d.low), r.close = d.close;
            }
            if (!traded) r.open = r.high = r.low = r.close = previousClose(first);
            if (!sameBar(r, w))
                add(CheckKind::PeriodBars, w.date, sectionName(s) + QStringLiteral("が日足と合いません（") + barValues(w) +
                                                     QStringLiteral("、日足からは ") + QString::number(r.date) + QLatin1Char(' ') +
                                                     barValues(r) + QStringLiteral("）"));
        }
    }

    // The close a period of days without trade stays flat at: the last traded close before it.
    float previousClose(size_t first) const
    {
        for (size_t i = first; i-- > 0;)
            if (m_daily[i].volume > 0) return m_daily[i].close;
        return first > 0 ? m_daily[first - 1].close : m_daily[first].close;
    }

    const PriceSections &m_sec;
    int m_code;
    QString m_file;
    const PriceCheckContext &m_ctx;
    std::vector<Bar> m_daily;   // oldest first
    std::vector<int64_t> m_keys[2];
    std::vector<CheckFinding> m_out;
};

} // namespace

QString checkKindName(CheckKind kind)
{
    switch (kind) {
    case CheckKind::BarValues: return QStringLiteral("高値・安値の矛盾と負の値");
    case CheckKind::DateOrder: return QStringLiteral("日付の順序");
    case CheckKind::MissingDays: return QStringLiteral("日足の抜け");
    case CheckKind::PriceLimit: return QStringLiteral("値幅制限を超える値動き");
    case CheckKind::PeriodBars: return QStringLiteral("週足・月足と日足の不一致");
    case CheckKind::MasterFiles: return QStringLiteral("銘柄一覧と株価ファイルの不一致");
    }
    return {};
}

QString findingLine(const CheckFinding &f)
{
    return f.file + QLatin1Char(',') + (f.date != 0 ? QString::number(f.date) : QString()) + QLatin1Char(',') + f.what;
}

std::expected<std::vector<CheckFinding>, QString> checkPriceBytes(const QByteArray &bytes, int code, const QString &path,
                                                                  const PriceCheckContext &context)
{
    auto sections = parsePrices(bytes, path, 3);
    if (!sections) return std::unexpected(sections.error());
    const QString file = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    return FileCheck(*sections, code, file, context).run(int((*sections)[0].size()));
}

std::expected<std::vector<int32_t>, QString> dailyDates(const QByteArray &bytes, const QString &path)
{
    auto sections = parsePrices(bytes, path, 1);
    if (!sections) return std::unexpected(sections.error());
    std::vector<int32_t> out;
    for (auto it = (*sections)[0].rbegin(); it != (*sections)[0].rend(); ++it) out.push_back(it->date);
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

std::array<int, kCheckKinds> DataCheckReport::counts() const
{
    std::array<int, kCheckKinds> n{};
    for (const auto &f : findings) ++n[size_t(f.kind)];
    return n;
}

} // namespace velor
