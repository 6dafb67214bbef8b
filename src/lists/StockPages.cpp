#include "lists/StockPages.h"

#include "common/Launcher.h"
#include "common/Utils.h"
#include "lists/ListView.h"

namespace velor {

namespace {

// The base may be given with or without its final "/"; the path brings its own.
QString join(const QString &base, const QString &pathAndQuery)
{
    QString b = base;
    while (b.endsWith('/')) b.chop(1);
    return b + pathAndQuery;
}

int sectionOf(const State &st, int code)
{
    const int e = entryOf(st, code);
    return e > 0 ? st.StockSection[size_t(e)] : 0;
}

} // namespace

std::optional<QString> stockPageAddress(const State &st, StockPage page)
{
    const int code = st.CurCode;
    const QString c = codeText(code);
    const int section = sectionOf(st, code);
    const bool listed = section >= 1 && section <= 4;
    switch (page) {
    case StockPage::Detail:
        if (code == 1001) return join(st.sites.StockDetailUrl, QStringLiteral("/stocks/detail/?code=998407.o"));
        if (code == 1002) return join(st.sites.StockDetailUrl, QStringLiteral("/stocks/detail/?code=998405.t"));
        if (listed) return join(st.sites.StockDetailUrl, QStringLiteral("/stocks/detail/?code=") + c + QStringLiteral(".t"));
        return QString();
    case StockPage::Broker:
        if (code < 1300) return std::nullopt;
        if (listed)
            return join(st.sites.BrokerQuoteUrl, QStringLiteral("/web/market/search/quote.html?ric=") + c + QStringLiteral(".T"));
        return QString();
    case StockPage::Analysis:
        if (code <= 1299) return std::nullopt;
        return join(st.sites.AnalysisUrl,
                    QStringLiteral("/stock/") + c + QStringLiteral("/analysis?order=1&sc_id=4&tc_id=ya0f0001"));
    case StockPage::Company:
        if (code <= 1299) return std::nullopt;
        return join(st.sites.CompanyUrl, QStringLiteral("/stocks/") + c);
    }
    return std::nullopt;
}

bool openStockPage(const State &st, Launcher &launcher, StockPage page)
{
    const auto address = stockPageAddress(st, page);
    return !address || launcher.openUrl(st.BrowserPath, *address);
}

QString browserFailedText(const State &st)
{
    return launchFailedText(LaunchKind::Browser, st.BrowserPath);
}

} // namespace velor
