#include "app/RealtimeWiring.h"

#include "app/ListsWiring.h"
#include "app/MainWindow.h"
#include "app/PageReport.h"
#include "realtime/LiveDisplay.h"
#include "realtime/MinuteSwitch.h"
#include "realtime/QuoteReader.h"
#include "realtime/RealWindow.h"

#include <QAction>
#include <QTimer>

namespace velor {

namespace {

void setMark(MainWindow &w, const char *name, int index, bool on)
{
    if (QAction *a = w.action(name, index)) {
        a->setCheckable(true);
        a->setChecked(on);
    }
}

// The main window's side of the minute-bar switch: Timer2, the marks and the display commands.
class MinuteWindowControls final : public MinuteControls {
public:
    MinuteWindowControls(MainWindow &w, QTimer &timer) : m_w(w), m_timer(timer) {}
    void setTimerInterval(int ms) override
    {
        if (ms <= 0) m_timer.stop();
        else if (!m_timer.isActive() || m_timer.interval() != ms) m_timer.start(ms);
    }
    void setMinuteChecks(bool on, bool off) override
    {
        setMark(m_w, "funashi", 0, on);
        setMark(m_w, "funashi", 1, off);
    }
    void liveOn() override { m_w.click(QStringLiteral("vec"), 1); }
    void advancePeriod() override { m_w.click(QStringLiteral("PU_HST"), m_w.state().CurPeriod + 1); }
    void advanceAxis() override { m_w.click(QStringLiteral("tool:correl")); }
    void toggleVolumeSwitch() override { m_w.click(QStringLiteral("tool:showd")); }
private:
    MainWindow &m_w;
    QTimer &m_timer;
};

// Keeps the reader, the minute switch and the monitor window alive exactly as long as the main
// window: a child object is deleted with it.
class RealtimeSession final : public QObject {
public:
    explicit RealtimeSession(MainWindow &w)
        : QObject(&w), reader(w.services().clock, w.services().net, w.services().dialogs), controls(w, Timer2)
    {
        Timer2.setObjectName(QStringLiteral("Timer2"));
    }
    QuoteReader reader;
    QTimer Timer2;
    MinuteSwitch minutes;
    MinuteWindowControls controls;
    bool collecting = false;   // a tick that arrives while one runs (its page waits let events in) is dropped
    RealWindow *frmReal = nullptr;
    std::function<void(RealWindow &)> monitorMade;
    std::function<void(MinuteTick &)> minuteCollected;
    int16_t liveBefore = 0;    // the live display before F666 switched it on
    bool inF666 = false;       // F666_Click is waiting for RealMeigara(0) and restores the display itself
};

void runMinuteSwitch(MainWindow &w, RealtimeSession &s, int index, bool timer)
{
    if (s.collecting) return;
    s.collecting = true;
    s.minutes.lastTick.prices.clear();
    if (timer) Timer2_Timer(s.minutes, w.state(), w.services(), s.controls);
    else funashi_Click(s.minutes, w.state(), w.services(), s.controls, index);
    s.collecting = false;
    if (s.minuteCollected && !s.minutes.lastTick.prices.empty()) s.minuteCollected(s.minutes.lastTick);
    // Qt flips a checkable item on its own when clicked: the marks always follow the switch.
    s.controls.setMinuteChecks(s.minutes.on, !s.minutes.on);
}

void F666_Click(MainWindow &w, RealtimeSession &s)
{
    if (!s.frmReal) {
        s.frmReal = new RealWindow(w.state(), w.services(), &w);
        s.frmReal->onMonitorChecked = [&w](bool on) { setMark(w, "F666", -1, on); };
        s.frmReal->onAddToWatchList = [&w](int n, int code) { addToWatchListOf(w, n, code); };
        s.frmReal->keepClear = [&w] { return w.chartAndListArea(); };
        if (s.monitorMade) s.monitorMade(*s.frmReal);
        // 閉じる after 停止 (or during a 再計算 run) comes when F666_Click has already put the live
        // display back, and the monitor's restore would switch it on behind the menu's back:
        // the display, its marks and the title go back to what they were before the monitor.
        RealtimeSession *session = &s;
        s.frmReal->onClosed = [&w, session] {
            if (!session->inF666) w.click(QStringLiteral("vec"), session->liveBefore ? 1 : 2);
        };
    }
    RealWindow *win = s.frmReal;
    if (win->monitor().inLoop()) {
        // Already running: a second start would run passes inside the first.
        setMark(w, "F666", -1, true);
        win->raise();
        return;
    }
    State &st = w.state();
    const int16_t live = st.LiveMode;
    s.liveBefore = live;
    w.click(QStringLiteral("vec"), 1);
    setMark(w, "F666", -1, true);
    win->Form_Load();
    win->show();
    s.inF666 = true;
    win->monitor().RealMeigara(0);
    s.inF666 = false;
    setMark(w, "F666", -1, false);
    w.click(QStringLiteral("vec"), live ? 1 : 2);
}

} // namespace

void wireRealtime(MainWindow &w)
{
    auto *s = new RealtimeSession(w);
    w.services().liveQuote = &s->reader;
    // The pages read while the window draws never raise a box: each failure is said once.
    s->reader.setFailureSink(new PageReport(w));
    w.on(QStringLiteral("vec"), [&w](int index) {
        const VecChecks marks = vec_Click(w.state(), w, index);
        setMark(w, "vec", 1, marks.on);
        setMark(w, "vec", 2, marks.off);
    });
    w.on(QStringLiteral("funashi"), [&w, s](int index) { runMinuteSwitch(w, *s, index, false); });
    QObject::connect(&s->Timer2, &QTimer::timeout, s, [&w, s] { runMinuteSwitch(w, *s, 0, true); });
    w.on(QStringLiteral("Timer2"), [&w, s](int) { runMinuteSwitch(w, *s, 0, true); });
    w.on(QStringLiteral("ReadMinuteBars"), [&w](int n) { ReadMinuteBars(w.state(), w.services(), n); });
    w.on(QStringLiteral("F666"), [&w, s](int) { F666_Click(w, *s); });
}

RealWindow *monitorWindow(MainWindow &w)
{
    for (QObject *o : w.children())
        if (auto *s = dynamic_cast<RealtimeSession *>(o)) return s->frmReal;
    return nullptr;
}

void setRealtimeHooks(MainWindow &w, std::function<void(RealWindow &)> monitorMade,
                      std::function<void(MinuteTick &)> minuteCollected)
{
    for (QObject *o : w.children())
        if (auto *s = dynamic_cast<RealtimeSession *>(o)) {
            s->monitorMade = std::move(monitorMade);
            s->minuteCollected = std::move(minuteCollected);
        }
}

QTimer *minuteTimer(MainWindow &w)
{
    for (QObject *o : w.children())
        if (auto *s = dynamic_cast<RealtimeSession *>(o)) return &s->Timer2;
    return nullptr;
}

} // namespace velor
