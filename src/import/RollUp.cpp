#include "import/RollUp.h"

#include "common/NumText.h"
#include "db/PriceFile.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace velor {

namespace {

constexpr int kLines = kSectionLines;

struct LineView {
    const char *begin;
    const char *end;
};

// A plain decimal field that round-trips through float (prices) or double (volume) unchanged:
// no sign, no leading zero, no trailing zero after the point, few enough significant digits.
bool shortestField(const char *b, const char *e, int maxDigits)
{
    if (b == e) return false;
    int digits = 0;
    bool seenPoint = false, significant = false;
    const char *p = b;
    if (*p == '0' && p + 1 < e && p[1] != '.') return false;
    for (; p < e; ++p) {
        if (*p == '.') {
            if (seenPoint || p == b || p + 1 == e) return false;
            seenPoint = true;
            continue;
        }
        if (*p < '0' || *p > '9') return false;
        if (*p != '0') significant = true;
        if (significant) ++digits;
    }
    if (seenPoint && e[-1] == '0') return false;
    if (!significant) return e - b == 1;   // only "0" itself
    return digits <= maxDigits;
}

QByteArray priceText(float v) { return singleText(v).toLatin1(); }

struct Ohlc {
    QByteArray o, h, l, c;
    float ho = 0, hh = 0, hl = 0;   // open/high/low as numbers
};

QByteArray barText(int32_t date, const QByteArray &o, const QByteArray &h, const QByteArray &l, const QByteArray &c,
                   double volume)
{
    return QByteArray::number(date) + ',' + o + ',' + h + ',' + l + ',' + c + ',' + doubleText(volume).toLatin1();
}

QByteArray flatBar(int32_t date, float close)
{
    const QByteArray c = priceText(close);
    return barText(date, c, c, c, c, 0);
}

class OldFile {
public:
    std::vector<LineView> lines;
    std::array<int, 3> counts{};
    std::array<size_t, 3> start{};
    QString error;

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
    // Appends lines from..to (1-based, inclusive) of a section in shortest form.
    bool copy(int section, int from, int to, QByteArray &out)
    {
        for (int k = from; k <= to; ++k) {
            const size_t at = start[size_t(section)] + size_t(k - 1);
            const LineView &v = lines[at];
            if (isShortestBarLine(v.begin, v.end)) {
                out.append(v.begin, v.end - v.begin);
            } else {
                const auto b = parseBarLine(v.begin, v.end);
                if (!b) return fail(int(at) + 1);
                out += formatBarLine(*b);
            }
            out += "\r\n";
        }
        return true;
    }
};

bool isIndexSeries(int code) { return code == 1001 || code == 1002; }

// The weekly (section 1, start WS) or monthly (section 2, start MS) bar line for the day, and
// whether it starts a new bar.
std::optional<std::pair<QByteArray, bool>> periodBar(OldFile &f, int section, int32_t start, const DailyFile &day,
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
    const size_t limit = std::min(calendar.size(), size_t(kLines));
    for (size_t p = 1; p <= limit && calendar[p - 1] >= start; ++p) {
        const auto dp = f.bar(0, int(p));
        if (!dp) return std::nullopt;
        if (V != 0) {
            if (dp->volume > 0 || isIndexSeries(line.code)) {
                o = priceText(dp->open);
                if (dp->high > hv) hv = dp->high, h = priceText(dp->high);
                if (dp->low < lv) lv = dp->low, l = priceText(dp->low);
            }
        } else {
            o = priceText(w1->open), h = priceText(w1->high), l = priceText(w1->low), c = priceText(w1->close);
        }
        vol += dp->volume;
    }
    if (vol == 0 && ordinary) return std::pair{flatBar(day.D, w1->close), false};
    return std::pair{barText(day.D, o, h, l, c, vol), false};
}

} // namespace

bool isShortestBarLine(const char *begin, const char *end)
{
    const char *p = begin;
    for (int field = 0; field < 6; ++field) {
        const char *comma = field < 5 ? static_cast<const char *>(std::memchr(p, ',', size_t(end - p))) : end;
        if (!comma) return false;
        const bool whole = std::find(p, comma, '.') == comma;
        bool ok = false;
        if (field == 0) ok = whole && shortestField(p, comma, 9);
        else if (field == 5) ok = shortestField(p, comma, 15);
        // Six significant digits always survive single precision; whole numbers up to seven
        // digits are exact in it.
        else ok = shortestField(p, comma, whole ? 7 : 6);
        if (!ok) return false;
        p = comma + 1;
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

    const bool ordinary = line.code >= 1301;
    const QByteArray daily = (line.volume == 0 && ordinary)
                                 ? flatBar(day.D, d1->close)
                                 : barText(day.D, line.open, line.high, line.low, line.close, line.volume);
    const auto week = periodBar(f, 1, day.WS, day, line, calendar);
    if (!week) return broken();
    const auto month = periodBar(f, 2, day.MS, day, line, calendar);
    if (!month) return broken();

    const int nd = std::min(f.counts[0] + 1, kLines);
    // Only 300 lines of each section are written back, so no count may name more.
    const int nw = std::min(week->second ? f.counts[1] + 1 : f.counts[1], kLines);
    const int nm = std::min(month->second ? f.counts[2] + 1 : f.counts[2], kLines);
    QByteArray out;
    out.reserve(old.size() + 256);
    out += QByteArray::number(nd) + ',' + QByteArray::number(nw) + ',' + QByteArray::number(nm) + "\r\n";
    out += daily + "\r\n";
    if (!f.copy(0, 1, kLines - 1, out)) return broken();
    out += week->first + "\r\n";
    if (!(week->second ? f.copy(1, 1, kLines - 1, out) : f.copy(1, 2, kLines, out))) return broken();
    out += month->first + "\r\n";
    if (!(month->second ? f.copy(2, 1, kLines - 1, out) : f.copy(2, 2, kLines, out))) return broken();
    return RollUpResult{out, false};
}

} // namespace velor
