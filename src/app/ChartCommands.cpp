#include "app/ChartCommands.h"

#include "app/CliSession.h"
#include "chart/Chart.h"
#include "chart/Indicators.h"
#include "chart/QtChartCanvas.h"
#include "common/NumText.h"
#include "common/TextFile.h"
#include "common/Utils.h"
#include "db/Bars.h"

#include <QImage>
#include <QPainter>
#include <QBuffer>
#include <cstdio>

namespace velor {

namespace {

void printErr(const QString &text) { std::fprintf(stderr, "%s\n", text.toUtf8().constData()); }

std::expected<int, QString> intIn(const QString &text, int lo, int hi, const QString &what)
{
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < lo || v > hi)
        return std::unexpected(QStringLiteral("error: %1 は %2 から %3 までの数です。").arg(what).arg(lo).arg(hi));
    return v;
}

// One option with its value; false when it is not an option this command knows.
std::expected<bool, QString> takeValue(ChartRequest &r, const QString &name, const QString &value, bool withPng)
{
    static const QStringList periods = {QStringLiteral("d"), QStringLiteral("w"), QStringLiteral("m")};
    static const QStringList oscillators = {QStringLiteral("rsi"), QStringLiteral("rci"), QStringLiteral("kairi"),
                                            QStringLiteral("psyc")};
    if (name == QLatin1String("--period")) {
        r.period = int(periods.indexOf(value));
        if (r.period < 0) return std::unexpected(QStringLiteral("error: --period は d, w, m のどれかです。"));
        return true;
    }
    if (!withPng) return false;
    std::expected<int, QString> v = 0;
    if (name == QLatin1String("--offset")) v = intIn(value, -1, kMaxBarOffset, name), r.offset = v.value_or(0);
    else if (name == QLatin1String("--axis")) v = intIn(value, 0, 2, name), r.axis = v.value_or(0);
    else if (name == QLatin1String("--bars")) v = intIn(value, kMinDispBars, kMaxDispBars, name), r.bars = v.value_or(0);
    else if (name == QLatin1String("--png")) r.png = value;
    else if (name == QLatin1String("--indicator")) {
        r.indicator = int(oscillators.indexOf(value));
        if (r.indicator < 0) return std::unexpected(QStringLiteral("error: --indicator は rsi, rci, kairi, psyc のどれかです。"));
    } else if (name == QLatin1String("--size")) {
        const QStringList wh = value.split(QLatin1Char('x'));
        if (wh.size() != 2) return std::unexpected(QStringLiteral("error: --size は 幅x高さ の形です。"));
        auto w = intIn(wh[0], 100, 8000, QStringLiteral("幅")), h = intIn(wh[1], 100, 8000, QStringLiteral("高さ"));
        if (!w) return std::unexpected(w.error());
        if (!h) return std::unexpected(h.error());
        r.width = *w;
        r.height = *h;
    } else return false;
    if (!v) return std::unexpected(v.error());
    return true;
}

// The start-up's view of the market: the newest trading date is the index series' newest bar.
void prepare(CliSession &s, const ChartRequest &r)
{
    State &st = s.st;
    st.CurPeriod = int16_t(r.period);
    st.CurCode = 1001;
    KDOPN(st, s.sv, 2);
    st.LastTradeDate = st.BarDate[1];
    s.shell.clearMessages();
    st.CurCode = r.code;
    st.BarOffset = int16_t(r.offset);
    // The live bar is drawn from the quote page, as in the window with real-time display on.
    if (r.offset == -1) s.useLiveQuotes();
}

} // namespace

QString chartUsage()
{
    return QStringLiteral(
        "  chart CODE [--period d|w|m] [--offset N] [--indicator rsi|rci|kairi|psyc] [--axis 0|1|2] [--bars N]\n"
        "        [--overlay] [--raw] --png FILE [--size WxH]   draw a chart into a PNG file\n"
        "  export CODE [--period d|w|m] [--raw]   bars and oscillators as CSV on standard output\n"
        "        (--raw: the bars as stored, without the adjustment for recorded splits)");
}

