#include "backtest/DailyHistory.h"

#include "common/TextFile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

namespace velor {

namespace {

struct FileCloser {
    void operator()(std::FILE *f) const { if (f) std::fclose(f); }
};

// The lines of a file read in large blocks (a year of bars is some 300 lines of every file).
class LineReader {
public:
    // The buffer is kept from file to file: most of a file's daily bars come in one read.
    LineReader(std::FILE *f, std::vector<char> &buf) : m_f(f), m_buf(buf) { if (m_buf.size() < 16384) m_buf.resize(16384); }
    // The next line without its end; false at the end of the file or for a line longer than the
    // bar loader takes (255 characters).
    bool next(const char *&begin, const char *&end)
    {
        for (;;) {
            if (const void *nl = std::memchr(m_buf.data() + m_pos, '\n', m_len - m_pos)) {
                begin = m_buf.data() + m_pos;
                end = static_cast<const char *>(nl);
                m_pos = size_t(end - m_buf.data()) + 1;
                return finish(begin, end);
            }
            if (m_eof) {
                if (m_pos >= m_len) return false;
                begin = m_buf.data() + m_pos, end = m_buf.data() + m_len;
                m_pos = m_len;
                return finish(begin, end);
            }
            if (m_len - m_pos >= 255) return false;
            std::memmove(m_buf.data(), m_buf.data() + m_pos, m_len - m_pos);
            m_len -= m_pos, m_pos = 0;
            const size_t n = std::fread(m_buf.data() + m_len, 1, m_buf.size() - m_len, m_f);
            m_len += n;
            if (n == 0) m_eof = true;
        }
    }

private:
    static bool finish(const char *begin, const char *&end)
    {
        if (end > begin && end[-1] == '\r') --end;
        return end - begin < 255;
    }
    std::FILE *m_f;
    std::vector<char> &m_buf;
    size_t m_pos = 0, m_len = 0;
    bool m_eof = false;
};

constexpr float kTensF[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
constexpr double kTensD[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                             1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// A plain decimal field ("154", "1940.79") up to a comma or the end: its digits as a whole number
// and the count of digits after the point. False for anything else (signs, blanks, exponents,
// more than 15 digits), which the full reader then takes.
// Inlined into the line reader: it runs six times on each of some million lines.
#if defined(__GNUC__)
__attribute__((always_inline))
#endif
inline bool plainField(const char *&p, const char *end, uint64_t &digits, int &decimals)
{
    const char *start = p;
    uint64_t v = 0;
    while (p < end && unsigned(*p - '0') < 10) v = v * 10 + unsigned(*p++ - '0');
    const long whole = p - start;
    long fraction = 0;
    if (p < end && *p == '.') {
        const char *f = ++p;
        while (p < end && unsigned(*p - '0') < 10) v = v * 10 + unsigned(*p++ - '0');
        fraction = p - f;
    }
    if (whole + fraction == 0 || whole + fraction > 15) return false;
    if (p < end) {
        if (*p != ',') return false;
        ++p;
    }
    digits = v, decimals = int(fraction);
    return true;
}

// The common lines of a price file without the general number reader. A whole number and a
// power of ten that are both exact give, by one correctly rounded division, exactly the value
// the general reader gives; any other line goes to it.
std::optional<Bar> quickBarLine(const char *begin, const char *end)
{
    Bar b;
    const char *p = begin;
    uint64_t d = 0;
    int k = 0;
    // The date is a whole number: no point, not even one with no digits after it.
    if (!plainField(p, end, d, k) || k != 0 || d > 99999999 || p - begin < 2 || p[-1] != ',' || p[-2] == '.')
        return parseBarLine(begin, end);
    b.date = int32_t(d);
    float *prices[] = {&b.open, &b.high, &b.low, &b.close};
    for (float *v : prices) {
        if (!plainField(p, end, d, k) || d > (uint64_t(1) << 24) || k > 10 || p >= end) return parseBarLine(begin, end);
        *v = k == 0 ? float(d) : float(d) / kTensF[k];   // whole yen need no division
    }
    // The volume ends the line: a comma after it (consumed with it) is a field too many.
    if (!plainField(p, end, d, k) || p != end || end[-1] == ',' || d > (uint64_t(1) << 53) || k > 22)
        return parseBarLine(begin, end);
    b.volume = k == 0 ? double(d) : double(d) / kTensD[k];
    return b;
}

DailyReadError broken(const QString &path, long long lineNo)
{
    return {QStringLiteral("データファイル ") + path + QStringLiteral(" の ") + QString::number(lineNo) +
                QStringLiteral(" 行目が読めません"),
            false};
}

} // namespace

std::optional<Bar> readBarLine(const char *begin, const char *end) { return quickBarLine(begin, end); }

std::expected<std::vector<Bar>, DailyReadError> readDailyBars(const QString &path, int32_t oldestNeeded, int olderBars)
{
    bool notRegular = false;
    std::unique_ptr<std::FILE, FileCloser> f(openRegularFile(path, notRegular));
    if (notRegular) return std::unexpected(DailyReadError{notRegularText(path), false});
    if (!f) return std::unexpected(DailyReadError{QStringLiteral("データファイル ") + path + QStringLiteral(" がありません"), true});
    thread_local std::vector<char> buffer;
    LineReader lines(f.get(), buffer);
    const char *b = nullptr, *e = nullptr;
    if (!lines.next(b, e)) return std::unexpected(broken(path, 1));
    const auto counts = parseHeaderLine(b, e);
    if (!counts || (*counts)[0] > 32767) return std::unexpected(broken(path, 1));
    // The loader keeps the newest bars its tables have room for; so does the backtest, so that a
    // formula sees the same bars on the newest day as the chart and the screens do.
    const int n = std::min((*counts)[0], kBarTableSize - 2);
    std::vector<Bar> bars;
    bars.reserve(size_t(n));
    int older = 0;
    for (int k = 1; k <= n; ++k) {
        if (!lines.next(b, e)) return std::unexpected(broken(path, k + 1));
        const auto bar = quickBarLine(b, e);
        if (!bar) return std::unexpected(broken(path, k + 1));
        bars.push_back(*bar);
        // 0 reads every bar: a damaged date below 0 must not end a whole read.
        if (oldestNeeded > 0 && bar->date < oldestNeeded && ++older > olderBars) break;
    }
    return bars;
}

std::span<const CorporateAction> actionsKnownOn(std::span<const CorporateAction> actions, int32_t date)
{
    size_t k = 0;
    while (k < actions.size() && actions[k].exDate <= date) ++k;
    return actions.first(k);
}

void fillBarTables(BarVars &t, const std::vector<Bar> &bars)
{
    const int n = std::min(int(bars.size()), kBarTableSize - 2);
    const int old = std::clamp(int(t.BarCount), 0, kBarTableSize - 2);
    t.BarCount = int16_t(n);
    t.BarDate[0] = 0;
    t.BarOpen[0] = t.BarHigh[0] = t.BarLow[0] = t.BarClose[0] = 0;
    t.BarVolume[0] = 0;
    for (int k = 1; k <= n; ++k) {
        const Bar &b = bars[size_t(k - 1)];
        t.BarDate[size_t(k)] = b.date;
        t.BarOpen[size_t(k)] = b.open, t.BarHigh[size_t(k)] = b.high, t.BarLow[size_t(k)] = b.low;
        t.BarClose[size_t(k)] = b.close, t.BarVolume[size_t(k)] = b.volume;
    }
    // Positions past the stock's bars read as no bar, never as the previous stock's (tables start
    // out zero, so clearing up to the previous count is enough).
    for (int k = n + 1; k <= old + 1 && k < kBarTableSize; ++k) {
        t.BarDate[size_t(k)] = 0;
        t.BarOpen[size_t(k)] = t.BarHigh[size_t(k)] = t.BarLow[size_t(k)] = t.BarClose[size_t(k)] = 0;
        t.BarVolume[size_t(k)] = 0;
    }
}

} // namespace velor
