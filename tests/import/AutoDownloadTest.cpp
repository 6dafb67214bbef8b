#include "import/AutoDownload.h"

#include "import/ImportFixture.h"

using namespace velor;
using namespace velor::test;

namespace {

const QString kSite = QStringLiteral("https://data.test/");

QByteArray pageOf(const QList<const char *> &links)
{
    QByteArray page = "<html><body><h1>株価データ</h1>\n";
    for (const char *l : links) page += QByteArray("<a href=\"") + l + "\">" + QByteArray(l).right(11) + "</a><br>\n";
    return page + "</body></html>\n";
}

struct DownloadMarket : Market {
    DownloadMarket()
    {
        st.sites.DataSiteUrl = kSite;
        env.net.pages[kSite] = pageOf({"data2024/D240104.lzh", "data2024/D240105.lzh", "data2024/D240109.lzh",
                                       "data2024/D240110.lzh"});
        env.net.pages[kSite + "data2024/D240109.lzh"] = readFile(fixturePath("lzh/D240109.lzh"));
        env.net.pages[kSite + "data2024/D240110.lzh"] = readFile(fixturePath("lzh/D240110.lzh"));
    }
    bool download() { return JIDOU(st, env.services); }
};

} // namespace

TEST(LinksToFetch, FromTheNewestStoredDayInItsYear)
{
    const struct { QList<const char *> links; int32_t newest; bool found; QStringList expected; } cases[] = {
        {{"data2024/D240104.lzh", "data2024/D240105.lzh", "data2024/D240109.lzh", "data2024/D240110.lzh"}, 20240105, true,
         {"data2024/D240109.lzh", "data2024/D240110.lzh"}},
        // The next year's folder is never searched; a 2024-folder link named D25… fails the year test.
        {{"data2024/D241230.lzh", "data2025/D250106.lzh", "data2024/D250107.lzh"}, 20241230, true, {}},
        {{"data2024/D240104.lzh", "data2024/D240109.lzh"}, 20240105, false, {}},
        // Older or equal links after the start are not fetched again.
        {{"data2024/D240105.lzh", "data2024/D240104.lzh", "data2024/D240105.lzh", "data2024/D240111.lzh"}, 20240105, true,
         {"data2024/D240111.lzh"}},
    };
    for (const auto &c : cases) {
        bool found = false;
        EXPECT_EQ(linksToFetch(pageOf(c.links), c.newest, found), c.expected) << c.newest;
        EXPECT_EQ(found, c.found);
    }
}

TEST(LinksToFetch, AtMostAHundredLinksAreExamined)
{
    QByteArray page = "data2024/D240105.lzh\n";
    QDate d(2024, 1, 9);
    for (int i = 0; i < 105; ++i, d = d.addDays(1)) page += "data2024/D" + d.toString("yyMMdd").toLatin1() + ".lzh\n";
    bool found = false;
    const QStringList links = linksToFetch(page, 20240105, found);
    ASSERT_EQ(links.size(), 100);
    EXPECT_EQ(links.front(), "data2024/D240109.lzh");
    EXPECT_EQ(links.back(), "data2024/D240417.lzh");
}

TEST(AutoDownload, FetchesTheNewerDaysInOrderAndImportsThem)
{
    DownloadMarket m;
    m.inbox("old.csv", "leftover");
    ASSERT_TRUE(m.download());
    EXPECT_EQ(m.env.net.requested, (QStringList{kSite, kSite + "data2024/D240109.lzh", kSite + "data2024/D240110.lzh"}));
    EXPECT_EQ(m.env.dialogs.shown[0].text,
              kSite + QStringLiteral("より、株価データを自動でダウンロードして、データベースに追加します。\r\n年始は、") + kSite +
                  QStringLiteral("　のページが変わりますので注意してください！\r\n年始の最初のデータは手動で追加して下さい\r\n\r\n"
                                 "最大100個のファイルをダウンロード／追加します。\r\n\r\n実行しますか？"));
    EXPECT_EQ(m.env.dialogs.texts().back(), QStringLiteral("データの追加が終わりました"));
    EXPECT_TRUE(m.env.shell.messages().endsWith(QStringLiteral("\r\nデータのダウンロードが終わりました\r\n"
                                                               "D240110.lzhをダウンロードしています\r\n"
                                                               "D240109.lzhをダウンロードしています\r\n")))
        << m.env.shell.messages().toStdString();
    EXPECT_TRUE(m.price(1001).startsWith("5,3,2\r\n20240110,"));
    EXPECT_TRUE(m.inboxNames().isEmpty());
    EXPECT_EQ(m.st.DownloadState, 0);
}

TEST(AutoDownload, ADayAfterTodayIsLeftOnTheSite)
{
    DownloadMarket m;
    m.env.clock.set(QDateTime(QDate(2024, 1, 9), QTime(20, 0)));
    ASSERT_TRUE(m.download());
    EXPECT_EQ(m.env.net.requested, (QStringList{kSite, kSite + "data2024/D240109.lzh"}));
    EXPECT_TRUE(m.price(1001).startsWith("4,3,2\r\n20240109,")) << m.price(1001).left(40).toStdString();
    // The next day, the day after it is fetched.
    m.env.clock.set(QDateTime(QDate(2024, 1, 10), QTime(20, 0)));
    m.env.net.requested.clear();
    ASSERT_TRUE(m.download());
    EXPECT_EQ(m.env.net.requested, (QStringList{kSite, kSite + "data2024/D240110.lzh"}));
    EXPECT_TRUE(m.price(1001).startsWith("5,3,2\r\n20240110,"));
}

