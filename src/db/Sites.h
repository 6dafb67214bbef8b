#pragma once
// Addresses of every outside page, from the optional sites.ini beside VELOR.ini.
#include <QString>

namespace velor {

struct Sites {
    QString DataSiteUrl = QStringLiteral("https://price-data.invalid/");  // no public default: set it in sites.ini
    QString QuoteUrl = QStringLiteral("https://finance.yahoo.co.jp");
    QString FuturesUrl = QStringLiteral("https://futures.invalid");
    QString TargetPriceUrl = QStringLiteral("https://minkabu.jp");
    QString StockDetailUrl = QStringLiteral("https://stocks.finance.yahoo.co.jp");
    QString BrokerQuoteUrl = QStringLiteral("https://www.rakuten-sec.co.jp");
    QString AnalysisUrl = QStringLiteral("https://minkabu.jp");
    QString CompanyUrl = QStringLiteral("https://company.invalid");
    QString WorldIndexUrl = QStringLiteral("https://world-index.invalid");
    QString HomePageUrl = QStringLiteral("https://velor.invalid/");
    int FetchTimeoutSeconds = 10;
};

/// Reads sites.ini (UTF-8, section [sites]); a missing file or key keeps the built-in default.
/// Unknown keys and malformed lines are ignored; a non-positive or non-numeric time-out keeps 10.
Sites readSites(const QString &path);

} // namespace velor
