#include "realtime/AlertHistory.h"

#include "common/Cp932.h"
#include "common/NumText.h"
#include "common/StockCode.h"
#include "common/TextFile.h"
#include "common/Utils.h"
#include "db/State.h"

#include <QFileInfo>
#include <algorithm>
#include <cmath>

namespace velor {

namespace {

constexpr qint64 kMaxLogBytes = qint64(4) << 20;
const QString kStamp = QStringLiteral("yyyy-MM-dd HH:mm");

std::optional<FiredAlert> parseLine(const QString &line)
{
    const QStringList f = line.split(QLatin1Char(','));
    if (f.size() < 6) return std::nullopt;
    FiredAlert a;
    a.at = QDateTime::fromString(f[0].trimmed(), kStamp);
    const auto code = codeFromText(QStringView(f[1].trimmed()));
    bool okLevel = false, okPrice = false;
    a.hit.level = f[4].trimmed().toFloat(&okLevel);
    a.hit.price = f[5].trimmed().toFloat(&okPrice);
    const QString side = f[3].trimmed();
    if (!a.at.isValid() || !code || !okLevel || !okPrice || !std::isfinite(a.hit.level) || !std::isfinite(a.hit.price) ||
        (side != QStringLiteral("以上") && side != QStringLiteral("以下")))
        return std::nullopt;
    a.hit.code = *code;
    a.hit.above = side == QStringLiteral("以上");
    return a;
}

} // namespace

QString alertLogPath(const State &st) { return pathIn(st.ProgramDir, QStringLiteral("alertlog.dat")); }

std::expected<AlertHistory, QString> AlertHistory::load(const QString &path)
{
    AlertHistory out;
    if (!QFileInfo::exists(path)) return out;
    auto bytes = readBytes(path, kMaxLogBytes);
    if (!bytes) return std::unexpected(bytes.error());
    for (const QByteArray &raw : splitLines(withoutByteOrderMark(*bytes)))
        if (auto a = parseLine(fromCp932(raw))) out.add(*a);
    return out;
}

void AlertHistory::add(const FiredAlert &a)
{
    // Kept in time order, whatever order the lines came in.
    const auto at = std::upper_bound(m_fired.begin(), m_fired.end(), a.at,
                                     [](const QDateTime &t, const FiredAlert &f) { return t < f.at; });
    m_fired.insert(at, a);
}

QByteArray AlertHistory::bytes(const State &st) const
{
    const QDate newest = m_fired.empty() ? QDate() : m_fired.back().at.date();
    QByteArray out;
    for (size_t i = 0; i < m_fired.size(); ++i) {
        const FiredAlert &a = m_fired[i];
        // Of an earlier day only the last of each stock and side is kept.
        const bool later = a.at.date() != newest &&
                           std::any_of(m_fired.begin() + std::ptrdiff_t(i) + 1, m_fired.end(), [&](const FiredAlert &b) {
                               return b.hit.code == a.hit.code && b.hit.above == a.hit.above;
                           });
        if (later) continue;
        const QString line = a.at.toString(kStamp) + QLatin1Char(',') + codeText(a.hit.code) + QLatin1Char(',') +
                             shortName(st, a.hit.code) + QLatin1Char(',') +
                             (a.hit.above ? QStringLiteral("以上") : QStringLiteral("以下")) + QLatin1Char(',') +
                             singleText(a.hit.level) + QLatin1Char(',') + singleText(a.hit.price);
        out += toCp932(line) + "\r\n";
    }
    return out;
}

std::vector<FiredAlert> AlertHistory::ofDay(const QDate &day) const
{
    std::vector<FiredAlert> out;
    for (auto it = m_fired.rbegin(); it != m_fired.rend(); ++it)
        if (it->at.date() == day) out.push_back(*it);
    return out;
}

std::optional<QDateTime> AlertHistory::lastFired(int code) const
{
    for (auto it = m_fired.rbegin(); it != m_fired.rend(); ++it)
        if (it->hit.code == code) return it->at;
    return std::nullopt;
}

QString firedAlertRow(const State &st, const FiredAlert &a)
{
    return a.at.toString(QStringLiteral("H:mm")) + QStringLiteral("  ") + priceHitText(st, a.hit);
}

std::expected<void, QString> recordFired(const State &st, const std::vector<PriceHit> &hits, const QDateTime &at)
{
    if (hits.empty()) return {};
    auto history = AlertHistory::load(alertLogPath(st));
    // A log that cannot be read is not written over with less than it held.
    if (!history) return std::unexpected(history.error());
    for (const PriceHit &h : hits) history->add({at, h});
    return saveBytes(alertLogPath(st), history->bytes(st));
}

} // namespace velor
