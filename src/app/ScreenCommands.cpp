#include "app/ScreenCommands.h"

#include "app/CliSession.h"
#include "chart/ChartTexts.h"
#include "db/Bars.h"
#include "screen/ResultFile.h"
#include "screen/Screens.h"

#include <cstdio>
#include <functional>
#include <map>

#ifdef _WIN32
#include <io.h>
#define VELOR_ISATTY _isatty
#define VELOR_FILENO _fileno
#else
#include <unistd.h>
#define VELOR_ISATTY isatty
#define VELOR_FILENO fileno
#endif

namespace velor {

namespace {

void printErr(const QString &text) { std::fprintf(stderr, "%s\n", text.toUtf8().constData()); }

// The names and how many numbers each takes.
const std::map<QString, int> &screenNames()
{
    static const std::map<QString, int> names = {
        {QStringLiteral("ranking"), 0}, {QStringLiteral("toujitu"), 0}, {QStringLiteral("haba"), 1},
        {QStringLiteral("shinki"), 0},  {QStringLiteral("rsi"), 0},     {QStringLiteral("rci"), 0},
        {QStringLiteral("kairi"), 0},   {QStringLiteral("psyc"), 0},    {QStringLiteral("per"), 0},
        {QStringLiteral("pbr"), 0},     {QStringLiteral("eps"), 0},     {QStringLiteral("bps"), 0},
        {QStringLiteral("shinyou"), 0}, {QStringLiteral("haitou"), 0},  {QStringLiteral("skd"), 0},
        {QStringLiteral("minkabu"), 0}, {QStringLiteral("minkabu2"), 0}, {QStringLiteral("j"), 2},
        {QStringLiteral("jvol"), 2}};
    return names;
}

// The ranking window on the console: progress on standard error when that is a terminal.
class ConsoleScreenView final : public MemoryScreenView {
public:
    ConsoleScreenView() : m_tty(VELOR_ISATTY(VELOR_FILENO(stderr)) != 0) {}
    void setProgress(int value) override
    {
        MemoryScreenView::setProgress(value);
        if (!m_tty || progressMax <= 0) return;
        const int percent = int(100LL * value / progressMax);
        if (percent == m_shown && value != progressMax) return;
        m_shown = percent;
        std::fprintf(stderr, "\r%d/%d (%d%%)", value, progressMax, percent);
        std::fflush(stderr);
    }
    void showProgress(bool visible) override
    {
        MemoryScreenView::showProgress(visible);
        if (!visible && m_tty && m_shown >= 0) std::fprintf(stderr, "\r%40s\r", "");
        if (!visible) m_shown = -1;
    }
private:
    bool m_tty;
    int m_shown = -1;
};

} // namespace

QString screenUsage()
{
    return QStringLiteral(
        "  screen NAME [ARGS] [--period d|w|m] [--live] [--out FILE]   run a screen and print its lines\n"
        "        NAME: ranking, toujitu, haba 0-3, shinki, rsi, rci, kairi, psyc, per, pbr, eps, bps,\n"
        "              shinyou, haitou, skd, minkabu, minkabu2, j J1 J2, jvol J1 J2");
}

std::expected<ScreenRequest, QString> parseScreenArgs(const QStringList &args)
{
    ScreenRequest r;
    QStringList rest;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == QLatin1String("--live")) { r.live = true; continue; }
        if (a == QLatin1String("--period") || a == QLatin1String("--out")) {
            if (i + 1 >= args.size()) return std::unexpected(QStringLiteral("error: ") + a + QStringLiteral(" の値がありません。"));
            const QString v = args[++i];
            if (a == QLatin1String("--out")) { r.out = v; continue; }
            r.period = int(QStringList{QStringLiteral("d"), QStringLiteral("w"), QStringLiteral("m")}.indexOf(v));
            if (r.period < 0) return std::unexpected(QStringLiteral("error: --period は d, w, m のどれかです。"));
            continue;
        }
        if (a.startsWith(QLatin1String("--"))) return std::unexpected(QStringLiteral("error: 不明なオプション ") + a);
        rest << a;
    }
    if (rest.isEmpty()) return std::unexpected(QStringLiteral("error: 検索の名前を指定してください。"));
    r.name = rest.takeFirst();
    const auto it = screenNames().find(r.name);
    if (it == screenNames().end()) return std::unexpected(QStringLiteral("error: 不明な検索 ") + r.name);
    if (rest.size() != it->second)
        return std::unexpected(QStringLiteral("error: ") + r.name + QStringLiteral(" には数を ") +
                               QString::number(it->second) + QStringLiteral(" つ指定します。"));
    std::vector<int> numbers;
    for (const QString &t : rest) {
        bool ok = false;
        const int v = t.toInt(&ok);
        if (!ok || v < 0 || v > 1500) return std::unexpected(QStringLiteral("error: ") + t + QStringLiteral(" は 0 から 1500 までの数ではありません。"));
        numbers.push_back(v);
    }
    if (r.name == QLatin1String("haba")) {
        if (numbers[0] > 3) return std::unexpected(QStringLiteral("error: haba の値は 0 から 3 までです。"));
        r.a = numbers[0];
    } else if (numbers.size() == 2) {
        r.a = numbers[0];
        r.b = numbers[1];
        if (r.a >= r.b) return std::unexpected(QStringLiteral("error: J1 は J2 より小さい数です。"));
    }
    return r;
}

