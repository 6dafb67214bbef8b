#include "app/ScreenCommands.h"

#include "app/CliSession.h"
#include "chart/ChartTexts.h"
#include "db/Bars.h"
#include "screen/ResultFile.h"
#include "screen/Screens.h"

#include <cstdio>
#include <functional>
#include <map>

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
    ConsoleScreenView() : m_tty(stderrIsTerminal()) {}
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
        "              shinyou, haitou, skd, minkabu, minkabu2, j J1 J2, jvol J1 J2,\n"
        "              or a saved formula screen (see screen list)\n"
        "  screen --formula \"FILTER\" [--score \"SCORE\"] [--bottom] [--rows N] [--list all|working|1|2|3]\n"
        "        [--period d|w|m] [--live] [--out FILE]   run a formula screen (working: watch list 1,\n"
        "        the window's working set at start-up)\n"
        "  screen save NAME --formula \"FILTER\" [--score ...] [--bottom] [--rows N] [--list ...]\n"
        "  screen delete NAME | screen list   the saved formula screens (formulas.dat) and the examples");
}

std::expected<ScreenRequest, QString> parseScreenArgs(const QStringList &args)
{
    ScreenRequest r;
    QStringList rest;
    bool scored = false;
    auto bad = [](const QString &text) { return std::unexpected(QStringLiteral("error: ") + text); };
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == QLatin1String("--live")) { r.live = true; continue; }
        if (a == QLatin1String("--bottom")) { r.bottom = true; continue; }
        static const QStringList valued = {QStringLiteral("--period"), QStringLiteral("--out"), QStringLiteral("--formula"),
                                           QStringLiteral("--score"), QStringLiteral("--rows"), QStringLiteral("--list")};
        if (valued.contains(a)) {
            if (i + 1 >= args.size()) return bad(a + QStringLiteral(" の値がありません。"));
            const QString v = args[++i];
            if (a == QLatin1String("--out")) { r.out = v; continue; }
            if (a == QLatin1String("--formula")) { r.formula = true, r.text.filter = v; continue; }
            if (a == QLatin1String("--score")) { scored = true, r.text.score = v; continue; }
            if (a == QLatin1String("--rows")) {
                bool ok = false;
                const int n = v.toInt(&ok);
                if (!ok || n < 1 || n > kMaxFormulaRows)
                    return bad(QStringLiteral("--rows は 1 から ") + QString::number(kMaxFormulaRows) + QStringLiteral(" までの数です。"));
                r.rows = n;
                continue;
            }
            if (a == QLatin1String("--list")) {
                r.scope = scopeFromWord(v);
                if (!r.scope) return bad(QStringLiteral("--list は all, working, 1, 2, 3 のどれかです。"));
                continue;
            }
            r.period = int(QStringList{QStringLiteral("d"), QStringLiteral("w"), QStringLiteral("m")}.indexOf(v));
            if (r.period < 0) return bad(QStringLiteral("--period は d, w, m のどれかです。"));
            continue;
        }
        if (a.startsWith(QLatin1String("--"))) return std::unexpected(QStringLiteral("error: 不明なオプション ") + a);
        rest << a;
    }
    const bool formulaOptions = r.formula || scored || r.bottom || r.rows || r.scope;
    if (scored && !r.formula) return bad(QStringLiteral("--score は --formula と一緒に指定します。"));
    if (!rest.isEmpty() && (rest[0] == u"save" || rest[0] == u"delete" || rest[0] == u"list")) {
        const QString verb = rest.takeFirst();
        r.action = verb == u"save" ? ScreenRequest::Action::Save
                   : verb == u"delete" ? ScreenRequest::Action::Delete
                                       : ScreenRequest::Action::List;
        if (r.action == ScreenRequest::Action::List) {
            if (!rest.isEmpty() || formulaOptions) return bad(QStringLiteral("screen list には引数はありません。"));
            return r;
        }
        if (rest.size() != 1) return bad(QStringLiteral("screen ") + verb + QStringLiteral(" には名前を 1 つ指定します。"));
        r.name = rest[0];
        if (r.action == ScreenRequest::Action::Delete) {
            if (formulaOptions) return bad(QStringLiteral("screen delete には名前だけを指定します。"));
            return r;
        }
        if (!r.formula) return bad(QStringLiteral("screen save には --formula が必要です。"));
        if (const auto problem = SavedScreens::nameProblem(r.name)) return bad(*problem);
        r.text.name = r.name;
        return r;
    }
    if (r.formula) {
        if (!rest.isEmpty()) return bad(QStringLiteral("--formula と検索の名前は一緒に指定できません。"));
        return r;
    }
    if (rest.isEmpty()) return bad(QStringLiteral("検索の名前を指定してください。"));
    r.name = rest.takeFirst();
    const auto it = screenNames().find(r.name);
    // Any other name may be a saved formula screen, looked up once the folder is open.
    if (it == screenNames().end()) {
        if (!rest.isEmpty()) return std::unexpected(QStringLiteral("error: 不明な検索 ") + r.name);
        return r;
    }
    r.builtIn = true;
    if (formulaOptions) return bad(QStringLiteral("--bottom, --rows, --list は自作スクリーニングに指定します。"));
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

