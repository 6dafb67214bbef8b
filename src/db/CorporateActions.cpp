#include "db/CorporateActions.h"

#include "common/NumText.h"
#include "common/StockCode.h"
#include "common/TextFile.h"

#include <QDate>
#include <QFileInfo>
#include <algorithm>
#include <cmath>

namespace velor {

namespace {

std::optional<double> positive(QStringView t)
{
    bool ok = false;
    const double v = t.trimmed().toDouble(&ok);
    return ok && std::isfinite(v) && v > 0 && v < 1e6 ? std::optional<double>(v) : std::nullopt;
}

std::optional<CorporateAction> parseLine(const QByteArray &line)
{
    const QList<QByteArray> f = line.split(',');
    if (f.size() != 3) return std::nullopt;
    const auto code = codeFromText(std::string_view(f[0].trimmed().constData(), size_t(f[0].trimmed().size())));
    const QByteArray d = f[1].trimmed();
    bool ok = d.size() == 8;
    const int date = ok ? d.toInt(&ok) : 0;
    const auto ratio = parseRatio(QString::fromLatin1(f[2]));
    if (!code || !ok || !QDate(date / 10000, date / 100 % 100, date % 100).isValid() || !ratio) return std::nullopt;
    return CorporateAction{*code, date, ratio->first, ratio->second};
}

bool actionLess(const CorporateAction &a, const CorporateAction &b)
{
    if (a.code != b.code) return codeLess(a.code, b.code);
    return a.exDate < b.exDate;
}

int32_t ymd(const QDate &d) { return d.year() * 10000 + d.month() * 100 + d.day(); }

// The first day of the week (Monday) or month that holds a date.
int32_t periodStart(int section, int32_t date)
{
    const QDate d(date / 10000, date / 100 % 100, date % 100);
    if (!d.isValid()) return date;
    return section == 1 ? ymd(d.addDays(1 - d.dayOfWeek())) : date / 100 * 100 + 1;
}

void scale(Bar &b, double f)
{
    b.open = float(b.open * f), b.high = float(b.high * f), b.low = float(b.low * f), b.close = float(b.close * f);
    b.volume = std::round(b.volume / f);
}

} // namespace

std::optional<std::pair<double, double>> parseRatio(QStringView text)
{
    const qsizetype colon = text.indexOf(u':');
    if (colon < 0) return std::nullopt;
    const auto a = positive(text.left(colon)), b = positive(text.mid(colon + 1));
    if (!a || !b) return std::nullopt;
    return std::pair{*a, *b};
}

QString ratioText(const CorporateAction &a) { return doubleText(a.before) + QLatin1Char(':') + doubleText(a.after); }

QString actionLine(const CorporateAction &a)
{
    return codeText(a.code) + QLatin1Char(',') + QString::number(a.exDate) + QLatin1Char(',') + ratioText(a);
}

std::expected<void, QString> CorporateActions::load(const QString &path)
{
    m_all.clear();
    m_kept.clear();
    if (QFileInfo::exists(path)) {
        auto bytes = readBytes(path, qint64(16) << 20);
        if (!bytes) return std::unexpected(bytes.error());
        parse(*bytes);
    } else {
        index();
    }
    return {};
}

void CorporateActions::parse(const QByteArray &bytes)
{
    m_all.clear();
    m_kept.clear();
    for (const QByteArray &line : splitLines(withoutByteOrderMark(bytes))) {
        if (line.trimmed().isEmpty()) continue;
        if (auto a = parseLine(line)) m_all.push_back(*a);
        else m_kept.push_back(line);
    }
    std::stable_sort(m_all.begin(), m_all.end(), actionLess);
    index();
}

void CorporateActions::index()
{
    m_byCode.clear();
    for (const auto &a : m_all) m_byCode[a.code].push_back(a);
}

std::span<const CorporateAction> CorporateActions::of(int code) const
{
    const auto it = m_byCode.find(code);
    return it == m_byCode.end() ? std::span<const CorporateAction>() : std::span<const CorporateAction>(it->second);
}

bool CorporateActions::add(const CorporateAction &a)
{
    if (std::any_of(m_all.begin(), m_all.end(), [&a](const auto &b) { return b.code == a.code && b.exDate == a.exDate; }))
        return false;
    m_all.insert(std::upper_bound(m_all.begin(), m_all.end(), a, actionLess), a);
    index();
    return true;
}

bool CorporateActions::remove(int code, int32_t exDate)
{
    const auto it = std::find_if(m_all.begin(), m_all.end(), [&](const auto &b) { return b.code == code && b.exDate == exDate; });
    if (it == m_all.end()) return false;
    m_all.erase(it);
    index();
    return true;
}

QByteArray CorporateActions::bytes() const
{
    QByteArray out;
    for (const auto &a : m_all) out += actionLine(a).toLatin1() + "\r\n";
    for (const QByteArray &line : m_kept) out += line + "\r\n";
    return out;
}

QString actionsPath(const QString &dataDir) { return dataDir + QStringLiteral("split.dat"); }

double priceFactorOn(std::span<const CorporateAction> actions, int32_t date)
{
    double f = 1;
    for (const auto &a : actions)
        if (a.exDate > date) f *= a.priceFactor();
    return f;
}

void adjustBars(std::vector<Bar> &bars, int section, std::span<const CorporateAction> actions, const std::vector<Bar> &daily,
                bool dailyComplete)
{
    if (actions.empty()) return;
    std::vector<Bar> adjustedDaily;
    if (section != 0) {
        adjustedDaily = daily;
        adjustBars(adjustedDaily, 0, actions);
    }
    const int32_t oldestDaily = daily.empty() ? 0 : daily.back().date;
    for (Bar &b : bars) {
        if (b.date <= 0) continue;
        const int32_t start = section == 0 ? b.date : periodStart(section, b.date);
        const bool holds = section != 0 && std::any_of(actions.begin(), actions.end(), [&](const auto &a) {
            return a.exDate > start && a.exDate <= b.date;
        });
        if (!holds) {
            scale(b, priceFactorOn(actions, b.date));
            continue;
        }
        // The bar that holds an ex-date, from its adjusted days, where the daily bars reach back
        // to its start; else scaled as its last day is.
        const bool reaches = dailyComplete || (oldestDaily > 0 && oldestDaily < start);
        std::vector<const Bar *> days;
        for (auto it = adjustedDaily.rbegin(); it != adjustedDaily.rend(); ++it)
            if (it->date >= start && it->date <= b.date) days.push_back(&*it);
        if (!reaches || days.empty()) {
            scale(b, priceFactorOn(actions, b.date));
            continue;
        }
        Bar out{b.date, 0, 0, 0, days.back()->close, 0};
        bool traded = false;
        for (const Bar *d : days) {
            out.volume += d->volume;
            if (d->volume <= 0) continue;   // a day without trades adds no open, high or low
            if (!traded) out.open = d->open, out.high = d->high, out.low = d->low;
            out.high = std::max(out.high, d->high), out.low = std::min(out.low, d->low);
            traded = true;
        }
        if (!traded) out.open = out.high = out.low = out.close;
        b = out;
    }
}

double dailyPriceLimit(double c)
{
    // Upper bounds of previous close (exclusive) and the limit that applies below each.
    static const double table[][2] = {{100, 30},       {200, 50},       {500, 80},       {700, 100},
                                      {1000, 150},     {1500, 300},     {2000, 400},     {3000, 500},
                                      {5000, 700},     {7000, 1000},    {10000, 1500},   {15000, 3000},
                                      {20000, 4000},   {30000, 5000},   {50000, 7000},   {70000, 10000},
                                      {100000, 15000}, {150000, 30000}, {200000, 40000}, {300000, 50000},
                                      {500000, 70000}, {700000, 100000}, {1000000, 150000}};
    for (const auto &row : table)
        if (c < row[0]) return row[1];
    return 300000;
}

std::optional<std::pair<double, double>> suggestedRatio(double previousClose, double close)
{
    if (!(previousClose > 0) || !(close > 0)) return std::nullopt;
    if (std::abs(close - previousClose) <= dailyPriceLimit(previousClose)) return std::nullopt;
    const double q = previousClose / close;   // new shares per old share
    // The first day moves too, within the price limit of the adjusted close: the nearest simple
    // ratio within that move (and within 30 %) is the one.
    std::optional<std::pair<double, double>> best;
    double bestDistance = 1e9;
    for (const double r : {2.0, 3.0, 4.0, 5.0, 10.0, 25.0, 100.0})
        for (const bool split : {true, false}) {
            const double adjusted = split ? previousClose / r : previousClose * r;
            const double tolerance = std::min(0.3, 0.05 + dailyPriceLimit(adjusted) / adjusted);
            const double distance = std::abs(std::log(split ? q / r : q * r));
            if (distance <= std::log1p(tolerance) && distance < bestDistance)
                bestDistance = distance, best = split ? std::pair{1.0, r} : std::pair{r, 1.0};
        }
    if (best) return best;
    return std::nullopt;
}

} // namespace velor
