#pragma once
// The bar loader asks for the live quote through this; the quote reader implements it.
#include <QString>

namespace velor {

struct State;

/// Collects the quote pages that could not be read during a run over many stocks, so that the
/// run reports them once instead of one message box per stock.
class QuoteFailureSink {
public:
    virtual ~QuoteFailureSink() = default;
    virtual void quoteFailed(const QString &address, const QString &reason) = 0;
};

class LiveQuote {
public:
    virtual ~LiveQuote() = default;
    /// getVec: fills the live slot (position -1) of the bar tables, CurTurnover and the quote values.
    virtual void getVec(State &st) = 0;
    /// While a sink is set, a page that cannot be read goes to it instead of a message box.
    virtual void setFailureSink(QuoteFailureSink *) {}
};

/// Until quotes are read: nothing is fetched, the live slot stays as the load left it.
class NoLiveQuote final : public LiveQuote {
public:
    void getVec(State &) override {}
};

} // namespace velor