bool runNamedScreen(Screens &s, const ScreenRequest &r)
{
    static const std::map<QString, std::function<void(Screens &, const ScreenRequest &)>> run = {
        {QStringLiteral("ranking"), [](Screens &x, auto &) { x.RANKING(); }},
        {QStringLiteral("toujitu"), [](Screens &x, auto &) { x.Toujitu(); }},
        {QStringLiteral("haba"), [](Screens &x, auto &q) { x.neHABA(q.a); }},
        {QStringLiteral("shinki"), [](Screens &x, auto &) { x.SHINKI_HAISHI(); }},
        {QStringLiteral("rsi"), [](Screens &x, auto &) { x.SRSI(); }},
        {QStringLiteral("rci"), [](Screens &x, auto &) { x.SRCI(); }},
        {QStringLiteral("kairi"), [](Screens &x, auto &) { x.SKAIRI(); }},
        {QStringLiteral("psyc"), [](Screens &x, auto &) { x.SPSYC(); }},
        {QStringLiteral("per"), [](Screens &x, auto &) { x.PER(); }},
        {QStringLiteral("pbr"), [](Screens &x, auto &) { x.PBR(); }},
        {QStringLiteral("eps"), [](Screens &x, auto &) { x.EPS(); }},
        {QStringLiteral("bps"), [](Screens &x, auto &) { x.BPS(); }},
        {QStringLiteral("shinyou"), [](Screens &x, auto &) { x.SHINYOUBAIRITSU(); }},
        {QStringLiteral("haitou"), [](Screens &x, auto &) { x.HAITOU(); }},
        {QStringLiteral("skd"), [](Screens &x, auto &) { x.SKD(); }},
        {QStringLiteral("minkabu"), [](Screens &x, auto &) { x.MINKABU(); }},
        {QStringLiteral("minkabu2"), [](Screens &x, auto &) { x.MINKABU2(); }},
        {QStringLiteral("j"), [](Screens &x, auto &q) { x.SQR2(q.a, q.b); }},
        {QStringLiteral("jvol"), [](Screens &x, auto &q) { x.SQR3(q.a, q.b); }},
    };
    const auto it = run.find(r.name);
    if (it == run.end()) return false;
    it->second(s, r);
    return true;
}

int screenCommand(const CliOptions &o, const QString &exeDir)
{
    auto r = parseScreenArgs(o.args);
    if (!r) {
        printErr(r.error() + QLatin1Char('\n') + screenUsage());
        return 2;
    }
    CliSession s(o);
    // A screen only reads the database: it runs beside the open window unless it writes a file.
    if (!s.open(exeDir, r->out.isEmpty() ? CliSession::Access::Read : CliSession::Access::Write)) return 1;
    State &st = s.st;
    // As right after start-up: the chart of 1001 drawn in the chosen period.
    st.CurPeriod = int16_t(r->period);
    st.CurCode = 1001;
    KDOPN(st, s.sv, 2);
    st.LastTradeDate = st.BarDate[1];
    // The start-up chart sets the floors from the settings; switching live on later only rescales
    // them inside the trading bands and leaves them as they are at any other time.
    updateTurnoverLimits(st, s.clock->now());
    if (r->live) {
        st.LiveMode = 1;
        st.BarOffset = -1;
        s.useLiveQuotes();
        KDOPN(st, s.sv, 2);
    }
    updateTurnoverLimits(st, s.clock->now());
    s.shell.clearMessages();

    ConsoleScreenView view;
    Screens screens(st, s.sv, view);
    runNamedScreen(screens, *r);
    const QStringList lines = view.lines();
    for (const QString &l : lines) std::fprintf(stdout, "%s\n", l.toUtf8().constData());
    std::fflush(stdout);
    // Files the loader could not read are worth knowing about, once.
    const QString notes = s.shell.messages().trimmed();
    if (!notes.isEmpty()) printErr(QStringLiteral("warning: ") + notes.section(QStringLiteral("\r\n"), 0, 0) +
                                   (notes.count(QStringLiteral("\r\n")) > 0
                                        ? QStringLiteral(" ほか ") + QString::number(notes.count(QStringLiteral("\r\n"))) + QStringLiteral(" 件")
                                        : QString()));
    if (!r->out.isEmpty()) {
        if (auto w = saveResultFile(r->out, lines); !w) {
            printErr(QStringLiteral("error: ") + w.error());
            return 1;
        }
    }
    return s.dialogs.errorCount() > 0 ? 1 : 0;
}

} // namespace velor
