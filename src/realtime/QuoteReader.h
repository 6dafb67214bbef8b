#pragma once
// getVec: fetches the quote page of CurCode and puts the live bar (position -1) and the quote
// values into the state. The bar loader, the screens and the monitor reach it through LiveQuote.
#include "db/LiveQuote.h"

#include <QString>
#include <expected>

namespace velor {

class Clock;
class Dialogs;
class Net;
struct FetchLimits;
struct NetError;
struct State;

/// The size cap of a quote page; real pages are a few hundred kilobytes.
constexpr qint64 kQuotePageMaxBytes = 4 * 1024 * 1024;

struct QuotePage;

/// Empties the live slot (dated `today`, YYYYMMDD) and the quote values, as before a page is read.
void resetLiveValues(State &st, int32_t today);
/// Puts a parsed quote page into the live slot and the quote values.
void applyQuotePage(State &st, const QuotePage &q);

class QuoteReader final : public LiveQuote {
public:
    QuoteReader(Clock &clock, Net &net, Dialogs &dialogs) : m_clock(clock), m_net(net), m_dialogs(dialogs) {}

    /// Resets and refills element 0 of the bar tables and the quote values for CurCode, as far as
    /// BarOffset, QuoteMode, the time of day and the stock's section allow; a failed fetch shows
    /// the warning once and leaves the values 0.
    void getVec(State &st) override;
    void setFailureSink(QuoteFailureSink *sink) override { m_sink = sink; }
    QuoteFailureSink *failureSink() const override { return m_sink; }
    /// The pages of the codes that getVec would read are fetched with up to MaxConnections
    /// requests at once and handed on in order, each giving what getVec would give.
    void getVecs(State &st, const std::vector<int> &codes, const std::function<bool(size_t)> &each) override;

    /// Whether the last getVec that fetched reported a failure.
    bool lastFetchFailed() const { return m_failed; }
    /// Whether the last getVec read a page that held none of the values looked for.
    bool lastPageWithoutValues() const { return m_noValues; }

    /// The address getVec reads for a code (the futures page for 1001).
    static QString pageAddress(const State &st, int code);

private:
    static bool fetchesPage(const State &st, int code, int hhmm);
    static FetchLimits pageLimits(const State &st);
    void readPage(State &st, const QString &address, const std::expected<QByteArray, NetError> &page);

    Clock &m_clock;
    Net &m_net;
    Dialogs &m_dialogs;
    bool m_busy = false;    // a fetch is waiting: events it lets through must not start another
    bool m_failed = false;
    bool m_noValues = false;
    QuoteFailureSink *m_sink = nullptr;
};

} // namespace velor
