#include "demo/DemoFolder.h"
#include "demo/DemoSite.h"

#include "db/Sites.h"
#include "db/StockMaster.h"
#include "import/AutoDownload.h"
#include "import/LzhExtract.h"
#include "support/TestSupport.h"

#include <QDir>
#include <gtest/gtest.h>

using namespace velor;
using namespace velor::test;

TEST(DemoSite, Crc16AsLzhHeadersCarryIt)
{
    EXPECT_EQ(demo::lzhCrc16("123456789"), 0xBB3D);
    EXPECT_EQ(demo::lzhCrc16(""), 0);
}

TEST(DemoSite, StoredArchiveBytes)
{
    EXPECT_EQ(demo::storedLzh("A.csv", "x\r\n", 0x58290000),
              QByteArray::fromHex("1b572d6c68302d030000000300000000002958200005412e637376048e780d0a00"));
}

TEST(DemoSite, ArchivesReadBackThroughTheExtractor)
{
    ProgramFolder pf;
    const QByteArray payload = "2026-11-30,1001,0,1,1,1,1,1\r\n";
    writeFile(pf.program + "D261130.lzh", demo::storedLzh("D261130.csv", payload, 0x5b7e9000));
    const auto r = extractLzhMember(pf.program + "D261130.lzh", QStringLiteral("D261130.csv"), pf.program + "d261130.csv");
    ASSERT_TRUE(r.has_value()) << r.error().detail.toStdString();
    EXPECT_TRUE(*r);
    EXPECT_EQ(readFile(pf.program + "d261130.csv"), payload);
}

TEST(DemoSite, TheDemoFolderDownloadsItsNextTenDaysOffline)
{
    QTemporaryDir dir;
    demo::MarketOptions mo;
    mo.stocks = 30;
    ASSERT_TRUE(demo::writeDemoFolder(dir.path(), mo).has_value());
    const QString program = dir.path() + '/';
    const QByteArray page = readFile(program + "site/index.html");
    EXPECT_TRUE(page.contains("<a href=\"data2026/D261127.lzh\">D261127.lzh</a>"));
    EXPECT_TRUE(page.contains("<a href=\"data2026/D261211.lzh\">D261211.lzh</a>"));
    EXPECT_FALSE(page.contains("D261214"));
    EXPECT_EQ(QDir(program + "site/data2026").entryList(QDir::Files).size(), 10);

    TestEnv env;
    State st;
    st.ProgramDir = program;
    st.DataDir = program + "data/";
    st.MasterPath = st.DataDir + "meigara.dat";
    st.LogPath = st.DataDir + "VELOR.log";
    st.sites = readSites(program + "sites.ini");
    ASSERT_TRUE(MEIGARAIN(st).has_value());
    env.clock.set(QDateTime(QDate(2026, 12, 11), QTime(20, 0)));   // the evening of the last new day
    ASSERT_TRUE(JIDOU(st, env.services));
    EXPECT_EQ(env.net.requested.size(), 12);   // the top page, ten days and the list of names
    EXPECT_TRUE(readFile(st.DataDir + "1001.csv").startsWith("300,300,300\r\n20261211,"));
    EXPECT_EQ(env.dialogs.texts().back(), QStringLiteral("データの追加が終わりました"));

    // The import's roll-up agrees with the generator's own history of every ordinary stock.
    demo::MarketGenerator gen(mo);
    int compared = 0;
    for (size_t i = 0; i < gen.listing().size(); ++i) {
        const demo::StockSeries s = gen.series(i);
        if (!s.ordinary() || s.endDay < int(gen.calendar().size()) || s.firstDay >= gen.storedDays()) continue;
        const QByteArray expected = formatPriceFile(gen.sections(s, int(gen.calendar().size())));
        EXPECT_EQ(readFile(st.priceFilePath(s.entry.code)), expected) << s.entry.code;
        ++compared;
    }
    EXPECT_GT(compared, 20);
}
