#include "realtime/AlertCenter.h"

#include "common/TextFile.h"
#include "common/Utils.h"
#include "db/Services.h"
#include "db/State.h"
#include "realtime/SurgeMonitor.h"

namespace velor {

PriceAlerts &AlertCenter::prices()
{
    if (!m_prices) (void)reload();
    return *m_prices;
}

std::expected<void, QString> AlertCenter::reload()
{
    auto loaded = PriceAlerts::load(alertsPath(m_st));
    if (!loaded) {
        m_prices = PriceAlerts{};
        m_loadError = loaded.error();
        return std::unexpected(m_loadError);
    }
    m_prices = std::move(*loaded);
    m_loadError.clear();
    return {};
}

std::expected<void, QString> AlertCenter::save()
{
    PriceAlerts &p = prices();
    // What could not be read is not replaced by what little was understood of it.
    if (!m_loadError.isEmpty()) return std::unexpected(m_loadError);
    auto saved = saveBytes(alertsPath(m_st), p.bytes(m_st));
    if (saved) p.markSaved();
    return saved;
}

std::vector<RaisedAlert> AlertCenter::checkPrices(const std::vector<PagePrice> &read)
{
    std::vector<RaisedAlert> out;
    PriceAlerts &p = prices();
    if (p.alerts().empty()) return out;
    for (const auto &[code, price] : read)
        for (const PriceHit &hit : p.check(code, price)) {
            const QString text = priceHitText(m_st, hit);
            out.push_back({Notice{QStringLiteral("株価アラート"), text, hit.code}, {text}, true, hit});
        }
    return out;
}

std::optional<RaisedAlert> AlertCenter::monitorAlert(const QDate &day, const std::vector<MonitorEntry> &tops)
{
    const std::vector<MonitorEntry> fresh = m_monitor.newEntries(day, tops);
    if (fresh.empty()) return std::nullopt;
    RaisedAlert a{monitorNotice(fresh), {}, false};
    for (const MonitorEntry &e : fresh) a.lines << monitorEntryText(e);
    return a;
}

std::vector<RaisedAlert> AlertCenter::monitorPass(const SurgeMonitor &monitor, const QDate &day, bool notifyOn)
{
    std::vector<RaisedAlert> out;
    if (notifyOn)
        if (auto a = monitorAlert(day, monitorTops(monitor, m_st))) out.push_back(std::move(*a));
    for (RaisedAlert &a : checkPrices(monitor.pagePrices())) out.push_back(std::move(a));
    return out;
}

std::vector<PriceHit> hitsOf(const std::vector<RaisedAlert> &alerts)
{
    std::vector<PriceHit> out;
    for (const RaisedAlert &a : alerts)
        if (a.hit) out.push_back(*a.hit);
    return out;
}

QString alertSoundPath(const State &st)
{
    for (const char *name : {"ALERT.wav", "DONE.wav"}) {
        const QString path = pathIn(st.ProgramDir, QLatin1String(name));
        if (FileExist(path)) return path;
    }
    return {};
}

bool AlertDelivery::deliver(const RaisedAlert &alert)
{
    const bool taken = m_notifier.notify(alert.notice);
    if (alert.price || !taken) {
        const QString time = m_sv.clock.now().time().toString(QStringLiteral("H:mm"));
        QString block;
        for (const QString &line : alert.lines) block += time + QStringLiteral(" アラート: ") + line + QStringLiteral("\r\n");
        m_sv.shell.prependMessage(block);
    }
    if (!taken) {
        const QString sound = alertSoundPath(m_st);
        if (sound.isEmpty()) m_sv.sound.beep();
        else m_sv.sound.playWave(sound);
    }
    return taken;
}

} // namespace velor
