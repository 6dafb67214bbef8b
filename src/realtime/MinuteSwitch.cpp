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

// Counts the pages of one collection that could not be read; the first one is named.
class FailureCount final : public QuoteFailureSink {
public:
    void quoteFailed(const QString &address, const QString &reason) override
    {
        if (count++ > 0) return;
        firstAddress = address;
        firstReason = reason;
    }
    int count = 0;
    QString firstAddress, firstReason;
};

} // namespace

MinuteTick collectCounted(State &st, Services &sv, QString &failures)
{
    FailureCount counted;
    // The window's own sink comes back afterwards: its pages are never reported in a box.
    QuoteFailureSink *before = sv.liveQuote ? sv.liveQuote->failureSink() : nullptr;
    if (sv.liveQuote) sv.liveQuote->setFailureSink(&counted);
    MinuteTick tick = collectMinuteBars(st, sv);
    if (sv.liveQuote) sv.liveQuote->setFailureSink(before);
    tick.pagesFailed = counted.count;
    failures = counted.count == 0 ? QString()
                                  : QStringLiteral("分足: ページを取得できなかった銘柄が ") + QString::number(counted.count) +
                                        QStringLiteral(" 件ありました。最初のアドレス: ") + counted.firstAddress +
                                        QStringLiteral("　理由: ") + counted.firstReason;
    return tick;
}

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
    QString failures;
    sw.lastTick = collectCounted(st, sv, failures);
    // Told once until a tick writes again: a full disk must not raise a box every 50 seconds.
    if (!sw.lastTick.error.isEmpty() && !reported) sv.dialogs.message(sw.lastTick.error, Icon::Error);
    sv.shell.redrawChart(1);
    // Pages that failed are one line in the message pane, after the redraw that rewrites it.
    if (!failures.isEmpty()) sv.shell.prependMessage(failures + QStringLiteral("\r\n"));
}

void Timer2_Timer(MinuteSwitch &sw, State &st, Services &sv, MinuteControls &ui)
{
    if (sw.on) funashi_Click(sw, st, sv, ui, 0);
    else sw.MinuteAsk = true;
}

} // namespace velor
