#pragma once
// The bar loader asks for the live quote through this; the quote reader implements it.
#include <QString>
#include <cstddef>
#include <functional>
#include <vector>

namespace velor {

struct State;

/// Collects the quote pages that could not be read during a run over many stocks, so that the
/// run reports them once instead of one message box per stock.
class QuoteFailureSink {
public:
    virtual ~QuoteFailureSink() = default;
    virtual void quoteFailed(const QString &address, const QString &reason) = 0;
    /// A page was read: a failure reported before may be reported again when it comes back.
    virtual void quoteRead(const QString &address) { (void)address; }
};

class LiveQuote {
public:
    virtual ~LiveQuote() = default;
    /// getVec: fills the live slot (position -1) of the bar tables, CurTurnover and the quote values.
    virtual void getVec(State &st) = 0;
    /// While a sink is set, a page that cannot be read goes to it instead of a message box.
    virtual void setFailureSink(QuoteFailureSink *) {}
    /// The sink set now (null: failures are shown in a message box).
    virtual QuoteFailureSink *failureSink() const { return nullptr; }
    /// getVec for each code in turn: CurCode becomes codes[k], its values are put in the state as
    /// getVec would put them, then `each(k)` runs; returning false stops. A reader may fetch the
    /// pages ahead, several at once, but hands them on in this order. This default reads one
    /// page at a time.
    virtual void getVecs(State &st, const std::vector<int> &codes, const std::function<bool(size_t)> &each);
};

/// Until quotes are read: nothing is fetched, the live slot stays as the load left it.
class NoLiveQuote final : public LiveQuote {
public:
    void getVec(State &) override {}
};

} // namespace velor
