#include "db/Sites.h"

#include "common/TextFile.h"

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
        if (key == QLatin1String("AdjustPrices")) {
            s.AdjustPrices = value != QLatin1String("0");
            continue;
        }
        if (key == QLatin1String("Crosshair")) {
            s.Crosshair = value != QLatin1String("0");
            continue;
        }
        if (key == QLatin1String("SplitListUrl")) {
            s.SplitListUrl = value;
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

std::expected<void, QString> setSitesKey(const QString &path, const QString &key, const QString &value)
{
    QByteArray old;
    if (QFile::exists(path)) {
        auto r = readBytes(path, 1 << 20);
        if (!r) return std::unexpected(r.error());
        old = *r;
    }
    const QByteArray cr = old.isEmpty() || old.contains("\r\n") ? "\r" : "";
    const QByteArray wanted = key.toUtf8() + '=' + value.toUtf8();
    QList<QByteArray> lines = old.split('\n');
    if (!lines.isEmpty() && lines.back().isEmpty()) lines.removeLast();
    const auto isHeader = [](const QByteArray &l) { return l.trimmed().startsWith('['); };
    qsizetype section = -1;
    for (qsizetype i = 0; i < lines.size() && section < 0; ++i)
        if (lines[i].trimmed().toLower() == "[sites]") section = i;
    if (section < 0) {
        lines << "[sites]" + cr << wanted + cr;
    } else {
        qsizetype end = section + 1;
        for (; end < lines.size() && !isHeader(lines[end]); ++end) {
            const QByteArray t = lines[end].trimmed();
            const qsizetype eq = t.indexOf('=');
            if (eq > 0 && !t.startsWith(';') && !t.startsWith('#') && t.left(eq).trimmed() == key.toUtf8()) {
                lines[end] = wanted + (lines[end].endsWith('\r') ? "\r" : "");
                return saveBytes(path, lines.join('\n') + '\n');
            }
        }
        lines.insert(end, wanted + cr);
    }
    return saveBytes(path, lines.join('\n') + '\n');
}

} // namespace velor
