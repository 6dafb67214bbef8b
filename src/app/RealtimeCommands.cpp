#include "app/RealtimeCommands.h"

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
    bool codeOk = false;
    const int code = args.size() == 1 ? args[0].toInt(&codeOk) : 0;
    if (!mode || !offset || !codeOk || code < 1 || code > 9999 || (*mode != 0 && *mode != 1 && *mode != 7 && *mode != 11)) {
        printErr(quoteUsage());
        return 2;
    }
    CliSession s(o);
    if (!s.open(exeDir, CliSession::Access::Read)) return 1;
    s.useLiveQuotes();
    s.st.CurCode = int16_t(code);
    s.st.QuoteMode = int16_t(*mode);
    s.st.BarOffset = int16_t(*offset);
    s.sv.liveQuote->getVec(s.st);
    std::fputs(quoteValuesText(s.st).toUtf8().constData(), stdout);
    return s.quotes.lastFetchFailed() ? 1 : 0;
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

// The monitor's refusal before nine ends the command with exit code 1, so it prints as an error.
class RefusalDialogs final : public Dialogs {
public:
    explicit RefusalDialogs(Dialogs &inner) : m_inner(inner) {}
    Answer message(const QString &text, Icon icon, const QString &caption, Buttons buttons) override
    {
        return m_inner.message(text, icon == Icon::Warning ? Icon::Error : icon, caption, buttons);
    }
    QString openFile(const QString &t, const QString &d, const QString &f) override { return m_inner.openFile(t, d, f); }
    QString saveFile(const QString &t, const QString &p, const QString &f) override { return m_inner.saveFile(t, p, f); }
private:
    Dialogs &m_inner;
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
    if (!passes || !wait || !args.isEmpty()) {
        printErr(QStringLiteral("usage: velor [--home DIR] [--now \"YYYY-MM-DD HH:MM\"] monitor [--passes N] [--wait W]"));
        return 2;
    }
    CliSession s(o);
    // The monitor writes nothing, so it runs beside the open window.
    if (!s.open(exeDir, CliSession::Access::Read)) return 1;
    s.useLiveQuotes();
    ConsoleMonitorView view(*passes, waitAt >= 0 ? std::optional<int>(*wait) : std::nullopt);
    ConsoleWait waiter(view);
    RefusalDialogs refusal(s.dialogs);
    Services sv{s.sv.clock, s.sv.net, s.sv.launcher, s.sv.sound, refusal, s.sv.shell, s.sv.liveQuote};
    SurgeMonitor monitor(s.st, sv, view, waiter);
    view.monitor = &monitor;
    // As in the window: the start-up chart sets the floor from the settings, then the live display
    // rescales it for the time of day (outside the trading bands it stays as set).
    updateTurnoverLimits(s.st, s.clock->now());
    s.st.LiveMode = 1;
    updateTurnoverLimits(s.st, s.clock->now());
    if (!monitor.RealMeigara(0)) return 1;
    printOut(monitorListsText(monitor));
    if (monitor.failedPages() > 0)
        printErr(QStringLiteral("warning: 取得失敗=") + QString::number(monitor.failedPages()) + QStringLiteral("件　") +
                 monitor.firstError());
    return 0;
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
    return QStringLiteral("記録=%1 記録済み=%2 値なし=%3").arg(t.written).arg(t.skipped).arg(t.empty);
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
    bool codeOk = false;
    const int code = args.size() == 2 && args[0] == QLatin1String("show") ? args[1].toInt(&codeOk) : 0;
    if (!collect && (!codeOk || code < 1 || code > 9999)) {
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
        if (!failures.isEmpty()) printErr(QStringLiteral("warning: ") + failures);
        if (!t.error.isEmpty()) {
            printErr(QStringLiteral("error: ") + t.error);
            return 1;
        }
        return 0;
    }
    s.st.CurCode = int16_t(code);
    s.st.CurPeriod = 3;
    ReadMinuteBars(s.st, s.sv, 1600);
    printOut(minuteBarsText(s.st));
    return s.quotes.lastFetchFailed() ? 1 : 0;
}

} // namespace velor
