#include "app/AlertWiring.h"

#include "app/MainWindow.h"
#include "app/RealtimeWiring.h"
#include "auxiliary/About.h"
#include "common/DbusNotifier.h"
#include "realtime/AlertCenter.h"
#include "realtime/AlertDialog.h"
#include "realtime/AlertHistory.h"
#include "realtime/AlertLogWindow.h"
#include "common/WindowPlace.h"
#include "realtime/AlertReach.h"
#include "realtime/MinuteBars.h"
#include "realtime/RealWindow.h"

#include <QCheckBox>
#include <QListWidget>
#include <QPointer>

namespace velor {

namespace {

// Lives as a child of the main window: the alerts, the notifier and how they are delivered.
class AlertSession final : public QObject {
    MainWindow &m_w;

public:
    explicit AlertSession(MainWindow &w) : QObject(&w), m_w(w), center(w.state())
    {
        setObjectName(QStringLiteral("AlertSession"));
    }

    Notifier &notifier()
    {
        if (m_override) return *m_override;
        if (!m_desktop) {
            // Asked for only when the first alert is raised: a run without alerts never
            // touches the bus.
            m_desktop = sessionNotifier(velorIcon(64));
            m_desktop->onActivated = [this](int code) { showAlertStock(m_w, code); };
        }
        return *m_desktop;
    }

    void raise(const std::vector<RaisedAlert> &alerts)
    {
        if (!alerts.empty()) {
            AlertDelivery delivery(m_w.state(), m_w.services(), notifier());
            delivery.deliver(alerts);
            logFired(hitsOf(alerts));
        }
        keepState();   // also a level that re-armed without raising anything
    }

    // Into the day's list, which stays after a restart.
    void logFired(const std::vector<PriceHit> &hits)
    {
        if (hits.empty()) return;
        if (auto r = recordFired(m_w.state(), hits, m_w.services().clock.now()); !r && !m_logReported) {
            m_logReported = true;
            m_w.prependMessage(QStringLiteral("アラートの記録を保存できません: ") + r.error() + QStringLiteral("\r\n"));
        }
        if (log) fillLog();
    }

    void fillLog()
    {
        const QDate today = m_w.services().clock.now().date();
        std::vector<std::pair<QString, int>> rows;
        auto history = AlertHistory::load(alertLogPath(m_w.state()));
        QString caption = today.toString(QStringLiteral("yyyy/MM/dd")) + QStringLiteral(" に鳴った株価アラート");
        if (!history) caption = history.error();
        else
            for (const FiredAlert &a : history->ofDay(today)) rows.emplace_back(firedAlertRow(m_w.state(), a), a.hit.code);
        if (history && rows.empty()) caption += QStringLiteral("（まだありません）");
        log->setRows(caption, rows);
    }

    void showLog()
    {
        if (!log) {
            log = new AlertLogWindow(&m_w);
            log->onShowStock = [this](int code) { showAlertStock(m_w, code); };
            const QRect keep = m_w.chartAndListArea();
            const QMargins m = frameMarginsOf(log->frameGeometry(), log->geometry(), m_w.frameGeometry(), m_w.geometry());
            const QRect fit = placedClearOf(m_w.frameGeometry().topLeft() + QPoint(m_w.px(800), m_w.px(800)),
                                            log->size().grownBy(m), QSize(300, 150).grownBy(m), keep,
                                            availableAreaAt(m_w.frameGeometry().center()), m_w.px(50));
            log->setGeometry(fit.marginsRemoved(m));
        }
        fillLog();
        log->show();
        log->raise();
    }

    QPointer<AlertLogWindow> log;   ///< the day's list, once opened

    // A level that fired is written down, so that it does not fire again at the next start.
    void keepState()
    {
        if (!center.prices().changed()) return;
        auto saved = center.save();
        if (saved) {
            m_saveReported = false;
        } else if (!m_saveReported) {
            m_saveReported = true;   // once, not at every tick
            m_w.prependMessage(QStringLiteral("アラートの状態を保存できません: ") + saved.error() + QStringLiteral("\r\n"));
        }
    }

