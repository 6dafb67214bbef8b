#include "app/RealtimeCommands.h"

#include "app/AlertCommands.h"
#include "app/CliSession.h"
#include "chart/ChartTexts.h"
#include "common/NumText.h"
#include "db/State.h"
#include "realtime/MinuteBars.h"
#include "realtime/MinuteSwitch.h"
#include "realtime/QuoteReader.h"
#include "realtime/SurgeMonitor.h"

#include <QEventLoop>
#include <cstdio>
#include <optional>

namespace velor {

namespace {

void printErr(const QString &text) { std::fprintf(stderr, "%s\n", text.toUtf8().constData()); }

// "--name VALUE" as an integer within [lo, hi]; nullopt on a bad or missing value.
std::optional<int> takeInt(QStringList &args, const QString &name, int fallback, int lo, int hi)
{
    const int at = int(args.indexOf(name));
    if (at < 0) return fallback;
    if (at + 1 >= args.size()) return std::nullopt;
    bool ok = false;
    const int v = args[at + 1].toInt(&ok);
    args.remove(at, 2);
    if (!ok || v < lo || v > hi) return std::nullopt;
    return v;
}

// Every message is an error: the command failed whenever it says something.
class FailureDialogs final : public Dialogs {
public:
    explicit FailureDialogs(Dialogs &inner) : m_inner(inner) {}
    Answer message(const QString &text, Icon icon = Icon::None, const QString & = {}, Buttons = Buttons::Ok) override
    {
        return m_inner.report(text, icon, true);
    }
    QString openFile(const QString &, const QString &, const QString &) override { return {}; }
    QString saveFile(const QString &, const QString &, const QString &) override { return {}; }
private:
    Dialogs &m_inner;
};

QString quoteUsage()
{
    return QStringLiteral("usage: velor [--home DIR] [--now \"YYYY-MM-DD HH:MM\"] quote CODE [--mode 0|1|7|11] [--offset N]");
}

} // namespace

QString quoteValuesText(const State &st)
{
    const std::pair<const char *, QString> lines[] = {
        {"BarDate0", QString::number(st.BarDate[0])},
        {"BarOpen0", singleText(st.BarOpen[0])},
        {"BarHigh0", singleText(st.BarHigh[0])},
        {"BarLow0", singleText(st.BarLow[0])},
        {"BarClose0", singleText(st.BarClose[0])},
        {"BarVolume0", doubleText(st.BarVolume[0])},
        {"CurTurnover", doubleText(st.CurTurnover)},
        {"QuoteYield", singleText(float(st.QuoteYield))},
        {"QuoteDPS", singleText(float(st.QuoteDPS))},
        {"QuotePER", singleText(float(st.QuotePER))},
        {"QuotePBR", singleText(float(st.QuotePBR))},
        {"QuoteEPS", singleText(float(st.QuoteEPS))},
        {"QuoteBPS", singleText(float(st.QuoteBPS))},
        {"QuoteMinBuy", doubleText(st.QuoteMinBuy)},
        {"QuoteYearHigh", doubleText(st.QuoteYearHigh)},
        {"QuoteYearLow", doubleText(st.QuoteYearLow)},
        {"MarginDate", st.MarginDateText},
        {"MarginBuy", doubleText(st.MarginBuy)},
        {"MarginSell", doubleText(st.MarginSell)},
        {"MarginRatio", singleText(float(st.MarginRatio))},
    };
    QString out;
    for (const auto &[name, value] : lines) out += QLatin1String(name) + '=' + value + '\n';
    return out;
}

int quoteCommand(const CliOptions &o, const QString &exeDir)
{
    QStringList args = o.args;
    const auto mode = takeInt(args, QStringLiteral("--mode"), 0, 0, 11);
    const auto offset = takeInt(args, QStringLiteral("--offset"), -1, -1, 1600);
    const int code = args.size() == 1 ? codeFromInput(args[0]).value_or(0) : 0;
    if (!mode || !offset || code == 0 || (*mode != 0 && *mode != 1 && *mode != 7 && *mode != 11)) {
        printErr(quoteUsage());
        return 2;
    }
    CliSession s(o);
    if (!s.open(exeDir, CliSession::Access::Read)) return 1;
    // The command's one page is all it was asked for: a page that failed is an error here.
    FailureDialogs failing(s.dialogs);
    QuoteReader reader(*s.clock, s.net, failing);
    s.st.CurCode = code;
    s.st.QuoteMode = int16_t(*mode);
    s.st.BarOffset = int16_t(*offset);
    reader.getVec(s.st);
    std::fputs(quoteValuesText(s.st).toUtf8().constData(), stdout);
    if (reader.lastPageWithoutValues())
        failing.message(QStringLiteral("目的銘柄: ") + codeText(code) + QStringLiteral(", ") + s.st.nameOf(code) +
                        QStringLiteral(" のページ ") + QuoteReader::pageAddress(s.st, code) +
                        QStringLiteral(" に値が見つかりません。"));
    return reader.lastFetchFailed() || reader.lastPageWithoutValues() ? 1 : 0;
}

namespace {

void printOut(const QString &text) { std::fputs(text.toUtf8().constData(), stdout); }

// The monitor without a window: lists are kept for printing, and the run stops by itself after
// the passes asked for, the way 停止 would.
class ConsoleMonitorView final : public MonitorView {
public:
    ConsoleMonitorView(int passes, std::optional<int> wait) : m_passes(passes), m_wait(wait) {}
    SurgeMonitor *monitor = nullptr;
    QString status;
    void setStatus(const QString &text) override { status = text; }
    void setProgressText(const QString &) override {}
    void setProgress(int, int) override {}
    void setList(int, const QStringList &) override {}
    void setListsEnabled(bool) override {}
    void setRecalcEnabled(bool) override {}
    void setWaitText(const QString &) override
    {
        if (m_wait) monitor->Text1_KeyPress(QString::number(*m_wait));
    }
    void placeFromMain(int, int) override {}
    void closeWindow() override {}
    void setMonitorChecked(bool) override {}
    void pump() override
    {
        if (monitor->running() && monitor->passCount() >= m_passes) monitor->Command1_Click();
    }
    int passes() const { return m_passes; }
private:
    int m_passes;
    std::optional<int> m_wait;
};

// No wait after the last pass: the command ends there.
class ConsoleWait final : public PassWait {
public:
    ConsoleWait(ConsoleMonitorView &view) : m_view(view) {}
    void wait(int ms) override
    {
        if (m_view.monitor->passCount() + 1 < m_view.passes()) m_real.wait(ms);
    }
    void wake() override { m_real.wake(); }
private:
    ConsoleMonitorView &m_view;
    EventLoopWait m_real;
};

QString minuteUsage()
{
    return QStringLiteral("usage: velor [--home DIR] [--now \"YYYY-MM-DD HH:MM\"] minute collect | minute show CODE");
}

} // namespace

int monitorCommand(const CliOptions &o, const QString &exeDir)
{
    QStringList args = o.args;
    const auto passes = takeInt(args, QStringLiteral("--passes"), 2, 1, 100000);
    const int waitAt = int(args.indexOf(QStringLiteral("--wait")));
    const auto wait = takeInt(args, QStringLiteral("--wait"), -1, 0, 86400);
    const bool notify = args.removeAll(QStringLiteral("--notify")) > 0;
    if (!passes || !wait || !args.isEmpty()) {
        printErr(QStringLiteral("usage: velor [--home DIR] [--now \"YYYY-MM-DD HH:MM\"] monitor [--passes N] [--wait W] [--notify]"));
        return 2;
    }
    CliSession s(o);
    // The monitor writes nothing, so it runs beside the open window.
    if (!s.open(exeDir, CliSession::Access::Read)) return 1;
    s.useLiveQuotes();
    ConsoleMonitorView view(*passes, waitAt >= 0 ? std::optional<int>(*wait) : std::nullopt);
    ConsoleWait waiter(view);
    // The monitor's only message is its refusal to run, which ends the command: an error here.
    FailureDialogs failing(s.dialogs);
    Services msv{*s.clock, s.net, s.launcher, s.sound, failing, s.shell, s.sv.liveQuote};
    SurgeMonitor monitor(s.st, msv, view, waiter);
    view.monitor = &monitor;
    AlertCenter alerts(s.st);
    if (notify) attachMonitorAlerts(s, monitor, alerts);
    // As in the window: the start-up chart sets the floor from the settings, then the live display
    // rescales it for the time of day (outside the trading bands it stays as set).
    updateTurnoverLimits(s.st, s.clock->now());
    s.st.LiveMode = 1;
    updateTurnoverLimits(s.st, s.clock->now());
    if (!monitor.RealMeigara(0)) return 1;
    printOut(monitorListsText(monitor));
    // Lists built without a single page read are no result: that is a failure, not a skip.
    const bool noneRead = monitor.failedPages() > 0 && monitor.failedPages() >= monitor.pagesAsked();
    if (monitor.failedPages() > 0)
        printErr(QLatin1String(noneRead ? "error: " : "warning: ") + QStringLiteral("取得失敗=") +
                 QString::number(monitor.failedPages()) + QStringLiteral("件　") + monitor.firstError());
    return noneRead ? 1 : 0;
}

QString monitorListsText(const SurgeMonitor &monitor)
{
    QString out;
    const QStringList captions = monitorCaptions();
    for (int k = 1; k <= 6; ++k) {
        out += captions[k - 1] + '\n';
        for (const QString &row : monitor.lists()[size_t(k)]) out += row + '\n';
    }
    return out;
}

QString minuteTickText(const MinuteTick &t)
{
    return QStringLiteral("記録=%1 記録済み=%2 値なし=%3 失敗=%4").arg(t.written).arg(t.skipped).arg(t.empty).arg(t.failed);
}

QString minuteBarsText(const State &st)
{
    QString out;
    auto line = [&](int e) {
        out += QString::number(e) + ',' + QString::number(st.BarDate[size_t(e)]) + ',' +
               singleText(st.BarOpen[size_t(e)]) + ',' + singleText(st.BarHigh[size_t(e)]) + ',' +
               singleText(st.BarLow[size_t(e)]) + ',' + singleText(st.BarClose[size_t(e)]) + ',' +
               doubleText(st.BarVolume[size_t(e)]) + '\n';
    };
    for (int e = 1; e <= st.BarCount; ++e) line(e);
    line(0);
    return out;
}

int minuteCommand(const CliOptions &o, const QString &exeDir)
{
    const QStringList &args = o.args;
    const bool collect = args.size() == 1 && args[0] == QLatin1String("collect");
    const int code = args.size() == 2 && args[0] == QLatin1String("show") ? codeFromInput(args[1]).value_or(0) : 0;
    if (!collect && code == 0) {
        printErr(minuteUsage());
        return 2;
    }
    CliSession s(o);
    // Showing only reads; collecting appends to the minute files and takes the locks.
    if (!s.open(exeDir, collect ? CliSession::Access::Write : CliSession::Access::Read)) return 1;
    s.useLiveQuotes();
    if (collect) {
        if (auto made = MakeMinuteList(s.st); !made) {
            printErr(QStringLiteral("error: ") + made.error());
            return 1;
        }
        QString failures;
        const MinuteTick t = collectCounted(s.st, s.sv, failures);
        printOut(minuteTickText(t) + QLatin1Char('\n'));
        printMinuteAlerts(s, t);
        if (!t.error.isEmpty()) {
            if (!failures.isEmpty()) printErr(QStringLiteral("warning: ") + failures);
            printErr(QStringLiteral("error: ") + t.error);
            return 1;
        }
        // Not one page read: nothing was collected, whatever the counts say.
        if (t.asked > 0 && t.pagesFailed >= t.asked) {
            printErr(QStringLiteral("error: ") + failures);
            return 1;
        }
        if (!failures.isEmpty()) printErr(QStringLiteral("warning: ") + failures);
        return 0;
    }
    s.st.CurCode = code;
    s.st.CurPeriod = 3;
    ReadMinuteBars(s.st, s.sv, 1600);
    printOut(minuteBarsText(s.st));
    // The stored bars are shown; a live bar that could not be read is a skip, said as a warning.
    return 0;
}

} // namespace velor
