#include "realtime/PriceAlerts.h"

#include "common/Cp932.h"
#include "common/NumText.h"
#include "common/TextFile.h"
#include "common/Utils.h"
#include "db/State.h"
#include "lists/ListView.h"

#include <QFileInfo>
#include <algorithm>
#include <cmath>

namespace velor {

namespace {

constexpr qint64 kMaxAlertsFileBytes = qint64(1) << 20;

const QString kAbove = QStringLiteral("以上");
const QString kBelow = QStringLiteral("以下");
const QString kFired = QStringLiteral("済");

// A level as the file holds it: a positive finite price, else none.
float levelOf(const QString &text)
{
    bool ok = false;
    const float v = text.trimmed().toFloat(&ok);
    return ok && std::isfinite(v) && v > 0 ? v : 0.f;
}

// "code,name,以上=X,以下=Y,済=以上": the name and unknown fields are only for the reader.
bool parseLine(const QString &line, PriceAlert &a)
{
    const QStringList fields = line.split(QLatin1Char(','));
    const auto code = codeFromText(QStringView(fields[0].trimmed()));
    if (!code || fields[0].trimmed() != codeText(*code)) return false;
    a = PriceAlert{*code};
    for (qsizetype i = 1; i < fields.size(); ++i) {
        const QString f = fields[i].trimmed();
        const qsizetype eq = f.indexOf(QLatin1Char('='));
        if (eq < 0) continue;
        const QString key = f.left(eq).trimmed(), value = f.mid(eq + 1).trimmed();
        if (key == kAbove) a.above = levelOf(value);
        else if (key == kBelow) a.below = levelOf(value);
        else if (key == kFired && value == kAbove) a.firedAbove = true;
        else if (key == kFired && value == kBelow) a.firedBelow = true;
    }
    a.firedAbove = a.firedAbove && a.above > 0;
    a.firedBelow = a.firedBelow && a.below > 0;
    return a.above > 0 || a.below > 0;
}

} // namespace

QString alertsPath(const State &st) { return pathIn(st.ProgramDir, QStringLiteral("alerts.dat")); }

QString shortName(const State &st, int code) { return st.nameOf(code).trimmed(); }

std::expected<PriceAlerts, QString> PriceAlerts::load(const QString &path)
{
    PriceAlerts out;
    if (!QFileInfo::exists(path)) return out;
    auto bytes = readBytes(path, kMaxAlertsFileBytes);
    if (!bytes) return std::unexpected(bytes.error());
    for (const QByteArray &raw : splitLines(withoutByteOrderMark(*bytes))) {
        const QString line = fromCp932(raw);
        PriceAlert a;
        if (!parseLine(line, a)) {
            if (!raw.trimmed().isEmpty()) out.m_otherLines << raw;   // kept byte for byte, even where CP932 has no character
            continue;
        }
        // A stock written twice by hand: the later line holds.
        out.clear(a.code);
        out.m_alerts.push_back(a);
    }
    return out;
}

QByteArray PriceAlerts::bytes(const State &st) const
{
    QByteArray out;
    for (const PriceAlert &a : m_alerts) out += toCp932(alertLine(st, a)) + "\r\n";
    for (const QByteArray &l : m_otherLines) out += l + "\r\n";
    return out;
}

const PriceAlert *PriceAlerts::find(int code) const
{
    const auto it = std::find_if(m_alerts.begin(), m_alerts.end(), [code](const PriceAlert &a) { return a.code == code; });
    return it == m_alerts.end() ? nullptr : &*it;
}

void PriceAlerts::set(int code, float above, float below)
{
    const PriceAlert fresh{code, std::max(above, 0.f), std::max(below, 0.f)};
    for (PriceAlert &a : m_alerts)
        if (a.code == code) {
            a = fresh;
            return;
        }
    m_alerts.push_back(fresh);
}

bool PriceAlerts::clear(int code)
{
    const auto n = std::erase_if(m_alerts, [code](const PriceAlert &a) { return a.code == code; });
    return n > 0;
}

std::vector<PriceHit> PriceAlerts::check(int code, float price)
{
    std::vector<PriceHit> hits;
    if (!(price > 0) || !std::isfinite(price)) return hits;
    for (PriceAlert &a : m_alerts) {
        if (a.code != code) continue;
        // Each level fires once, then only after the price has been back on the other side.
        const auto step = [&](float level, bool beyond, bool &fired, bool above) {
            if (level <= 0) return;
            if (beyond && !fired) hits.push_back({code, price, level, above});
            if (beyond != fired) m_changed = true;
            fired = beyond;
        };
        step(a.above, price >= a.above, a.firedAbove, true);
        step(a.below, price <= a.below, a.firedBelow, false);
    }
    return hits;
}

std::optional<float> parseLevel(const QString &text)
{
    const QString t = text.trimmed();
    if (t.isEmpty()) return 0.f;
    bool ok = false;
    const double v = t.toDouble(&ok);
    if (!ok || !std::isfinite(v) || v <= 0 || v > 1e9) return std::nullopt;
    return float(v);
}

QString levelsProblem(float above, float below)
{
    if (above <= 0 && below <= 0) return QStringLiteral("以上か以下の価格を入れてください。");
    if (above > 0 && below > 0 && below >= above) return QStringLiteral("以下の価格は以上の価格より小さくしてください。");
    return {};
}

QString alertLine(const State &st, const PriceAlert &a)
{
    QString line = codeText(a.code) + QLatin1Char(',') + shortName(st, a.code);
    if (a.above > 0) line += QLatin1Char(',') + kAbove + QLatin1Char('=') + singleText(a.above);
    if (a.below > 0) line += QLatin1Char(',') + kBelow + QLatin1Char('=') + singleText(a.below);
    if (a.firedAbove) line += QLatin1Char(',') + kFired + QLatin1Char('=') + kAbove;
    if (a.firedBelow) line += QLatin1Char(',') + kFired + QLatin1Char('=') + kBelow;
    return line;
}

QString priceHitText(const State &st, const PriceHit &hit)
{
    return codeText(hit.code) + QLatin1Char(' ') + shortName(st, hit.code) + QLatin1Char(' ') +
           singleText(hit.price) + QStringLiteral(" が ") + singleText(hit.level) + QLatin1Char(' ') +
           (hit.above ? kAbove : kBelow) + QStringLiteral("になりました");
}

} // namespace velor
