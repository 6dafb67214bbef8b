#include "db/Sites.h"

#include <QFile>

namespace velor {

Sites readSites(const QString &path)
{
    Sites s;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return s;
    const QString text = QString::fromUtf8(f.read(1 << 20));
    bool inSites = false;
    for (QString line : text.split('\n')) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(';') || line.startsWith('#')) continue;
        if (line.startsWith('[')) { inSites = line.compare(QStringLiteral("[sites]"), Qt::CaseInsensitive) == 0; continue; }
        if (!inSites) continue;
        const int eq = int(line.indexOf('='));
        if (eq <= 0) continue;
        const QString key = line.left(eq).trimmed();
        QString value = line.mid(eq + 1).trimmed();
        if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"')) value = value.mid(1, value.size() - 2);
        if (key == QLatin1String("FetchTimeoutSeconds")) {
            bool ok = false;
            const int v = value.toInt(&ok);
            if (ok && v > 0 && v <= 600) s.FetchTimeoutSeconds = v;
            continue;
        }
        if (key == QLatin1String("MaxConnections")) {
            bool ok = false;
            const int v = value.toInt(&ok);
            if (ok && v >= 1 && v <= 32) s.MaxConnections = v;
            continue;
        }
        QString *slot = nullptr;
        if (key == QLatin1String("DataSiteUrl")) slot = &s.DataSiteUrl;
        else if (key == QLatin1String("QuoteUrl")) slot = &s.QuoteUrl;
        else if (key == QLatin1String("FuturesUrl")) slot = &s.FuturesUrl;
        else if (key == QLatin1String("TargetPriceUrl")) slot = &s.TargetPriceUrl;
        else if (key == QLatin1String("StockDetailUrl")) slot = &s.StockDetailUrl;
        else if (key == QLatin1String("BrokerQuoteUrl")) slot = &s.BrokerQuoteUrl;
        else if (key == QLatin1String("AnalysisUrl")) slot = &s.AnalysisUrl;
        else if (key == QLatin1String("CompanyUrl")) slot = &s.CompanyUrl;
        else if (key == QLatin1String("WorldIndexUrl")) slot = &s.WorldIndexUrl;
        else if (key == QLatin1String("HomePageUrl")) slot = &s.HomePageUrl;
        if (slot && !value.isEmpty()) *slot = value;
    }
    return s;
}

} // namespace velor