    void setOverride(Notifier *n) { m_override = n; }

    AlertCenter center;
    QPointer<AlertDialog> dialog;   ///< the open "アラートを設定" dialog

private:
    std::unique_ptr<DbusNotifier> m_desktop;
    Notifier *m_override = nullptr;
    bool m_saveReported = false;
    bool m_logReported = false;
};

AlertSession *sessionOf(MainWindow &w)
{
    return w.findChild<AlertSession *>(QStringLiteral("AlertSession"), Qt::FindDirectChildrenOnly);
}

// The stock of the list's selected line; 0 for a text line or no selection.
int selectedCode(MainWindow &w)
{
    const State &st = w.state();
    const int row = w.List1->currentRow();
    if (row < 0 || row + 1 > st.WorkCount || size_t(row + 1) >= st.WorkSet.size()) return 0;
    const int entry = st.WorkSet[size_t(row + 1)];
    return entry > 0 && size_t(entry) < st.StockCode.size() ? st.StockCode[size_t(entry)] : 0;
}

// What the dialog decided, kept in alerts.dat.
void applyDialog(MainWindow &w, AlertSession &s, const AlertDialog &dlg, int code)
{
    if (dlg.choice() == AlertDialog::Choice::Cancelled) return;
    if (dlg.choice() == AlertDialog::Choice::Set) s.center.prices().set(code, dlg.above(), dlg.below());
    else s.center.prices().clear(code);
    if (auto saved = s.center.save(); !saved) {
        w.services().dialogs.message(saved.error(), Icon::Error);
        (void)s.center.reload();   // what the file holds is what stays in force
    }
}

void ALERT_Click(MainWindow &w, AlertSession &s)
{
    const int code = selectedCode(w);
    if (code == 0) {
        w.services().sound.beep();
        return;
    }
    // Read again: a hand edit made while the window was open is not written over.
    (void)s.center.reload();
    if (!s.center.loadError().isEmpty()) {
        // An unreadable alerts.dat is not written over by the dialog.
        w.services().dialogs.message(s.center.loadError(), Icon::Error);
        return;
    }
    if (s.dialog) s.dialog->close();   // one stock at a time
    // Shown without waiting: the monitor and the minute bars go on while it is open.
    State &st = w.state();
    auto *dlg = new AlertDialog(codeText(code) + QLatin1Char(' ') + shortName(st, code), s.center.prices().find(code), &w,
                                currentPriceText(st, w.services(), code), alertNeverFires(st, code),
                                alertReachWarning(st, code, onWatchList(st, code)));
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    s.dialog = dlg;
    QObject::connect(dlg, &QDialog::finished, &s, [&w, &s, dlg, code] { applyDialog(w, s, *dlg, code); });
    dlg->open();
}

} // namespace

void wireAlerts(MainWindow &w)
{
    auto *s = new AlertSession(w);
    w.on(QStringLiteral("ALERT"), [&w, s](int) { ALERT_Click(w, *s); });
    w.on(QStringLiteral("ALERTLOG"), [s](int) { s->showLog(); });
    setRealtimeHooks(
        w,
        [&w, s](RealWindow &win) {
            win.monitor().onPassLists = [&w, s, &win] {
                s->raise(s->center.monitorPass(win.monitor(), w.services().clock.now().date(), win.chkNotify->isChecked()));
            };
        },
        [s](MinuteTick &tick) { s->raise(s->center.checkPrices(tick.prices)); });
}

void setAlertNotifier(MainWindow &w, Notifier *notifier)
{
    if (AlertSession *s = sessionOf(w)) s->setOverride(notifier);
}

AlertCenter *alertCenterOf(MainWindow &w)
{
    AlertSession *s = sessionOf(w);
    return s ? &s->center : nullptr;
}

void showAlertStock(MainWindow &w, int code)
{
    if (!isStockCode(code)) return;
    w.state().CurCode = code;
    w.redrawChart(1);
    if (w.isMinimized()) w.showNormal();
    w.raise();
    w.activateWindow();
}

} // namespace velor
