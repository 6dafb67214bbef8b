#include "ListsFixture.h"

#include "lists/StockPages.h"

namespace velor::test {
namespace {

struct PageCase { int code; StockPage page; const char *command; };   // nullptr: nothing starts
class StockPages : public ::testing::TestWithParam<PageCase> {};

TEST_P(StockPages, StartsTheBrowserWithThePageAddress)
{
    ProgramFolder pf;
    writeSmallMaster(pf);
    pf.st.BrowserPath = QStringLiteral("C:\\browser.exe");
    pf.st.sites.StockDetailUrl = QStringLiteral("https://detail.example");
    pf.st.sites.BrokerQuoteUrl = QStringLiteral("https://broker.example/");
    pf.st.sites.AnalysisUrl = QStringLiteral("https://analysis.example");
    pf.st.sites.CompanyUrl = QStringLiteral("https://company.example");
    pf.st.CurCode = int16_t(GetParam().code);
    RecordingLauncher launcher;
    openStockPage(pf.st, launcher, GetParam().page);
    if (GetParam().command) EXPECT_EQ(launcher.commands, QStringList{QString::fromUtf8(GetParam().command)});
    else EXPECT_TRUE(launcher.commands.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Buttons, StockPages,
    ::testing::Values(
        PageCase{1001, StockPage::Detail, "C:\\browser.exe https://detail.example/stocks/detail/?code=998407.o"},
        PageCase{1002, StockPage::Detail, "C:\\browser.exe https://detail.example/stocks/detail/?code=998405.t"},
        PageCase{1001, StockPage::Broker, nullptr},
        PageCase{1002, StockPage::Analysis, nullptr},
        PageCase{1001, StockPage::Company, nullptr},
        PageCase{1299, StockPage::Company, nullptr},
        PageCase{1301, StockPage::Detail, "C:\\browser.exe https://detail.example/stocks/detail/?code=1301.t"},
        PageCase{1301, StockPage::Broker, "C:\\browser.exe https://broker.example/web/market/search/quote.html?ric=1301.T"},
        PageCase{1301, StockPage::Analysis,
                 "C:\\browser.exe https://analysis.example/stock/1301/analysis?order=1&sc_id=4&tc_id=ya0f0001"},
        PageCase{1301, StockPage::Company, "C:\\browser.exe https://company.example/stocks/1301"},
        PageCase{1400, StockPage::Detail, "C:\\browser.exe "},
        PageCase{1400, StockPage::Broker, "C:\\browser.exe "},
        PageCase{1400, StockPage::Company, "C:\\browser.exe https://company.example/stocks/1400"}));

} // namespace
} // namespace velor::test
