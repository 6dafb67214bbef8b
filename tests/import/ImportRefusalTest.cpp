#include "import/ImportFixture.h"

#include <QDate>

using namespace velor;
using namespace velor::test;

namespace {
// n weekdays from Monday 2024-01-08, one file each, named by the day.
void fillInbox(Market &m, int n)
{
    QDate d(2024, 1, 8);
    for (int i = 0; i < n; d = d.addDays(1)) {
        if (d.dayOfWeek() > 5) continue;
        const QByteArray date = d.toString("yyyy-MM-dd").toLatin1();
        m.inbox("D" + d.toString("yyMMdd") + ".csv", date + ",1001,0,100,110,90,105,1000000\r\n" + date + ",1301,1,100,110,90,105,10\r\n");
        ++i;
    }
}
} // namespace

TEST(ImportLimits, AHundredFilesAreImported)
{
    Market m({{1001, QStringLiteral("日経平均"), 0}, {1301, QStringLiteral("AB"), 1}});
    fillInbox(m, 100);
    m.env.clock.set(QDateTime(QDate(2024, 5, 24), QTime(18, 0)));   // the evening of the last day
    ASSERT_TRUE(m.run());
    const QList<QByteArray> lines = m.price(1301).split('\n');
    EXPECT_EQ(lines[0], "103,22,6\r");
    EXPECT_EQ(lines[1], "20240524,100,110,90,105,10\r");
    EXPECT_EQ(lines[301], "20240524,100,110,90,105,50\r");
    EXPECT_EQ(lines[601], "20240524,100,110,90,105,180\r");
    EXPECT_TRUE(m.inboxNames().isEmpty());
}

TEST(ImportLimits, AHundredAndOneFilesAreRefusedWhole)
{
    Market m({{1001, QStringLiteral("日経平均"), 0}, {1301, QStringLiteral("AB"), 1}});
    fillInbox(m, 101);
    EXPECT_FALSE(m.run());
    EXPECT_EQ(m.env.dialogs.texts(), QStringList{QStringLiteral("1回の追加データ数が制限値（100）を超えました。\r\n\r\n"
                                                                "全てのデータを追加出来ません。\r\nデータ追加終了後再度実行して下さい。")});
    EXPECT_EQ(m.env.dialogs.shown[0].icon, Icon::Warning);
    EXPECT_EQ(m.price(1301), exampleStock());
    EXPECT_EQ(m.inboxNames().size(), 101);
}

TEST(ImportRefusals, RunEndingAndSkippingCases)
{
    const struct { const char *name; QByteArray content; bool ok; const char16_t *message; Icon icon; } cases[] = {
        {"a.csv", "2024-01-04,1301,1,1,1,1,1,1\r\n", true, u"日： 20240104 のデータは既に格納されています。読み込みを中止します。", Icon::Warning},
        {"a.csv", "2024-01-03,1301,1,1,1,1,1,1\r\n", false, u"虫食いデータの追加機能はなくなりました", Icon::Warning},
        {"a.csv", "2023-12-01,1301,1,1,1,1,1,1\r\n", false, u"虫食いデータの追加機能はなくなりました", Icon::Warning},
        {"a.csv", "", true, u"データファイル： %1 は空です。読み込みを中止します。", Icon::Error},
        {"a.csv", "20240109,1301,1,1,1,1,1,1\r\n", false, u"データファイルの形式が正しくありません。読み込みを中止します。", Icon::Error},
        {"a.csv", "2024-01-09,1301,1,1,1,1,1,1\r\n2024-01-09,1302,1,1,1,1,1\r\n", false,
         u"データファイル： %1 の 2 行目が正しくありません（項目の数が 7 です）。読み込みを中止します。", Icon::Error},
        {"a.lzh", "2024-01-09,1301,1,1,1,1,1,1\r\n", false, u"%1 は正しい書庫ファイルではありません。", Icon::Error},
        // Implausible days change nothing: one after today (the clock reads 2024-01-10), lines of
        // two days, a negative price.
        {"a.csv", "2024-01-11,1301,1,1,1,1,1,1\r\n", false,
         u"データファイル： %1 の 1 行目が正しくありません（日付 20240111 が今日 20240110 より後です）。読み込みを中止します。", Icon::Error},
        {"a.csv", "2024-01-09,1301,1,1,1,1,1,1\r\n2024-01-10,1302,1,1,1,1,1,1\r\n", false,
         u"データファイル： %1 の 2 行目が正しくありません（日付が最初の行の 20240109 と違います）。読み込みを中止します。", Icon::Error},
        {"a.csv", "2024-01-09,1301,1,1,1,-1,1,1\r\n", false,
         u"データファイル： %1 の 1 行目が正しくありません（価格が負の数です）。読み込みを中止します。", Icon::Error},
    };
    for (const auto &c : cases) {
        Market m;
        const auto before = m.snapshot();
        m.inbox(QLatin1String(c.name), c.content);
        const QString path = m.data + "tmp/" + QLatin1String(c.name);
        EXPECT_EQ(m.run(), c.ok) << c.name << c.content.constData();
        ASSERT_FALSE(m.env.dialogs.shown.empty());
        EXPECT_EQ(m.env.dialogs.shown[0].text, QString::fromUtf16(c.message).arg(path));
        EXPECT_EQ(m.env.dialogs.shown[0].icon, c.icon);
        EXPECT_EQ(m.snapshot(), before) << c.content.constData();
        EXPECT_EQ(m.inboxNames().size(), c.ok ? 0 : 1);
    }
}

