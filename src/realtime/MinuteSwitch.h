#pragma once
// funashi_Click and Timer2_Timer: the menu group 分足オン / 分足オフ and the 50-second collection.
#include "realtime/MinuteBars.h"

namespace velor {

/// What the switch asks of the main window: its timer, the two check marks, and the display
/// commands it runs (each as its menu or toolbar command would).
class MinuteControls {
public:
    virtual ~MinuteControls() = default;
    /// Timer2's interval in milliseconds; 0 stops it.
    virtual void setTimerInterval(int ms) = 0;
    /// The check marks of 分足オン (index 0) and 分足オフ (index 1).
    virtual void setMinuteChecks(bool on, bool off) = 0;
    /// vec_Click(1): the live display on, with its menu marks.
    virtual void liveOn() = 0;
    /// chgHSTF: the period advanced once.
    virtual void advancePeriod() = 0;
    /// The axis mode advanced once.
    virtual void advanceAxis() = 0;
    /// The volume-limit switch toggled (which reloads the working set).
    virtual void toggleVolumeSwitch() = 0;
};

/// The window's minute-bar state.
struct MinuteSwitch {
    bool MinuteAsk = true;   ///< the next start asks whether to reset the minute data
    bool on = false;         ///< 分足オン is checked
    MinuteTick lastTick;
};

/// Collection interval of Timer2.
constexpr int kMinuteTimerMs = 50000;

/// collectMinuteBars with the pages that could not be read counted instead of shown one by one:
/// `failures` becomes the one line that reports them (count, first address, its reason), or
/// stays empty when every page was read.
MinuteTick collectCounted(State &st, Services &sv, QString &failures);

/// The question asked at the first start after switching on.
QString minuteResetQuestion();

/// funashi_Click(index): 0 switches on (and collects; the timer runs this too), 1 switches off.
void funashi_Click(MinuteSwitch &sw, State &st, Services &sv, MinuteControls &ui, int index);

/// Timer2_Timer: collects while 分足オン is checked; otherwise the next start asks again.
void Timer2_Timer(MinuteSwitch &sw, State &st, Services &sv, MinuteControls &ui);

} // namespace velor
