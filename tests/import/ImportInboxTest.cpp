// What the import may remove from the inbox, and what it may take for a missing price file.
#include "import/ImportFixture.h"

#include <QFileInfo>
#include <sys/stat.h>

using namespace velor;
using namespace velor::test;

namespace {

const QByteArray kDay9 = "2024-01-09,1001,0,33000,33100,32900,33050,2500000000\r\n"
                         "2024-01-09,1301,1,1535,1550,1528,1540,50000\r\n"
                         "2024-01-09,1302,1,1535,1550,1528,1540,0\r\n";
const QByteArray kDay10 = "2024-01-10,1001,0,33050,33200,33000,33150,3000000000\r\n"
                          "2024-01-10,1301,1,1545,1560,1530,1555,60000\r\n";

// Puts a file into the inbox while the import is busy with its first stock.
class ArrivingShell final : public TextShell {
public:
    QString path;
    QByteArray bytes;
    void setProgress(int value, int maximum) override
    {
        TextShell::setProgress(value, maximum);
        if (!path.isEmpty()) writeFile(path, bytes), path.clear();
    }
};

} // namespace

TEST(ImportInbox, AFileThatArrivesDuringTheRunIsKeptForTheNextRun)
{
    Market m;
    m.inbox("D240109.csv", kDay9);
    ArrivingShell shell;
    shell.path = m.data + "tmp/D240110.csv";
    shell.bytes = kDay10;
    Services sv{m.env.clock, m.env.net, m.env.launcher, m.env.sound, m.env.dialogs, shell, &m.env.noQuote};
    ASSERT_TRUE(SHUDOU(m.st, sv));
    EXPECT_EQ(m.inboxNames(), QStringList{"D240110.csv"});
    EXPECT_TRUE(m.price(1301).startsWith("4,3,2\r\n20240109,"));
    // The next run imports it.
    ASSERT_TRUE(m.run());
    EXPECT_TRUE(m.price(1301).startsWith("5,3,2\r\n20240110,"));
    EXPECT_TRUE(m.inboxNames().isEmpty());
}

TEST(ImportInbox, ARunEndedByAFileKeepsThatFileAndTheRestButNotTheDaysImported)
{
    Market m;
    m.inbox("a.csv", kDay9);
    m.inbox("b.csv", "2024-01-03,1301,1,1,1,1,1,100\r\n");   // inside the stored history
    m.inbox("c.csv", kDay10);
    EXPECT_FALSE(m.run());
    EXPECT_EQ(m.env.dialogs.texts(), QStringList{QStringLiteral("虫食いデータの追加機能はなくなりました")});
    EXPECT_TRUE(m.price(1301).startsWith("4,3,2\r\n20240109,"));
    EXPECT_EQ(m.inboxNames(), (QStringList{"b.csv", "c.csv"}));
}

TEST(ImportInbox, APriceFileThatCannotBeOpenedIsNotRewrittenAsANewListing)
{
    // Opening fails, but not because the file is missing: a link to itself, and a FIFO, which
    // would hold the import for ever if it were opened to be read.
    const struct {
        const char *what;
        bool (*make)(const QString &);
        const char16_t *why;
    } cases[] = {
        {"self link", [](const QString &p) { return QFile::link(p, p); }, nullptr},
        {"fifo", [](const QString &p) { return ::mkfifo(QFile::encodeName(p).constData(), 0644) == 0; }, u"通常のファイルではありません"},
    };
    for (const auto &c : cases) {
        Market m;
        const QString path = m.data + "1302.csv";
        QFile::remove(path);
        ASSERT_TRUE(c.make(path)) << c.what;
        m.inbox("D240109.csv", kDay9);
        ASSERT_TRUE(m.run()) << c.what;
        EXPECT_FALSE(QFileInfo(path).isFile()) << c.what;
        const QString said = QStringLiteral("銘柄： 1302 の株価ファイル ") + path + QStringLiteral(" が読めないため（") +
                             (c.why ? QString::fromUtf16(c.why) + QStringLiteral("）") : QString());
        EXPECT_TRUE(m.env.shell.messages().contains(said)) << c.what;
        EXPECT_TRUE(m.price(1301).startsWith("4,3,2\r\n20240109,")) << c.what;
    }
}