TEST(AutoDownload, NothingNewCancelAndMissingStart)
{
    {
        DownloadMarket m;
        m.env.net.pages[kSite] = pageOf({"data2024/D240104.lzh", "data2024/D240105.lzh"});
        ASSERT_TRUE(m.download());
        EXPECT_EQ(m.env.shell.messages(), QStringLiteral("新しいデータはありません\r\n"));
        EXPECT_EQ(m.env.dialogs.shown.size(), 1u);
        EXPECT_EQ(m.price(1001), exampleStock());
    }
    {
        DownloadMarket m;
        m.env.dialogs.answers.push_back(Answer::Cancel);
        m.inbox("keep.csv", "x");
        ASSERT_TRUE(m.download());
        EXPECT_TRUE(m.env.net.requested.isEmpty());
        EXPECT_EQ(m.inboxNames(), QStringList{"keep.csv"});
    }
    {
        DownloadMarket m;
        m.env.net.pages[kSite] = pageOf({"data2024/D240104.lzh", "data2024/D240109.lzh"});
        EXPECT_FALSE(m.download());
        EXPECT_EQ(m.env.dialogs.texts().back(),
                  QStringLiteral("ページ：　https://data.test/ に最新の格納日（20240105）のファイルへのリンクが見つかりません。\r\n\r\n"
                                 "ダウンロードを中止します。"));
        EXPECT_EQ(m.env.net.requested, QStringList{kSite});
    }
}

TEST(AutoDownload, AFailedFetchNamesTheAddressAndImportsNothing)
{
    DownloadMarket m;
    m.env.net.pages.remove(kSite + "data2024/D240110.lzh");
    EXPECT_FALSE(m.download());
    EXPECT_EQ(m.env.dialogs.texts().back(), QStringLiteral("ファイルを取得できませんでした：　https://data.test/data2024/D240110.lzh\r\n\r\n"
                                                           "見つかりません\r\n\r\nダウンロードを中止します。"));
    EXPECT_EQ(m.env.dialogs.shown.back().icon, Icon::Error);
    EXPECT_TRUE(m.inboxNames().isEmpty());
    EXPECT_EQ(m.price(1001), exampleStock());
}

// An empty address or the built-in placeholder: F2 says that no site is set and where to set it,
// asks nothing, fetches nothing, and leaves the pane's hint line where it was.
TEST(AutoDownload, AnUnsetSiteIsNamedAsUnsetAndNothingIsAsked)
{
    for (const QString &unset : {Sites{}.DataSiteUrl, QString(), QStringLiteral("  "), QStringLiteral("http://mine.invalid/")}) {
        DownloadMarket m;
        m.st.sites.DataSiteUrl = unset;
        m.env.shell.prependMessage(QStringLiteral("株価データがまだありません。\r\n"));
        EXPECT_FALSE(m.download());
        ASSERT_EQ(m.env.dialogs.texts().size(), 1u);
        EXPECT_EQ(m.env.dialogs.texts().back(),
                  QStringLiteral("株価データのダウンロード元（DataSiteUrl）が設定されていません。\r\n\r\n"
                                 "メニューの「ファイル」→「設定…」でダウンロード元のページのアドレスを入れるか、") +
                      m.program + QStringLiteral("sites.ini の DataSiteUrl= の行に書いて下さい。"))
            << unset.toStdString();
        EXPECT_EQ(m.env.dialogs.shown.back().icon, Icon::Warning);
        EXPECT_EQ(m.env.shell.messages(), QStringLiteral("株価データがまだありません。\r\n"));
        EXPECT_TRUE(m.env.net.requested.isEmpty());
        EXPECT_EQ(m.price(1001), exampleStock());
    }
}

TEST(AutoDownload, MissingInboxFolder)
{
    DownloadMarket m;
    QDir(m.data + "tmp").removeRecursively();
    EXPECT_FALSE(m.download());
    EXPECT_EQ(m.env.dialogs.shown.back().text,
              QStringLiteral("指定されたデータダウンロード先フォルダー：　") + m.data + QStringLiteral("tmp\r\n\r\nが存在しません。"));
    EXPECT_EQ(m.env.dialogs.shown.back().caption, QStringLiteral("Sub ShowFileList"));
}

// A damaged journal blocks every import: the download says so, with what to do, before it asks,
// empties the inbox or fetches anything.
TEST(AutoDownload, ADamagedJournalIsReportedBeforeAnythingIsFetched)
{
    DownloadMarket m;
    writeFile(m.data + "VELOR.jnl", "VELOR import journal 1\r\nday=20240109\r\n");
    m.inbox("D240109.lzh", readFile(fixturePath("lzh/D240109.lzh")));
    EXPECT_FALSE(m.download());
    EXPECT_TRUE(m.env.net.requested.isEmpty());
    EXPECT_EQ(m.inboxNames(), QStringList{"D240109.lzh"});
    EXPECT_EQ(m.env.dialogs.texts(),
              QStringList{QStringLiteral("取り込みの記録ファイル：　") + m.data +
                          QStringLiteral("VELOR.jnl が壊れています。\r\n\r\n前回のデータの追加が途中で終わったまま、その記録が読めません。"
                                         "このファイルを削除すると、データを追加できるようになります"
                                         "（途中だった日のデータは、一部の銘柄に入っていないことがあります）。")});
}
