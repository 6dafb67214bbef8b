#include "app/RealtimeCommands.h"

#include "app/CliSession.h"
#include "common/NumText.h"
#include "db/State.h"
#include "realtime/QuoteReader.h"

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

} // namespace velor