std::expected<ChartRequest, QString> parseChartArgs(const QStringList &args, bool withPng)
{
    ChartRequest r;
    bool haveCode = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (withPng && a == QLatin1String("--overlay")) { r.overlay = true; continue; }
        if (a == QLatin1String("--raw")) { r.raw = true; continue; }
        if (a.startsWith(QLatin1String("--"))) {
            if (i + 1 >= args.size()) return std::unexpected(QStringLiteral("error: ") + a + QStringLiteral(" の値がありません。"));
            auto known = takeValue(r, a, args[i + 1], withPng);
            if (!known) return std::unexpected(known.error());
            if (!*known) return std::unexpected(QStringLiteral("error: 不明なオプション ") + a);
            ++i;
            continue;
        }
        if (haveCode) return std::unexpected(QStringLiteral("error: 銘柄コードは一つだけ指定してください。"));
        const auto code = codeFromInput(a);
        if (!code) return std::unexpected(QStringLiteral("error: 銘柄コード は 1 から 9999 までの数か、英字を含む 4 文字のコード（130A など）です。"));
        r.code = *code;
        haveCode = true;
    }
    if (!haveCode) return std::unexpected(QStringLiteral("error: 銘柄コードを指定してください。"));
    if (withPng && r.png.isEmpty()) return std::unexpected(QStringLiteral("error: --png FILE を指定してください。"));
    return r;
}

int chartCommand(const CliOptions &o, const QString &exeDir)
{
    auto r = parseChartArgs(o.args, true);
    if (!r) {
        printErr(r.error() + QLatin1Char('\n') + chartUsage());
        return 2;
    }
    CliSession s(o);
    if (!s.open(exeDir, CliSession::Access::Read)) return 1;
    prepare(s, *r);
    State &st = s.st;
    if (r->raw) st.sites.AdjustPrices = false;
    if (r->indicator >= 0) st.IndicatorSel = int16_t(r->indicator);
    if (r->axis >= 0) st.AxisMode = int16_t(r->axis);
    if (r->bars > 0) st.DispBars = int16_t(r->bars);
    st.NikkeiOverlay = r->overlay;
    // A stock without bars is reported rather than drawn as an empty frame.
    KDOPN(st, s.sv, 1);
    if (st.BarCount == 0) {
        printErr(QStringLiteral("error: ") + s.shell.messages().trimmed());
        return 1;
    }
    QImage image(r->width, r->height, QImage::Format_RGB32);
    QPainter painter(&image);
    Chart chart(st, s.sv);
    {
        QtChartCanvas canvas(painter, QSizeF(image.size()));
        chart.setCanvas(&canvas);
        chart.chart(11);
        chart.setCanvas(nullptr);
    }
    painter.end();
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG") || !saveBytes(r->png, png)) {
        printErr(QStringLiteral("error: ") + r->png + QStringLiteral(" に書き込めません。"));
        return 1;
    }
    printErr(QStringLiteral("info: ") + chart.texts().status);
    return 0;
}

int exportCommand(const CliOptions &o, const QString &exeDir)
{
    auto r = parseChartArgs(o.args, false);
    if (!r) {
        printErr(r.error() + QLatin1Char('\n') + chartUsage());
        return 2;
    }
    CliSession s(o);
    if (!s.open(exeDir, CliSession::Access::Read)) return 1;
    State &st = s.st;
    if (r->raw) st.sites.AdjustPrices = false;
    st.CurPeriod = int16_t(r->period);
    st.CurCode = r->code;
    KDOPN(st, s.sv, kMaxDispBars);
    if (st.BarCount == 0) {
        printErr(QStringLiteral("error: ") + s.shell.messages().trimmed());
        return 1;
    }
    std::fputs("position,date,open,high,low,close,volume,rsi1,rsi2,rci1,rci2,kairi1,kairi2,psyc1,psyc2\n", stdout);
    const int loaded = std::min<int>(st.BarCount, kMaxDispBars);
    for (int p = 0; p < loaded; ++p) {
        const size_t e = size_t(p + 1);
        const auto s16 = int16_t(p);
        QString line = QString::number(p) + ',' + LngStr(st.BarDate[e]) + ',' + singleText(st.BarOpen[e]) + ',' +
                       singleText(st.BarHigh[e]) + ',' + singleText(st.BarLow[e]) + ',' + singleText(st.BarClose[e]) +
                       ',' + doubleText(st.BarVolume[e]);
        for (float v : {calcRSI(st, st.RsiPeriod1, s16), calcRSI(st, st.RsiPeriod2, s16), calcRCI(st, st.RciPeriod1, s16),
                        calcRCI(st, st.RciPeriod2, s16), calcKAIRI(st, st.MaWidth1, s16),
                        calcKAIRI(st, st.MaWidth2, s16), calcPSYC(st, st.PsyPeriod1, s16),
                        calcPSYC(st, st.PsyPeriod2, s16)})
            line += ',' + singleText(v);
        std::fputs((line + '\n').toUtf8().constData(), stdout);
    }
    return 0;
}

} // namespace velor
