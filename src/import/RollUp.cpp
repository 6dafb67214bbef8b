#include "import/RollUp.h"

#include "common/NumText.h"
#include "db/PriceFile.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <optional>

namespace velor {

namespace {

constexpr int kLines = kSectionLines;

struct LineView {
    const char *begin;
    const char *end;
};

QByteArray priceText(float v) { return singleBytes(v); }

QByteArray barText(int32_t date, const QByteArray &o, const QByteArray &h, const QByteArray &l, const QByteArray &c,
                   double volume)
{
    const QByteArray v = doubleBytes(volume);
    QByteArray out;
    out.reserve(10 + o.size() + h.size() + l.size() + c.size() + v.size() + 5);
    out.append(QByteArray::number(date)).append(',').append(o).append(',').append(h).append(',').append(l).append(',');
    return out.append(c).append(',').append(v);
}

QByteArray flatBar(int32_t date, float close)
{
    const QByteArray c = priceText(close);
    return barText(date, c, c, c, c, 0);
}

// Appends pieces of text, joining pieces that follow one another in memory into one append.
class Stretches {
public:
    explicit Stretches(QByteArray &out) : m_out(out) {}
    void add(const char *begin, const char *end)
    {
        if (!m_begin || m_end != begin) flush(), m_begin = begin;
        m_end = end;
    }
    void flush()
    {
        if (m_begin) m_out.append(m_begin, m_end - m_begin);
        m_begin = nullptr;
    }

private:
    QByteArray &m_out;
    const char *m_begin = nullptr, *m_end = nullptr;
};

constexpr char kCrLf[] = "\r\n";

class OldFile {
public:
    std::vector<LineView> lines;
    std::array<int, 3> counts{};
    std::array<size_t, 3> start{};
    QString error;
    bool allShortest = true;   // every copied line went out as it stood

    bool split(const QByteArray &bytes)
    {
        const char *p = bytes.constData(), *end = p + bytes.size();
        lines.reserve(902);
        while (p < end) {
            const char *nl = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)));
            const char *le = nl ? nl : end;
            const char *te = (le > p && le[-1] == '\r') ? le - 1 : le;
            lines.push_back({p, te});
            p = nl ? nl + 1 : end;
        }
        if (lines.empty()) return fail(1);
        const auto c = parseHeaderLine(lines[0].begin, lines[0].end);
        if (!c) return fail(1);
        counts = *c;
        start[0] = 1;
        start[1] = start[0] + size_t(std::max(counts[0], kLines));
        start[2] = start[1] + size_t(std::max(counts[1], kLines));
        if (lines.size() < start[2] + kLines) return fail(int(lines.size()) + 1);
        return true;
    }
    bool fail(int lineNo)
    {
        error = QString::number(lineNo) + QStringLiteral(" 行目");
        return false;
    }
    std::optional<Bar> bar(int section, int k)   // k = 1 newest
    {
        const size_t at = start[size_t(section)] + size_t(k - 1);
        auto b = parseBarLine(lines[at].begin, lines[at].end);
        if (!b) fail(int(at) + 1);
        return b;
    }
    // Appends lines from..to (1-based, inclusive) of a section in shortest form. Lines already
    // in that form and ending in CR LF go out in runs, a run being one stretch of the old text.
    bool copy(int section, int from, int to, QByteArray &out, const QByteArray &old)
    {
        const char *oldEnd = old.constData() + old.size();
        Stretches stretches(out);
        for (int k = from; k <= to; ++k) {
            const size_t at = start[size_t(section)] + size_t(k - 1);
            const LineView &v = lines[at];
            if (isShortestBarLine(v.begin, v.end)) {
                if (oldEnd - v.end >= 2 && v.end[0] == '\r' && v.end[1] == '\n') {
                    stretches.add(v.begin, v.end + 2);
                } else {
                    stretches.add(v.begin, v.end);
                    stretches.add(kCrLf, kCrLf + 2);
                }
                continue;
            }
            stretches.flush();
            const auto b = parseBarLine(v.begin, v.end);
            if (!b) return fail(int(at) + 1);
            const QByteArray text = formatBarLine(*b);
            allShortest = allShortest && isShortestBarLine(text.constBegin(), text.constEnd());
            out += text + "\r\n";
        }
        stretches.flush();
        return true;
    }
};

bool isIndexSeries(int code) { return code == 1001 || code == 1002; }