TEST(ImportRefusals, MissingInboxAndEmptyInbox)
{
    Market m;
    EXPECT_FALSE(m.run());
    EXPECT_EQ(m.env.dialogs.texts(), QStringList{QStringLiteral("データがありません！")});
    QDir(m.data + "tmp").removeRecursively();
    EXPECT_FALSE(m.run());
    EXPECT_EQ(m.env.dialogs.shown[1].text,
              QStringLiteral("指定されたフォルダー：　") + m.data + QStringLiteral("tmp\r\n\r\nが存在しません。"));
    EXPECT_EQ(m.env.dialogs.shown[1].caption, QStringLiteral("Sub ShowFileList"));
    EXPECT_EQ(m.env.dialogs.shown[1].icon, Icon::Error);
}

TEST(ImportRefusals, BrokenPriceFileIsSkippedAndRecorded)
{
    Market m;
    const QByteArray shortFile = exampleStock().left(2000);
    m.put(1302, shortFile);
    m.inbox("a.csv", "2024-01-09,1001,0,1,1,1,1,0\r\n2024-01-09,1302,1,1,1,1,1,1\r\n2024-01-09,1303,2,1,1,1,1,1\r\n");
    ASSERT_TRUE(m.run());
    EXPECT_EQ(m.price(1302), shortFile);
    EXPECT_TRUE(m.price(1303).startsWith("4,3,2\r\n20240109,1,1,1,1,1\r\n"));
    const QString line = QStringLiteral("銘柄： 1302 の株価ファイル ") + m.data +
                         QStringLiteral("1302.csv が読めないため（150 行目）、20240109 のデータを追加しませんでした。"
                                        "保留して、読めるようになった後の取り込みで追加します。");
    EXPECT_TRUE(m.env.shell.messages().startsWith(line + "\r\n")) << m.env.shell.messages().toStdString();
    EXPECT_EQ(readLinesCp932(m.data + "VELOR.log").value_or(QStringList{}), QStringList{"20240109：　" + line});
    // The line waits for the file to be mended.
    EXPECT_EQ(readFile(m.data + "VELOR.pnd"), QByteArray("2024-01-09,1302,1,1,1,1,1,1\r\n"));
}

TEST(ImportArchives, ArchivesInTheInboxAreUnpackedReadAndRemoved)
{
    Market m({{1001, QStringLiteral("日経平均"), 0}});
    QDir().remove(m.data + "1001.csv");
    for (const char *n : {"D240109.lzh", "D240110.lzh"})
        ASSERT_TRUE(QFile::copy(fixturePath(QStringLiteral("lzh/") + n), m.data + "tmp/" + n));
    ASSERT_TRUE(m.run());
    EXPECT_EQ(m.st.StockCount, 62);
    const QList<QByteArray> lines = m.price(1001).split('\n');
    EXPECT_EQ(lines[0], "2,1,1\r");
    EXPECT_TRUE(lines[1].startsWith("20240110,")) << lines[1].constData();
    EXPECT_EQ(lines[2], "20240109,32155.8,33861.2,31403.6,33102.9,2156.857004\r");
    EXPECT_EQ(QDir(m.program).entryList(QDir::Files), QStringList{QStringLiteral("VELOR.ini")});
    EXPECT_TRUE(m.inboxNames().isEmpty());
}

TEST(ImportArchives, AnArchiveWithoutItsCsvEndsTheRun)
{
    Market m;
    const auto before = m.snapshot();
    ASSERT_TRUE(QFile::copy(fixturePath("lzh/D240117.lzh"), m.data + "tmp/D240117.lzh"));
    EXPECT_FALSE(m.run());
    EXPECT_EQ(m.env.dialogs.texts(), QStringList{QStringLiteral("書庫： ") + m.data +
                                                 QStringLiteral("tmp/D240117.lzh に d240117.csv がありません。読み込みを中止します。")});
    EXPECT_EQ(m.snapshot(), before);
    EXPECT_EQ(QDir(m.program).entryList(QDir::Files), QStringList{QStringLiteral("VELOR.ini")});
}

TEST(ImportArchives, DamagedArchiveEndsTheRun)
{
    Market m;
    ASSERT_TRUE(QFile::copy(fixturePath("lzh/D240122.lzh"), m.data + "tmp/D240122.lzh"));
    EXPECT_FALSE(m.run());
    // The decoder's own words for the damage follow in brackets.
    ASSERT_EQ(m.env.dialogs.texts().size(), 1);
    EXPECT_TRUE(m.env.dialogs.texts()[0].startsWith(m.data + QStringLiteral("tmp/D240122.lzhの解凍に失敗しました。\r\n\r\n書庫が壊れています（")))
        << m.env.dialogs.texts()[0].toStdString();
    EXPECT_EQ(QDir(m.program).entryList(QDir::Files), QStringList{QStringLiteral("VELOR.ini")});
    EXPECT_EQ(m.inboxNames(), QStringList{QStringLiteral("D240122.lzh")});
}

// The reason an extraction was refused is known, and shown.
TEST(ImportArchives, AnExtractionRefusedForAFileInTheWaySaysWhy)
{
    Market m;
    writeFile(m.program + "d240109.csv", "mine\r\n");
    ASSERT_TRUE(QFile::copy(fixturePath("lzh/D240109.lzh"), m.data + "tmp/D240109.lzh"));
    const auto before = m.snapshot();
    EXPECT_FALSE(m.run());
    EXPECT_EQ(m.env.dialogs.texts(), QStringList{m.data + QStringLiteral("tmp/D240109.lzhの解凍に失敗しました。\r\n\r\n別の内容のファイル：　") +
                                                 m.program + QStringLiteral("d240109.csv が既にあります。")});
    EXPECT_EQ(readFile(m.program + "d240109.csv"), QByteArray("mine\r\n"));
    EXPECT_EQ(m.snapshot(), before);
    EXPECT_EQ(m.inboxNames(), QStringList{QStringLiteral("D240109.lzh")});
}
