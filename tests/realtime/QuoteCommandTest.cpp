#include "app/RealtimeCommands.h"
#include "QuotePages.h"
#include "support/TestSupport.h"

#include <QUrl>
#include <gtest/gtest.h>

using namespace velor;
using namespace velor::test;

TEST(QuoteCommand, ValuesInTheirShortestForm)
{
    State st;
    st.BarDate[0] = 20240110;
    st.BarOpen[0] = 1230;
    st.BarHigh[0] = 1250.5f;
    st.BarLow[0] = 1220;
    st.BarClose[0] = 1234.5f;
    st.BarVolume[0] = 2345600;
    st.CurTurnover = 2893456000.0;
    st.QuoteYield = 2.35f;
    st.QuoteDPS = 30;
    st.QuotePER = 15.2f;
    st.QuotePBR = 1.05f;
    st.QuoteEPS = -12.5f;
    st.QuoteBPS = 1176.4f;
    st.QuoteMinBuy = 123450;
    st.QuoteYearHigh = 1450;
    st.QuoteYearLow = 980;
    st.MarginDateText = QStringLiteral("11/27");
    st.MarginBuy = 1234500;
    st.MarginSell = 456700;
    st.MarginRatio = 2.7030873f;
    EXPECT_EQ(quoteValuesText(st),
              QStringLiteral("BarDate0=20240110\nBarOpen0=1230\nBarHigh0=1250.5\nBarLow0=1220\nBarClose0=1234.5\n"
                             "BarVolume0=2345600\nCurTurnover=2893456000\nQuoteYield=2.35\nQuoteDPS=30\nQuotePER=15.2\n"
                             "QuotePBR=1.05\nQuoteEPS=-12.5\nQuoteBPS=1176.4\nQuoteMinBuy=123450\nQuoteYearHigh=1450\n"
                             "QuoteYearLow=980\nMarginDate=11/27\nMarginBuy=1234500\nMarginSell=456700\nMarginRatio=2.703087\n"));
}

namespace {

struct CommandFolder {
    ProgramFolder pf;
    CommandFolder()
    {
        pf.writeMaster({{1001, QStringLiteral("日経平均"), 1}, {1301, QStringLiteral("極洋"), 1}});
        const QString site = QUrl::fromLocalFile(pf.program + "site").toString();
        writeFile(pf.program + "sites.ini", ("[sites]\r\nQuoteUrl=" + site + "\r\nFuturesUrl=" + site + "\r\n").toUtf8());
        writeFile(pf.program + "site/quote/1301.T", stockPage().toUtf8());
    }
    int run(const QStringList &args, QString *out, QString *err)
    {
        CliOptions o;
        o.home = pf.program;
        o.now = QStringLiteral("2024-01-10 10:00");
        o.command = QStringLiteral("quote");
        o.args = args;
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        const int rc = quoteCommand(o, pf.program);
        *out = QString::fromStdString(testing::internal::GetCapturedStdout());
        *err = QString::fromStdString(testing::internal::GetCapturedStderr());
        return rc;
    }
};

} // namespace

TEST(QuoteCommand, ReadsTheStockPage)
{
    CommandFolder f;
    QString out, err;
    EXPECT_EQ(f.run({"1301"}, &out, &err), 0);
    EXPECT_TRUE(out.startsWith("BarDate0=20240110\nBarOpen0=1230\n")) << out.toStdString();
    EXPECT_TRUE(out.contains("\nQuotePER=15.2\n"));
    EXPECT_TRUE(out.contains("\nMarginRatio=2.703087\n"));
    EXPECT_EQ(err, QString());
}

TEST(QuoteCommand, ModeAndOffset)
{
    CommandFolder f;
    QString out, err;
    EXPECT_EQ(f.run({"1301", "--mode", "7", "--offset", "0"}, &out, &err), 0);
    EXPECT_TRUE(out.contains("\nBarClose0=1234.5\n"));
    EXPECT_TRUE(out.contains("\nQuotePER=0\n"));
    EXPECT_EQ(f.run({"1301", "--mode", "0", "--offset", "0"}, &out, &err), 0);
    EXPECT_TRUE(out.startsWith("BarDate0=0\nBarOpen0=0\n")) << out.toStdString();   // nothing fetched
}

// The one page the command was asked for could not be read: an error, with exit 1.
TEST(QuoteCommand, MissingPageIsAnErrorOnStandardError)
{
    CommandFolder f;
    QString out, err;
    EXPECT_EQ(f.run({"1001"}, &out, &err), 1);
    EXPECT_EQ(err, QStringLiteral("error: 目的銘柄: 1001, 日経平均       のリアルタイムデータ取得に失敗しました\n"));
    EXPECT_TRUE(out.contains("\nBarClose0=0\n"));
}

TEST(QuoteCommand, BadUsage)
{
    const QStringList cases[] = {{}, {"abc"}, {"0"}, {"1301", "--mode", "5"}, {"1301", "--offset", "-2"},
                                 {"1301", "--mode"}, {"1301", "1305"}};
    for (const QStringList &args : cases) {
        CommandFolder f;
        QString out, err;
        EXPECT_EQ(f.run(args, &out, &err), 2) << args.join(' ').toStdString();
        EXPECT_EQ(out, QString());
    }
}
