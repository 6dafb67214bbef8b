#include "realtime/MinuteSwitch.h"

#include "db/Services.h"
#include "db/State.h"

#include <QDir>

namespace velor {

namespace {

void setChecks(MinuteSwitch &sw, State &st, MinuteControls &ui, bool on)
{
    sw.on = on;
    st.MinuteBarsOn = on;
    ui.setMinuteChecks(on, !on);
}

void deleteMinuteFiles(const State &st)
{
    QDir folder(minuteFolder(st));
    // Deleting what is not there is no error.
    for (const QString &name : folder.entryList({QStringLiteral("*.csv")}, QDir::Files)) folder.remove(name);
}

} // namespace

QString minuteResetQuestion()
{
    return QStringLiteral("分足は7:00～9:00まで（除く日経２２５）\r\nおよびその日最初に値がつくまで表示されません。\r\n\r\n"
                          "分足データをリセットしますか？");
}

void funashi_Click(MinuteSwitch &sw, State &st, Services &sv, MinuteControls &ui, int index)
{
    if (st.AllStocks) {
        sv.dialogs.message(QStringLiteral("全銘柄を選択している時は分足表示出来ません。"), Icon::Warning);
        return;
    }
    if (index == 1) {
        ui.setTimerInterval(0);
        sw.MinuteAsk = true;
        st.CurPeriod = -1;
        ui.advancePeriod();
        setChecks(sw, st, ui, false);
        sv.shell.redrawChart(1);
        return;
    }
    if (index != 0) return;
    ui.setTimerInterval(kMinuteTimerMs);
    if (sw.MinuteAsk) {
        const Answer a = sv.dialogs.message(minuteResetQuestion(), Icon::Question, {}, Buttons::YesNoCancel);
        if (a == Answer::Cancel) {
            ui.setTimerInterval(0);
            return;
        }
        setChecks(sw, st, ui, true);
        ui.liveOn();
        st.CurPeriod = 3;
        st.QuoteMode = 1;
        sv.shell.clearMessages();
        if (a == Answer::Yes) deleteMinuteFiles(st);
        if (auto made = MakeMinuteList(st); !made) sv.dialogs.message(made.error(), Icon::Error);
        st.AxisMode = 2;
        ui.advanceAxis();
        st.VolFilterOn = true;
        ui.toggleVolumeSwitch();
        sw.MinuteAsk = false;
    }
    const bool reported = !sw.lastTick.error.isEmpty();
    sw.lastTick = collectMinuteBars(st, sv);
    // Told once until a tick writes again: a full disk must not raise a box every 50 seconds.
    if (!sw.lastTick.error.isEmpty() && !reported) sv.dialogs.message(sw.lastTick.error, Icon::Error);
    sv.shell.redrawChart(1);
}

void Timer2_Timer(MinuteSwitch &sw, State &st, Services &sv, MinuteControls &ui)
{
    if (sw.on) funashi_Click(sw, st, sv, ui, 0);
    else sw.MinuteAsk = true;
}

} // namespace velor
