#pragma once
// Addresses of every outside page, from the optional sites.ini beside VELOR.ini. The built-in
// defaults name no real host: a user points the program at the sites of their choice.
#include <QHash>
#include <QList>
#include <QString>
#include <utility>
#include <expected>

namespace velor {

struct Sites {
    QString DataSiteUrl = QStringLiteral("https://price-data.invalid/");
    QString QuoteUrl = QStringLiteral("https://quote.invalid");
    QString FuturesUrl = QStringLiteral("https://futures.invalid");
    QString TargetPriceUrl = QStringLiteral("https://target-price.invalid");
    QString StockDetailUrl = QStringLiteral("https://stock-detail.invalid");
    QString BrokerQuoteUrl = QStringLiteral("https://broker.invalid");
    QString AnalysisUrl = QStringLiteral("https://analysis.invalid");
    QString CompanyUrl = QStringLiteral("https://company.invalid");
    QString WorldIndexUrl = QStringLiteral("https://world-index.invalid");
    QString HomePageUrl = QStringLiteral("https://velor.invalid/");
    int FetchTimeoutSeconds = 10;
    int MaxConnections = 4;   ///< page requests in flight during a screen or a monitor pass
    /// The price-data site's list of splits (lines "code,YYYYMMDD,old:new"); empty: none.
    QString SplitListUrl;
    /// The price-data site's list of stock names (CP932 lines "code,name[,section]"): the download
    /// names the stocks it added as 新規銘柄. Empty: none.
    QString NameListUrl;
    /// Bars are shown adjusted for recorded splits (株価調整).
    bool AdjustPrices = true;
    /// The chart's crosshair follows the mouse (十字カーソル).
    bool Crosshair = true;
    /// Where the evening's prices come from: "site" (the price-data site, DataSiteUrl) or
    /// "jquants" (the exchange's data API at JQuantsBaseUrl).
    QString PriceSource = QStringLiteral("site");
    QString JQuantsBaseUrl = QStringLiteral("https://api.jquants.com/v2");
    /// free, light, standard or premium: the request rate the download keeps.
    QString JQuantsPlan = QStringLiteral("free");
    bool usesJQuants() const { return PriceSource == QLatin1String("jquants"); }
};

/// Reads sites.ini (UTF-8, section [sites]); a missing file or key keeps the built-in default.
/// Unknown keys and malformed lines are ignored; a non-positive or non-numeric time-out keeps 10,
/// and MaxConnections outside 1..32 keeps 4.
Sites readSites(const QString &path);

/// The raw values of sites.ini's [sites] section by key (quotes removed, blanks trimmed), as the
/// file holds them; a missing file gives none.
QHash<QString, QString> readSitesKeys(const QString &path);

/// The comment lines a new sites.ini starts with (UTF-8, CR LF): what each key means, in Japanese.
QByteArray sitesFileHeader();

/// `old` (a sites.ini's bytes) with keys of [sites] set, every other line kept byte for byte: a
/// key's line is replaced, or added at the end of the section (made when missing).
QByteArray withSitesKeys(const QByteArray &old, const QList<std::pair<QString, QString>> &keys);

/// Sets keys of sites.ini in one checked write (see withSitesKeys); a file not there yet starts
/// with sitesFileHeader().
std::expected<void, QString> setSitesKeys(const QString &path, const QList<std::pair<QString, QString>> &keys);

/// Sets one key of sites.ini's [sites] section, keeping every other line byte for byte: the
/// key's line is replaced, or added at the end of the section (the section is made when missing).
std::expected<void, QString> setSitesKey(const QString &path, const QString &key, const QString &value);

} // namespace velor