// The weekly (section 1, start WS) or monthly (section 2, start MS) bar line for the day, and
// whether it starts a new bar.
template <typename Lines>
std::optional<std::pair<QByteArray, bool>> periodBar(Lines &f, int section, int32_t start, const DailyFile &day,
                                                     const DailyLine &line, const std::vector<int32_t> &calendar)
{
    const auto w1 = f.bar(section, 1);
    if (!w1) return std::nullopt;
    const bool ordinary = line.code >= 1301;
    const double V = line.volume;
    if (!(w1->date >= start || start > day.D)) {
        if (V == 0 && ordinary) return std::pair{flatBar(day.D, w1->close), true};
        return std::pair{barText(day.D, line.open, line.high, line.low, line.close, V), true};
    }
    QByteArray o = line.open, h = line.high, l = line.low, c = line.close;
    float hv = line.h, lv = line.l;
    double vol = V;
    // The texts are made once, from the values the walk over the period's days ends with.
    std::optional<float> ov;
    bool higher = false, lower = false, fromWeek = false;
    const size_t limit = std::min(calendar.size(), size_t(kLines));
    for (size_t p = 1; p <= limit && calendar[p - 1] >= start; ++p) {
        const auto dp = f.bar(0, int(p));
        if (!dp) return std::nullopt;
        // An index has prices on a day without volume (the data API serves none for it).
        if (V != 0 || isIndexSeries(line.code)) {
            if (dp->volume > 0 || isIndexSeries(line.code)) {
                ov = dp->open;
                if (dp->high > hv) hv = dp->high, higher = true;
                if (dp->low < lv) lv = dp->low, lower = true;
            }
        } else {
            fromWeek = true;
        }
        vol += dp->volume;
    }
    if (fromWeek) {
        o = priceText(w1->open), h = priceText(w1->high), l = priceText(w1->low), c = priceText(w1->close);
    } else {
        if (ov) o = priceText(*ov);
        if (higher) h = priceText(hv);
        if (lower) l = priceText(lv);
    }
    if (vol == 0 && ordinary) return std::pair{flatBar(day.D, w1->close), false};
    return std::pair{barText(day.D, o, h, l, c, vol), false};
}

// The day's three new lines: its daily bar, and its weekly and monthly bars with whether each
// starts a new one. `d1` is the stored newest daily bar.
struct DayBars {
    QByteArray daily;
    std::pair<QByteArray, bool> week, month;
};

template <typename Lines>
std::optional<DayBars> dayBars(Lines &f, const Bar &d1, const DailyFile &day, const DailyLine &line,
                               const std::vector<int32_t> &calendar)
{
    const bool ordinary = line.code >= 1301;
    QByteArray daily = (line.volume == 0 && ordinary) ? flatBar(day.D, d1.close)
                                                      : barText(day.D, line.open, line.high, line.low, line.close, line.volume);
    auto week = periodBar(f, 1, day.WS, day, line, calendar);
    if (!week) return std::nullopt;
    auto month = periodBar(f, 2, day.MS, day, line, calendar);
    if (!month) return std::nullopt;
    return DayBars{std::move(daily), std::move(*week), std::move(*month)};
}

} // namespace

namespace {

constexpr uint64_t kOnes = 0x0101010101010101ULL, kHigh = 0x8080808080808080ULL, kLow7 = 0x7F7F7F7F7F7F7F7FULL;

// The high bit of each byte of v that equals c (exact per byte: no carry crosses a byte).
uint64_t bytesEqual(uint64_t v, unsigned char c)
{
    const uint64_t x = v ^ (kOnes * c);
    return ~(((x & kLow7) + kLow7) | x) & kHigh;
}

// The high bit of each byte of v that is a decimal digit.
uint64_t digitBytes(uint64_t v)
{
    const uint64_t low = v & kLow7;
    const uint64_t atLeast0 = low + kOnes * (0x80 - '0');
    const uint64_t above9 = low + kOnes * (0x80 - '9' - 1);
    return atLeast0 & ~above9 & ~v & kHigh;
}

// Most stored lines hold only digits and commas; those are judged from where their commas are,
// eight bytes at a time. Nothing when the line holds anything else.
std::optional<bool> digitsAndCommasLine(const char *begin, const char *end)
{
    if constexpr (std::endian::native != std::endian::little) return std::nullopt;
    const size_t n = size_t(end - begin);
    if (n < 11) return false;   // shorter than "0,0,0,0,0,0"
    std::array<size_t, 5> commas{};
    int count = 0;
    // False when a byte is neither a digit nor a comma; notes the commas.
    auto word = [&](uint64_t v, uint64_t valid, size_t at) {
        uint64_t comma = bytesEqual(v, ',') & valid;
        if (((digitBytes(v) | comma) & valid) != valid) return false;
        for (; comma; comma &= comma - 1, ++count)   // more than five: a seventh field, judged below
            if (count < 5) commas[size_t(count)] = at + size_t(std::countr_zero(comma)) / 8;
        return true;
    };
    size_t at = 0;
    for (; at + 8 <= n; at += 8) {
        uint64_t v;
        std::memcpy(&v, begin + at, 8);
        if (!word(v, kHigh, at)) return std::nullopt;
    }
    if (at < n) {
        // The last bytes, taken from the line's last eight.
        const size_t left = n - at;
        uint64_t v;
        std::memcpy(&v, end - 8, 8);
        v >>= 8 * (8 - left);
        if (!word(v, kHigh & ((uint64_t(1) << (8 * left)) - 1), at)) return std::nullopt;
    }
    if (count != 5) return false;
    for (size_t field = 0; field < 6; ++field) {
        const size_t b = field == 0 ? 0 : commas[field - 1] + 1, e = field == 5 ? n : commas[field];
        const size_t length = e - b;
        if (length == 0) return false;
        if (begin[b] == '0') {
            if (length > 1) return false;   // a leading zero
            continue;                       // "0" itself
        }
        if (length > (field == 0 ? 9u : field == 5 ? 15u : 7u)) return false;
    }
    return true;
}

} // namespace

