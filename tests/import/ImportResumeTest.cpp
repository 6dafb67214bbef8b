// An import stopped at any moment (here: an exception thrown from the window's progress or
// message calls, leaving the files exactly as a killed process would) and run again gives the
// same bytes as a run that was never stopped.
#include "db/StockMaster.h"
#include "import/ImportFixture.h"
#include "import/ImportJournal.h"

using namespace velor;
using namespace velor::test;

namespace {

struct Killed {};

class KillingShell final : public TextShell {
public:
    int killAtProgressCall = -1;   ///< 1-based count of setProgress calls
    QString killAtMessage;
    void setProgress(int value, int maximum) override
    {
        TextShell::setProgress(value, maximum);
        if (++m_calls == killAtProgressCall) throw Killed{};
    }
    void prependMessage(const QString &text) override
    {
        TextShell::prependMessage(text);
        if (!killAtMessage.isEmpty() && text.contains(killAtMessage)) throw Killed{};
    }
private:
    int m_calls = 0;
};

const QByteArray kDay9 = "2024-01-09,1001,0,33000,33100,32900,33050,2500000000\r\n"
                         "2024-01-09,1301,1,1535,1550,1528,1540,50000\r\n"
                         "2024-01-09,1302,1,1535,1550,1528,1540,0\r\n";
const QByteArray kDay10 = "2024-01-10,1001,0,33050,33200,33000,33150,3000000000\r\n"
                          "2024-01-10,1301,1,1545,1560,1530,1555,60000\r\n"
                          "2024-01-10,1302,2,1535,1550,1528,1540,50000\r\n"
                          "2024-01-10,1304,1,700,710,690,705,1200\r\n"
                          "2024-01-10,1303,2,1535,1550,1528,1540,50000\r\n";

void fill(Market &m)
{
    m.inbox("D240109.csv", kDay9);
    m.inbox("D240110.csv", kDay10);
}

QMap<QString, QByteArray> uninterrupted()
{
    Market m;
    fill(m);
    EXPECT_TRUE(m.run());
    return m.snapshot();
}

} // namespace

TEST(ImportResume, StoppedAnywhereAndRunAgainGivesTheSameBytes)
{
    const auto reference = uninterrupted();
    ASSERT_TRUE(reference.contains("1304.csv"));
    ASSERT_TRUE(reference.contains("VELOR.log"));
    struct Case { int progressCall; const char16_t *message; int chopLog; };
    const Case cases[] = {
        {1, nullptr, 0}, {2, nullptr, 0}, {3, nullptr, 0},   // inside the first day
        {4, nullptr, 0}, {5, nullptr, 0}, {6, nullptr, 0}, {8, nullptr, 0},   // inside the second day
        {-1, u"20240110 のデータを追加しています", 0},   // journal written, nothing else
        {-1, u"新規銘柄： 1304", 0},                     // log written, master not yet
        {-1, u"新規銘柄： 1304", 20},                    // ... and the log's last line cut short
        {-1, u"銘柄： 1302", 0},
    };
    for (const Case &c : cases) {
        Market m;
        fill(m);
        KillingShell shell;
        shell.killAtProgressCall = c.progressCall;
        if (c.message) shell.killAtMessage = QString::fromUtf16(c.message);
        Services sv{m.env.clock, m.env.net, m.env.launcher, m.env.sound, m.env.dialogs, shell, &m.env.noQuote};
        EXPECT_THROW(SHUDOU(m.st, sv), Killed) << c.progressCall;
        if (c.chopLog) {
            QFile log(m.data + "VELOR.log");
            ASSERT_TRUE(log.resize(log.size() - c.chopLog));
        }
        // A new process: state loaded from the files again.
        m.st.CurCode = 1001;
        m.st.ImportRunning = false;
        ASSERT_TRUE(MEIGARAIN(m.st).has_value());
        EXPECT_TRUE(m.run()) << c.progressCall;
        EXPECT_EQ(m.snapshot(), reference) << c.progressCall << " " << shell.killAtMessage.toStdString();
        EXPECT_TRUE(m.inboxNames().isEmpty());
    }
}

TEST(ImportResume, ADayStoppedAfterTheInboxWasEmptiedIsCompletedFromTheJournal)
{
    const auto reference = uninterrupted();
    Market m;
    fill(m);
    KillingShell shell;
    shell.killAtProgressCall = 6;   // third line of the second day
    Services sv{m.env.clock, m.env.net, m.env.launcher, m.env.sound, m.env.dialogs, shell, &m.env.noQuote};
    EXPECT_THROW(SHUDOU(m.st, sv), Killed);
    ASSERT_TRUE(QFile::exists(m.data + "VELOR.jnl"));
    // The automatic download empties the inbox before it fetches; 1001 already holds the day,
    // so nothing new is fetched and the import runs on an empty inbox.
    for (const QString &n : m.inboxNames()) QFile::remove(m.data + "tmp/" + n);
    ASSERT_TRUE(MEIGARAIN(m.st).has_value());
    EXPECT_TRUE(m.run());
    EXPECT_EQ(m.snapshot(), reference);
    EXPECT_TRUE(m.env.shell.messages().contains(QStringLiteral("前回中断した 20240110 のデータの追加を続けます")));
}

// A size field near the largest number is damage like any other, read without overflow.
TEST(ImportJournal, AHugeSizeFieldIsReportedAsDamage)
{
    ProgramFolder pf;
    const QString path = pf.data + "VELOR.jnl";
    for (const char *size : {"9223372036854775807", "9223372036854775806", "9223372036854775700", "99999999999999999999"}) {
        writeFile(path, QByteArray("VELOR import journal 1\r\nday=20240109\r\nsource=x\r\nlog=0\r\ncalendar=20240105\r\nmaster=") +
                            size + "\r\nab\r\ndata=0\r\n\r\n");
        const auto j = readJournal(path);
        ASSERT_FALSE(j.has_value()) << size;
        EXPECT_TRUE(j.error().startsWith(QStringLiteral("取り込みの記録ファイル：　") + path +
                                         QStringLiteral(" が壊れています。\r\n\r\n")))
            << size;
        EXPECT_TRUE(j.error().contains(QStringLiteral("このファイルを削除すると、データを追加できるようになります"))) << size;
    }
}