namespace {

// screen save | delete | list: formulas.dat beside VELOR.ini.
int savedScreensCommand(const State &st, const ScreenRequest &r)
{
    const QString path = SavedScreens::pathIn(st.ProgramDir);
    if (r.action == ScreenRequest::Action::List) {
        QString error;
        const auto offered = offeredScreens(st, &error);
        if (!error.isEmpty()) {
            printErr(QStringLiteral("error: ") + error);
            return 1;
        }
        for (const OfferedScreen &o : offered)
            std::fprintf(stdout, "%s\n",
                         (SavedScreens::lineOf(o.text) + (o.example ? QStringLiteral("\t例") : QString())).toUtf8().constData());
        return 0;
    }
    std::expected<void, QString> done;
    if (r.action == ScreenRequest::Action::Delete) {
        done = deleteFormulaScreen(st.ProgramDir, r.name);
    } else {
        FormulaScreenText t = r.text;
        t.bottom = r.bottom;
        t.rows = r.rows.value_or(0);
        t.scope = r.scope.value_or(ScreenScope::Market);
        done = saveFormulaScreen(st.ProgramDir, t);
    }
    if (!done) {
        printErr(QStringLiteral("error: ") + done.error());
        return 1;
    }
    printErr(QStringLiteral("info: 自作スクリーニング「") + r.name +
             (r.action == ScreenRequest::Action::Delete ? QStringLiteral("」を削除しました: ") : QStringLiteral("」を保存しました: ")) +
             path);
    return 0;
}

// The formula screen a request names: --formula, else a saved screen, else an example; nullopt
// for a built-in screen; an error text (usage) for a name that is none of these.
std::expected<std::optional<FormulaScreenText>, QString> requestedFormula(const State &st, const ScreenRequest &r)
{
    if (r.builtIn) return std::nullopt;
    FormulaScreenText t;
    if (r.formula) {
        t = r.text;
        t.bottom = r.bottom;
    } else {
        auto saved = SavedScreens::load(SavedScreens::pathIn(st.ProgramDir));
        if (!saved) return std::unexpected(saved.error());
        const FormulaScreenText *found = saved->find(r.name);
        const auto examples = exampleScreens(st.RsiPeriod1, st.RciPeriod1, st.MaWidth2, st.PsyPeriod1);
        for (const FormulaScreenText &e : examples)
            if (!found && e.name == r.name) found = &e;
        if (!found) return std::unexpected(QStringLiteral("不明な検索 ") + r.name);
        t = *found;
        if (r.bottom) t.bottom = true;
    }
    if (r.rows) t.rows = *r.rows;
    if (r.scope) t.scope = *r.scope;
    // Without a window the working set is the one the window starts with: watch list 1.
    if (t.scope == ScreenScope::WorkingSet) t.scope = ScreenScope::List1;
    return t;
}

} // namespace

int screenCommand(const CliOptions &o, const QString &exeDir)
{
    auto r = parseScreenArgs(o.args);
    if (!r) {
        printErr(r.error() + QLatin1Char('\n') + screenUsage());
        return 2;
    }
    CliSession s(o);
    // A screen only reads the database: it runs beside the open window unless it writes a file.
    const bool writes = !r->out.isEmpty() || r->action == ScreenRequest::Action::Save ||
                        r->action == ScreenRequest::Action::Delete;
    if (!s.open(exeDir, writes ? CliSession::Access::Write : CliSession::Access::Read)) return 1;
    State &st = s.st;
    if (r->action != ScreenRequest::Action::Run) return savedScreensCommand(st, *r);
    const auto text = requestedFormula(st, *r);
    if (!text) {
        printErr(QStringLiteral("error: ") + text.error() + QLatin1Char('\n') + screenUsage());
        return 2;
    }
    int unknown = 0;
    std::optional<FormulaScreenPlan> plan;
    if (*text) {
        auto prepared = prepareFormulaScreen(st, **text, &unknown);
        if (!prepared) {
            printErr(QStringLiteral("error: ") + prepared.error());
            return 1;
        }
        plan = std::move(*prepared);
    }
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
    if (plan) screens.FormulaScreen(*plan);
    else runNamedScreen(screens, *r);
    const QStringList lines = view.lines();
    for (const QString &l : lines) std::fprintf(stdout, "%s\n", l.toUtf8().constData());
    std::fflush(stdout);
    // Files the loader could not read are worth knowing about, once.
    const QString notes = s.shell.messages().trimmed();
    if (!notes.isEmpty()) printErr(QStringLiteral("warning: ") + notes.section(QStringLiteral("\r\n"), 0, 0) +
                                   (notes.count(QStringLiteral("\r\n")) > 0
                                        ? QStringLiteral(" ほか ") + QString::number(notes.count(QStringLiteral("\r\n"))) + QStringLiteral(" 件")
                                        : QString()));
    if (unknown > 0)
        printErr(QStringLiteral("warning: 登録銘柄のうち ") + QString::number(unknown) + QStringLiteral(" 件は銘柄一覧にないため除きました。"));
    if (!r->out.isEmpty()) {
        if (auto w = saveResultFile(r->out, lines); !w) {
            printErr(QStringLiteral("error: ") + w.error());
            return 1;
        }
    }
    return s.dialogs.errorCount() > 0 ? 1 : 0;
}

} // namespace velor