bool isShortestBarLine(const char *begin, const char *end)
{
    if (const auto quick = digitsAndCommasLine(begin, end)) return *quick;
    return isShortestBarLineByChar(begin, end);
}

// One pass over the line: each field a plain decimal that round-trips through float (prices)
// or double (volume) unchanged: no sign, no leading zero, no trailing zero after the point, few
// enough significant digits. Six significant digits always survive single precision; whole
// numbers up to seven digits are exact in it. The date is a whole number.
bool isShortestBarLineByChar(const char *begin, const char *end)
{
    const char *p = begin;
    for (int field = 0; field < 6; ++field) {
        const char *b = p;
        int digits = 0;
        bool point = false, significant = false;
        for (; p < end && *p != ','; ++p) {
            const char c = *p;
            if (c == '.') {
                if (point || p == b) return false;
                point = true;
                continue;
            }
            if (unsigned(c - '0') > 9) return false;
            significant = significant || c != '0';
            digits += significant ? 1 : 0;
        }
        const char *e = p;
        if (e == b) return false;
        if (field < 5) {
            if (p == end) return false;
            ++p;
        } else if (p != end) {
            return false;
        }
        if (*b == '0' && e - b > 1 && b[1] != '.') return false;
        if (point && (field == 0 || e[-1] == '.' || e[-1] == '0')) return false;
        if (!significant) {
            if (e - b != 1) return false;   // only "0" itself
            continue;
        }
        if (digits > (field == 0 ? 9 : field == 5 ? 15 : point ? 6 : 7)) return false;
    }
    return true;
}

QByteArray newPriceFile(int32_t D, const DailyLine &line)
{
    const QByteArray bar = barText(D, line.open, line.high, line.low, line.close, line.volume) + "\r\n";
    QByteArray out = "1,1,1\r\n";
    out.reserve(3 * (bar.size() + 299 * 13) + 8);
    for (int s = 0; s < 3; ++s) {
        out += bar;
        for (int k = 1; k < kLines; ++k) out += "0,0,0,0,0,0\r\n";
    }
    return out;
}

std::expected<RollUpResult, QString> rollUpPriceFile(const QByteArray &old, const DailyFile &day, const DailyLine &line,
                                                     const std::vector<int32_t> &calendar)
{
    OldFile f;
    auto broken = [&] { return std::unexpected(f.error); };
    if (!f.split(old)) return broken();
    const auto d1 = f.bar(0, 1);
    if (!d1) return broken();
    if (d1->date >= day.D) return RollUpResult{{}, true};

    const auto bars = dayBars(f, *d1, day, line, calendar);
    if (!bars) return broken();
    const QByteArray &daily = bars->daily;
    const auto *week = &bars->week, *month = &bars->month;

    const int nd = std::min(f.counts[0] + 1, kLines);
    // Only 300 lines of each section are written back, so no count may name more.
    const int nw = std::min(week->second ? f.counts[1] + 1 : f.counts[1], kLines);
    const int nm = std::min(month->second ? f.counts[2] + 1 : f.counts[2], kLines);
    QByteArray out;
    out.reserve(old.size() + 256);
    out += QByteArray::number(nd) + ',' + QByteArray::number(nw) + ',' + QByteArray::number(nm) + "\r\n";
    out += daily + "\r\n";
    if (!f.copy(0, 1, kLines - 1, out, old)) return broken();
    out += week->first + "\r\n";
    if (!(week->second ? f.copy(1, 1, kLines - 1, out, old) : f.copy(1, 2, kLines, out, old))) return broken();
    out += month->first + "\r\n";
    if (!(month->second ? f.copy(2, 1, kLines - 1, out, old) : f.copy(2, 2, kLines, out, old))) return broken();
    const auto shortest = [](const QByteArray &l) { return isShortestBarLine(l.constBegin(), l.constEnd()); };
    return RollUpResult{out, false,
                        f.allShortest && shortest(daily) && shortest(week->first) && shortest(month->first)};
}

