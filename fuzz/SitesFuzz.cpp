// sites.ini: whatever it holds, every address stays set and the numbers stay in their ranges.
#include "FuzzSupport.h"
#include "db/Sites.h"

using namespace velor;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = fuzz::scratchDir() + QStringLiteral("sites.ini");
    fuzz::putFile(path, QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    const Sites s = readSites(path);
    for (const QString *u : {&s.DataSiteUrl, &s.QuoteUrl, &s.FuturesUrl, &s.TargetPriceUrl, &s.StockDetailUrl,
                             &s.BrokerQuoteUrl, &s.AnalysisUrl, &s.CompanyUrl, &s.WorldIndexUrl, &s.HomePageUrl})
        VELOR_FUZZ_CHECK(!u->isEmpty());
    VELOR_FUZZ_CHECK(s.FetchTimeoutSeconds >= 1 && s.FetchTimeoutSeconds <= 600);
    VELOR_FUZZ_CHECK(s.MaxConnections >= 1 && s.MaxConnections <= 32);
    return 0;
}
