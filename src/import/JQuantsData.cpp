#include "import/JQuantsData.h"

#include "common/NumText.h"
#include "common/StockCode.h"

#include <QJsonObject>
#include <QJsonValue>

#include <algorithm>
#include <cmath>
#include <charconv>
#include <map>
#include <tuple>

namespace velor::jq {

std::optional<int> programCode(QStringView apiCode)
{
    if (apiCode.size() != 5 || apiCode[4] != u'0') return std::nullopt;
    return codeFromText(apiCode.left(4));
}

QString apiCode(int code) { return codeText(code) + u'0'; }

int16_t sectionOfMarket(QStringView mkt)
{
    if (mkt == u"0111") return 1;
    if (mkt == u"0112") return 2;
    if (mkt == u"0113") return 3;
    return 4;
}

std::pair<QString, QString> marketOfSection(int section)
{
    switch (section) {
    case 1: return {QStringLiteral("0111"), QStringLiteral("プライム")};
    case 2: return {QStringLiteral("0112"), QStringLiteral("スタンダード")};
    case 3: return {QStringLiteral("0113"), QStringLiteral("グロース")};
    default: return {QStringLiteral("0109"), QStringLiteral("その他")};
    }
}

std::unordered_map<int, MasterRow> masterRows(const QJsonArray &data, int *others)
{
    std::unordered_map<int, MasterRow> out;
    int skipped = 0;
    for (const QJsonValue &v : data) {
        const QJsonObject o = v.toObject();
        const auto code = programCode(o.value(QLatin1String("Code")).toString());
        if (!code || *code < 1301) {
            ++skipped;
            continue;
        }
        out[*code] = {*code, o.value(QLatin1String("CoName")).toString().trimmed(),
                      sectionOfMarket(o.value(QLatin1String("Mkt")).toString()), o.value(QLatin1String("S33")).toString(),
                      o.value(QLatin1String("S17")).toString()};
    }
    if (others) *others = skipped;
    return out;
}

std::optional<std::pair<double, double>> ratioOfFactor(double factor)
{
    if (!(factor > 0) || !std::isfinite(factor)) return std::nullopt;
    // The smallest denominator first, so that 0.5 is 1:2 and not 2:4.
    for (int after = 1; after <= 100; ++after) {
        const double before = std::round(factor * after);
        if (before < 1 || before > 100) continue;
        // The API writes a factor to six decimals (1:3 is 0.333333): nearer than that is the ratio.
        if (std::fabs(before / after - factor) <= 1e-6 * std::max(1.0, factor)) return std::pair{before, double(after)};
    }
    return std::nullopt;
}

int32_t apiDate(QStringView text)
{
    QString digits;
    if (text.size() == 10 && text[4] == u'-' && text[7] == u'-')
        digits = text.left(4).toString() + text.mid(5, 2).toString() + text.mid(8, 2).toString();
    else if (text.size() == 8)
        digits = text.toString();
    else
        return 0;
    bool ok = false;
    const int v = digits.toInt(&ok);
    if (!ok || v < 19000101 || v > 29991231 || (v / 100) % 100 < 1 || (v / 100) % 100 > 12 || v % 100 < 1 || v % 100 > 31)
        return 0;
    return v;
}

namespace {

// A price or volume as the JSON answer gives it; nothing for null, a string or a negative value.
std::optional<double> numberOf(const QJsonValue &v)
{
    if (!v.isDouble()) return std::nullopt;
    const double x = v.toDouble();
    if (!std::isfinite(x) || x < 0) return std::nullopt;
    return x;
}

QByteArray dateText(int32_t date)
{
    return QByteArray::number(date / 10000) + '-' + QByteArray::number((date / 100) % 100).rightJustified(2, '0') + '-' +
           QByteArray::number(date % 100).rightJustified(2, '0');
}

} // namespace

std::vector<BarRow> barRows(const QJsonArray &rows)
{
    std::vector<BarRow> out;
    out.reserve(size_t(rows.size()));
    for (const QJsonValue &v : rows) {
        const QJsonObject o = v.toObject();
        BarRow r;
        const QString date = o.value(QLatin1String("Date")).toString();
        r.date = apiDate(date);
        r.dateText = date.left(20).toUtf8();
        r.code = o.value(QLatin1String("Code")).toString().left(20).toUtf8();
        r.o = numberOf(o.value(QLatin1String("O")));
        r.h = numberOf(o.value(QLatin1String("H")));
        r.l = numberOf(o.value(QLatin1String("L")));
        r.c = numberOf(o.value(QLatin1String("C")));
        const QJsonValue vo = o.value(QLatin1String("Vo"));
        r.volume = numberOf(vo);
        r.volumeUnreadable = !r.volume && !vo.isNull() && !vo.isUndefined();
        if (const QJsonValue f = o.value(QLatin1String("AdjFactor")); f.isDouble()) r.adjFactor = f.toDouble();
        out.push_back(std::move(r));
    }
    return out;
}

std::expected<DayLines, QString> dayLines(int32_t date, const std::vector<BarRow> &rows,
                                          const std::unordered_map<int, MasterRow> &sections,
                                          const std::optional<IndexBar> &index)
{
    DayLines out;
    out.date = date;
    const QByteArray day = dateText(date);
    out.file.reserve(qsizetype(rows.size()) * 48);
    if (index)
        out.file += day + ",1001,0," + index->open + ',' + index->high + ',' + index->low + ',' + index->close + ",0\r\n";
    for (const BarRow &r : rows) {
        if (r.date != date)
            return std::unexpected(QStringLiteral("%1 の株価に別の日付（%2）の行があります。")
                                       .arg(QString::fromLatin1(day), QString::fromUtf8(r.dateText)));
        const std::string_view codeView(r.code.constData(), size_t(r.code.size()));
        const auto code = codeView.size() == 5 && codeView[4] == '0' ? codeFromText(codeView.substr(0, 4)) : std::nullopt;
        if (!code) {
            // A well-formed code of another issue (preferred share …) is left out; anything else
            // means the answer is not what it should be.
            if (codeView.size() == 5 && codeFromText(codeView.substr(0, 4))) {
                ++out.otherIssues;
                continue;
            }
            return std::unexpected(QStringLiteral("%1 の株価に読めない銘柄コード（%2）があります。")
                                       .arg(QString::fromLatin1(day), QString::fromUtf8(r.code)));
        }
        if (*code < 1301) {
            ++out.otherIssues;
            continue;
        }
        if (!r.o || !r.h || !r.l || !r.c) {
            ++out.noTrade;
            continue;
        }
        if (r.volumeUnreadable)
            return std::unexpected(QStringLiteral("%1 の銘柄 %2 の出来高が読めません。").arg(QString::fromLatin1(day), codeText(*code)));
        const auto found = sections.find(*code);
        const int section = found == sections.end() ? 4 : found->second.section;
        // Appended piece by piece: a year of the market is a million lines.
        QByteArray &f = out.file;
        f.append(day).append(',').append(codeBytes(*code)).append(',').append(char('0' + section)).append(',');
        for (const double v : {*r.o, *r.h, *r.l, *r.c}) f.append(doubleBytes(v)).append(',');
        f.append(r.volume ? doubleBytes(*r.volume) : QByteArray("0")).append("\r\n");
        ++out.stocks;
        if (r.adjFactor != 1) {
            if (const auto ratio = ratioOfFactor(r.adjFactor))
                out.splits.push_back({*code, date, ratio->first, ratio->second});
            else
                out.oddFactors.push_back({*code, date, r.adjFactor});
        }
    }
    return out;
}

std::vector<int32_t> tradingDays(const QJsonArray &rows)
{
    std::vector<int32_t> out;
    for (const QJsonValue &v : rows) {
        const QJsonObject o = v.toObject();
        const QString div = o.value(QLatin1String("HolDiv")).toString();
        const int32_t d = apiDate(o.value(QLatin1String("Date")).toString());
        if (d != 0 && (div == QLatin1String("1") || div == QLatin1String("2"))) out.push_back(d);
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

std::unordered_map<int32_t, IndexBar> indexBars(const QJsonArray &rows)
{
    std::unordered_map<int32_t, IndexBar> out;
    for (const QJsonValue &v : rows) {
        const QJsonObject o = v.toObject();
        const int32_t d = apiDate(o.value(QLatin1String("Date")).toString());
        const auto open = numberOf(o.value(QLatin1String("O"))), high = numberOf(o.value(QLatin1String("H"))),
                   low = numberOf(o.value(QLatin1String("L"))), close = numberOf(o.value(QLatin1String("C")));
        if (d != 0 && open && high && low && close) out[d] = {doubleBytes(*open), doubleBytes(*high), doubleBytes(*low), doubleBytes(*close)};
    }
    return out;
}

std::expected<std::vector<std::pair<int32_t, std::vector<BarRow>>>, QString> bulkRows(const QByteArray &csv)
{
    std::vector<std::pair<int32_t, std::vector<BarRow>>> out;
    const auto trimmed = [](QByteArrayView l) { return l.endsWith('\r') ? l.chopped(1) : l; };
    qsizetype at = 0, lineNo = 0;
    const auto nextLine = [&](QByteArrayView &line) {
        if (at >= csv.size()) return false;
        qsizetype end = csv.indexOf('\n', at);
        if (end < 0) end = csv.size();
        line = trimmed(QByteArrayView(csv).sliced(at, end - at));
        at = end + 1;
        ++lineNo;
        return true;
    };
    QByteArrayView headLine;
    if (!nextLine(headLine)) return std::unexpected(QStringLiteral("空です。"));
    const QList<QByteArray> head = headLine.toByteArray().split(',');
    const auto column = [&](const char *name) { return int(head.indexOf(QByteArray(name))); };
    static const char *const kNeeded[] = {"Date", "Code", "O", "H", "L", "C", "Vo"};
    for (const char *name : kNeeded)
        if (column(name) < 0) return std::unexpected(QStringLiteral("1 行目に列 %1 がありません。").arg(QLatin1String(name)));
    const int cDate = column("Date"), cCode = column("Code"), cO = column("O"), cH = column("H"), cL = column("L"),
              cC = column("C"), cVo = column("Vo"), cF = column("AdjFactor");
    std::vector<QByteArrayView> f(head.size());
    // An empty field is null; anything else must be a number.
    const auto number = [&](int c, const char *name, std::optional<double> &v) -> std::optional<QString> {
        if (c < 0 || f[size_t(c)].isEmpty()) return std::nullopt;
        double x = 0;
        const auto [end, ec] = std::from_chars(f[size_t(c)].data(), f[size_t(c)].data() + f[size_t(c)].size(), x);
        if (ec != std::errc() || end != f[size_t(c)].data() + f[size_t(c)].size() || !std::isfinite(x))
            return QStringLiteral("%1 行目の %2 が数ではありません。").arg(lineNo).arg(QLatin1String(name));
        if (x >= 0) v = x;
        return std::nullopt;
    };
    QByteArrayView line;
    while (nextLine(line)) {
        if (line.isEmpty() && at >= csv.size()) break;
        qsizetype field = 0, start = 0;
        for (qsizetype i = 0; i <= line.size(); ++i) {
            if (i < line.size() && line[i] != ',') continue;
            if (field >= qsizetype(f.size())) {
                field = -1;
                break;
            }
            f[size_t(field++)] = line.sliced(start, i - start);
            start = i + 1;
        }
        if (field != qsizetype(f.size())) return std::unexpected(QStringLiteral("%1 行目の項目の数が違います。").arg(lineNo));
        BarRow r;
        r.dateText = f[size_t(cDate)].toByteArray();
        r.date = apiDate(QString::fromLatin1(r.dateText));
        if (r.date == 0) return std::unexpected(QStringLiteral("%1 行目の日付が読めません。").arg(lineNo));
        r.code = f[size_t(cCode)].toByteArray();
        std::optional<double> factor;
        for (const auto &[c, name, slot] : {std::tuple{cO, "O", &r.o}, std::tuple{cH, "H", &r.h}, std::tuple{cL, "L", &r.l},
                                             std::tuple{cC, "C", &r.c}, std::tuple{cVo, "Vo", &r.volume},
                                             std::tuple{cF, "AdjFactor", &factor}})
            if (auto bad = number(c, name, *slot)) return std::unexpected(*bad);
        if (factor) r.adjFactor = *factor;
        if (out.empty() || out.back().first != r.date) {
            const auto it = std::find_if(out.begin(), out.end(), [&](const auto &d) { return d.first == r.date; });
            if (it == out.end()) out.emplace_back(r.date, std::vector<BarRow>{});
            else std::rotate(it, it + 1, out.end());   // the day's rows go on where they were
        }
        out.back().second.push_back(std::move(r));
    }
    std::sort(out.begin(), out.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    return out;
}

} // namespace velor::jq
