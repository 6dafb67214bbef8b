#include "chart/Chart.h"

#include "db/Bars.h"
#include "db/Services.h"
#include "db/State.h"

#include <algorithm>

namespace velor {

namespace {

struct Tables {
    std::vector<int32_t> date;
    std::vector<float> open, high, low, close;
    std::vector<double> volume;
    int16_t count = 0;
    int code = 0;
    double turnover = 0;
};

Tables saveTables(const State &st)
{
    return {st.BarDate, st.BarOpen, st.BarHigh, st.BarLow, st.BarClose, st.BarVolume, st.BarCount, st.CurCode,
            st.CurTurnover};
}

void restoreTables(State &st, Tables &t)
{
    st.BarDate.swap(t.date);
    st.BarOpen.swap(t.open);
    st.BarHigh.swap(t.high);
    st.BarLow.swap(t.low);
    st.BarClose.swap(t.close);
    st.BarVolume.swap(t.volume);
    st.BarCount = t.count;
    st.CurCode = t.code;
    st.CurTurnover = t.turnover;
}

// Positions -1..n of every table to zero.
void clearTables(State &st, int n)
{
    const auto end = std::ptrdiff_t(std::min(n + 2, kBarTableSize));
    std::fill(st.BarDate.begin(), st.BarDate.begin() + end, 0);
    for (auto *t : {&st.BarOpen, &st.BarHigh, &st.BarLow, &st.BarClose}) std::fill(t->begin(), t->begin() + end, 0.0f);
    std::fill(st.BarVolume.begin(), st.BarVolume.begin() + end, 0.0);
}

} // namespace

QString noQuoteText() { return QStringLiteral("リアルタイムの株価がありません（保存済みの株価を表示）"); }

void readMinuteBars(State &st, const ChartHooks &hooks, int n)
{
    st.BarCount = 0;
    if (hooks.readMinuteBars) hooks.readMinuteBars(n);
}

int Chart::loadCount(const State &st)
{
    // Enough for every drawn position and the longest window read from the oldest of them (the
    // averages and oscillators read up to period + 1 positions further back), at most 1600.
    const int longest = std::max({int(st.MaWidth1), int(st.MaWidth2), int(st.RsiPeriod1), int(st.RsiPeriod2),
                                  int(st.RciPeriod1), int(st.RciPeriod2), int(st.PsyPeriod1), int(st.PsyPeriod2), 0});
    const int n = std::max<int>(st.BarOffset, 0) + effectiveDispBars(st.DispBars) + longest + 2;
    return std::min(n, kMaxDispBars);
}

bool Chart::chart(int mode)
{
    if (m_running) return false;
    m_running = true;
    const int16_t savedQuoteMode = m_st.QuoteMode, savedOffset = m_st.BarOffset;
    if ((mode == 1 || mode == 10) && hooks.syncList) hooks.syncList();
    loadBars(mode);
    // A stock the quote reader gives nothing for (section 4, the TOPIX series, before the market
    // opens, a page that failed) is drawn from its stored bars, with a line saying so, rather
    // than with a live candle of zeros.
    const bool noQuote = m_st.BarOffset == -1 && m_st.CurPeriod != 3 && m_st.BarClose[0] == 0 && m_st.BarCount > 0;
    if (noQuote) m_st.BarOffset = 0;
    m_st.DrawEnd = int16_t(computeDrawEnd(m_st.BarOffset, effectiveDispBars(m_st.DispBars), m_st.BarCount));
    m_frame = computeFrame(m_st);
    m_frame.loaded = std::min<int>(m_loaded, m_st.BarCount);
    // The quote page was read during the load; the index overlay must not read the index's one.
    m_st.QuoteMode = savedQuoteMode;
    m_st.BarOffset = noQuote ? 0 : savedOffset;
    loadOverlay(loadCount(m_st));
    ChartCanvas &canvas = m_target ? *m_target : static_cast<ChartCanvas &>(m_scene);
    paintChart(m_st, m_frame, m_overlay, canvas);
    m_snapshot = snapshotOf(m_st, m_frame);
    m_st.LastCode = m_st.CurCode;
    writeTexts(mode);
    if (noQuote) {
        m_texts.warnings += (m_texts.warnings.isEmpty() ? QString() : QStringLiteral("\r\n")) + noQuoteText();
        m_st.BarOffset = savedOffset;
    }
    m_running = false;
    return true;
}

void Chart::loadBars(int mode)
{
    const bool minute = m_st.CurPeriod == 3;
    if (minute && mode == 0) {
        // The two daily bars give the previous close only; the minute bars stay as loaded.
        Tables kept = saveTables(m_st);
        KDOPN(m_st, m_sv, 2);
        m_st.PrevClose = m_st.BarClose[1];
        restoreTables(m_st, kept);
        return;
    }
    KDOPN(m_st, m_sv, 2);
    m_st.PrevClose = m_st.BarClose[1];
    if (mode == 0) return;
    const int n = loadCount(m_st);
    m_loaded = n;
    clearTables(m_st, n);
    m_st.QuoteMode = 1;
    if (minute) readMinuteBars(m_st, hooks, n);
    else KDOPN(m_st, m_sv, n);
}

void Chart::loadOverlay(int n)
{
    m_overlay.clear();
    if (!m_st.NikkeiOverlay || m_st.BarOffset == -1 || m_st.CurPeriod == 3) return;
    // The stock's tables, count and code come back whole, so the pane and the dates below
    // keep describing the stock rather than the index.
    Tables kept = saveTables(m_st);
    m_st.CurCode = 1001;
    clearTables(m_st, n);
    KDOPN(m_st, m_sv, n);
    m_overlay = m_st.BarClose;
    restoreTables(m_st, kept);
}

void Chart::writeTexts(int mode)
{
    const QDateTime now = m_sv.clock.now();
    m_texts.full = mode != 0;
    m_texts.title = windowTitle(m_st);
    updateTurnoverLimits(m_st, now);
    m_texts.status = statusLine(m_st, now);
    if (m_texts.full) {
        m_texts.code = codeText(m_st.CurCode);
        m_texts.name = nameLabel(m_st);
        m_texts.panel = infoPanel(m_st);
    }
    m_texts.warnings = warningText(m_st);
    if (!m_st.ImportRunning && m_st.DownloadState != -1) {
        m_sv.shell.showListing(listing());
    }
}

const QString &Chart::listing()
{
    // The minute listing also reads the previous bar's volume rules; it is made every time.
    if (m_st.CurPeriod == 3) return m_listing = priceListing(m_st), m_listingKey = {}, m_listing;
    // The lines read table entries BarOffset + 1 .. DrawEnd + 1 (each line's change is taken
    // against the next older bar).
    const int lo = std::clamp(m_st.BarOffset + 1, 0, kBarTableSize), hi = std::clamp(m_st.DrawEnd + 2, lo, kBarTableSize);
    auto slice = [&](const auto &t) { return std::vector(t.begin() + lo, t.begin() + hi); };
    ListingKey key{m_st.CurCode,          m_st.CurPeriod,        m_st.BarOffset,        m_st.DrawEnd,
                   slice(m_st.BarDate),   slice(m_st.BarOpen),   slice(m_st.BarHigh),   slice(m_st.BarLow),
                   slice(m_st.BarClose),  slice(m_st.BarVolume)};
    if (!(key == m_listingKey)) {
        m_listing = priceListing(m_st);
        m_listingKey = std::move(key);
    }
    return m_listing;
}

} // namespace velor
