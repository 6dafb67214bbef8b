// Names for the stocks a download adds: the site's list fills the master's 新規銘柄 entries, a
// missing list is counted in the summary, and a list that cannot be read changes nothing.
#include "common/Cp932.h"
#include "common/StockCode.h"
#include "demo/DemoFolder.h"
#include "demo/MarketGenerator.h"
#include "db/PriceFile.h"
#include "db/Sites.h"
#include "db/StockMaster.h"
#include "import/AutoDownload.h"
#include "import/StockNames.h"
#include "import/TenDayMarket.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace velor;
using namespace velor::test;

namespace {

// The ten-day demo market loaded as the window loads it, with the clock on its last new day.
struct NamesMarket : ::testing::Test {
    void SetUp() override
    {
        ASSERT_TRUE(demo::writeDemoFolder(dir.path(), tenDayMarket()).has_value());
        program = dir.path() + '/';
        st.ProgramDir = program;
        st.DataDir = program + "data/";
        st.MasterPath = st.DataDir + "meigara.dat";
        st.LogPath = st.DataDir + "VELOR.log";
        st.sites = readSites(program + "sites.ini");
        ASSERT_TRUE(MEIGARAIN(st).has_value());
        env.clock.set(QDateTime(QDate(2026, 12, 11), QTime(20, 0)));
    }
    // The 14-byte slot of a code in the stored master.
    QByteArray slotOf(int code) const
    {
        const QByteArray bytes = readFile(st.MasterPath);
        const auto image = parseMaster(bytes, st.MasterPath);
        for (size_t k = 0; image && k < image->entries.size(); ++k)
            if (image->entries[k].code == code) return bytes.mid(qsizetype(14 * (k + 1)), 14);
        return {};
    }
    // The codes the download brought in: listed on one of the next days.
    std::vector<int> newListings() const
    {
        const demo::MarketGenerator gen(tenDayMarket());
        std::vector<int> codes;
        for (size_t i = 0; i < gen.listing().size(); ++i)
            if (const demo::StockSeries s = gen.series(i); s.ordinary() && s.firstDay >= gen.storedDays()) codes.push_back(s.entry.code);
        return codes;
    }
    QTemporaryDir dir;
    QString program;
    State st;
    TestEnv env;
};

} // namespace

TEST_F(NamesMarket, TheDemoSitesListNamesTheStocksTheDownloadAdds)
{
    EXPECT_TRUE(st.sites.NameListUrl.endsWith("/site/names.csv")) << st.sites.NameListUrl.toStdString();
    const std::vector<int> added = newListings();
    ASSERT_EQ(added.size(), 3u);   // one of them with a code with letters
    ASSERT_TRUE(JIDOU(st, env.services));
    EXPECT_EQ(env.net.requested.back(), st.sites.NameListUrl);
    EXPECT_EQ(unnamedStocks(st), 0);
    EXPECT_TRUE(env.shell.messages().startsWith(QStringLiteral("新規銘柄に銘柄名を付けました： 3 銘柄\r\n")))
        << env.shell.messages().toStdString();
    // Each slot: the code, the list's name in its first ten CP932 bytes, the section of the list.
    const demo::MarketGenerator gen(tenDayMarket());
    for (const int code : added) {
        const QByteArray slot = slotOf(code);
        ASSERT_EQ(slot.size(), 14) << code;
        const auto &listing = gen.listing();
        const auto it = std::find_if(listing.begin(), listing.end(), [code](const MasterEntry &e) { return e.code == code; });
        const QByteArray name = toCp932(it->name.trimmed()).left(10).leftJustified(10, ' ');
        EXPECT_EQ(slot.mid(2, 10), name) << code;
        EXPECT_NE(slot.mid(2, 10), toCp932(QStringLiteral("新規銘柄　")));
    }
    // Pinned: the market's first new listing and its name as the master holds it.
    EXPECT_EQ(codeText(added[0]), QStringLiteral("4200"));
    EXPECT_EQ(st.nameOf(added[0]), QStringLiteral("第一建設      "));
    EXPECT_EQ(slotOf(added[0]).toHex(), QByteArray("6810") + toCp932(QStringLiteral("第一建設  ")).toHex() + "0100");
}

