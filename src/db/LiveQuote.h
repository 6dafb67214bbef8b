#pragma once
// The bar loader asks for the live quote through this; the quote reader implements it.
namespace velor {

struct State;

class LiveQuote {
public:
    virtual ~LiveQuote() = default;
    /// getVec: fills the live slot (position -1) of the bar tables, CurTurnover and the quote values.
    virtual void getVec(State &st) = 0;
};

/// Until quotes are read: nothing is fetched, the live slot stays as the load left it.
class NoLiveQuote final : public LiveQuote {
public:
    void getVec(State &) override {}
};

} // namespace velor
