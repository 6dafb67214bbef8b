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

// One line without its end; false at the end of the file or for a line longer than the buffer.
bool readLine(std::FILE *f, char *buf, size_t size, size_t &len)
{
    if (!std::fgets(buf, int(size), f)) return false;
    len = std::strlen(buf);
    if (len > 0 && buf[len - 1] == '\n') --len;
    else if (!std::feof(f)) return false;
    if (len > 0 && buf[len - 1] == '\r') --len;
    return true;
}

DailyReadError broken(const QString &path, long long lineNo)
{
    return {QStringLiteral("データファイル ") + path + QStringLiteral(" の ") + QString::number(lineNo) +
                QStringLiteral(" 行目が読めません"),
            false};
}

} // namespace

std::expected<std::vector<Bar>, DailyReadError> readDailyBars(const QString &path)
{
    bool notRegular = false;
    std::unique_ptr<std::FILE, FileCloser> f(openRegularFile(path, notRegular));
    if (notRegular) return std::unexpected(DailyReadError{notRegularText(path), false});
    if (!f) return std::unexpected(DailyReadError{QStringLiteral("データファイル ") + path + QStringLiteral(" がありません"), true});
    char buf[256];
    size_t len = 0;
    if (!readLine(f.get(), buf, sizeof buf, len)) return std::unexpected(broken(path, 1));
    const auto counts = parseHeaderLine(buf, buf + len);
    if (!counts || (*counts)[0] > 32767) return std::unexpected(broken(path, 1));
    // The loader keeps the newest bars its tables have room for; so does the backtest, so that a
    // formula sees the same bars on the newest day as the chart and the screens do.
    const int n = std::min((*counts)[0], kBarTableSize - 2);
    std::vector<Bar> bars;
    bars.reserve(size_t(n));
    for (int k = 1; k <= n; ++k) {
        if (!readLine(f.get(), buf, sizeof buf, len)) return std::unexpected(broken(path, k + 1));
        const auto b = parseBarLine(buf, buf + len);
        if (!b) return std::unexpected(broken(path, k + 1));
        bars.push_back(*b);
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
