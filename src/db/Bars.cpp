#include "db/Bars.h"

#include "common/TextFile.h"
#include "common/Utils.h"
#include "db/PriceFile.h"
#include "db/Services.h"
#include "db/State.h"

#include <QFile>
#include <cstdio>
#include <cstring>

namespace velor {

namespace {

struct FileCloser {
    void operator()(std::FILE *f) const { if (f) std::fclose(f); }
};

// Reads one line into buf without its line end; false at the end of the file or for a line
// longer than the buffer (no bar line is that long).
bool readLine(std::FILE *f, char *buf, size_t size, size_t &len)
{
    if (!std::fgets(buf, int(size), f)) return false;
    len = std::strlen(buf);
    if (len > 0 && buf[len - 1] == '\n') --len;
    else if (!std::feof(f)) return false;
    if (len > 0 && buf[len - 1] == '\r') --len;
    return true;
}

void reportBroken(State &st, Services &sv, const QString &path, qint64 lineNo)
{
    sv.shell.prependMessage(QStringLiteral("銘柄:") + codeText(st.CurCode) + ':' + st.nameOf(st.CurCode) +
                            QStringLiteral(" のデータファイル ") + path + QStringLiteral(" の ") +
                            QString::number(lineNo) + QStringLiteral(" 行目が読めません") + QStringLiteral("\r\n"));
    st.BarCount = 0;
}

// Bars 1..m of the tables, adjusted for the stock's splits.
void adjustLoaded(State &st, int m, int section, std::span<const CorporateAction> actions, const std::vector<Bar> &daily,
                  bool dailyComplete)
{
    std::vector<Bar> bars(size_t(std::max(m, 0)));
    for (int k = 1; k <= m; ++k)
        bars[size_t(k - 1)] = {st.BarDate[size_t(k)], st.BarOpen[size_t(k)], st.BarHigh[size_t(k)], st.BarLow[size_t(k)],
                               st.BarClose[size_t(k)], st.BarVolume[size_t(k)]};
    adjustBars(bars, section, actions, daily, dailyComplete);
    for (int k = 1; k <= m; ++k) {
        const Bar &b = bars[size_t(k - 1)];
        st.BarOpen[size_t(k)] = b.open, st.BarHigh[size_t(k)] = b.high, st.BarLow[size_t(k)] = b.low;
        st.BarClose[size_t(k)] = b.close, st.BarVolume[size_t(k)] = b.volume;
    }
}

} // namespace

void KDOPN(State &st, Services &sv, int n)
{
    const QString path = st.priceFilePath(st.CurCode);
    bool notRegular = false;
    std::unique_ptr<std::FILE, FileCloser> f(openRegularFile(path, notRegular));
    if (notRegular) {
        sv.shell.prependMessage(QStringLiteral("銘柄:") + codeText(st.CurCode) + ':' + st.nameOf(st.CurCode) +
                                QStringLiteral(" のデータファイル ") + path + QStringLiteral(" は通常のファイルではありません\r\n"));
        st.BarCount = 0;
        return;
    }
    if (!f) {
        sv.shell.prependMessage(QStringLiteral("銘柄:") + codeText(st.CurCode) + ':' + st.nameOf(st.CurCode) +
                                QStringLiteral(" のデータファイルがありません") + QStringLiteral("\r\n"));
        st.BarCount = 0;
        return;
    }
    char buf[256];
    size_t len = 0;
    if (!readLine(f.get(), buf, sizeof buf, len)) return reportBroken(st, sv, path, 1);
    const auto counts = parseHeaderLine(buf, buf + len);
    if (!counts) return reportBroken(st, sv, path, 1);
    const int idx = (st.CurPeriod == 1 || st.CurPeriod == 2) ? st.CurPeriod : 0;
    const int count = (*counts)[size_t(idx)];
    if (count > 32767) return reportBroken(st, sv, path, 1);
    // Sections may be longer than the tables hold; callers walk BarDate[1..BarCount], so the
    // count never names more bars than the tables have room for.
    st.BarCount = int16_t(std::min(count, kBarTableSize - 2));
    const int m = std::min(n, int(st.BarCount));

    st.BarOpen[0] = st.BarHigh[0] = st.BarLow[0] = st.BarClose[0] = 0;
    st.BarVolume[0] = 0;

    // A stock with recorded splits: its weekly and monthly bars that hold an ex-date are rebuilt
    // from its daily bars, which are kept as they pass.
    const auto actions = st.sites.AdjustPrices ? st.actions.of(st.CurCode) : std::span<const CorporateAction>();
    std::vector<Bar> daily;
    qint64 skip = 0;   // counts of other sections may pass 16 bits
    if (idx >= 1) skip += std::max((*counts)[0], kSectionLines);
    if (idx == 2) skip += std::max((*counts)[1], kSectionLines);
    qint64 lineNo = 1;
    for (qint64 i = 0; i < skip; ++i) {
        ++lineNo;
        if (!readLine(f.get(), buf, sizeof buf, len)) return reportBroken(st, sv, path, lineNo);
        if (!actions.empty() && i < (*counts)[0])
            if (const auto b = parseBarLine(buf, buf + len)) daily.push_back(*b);
    }
    for (int k = 1; k <= m; ++k) {
        ++lineNo;
        if (!readLine(f.get(), buf, sizeof buf, len)) return reportBroken(st, sv, path, lineNo);
        const auto b = parseBarLine(buf, buf + len);
        if (!b) return reportBroken(st, sv, path, lineNo);
        st.BarDate[size_t(k)] = b->date;
        st.BarOpen[size_t(k)] = b->open;
        st.BarHigh[size_t(k)] = b->high;
        st.BarLow[size_t(k)] = b->low;
        st.BarClose[size_t(k)] = b->close;
        st.BarVolume[size_t(k)] = b->volume;
    }
    f.reset();
    if (!actions.empty()) adjustLoaded(st, m, idx, actions, daily, (*counts)[0] < kSectionLines);

    if (n == 1) {
        st.CurTurnover = double(st.BarClose[1]) * st.BarVolume[1];
    } else if (st.BarOffset == -1 || st.QuoteMode != 0) {
        if (sv.liveQuote) sv.liveQuote->getVec(st);
    } else {
        const size_t k = size_t(std::clamp(st.BarOffset + 1, 0, kBarTableSize - 1));
        st.CurTurnover = double(st.BarClose[k]) * st.BarVolume[k];
    }
}

} // namespace velor