std::optional<RolledFile> RolledFile::from(const RollUpResult &r)
{
    if (!r.canonical || r.alreadyHeld) return std::nullopt;
    RolledFile f;
    f.m_base = r.bytes;
    const char *p = f.m_base.constData(), *end = p + f.m_base.size();
    auto next = [&]() -> std::optional<std::string_view> {
        const char *nl = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)));
        if (!nl || nl == p || nl[-1] != '\r') return std::nullopt;
        const std::string_view line(p, size_t(nl - 1 - p));
        p = nl + 1;
        return line;
    };
    const auto header = next();
    if (!header) return std::nullopt;
    const auto counts = parseHeaderLine(header->data(), header->data() + header->size());
    if (!counts) return std::nullopt;
    f.m_counts = *counts;
    for (auto &section : f.m_lines)
        for (int k = 0; k < kLines; ++k) {
            const auto line = next();
            if (!line) return std::nullopt;
            section.push_back(*line);
        }
    if (p != end) return std::nullopt;
    return f;
}

std::optional<Bar> RolledFile::bar(int section, int k) const
{
    const std::string_view v = m_lines[size_t(section)][size_t(k - 1)];
    if (section != 0) return parseBarLine(v.data(), v.data() + v.size());
    // Each day applied walks the newest weeks of daily bars again: each of them is parsed once.
    if (m_daily.size() < size_t(k)) m_daily.resize(size_t(k));
    ParsedBar &b = m_daily[size_t(k - 1)];
    if (!b.parsed) {
        b.bar = parseBarLine(v.data(), v.data() + v.size());
        b.parsed = true;
    }
    return b.bar;
}

std::optional<bool> RolledFile::apply(const DailyFile &day, const DailyLine &line, const std::vector<int32_t> &calendar)
{
    if (!m_canonical) return std::nullopt;
    // The same steps as rollUpPriceFile, on lines that its copy would pass through unchanged.
    const auto d1 = bar(0, 1);
    if (!d1) return std::nullopt;
    if (d1->date >= day.D) return false;
    auto bars = dayBars(*this, *d1, day, line, calendar);
    if (!bars) return std::nullopt;
    auto *week = &bars->week, *month = &bars->month;

    m_counts[0] = std::min(m_counts[0] + 1, kLines);
    if (week->second) m_counts[1] = std::min(m_counts[1] + 1, kLines);
    if (month->second) m_counts[2] = std::min(m_counts[2] + 1, kLines);
    const auto put = [&](int section, QByteArray text, bool newBar) {
        m_canonical = m_canonical && isShortestBarLine(text.constBegin(), text.constEnd());
        text += kCrLf;
        const QByteArray &kept = m_added.emplace_back(std::move(text));
        auto &lines = m_lines[size_t(section)];
        const std::string_view v(kept.constData(), size_t(kept.size() - 2));
        if (newBar) {
            lines.pop_back();
            lines.push_front(v);
            if (section == 0) m_daily.push_front({});
        } else {
            lines.front() = v;
            if (section == 0 && !m_daily.empty()) m_daily.front() = {};
        }
    };
    put(0, std::move(bars->daily), true);
    put(1, std::move(week->first), week->second);
    put(2, std::move(month->first), month->second);
    return true;
}

QByteArray RolledFile::bytes() const
{
    QByteArray out;
    out.reserve(m_base.size() + 64);
    out += QByteArray::number(m_counts[0]) + ',' + QByteArray::number(m_counts[1]) + ',' + QByteArray::number(m_counts[2]) +
           "\r\n";
    // Every line is followed by its CR LF in memory, and the roll-up's lines follow one another.
    Stretches stretches(out);
    for (const auto &section : m_lines)
        for (const std::string_view v : section) stretches.add(v.data(), v.data() + v.size() + 2);
    stretches.flush();
    return out;
}

} // namespace velor