TEST_F(NamesMarket, WithoutAListTheCountIsSaidAndABadListChangesNothing)
{
    st.sites.NameListUrl.clear();
    ASSERT_TRUE(JIDOU(st, env.services));
    const QString count = QStringLiteral("銘柄名のない銘柄（新規銘柄）が 3 銘柄あります。sites.ini の NameListUrl に"
                                         "銘柄名の一覧を指定すると、ダウンロードで名前が付きます。\r\n");
    EXPECT_TRUE(env.shell.messages().startsWith(count)) << env.shell.messages().toStdString();
    EXPECT_EQ(unnamedStocks(st), 3);

    const QString url = QStringLiteral("https://names.test/list.csv");
    st.sites.NameListUrl = url;
    const QByteArray master = readFile(st.MasterPath);
    const int code = newListings()[0];
    const QByteArray c = codeBytes(code);
    struct Case { QByteArray list; const char16_t *said; };
    const Case bad[] = {
        {"", u"に銘柄がひとつもありません。"},
        {"\r\n\r\n", u"に銘柄がひとつもありません。"},
        {c + "\r\n", u"の 1 行目が「コード,銘柄名[,部]」の形ではありません。"},
        {"code,name\r\n" + c + ",\r\n", u"の 2 行目が「コード,銘柄名[,部]」の形ではありません。"},
        {c + ",名前,一部\r\n", u"の 1 行目が「コード,銘柄名[,部]」の形ではありません。"},
        {c + ",名前,1,余り\r\n", u"の 1 行目が「コード,銘柄名[,部]」の形ではありません。"},
        {"1301,名前\r\n1B01,名前\r\n", u"の 2 行目が「コード,銘柄名[,部]」の形ではありません。"},
        {"1001,日経平均\r\n", u"の 1 行目が「コード,銘柄名[,部]」の形ではありません。"},
        {c + ",名前,-1\r\n", u"の 1 行目が「コード,銘柄名[,部]」の形ではありません。"},
    };
    for (const Case &b : bad) {
        env.net.pages[url] = b.list;
        env.shell.clearMessages();
        ASSERT_TRUE(nameNewStocks(st, env.services, 1000));
        EXPECT_EQ(env.shell.messages(), QStringLiteral("銘柄名の一覧 ") + url + ' ' + QString::fromUtf16(b.said) +
                                            QStringLiteral("銘柄名は変えていません。\r\n"))
            << b.list.toStdString();
        EXPECT_EQ(readFile(st.MasterPath), master) << b.list.toStdString();
    }
    // A page that is not there is said the same way.
    env.net.pages.remove(url);
    env.shell.clearMessages();
    ASSERT_TRUE(nameNewStocks(st, env.services, 1000));
    EXPECT_TRUE(env.shell.messages().startsWith(QStringLiteral("銘柄名の一覧 ") + url + QStringLiteral(" を取得できませんでした（")));
    EXPECT_TRUE(env.shell.messages().endsWith(QStringLiteral("）。銘柄名は変えていません。\r\n")));
    EXPECT_EQ(readFile(st.MasterPath), master);

    // A good list: a heading, a quoted name with a comma, a long name cut at ten bytes, a section.
    env.net.pages[url] = "code,name,section\r\n" + c + ",\"" + toCp932(QStringLiteral("新日本テス,ト工業")) + "\",2\r\n9999," +
                         toCp932(QStringLiteral("一覧だけの銘柄")) + "\r\n";
    env.shell.clearMessages();
    ASSERT_TRUE(nameNewStocks(st, env.services, 1000));
    EXPECT_EQ(env.shell.messages(), QStringLiteral("新規銘柄に銘柄名を付けました： 1 銘柄（一覧にない 2 銘柄は新規銘柄のままです）\r\n"));
    QByteArray expected = slotOf(code);
    EXPECT_EQ(expected.mid(2).toHex(), QByteArray("905693fa967b836583580200"));
    // Every other byte of the master is as it was.
    const QByteArray after = readFile(st.MasterPath);
    ASSERT_EQ(after.size(), master.size());
    int differing = 0;
    for (qsizetype i = 0; i < after.size(); ++i) differing += after[i] != master[i];
    EXPECT_LE(differing, 12);
    EXPECT_EQ(unnamedStocks(st), 2);
    EXPECT_EQ(st.nameOf(code).trimmed(), QStringLiteral("新日本テス"));
}

// The data API's master names new listings at once and follows renamed stocks (compared as the
// 10-byte field stores them, so a long name the field cuts is no rename); only a rename is asked
// for when `renameChanged` is set, and nothing is written when nothing changes.
TEST(StockNames, TheApisMasterNamesNewListingsAndFollowsRenames)
{
    ProgramFolder pf;
    pf.writeMaster({{1001, QStringLiteral("日経平均"), 0}, {1301, QStringLiteral("極洋"), 1},
                    {1332, QStringLiteral("新規銘柄　"), 4}, {7203, QStringLiteral("トヨタ自動"), 1}});
    const std::unordered_map<int, NameListEntry> names{{1001, {1001, QStringLiteral("TOPIX"), 0}},
                                                       {1301, {1301, QStringLiteral("極洋水産"), 1}},
                                                       {1332, {1332, QStringLiteral("ニッスイ"), 1}},
                                                       {7203, {7203, QStringLiteral("トヨタ自動車"), 1}}};
    auto r = applyNames(pf.st, names, false);
    ASSERT_TRUE(r.has_value()) << r.error().toStdString();
    EXPECT_EQ(r->named, 1);
    EXPECT_EQ(r->renamed, 0);
    EXPECT_EQ(pf.st.StockName[size_t(pf.st.entryOf(1332))], QStringLiteral("ニッスイ      "));
    EXPECT_EQ(pf.st.StockSection[size_t(pf.st.entryOf(1332))], 1);
    EXPECT_EQ(pf.st.StockName[size_t(pf.st.entryOf(1301))], QStringLiteral("極洋        "));
    r = applyNames(pf.st, names, true);
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(r->named, 0);
    EXPECT_EQ(r->renamed, 2);   // 1001 and 1301; トヨタ自動車 is トヨタ自動 as stored
    EXPECT_EQ(pf.st.StockName[size_t(pf.st.entryOf(1001))], QStringLiteral("TOPIX     "));
    EXPECT_EQ(pf.st.StockName[size_t(pf.st.entryOf(1301))], QStringLiteral("極洋水産      "));
    const QByteArray before = readFile(pf.st.MasterPath);
    r = applyNames(pf.st, names, true);
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(r->named + r->renamed, 0);
    EXPECT_EQ(readFile(pf.st.MasterPath), before);
}
