#include "db/Sites.h"

#include "common/TextFile.h"

#include <QFile>
#include <QFileInfo>

namespace velor {

namespace {

// The [sites] lines as key and value, in file order.
QList<std::pair<QString, QString>> readSitesLines(const QString &path)
{
    QList<std::pair<QString, QString>> keys;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return keys;
    const QString text = QString::fromUtf8(f.read(1 << 20));
    bool inSites = false;
    for (QString line : text.split('\n')) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(';') || line.startsWith('#')) continue;
        if (line.startsWith('[')) { inSites = line.compare(QStringLiteral("[sites]"), Qt::CaseInsensitive) == 0; continue; }
        if (!inSites) continue;
        const int eq = int(line.indexOf('='));
        if (eq <= 0) continue;
        QString value = line.mid(eq + 1).trimmed();
        if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"')) value = value.mid(1, value.size() - 2);
        keys.append({line.left(eq).trimmed(), value});
    }
    return keys;
}

} // namespace

QHash<QString, QString> readSitesKeys(const QString &path)
{
    QHash<QString, QString> keys;
    for (const auto &[key, value] : readSitesLines(path)) keys.insert(key, value);
    return keys;
}

Sites readSites(const QString &path)
{
    Sites s;
    for (const auto &[key, value] : readSitesLines(path)) {
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
        if (key == QLatin1String("NameListUrl")) {
            s.NameListUrl = value;
            continue;
        }
        if (key == QLatin1String("PriceSource")) {
            // Anything but the API's name keeps the site: a typo never sends requests elsewhere.
            s.PriceSource = value.trimmed().toLower() == QLatin1String("jquants") ? QStringLiteral("jquants") : QStringLiteral("site");
            continue;
        }
        if (key == QLatin1String("JQuantsPlan")) {
            const QString plan = value.trimmed().toLower();
            if (plan == QLatin1String("free") || plan == QLatin1String("light") || plan == QLatin1String("standard") ||
                plan == QLatin1String("premium"))
                s.JQuantsPlan = plan;
            continue;
        }
        if (key == QLatin1String("JQuantsBaseUrl")) {
            if (!value.isEmpty()) s.JQuantsBaseUrl = value;
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

QByteArray sitesFileHeader()
{
    return QStringLiteral(
               "; VELOR が読む外部のページのアドレス（このファイルは UTF-8 です）。\r\n"
               "; ファイル メニューの「設定…」からも変えられます。\r\n"
               "; …Url は基本のアドレス（http:// か https:// か file:// で始まり、ホストと先頭のパスまで）で、\r\n"
               "; プログラムがその後ろに決まったパスを付けて読みます。値が空のキーは組み込みの値を使います。\r\n"
               ";   DataSiteUrl          株価データのサイト（日々のファイルへのリンクがあるトップページ、末尾は /）\r\n"
               ";   NameListUrl          銘柄名の一覧（アドレス全体。CSV「コード,銘柄名[,部]」、シフトJIS）。\r\n"
               ";                        ダウンロードで追加された「新規銘柄」に名前を付けます。空なら使いません\r\n"
               ";   SplitListUrl         株式分割・併合の一覧（アドレス全体。「コード,YYYYMMDD,分割前:分割後」）\r\n"
               ";   QuoteUrl             個別銘柄の株価ページ（/quote/コード.T を付けます）\r\n"
               ";   FuturesUrl           日経平均先物のページ（/cme/ を付けます）\r\n"
               ";   TargetPriceUrl       目標株価のページ（/stock/コード を付けます）\r\n"
               ";   StockDetailUrl       ボタン「Y!」で開くページ\r\n"
               ";   BrokerQuoteUrl       ボタン「楽」で開くページ\r\n"
               ";   AnalysisUrl          ボタン「み」で開くページ\r\n"
               ";   CompanyUrl           ボタン「四」で開くページ\r\n"
               ";   WorldIndexUrl        世界の株価指数の欄のページ\r\n"
               ";   HomePageUrl          VELOR のホームページ（アドレス全体）\r\n"
               ";   FetchTimeoutSeconds  応答を待つ秒数（1〜600、既定 10）\r\n"
               ";   MaxConnections       同時に読むページの数（1〜32、既定 4）\r\n"
               ";   AdjustPrices         株価を株式分割・併合で調整して表示する（1）か、しない（0）か\r\n")
        .toUtf8();
}

QByteArray withSitesKeys(const QByteArray &old, const QList<std::pair<QString, QString>> &keys)
{
    const QByteArray cr = old.isEmpty() || old.contains("\r\n") ? "\r" : "";
    QList<QByteArray> lines = old.split('\n');
    if (!lines.isEmpty() && lines.back().isEmpty()) lines.removeLast();
    // A last line without an end keeps it that way unless a line comes after it.
    bool openEnd = !old.isEmpty() && !old.endsWith('\n');
    const auto endLast = [&] {
        if (openEnd) lines.back() += cr;
        openEnd = false;
    };
    const auto isHeader = [](const QByteArray &l) { return l.trimmed().startsWith('['); };
    for (const auto &[key, value] : keys) {
        const QByteArray wanted = key.toUtf8() + '=' + value.toUtf8();
        qsizetype section = -1;
        for (qsizetype i = 0; i < lines.size() && section < 0; ++i)
            if (lines[i].trimmed().toLower() == "[sites]") section = i;
        if (section < 0) {
            endLast();
            lines << "[sites]" + cr << wanted + cr;
            continue;
        }
        qsizetype end = section + 1, found = -1;
        for (; end < lines.size() && !isHeader(lines[end]); ++end) {
            const QByteArray t = lines[end].trimmed();
            const qsizetype eq = t.indexOf('=');
            if (eq > 0 && !t.startsWith(';') && !t.startsWith('#') && t.left(eq).trimmed() == key.toUtf8()) found = end;
        }
        // The last line of a key is the one a reader keeps.
        if (found >= 0) lines[found] = wanted + (lines[found].endsWith('\r') ? "\r" : "");
        else {
            // After the section's last line that is not blank, so a blank line before the next
            // section stays where it is.
            qsizetype at = end;
            while (at > section + 1 && lines[at - 1].trimmed().isEmpty()) --at;
            if (at == lines.size()) endLast();
            lines.insert(at, wanted + cr);
        }
    }
    return lines.join('\n') + (openEnd ? "" : "\n");
}

std::expected<void, QString> setSitesKeys(const QString &path, const QList<std::pair<QString, QString>> &keys)
{
    QByteArray old = sitesFileHeader() + "[sites]\r\n";
    if (QFileInfo::exists(path)) {
        auto r = readBytes(path, 1 << 20);
        if (!r) return std::unexpected(r.error());
        old = *r;
    }
    return saveBytes(path, withSitesKeys(old, keys));
}

std::expected<void, QString> setSitesKey(const QString &path, const QString &key, const QString &value)
{
    QByteArray old;
    if (QFile::exists(path)) {
        auto r = readBytes(path, 1 << 20);
        if (!r) return std::unexpected(r.error());
        old = *r;
    }
    return saveBytes(path, withSitesKeys(old, {{key, value}}));
}

} // namespace velor
