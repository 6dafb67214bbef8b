#include "import/JQuantsData.h"

#include "common/NumText.h"
#include "common/StockCode.h"

#include <QJsonObject>
#include <QJsonValue>

#include <algorithm>
#include <cmath>
#include <map>

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

// A price or volume as the daily file writes it; nothing for null, a string or a negative value.
std::optional<QByteArray> numberText(const QJsonValue &v)
{
    if (!v.isDouble()) return std::nullopt;
    const double x = v.toDouble();
    if (!std::isfinite(x) || x < 0) return std::nullopt;
    return doubleBytes(x);
}

QByteArray dateText(int32_t date)
{
    return QByteArray::number(date / 10000) + '-' + QByteArray::number((date / 100) % 100).rightJustified(2, '0') + '-' +
           QByteArray::number(date % 100).rightJustified(2, '0');
}

} // namespace

std::expected<DayLines, QString> dayLines(int32_t date, const QJsonArray &rows,
                                          const std::unordered_map<int, MasterRow> &sections,
                                          const std::optional<IndexBar> &index)
{
    DayLines out;
    out.date = date;
    const QByteArray day = dateText(date);
    if (index)
        out.file += day + ",1001,0," + index->open + ',' + index->high + ',' + index->low + ',' + index->close + ",0\r\n";
    for (const QJsonValue &v : rows) {
        const QJsonObject o = v.toObject();
        const QString codeField = o.value(QLatin1String("Code")).toString();
        if (apiDate(o.value(QLatin1String("Date")).toString()) != date)
            return std::unexpected(QStringLiteral("%1 の株価に別の日付（%2）の行があります。")
                                       .arg(QString::fromLatin1(day), o.value(QLatin1String("Date")).toString().left(20)));
        const auto code = programCode(codeField);
        if (!code) {
            // A well-formed code of another issue (preferred share …) is left out; anything else
            // means the answer is not what it should be.
            if (codeField.size() == 5 && codeFromText(QStringView(codeField).left(4))) {
                ++out.otherIssues;
                continue;
            }
            return std::unexpected(QStringLiteral("%1 の株価に読めない銘柄コード（%2）があります。")
                                       .arg(QString::fromLatin1(day), codeField.left(20)));
        }
        if (*code < 1301) {
            ++out.otherIssues;
            continue;
        }
        const auto open = numberText(o.value(QLatin1String("O"))), high = numberText(o.value(QLatin1String("H"))),
                   low = numberText(o.value(QLatin1String("L"))), close = numberText(o.value(QLatin1String("C")));
        if (!open || !high || !low || !close) {
            ++out.noTrade;
            continue;
        }
        const QJsonValue vo = o.value(QLatin1String("Vo"));
        const auto volume = vo.isNull() || vo.isUndefined() ? std::optional<QByteArray>("0") : numberText(vo);
        if (!volume)
            return std::unexpected(QStringLiteral("%1 の銘柄 %2 の出来高が読めません。").arg(QString::fromLatin1(day), codeText(*code)));
        const auto found = sections.find(*code);
        const int section = found == sections.end() ? 4 : found->second.section;
        out.file += day + ',' + codeBytes(*code) + ',' + QByteArray::number(section) + ',' + *open + ',' + *high + ',' + *low +
                    ',' + *close + ',' + *volume + "\r\n";
        ++out.stocks;
        const QJsonValue f = o.value(QLatin1String("AdjFactor"));
        if (f.isDouble() && f.toDouble() != 1) {
            if (const auto ratio = ratioOfFactor(f.toDouble()))
                out.splits.push_back({*code, date, ratio->first, ratio->second});
            else
                out.oddFactors.push_back({*code, date, f.toDouble()});
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
        const auto open = numberText(o.value(QLatin1String("O"))), high = numberText(o.value(QLatin1String("H"))),
                   low = numberText(o.value(QLatin1String("L"))), close = numberText(o.value(QLatin1String("C")));
        if (d != 0 && open && high && low && close) out[d] = {*open, *high, *low, *close};
    }
    return out;
}

std::expected<std::vector<std::pair<int32_t, QJsonArray>>, QString> bulkRows(const QByteArray &csv)
{
    QList<QByteArray> lines = csv.split('\n');
    if (!lines.isEmpty() && lines.back().isEmpty()) lines.removeLast();
    if (lines.isEmpty()) return std::unexpected(QStringLiteral("空です。"));
    const auto trimmed = [](QByteArray l) { return l.endsWith('\r') ? l.chopped(1) : l; };
    const QList<QByteArray> head = trimmed(lines[0]).split(',');
    const auto column = [&](const char *name) { return int(head.indexOf(QByteArray(name))); };
    static const char *const kNeeded[] = {"Date", "Code", "O", "H", "L", "C", "Vo"};
    for (const char *name : kNeeded)
        if (column(name) < 0) return std::unexpected(QStringLiteral("1 行目に列 %1 がありません。").arg(QLatin1String(name)));
    static const char *const kNumbers[] = {"O", "H", "L", "C", "Vo", "AdjFactor"};
    std::map<int32_t, QJsonArray> byDate;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QList<QByteArray> f = trimmed(lines[i]).split(',');
        if (f.size() != head.size()) return std::unexpected(QStringLiteral("%1 行目の項目の数が違います。").arg(i + 1));
        const int32_t d = apiDate(QString::fromLatin1(f[column("Date")]));
        if (d == 0) return std::unexpected(QStringLiteral("%1 行目の日付が読めません。").arg(i + 1));
        QJsonObject o;
        o.insert(QLatin1String("Date"), QString::fromLatin1(f[column("Date")]));
        o.insert(QLatin1String("Code"), QString::fromLatin1(f[column("Code")]));
        for (const char *name : kNumbers) {
            const int c = column(name);
            if (c < 0) continue;
            if (f[c].isEmpty()) {
                o.insert(QLatin1String(name), QJsonValue::Null);
                continue;
            }
            bool ok = false;
            const double x = f[c].toDouble(&ok);
            if (!ok) return std::unexpected(QStringLiteral("%1 行目の %2 が数ではありません。").arg(i + 1).arg(QLatin1String(name)));
            o.insert(QLatin1String(name), x);
        }
        byDate[d].append(o);
    }
    std::vector<std::pair<int32_t, QJsonArray>> out;
    for (auto &[d, rows] : byDate) out.emplace_back(d, std::move(rows));
    return out;
}

} // namespace velor::jq
