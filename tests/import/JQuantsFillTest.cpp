// A database filled from the demo's offline twin of the data API is the database the demo's own
// daily files give: through the monthly bulk files and through a request per day, under the
// twin's rate refusals, after a stop at any point and a rerun, and the next evening's one day.
#include "common/Net.h"
#include "common/TextFile.h"
#include "db/CorporateActions.h"
#include "db/Sites.h"
#include "db/StockMaster.h"
#include "demo/DemoSite.h"
#include "demo/JQuantsTwin.h"
#include "import/DailyImport.h"
#include "import/JQuantsClient.h"
#include "import/JQuantsDownload.h"
#include "import/StockNames.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QMap>
#include <gtest/gtest.h>

namespace velor::test {

namespace {

const QByteArray kKey = "twin-key-42";

// The transfers and the twin run in this thread's event loop; the application is never torn
// down, as ending Qt after main() has returned is not safe.
void ensureApp()
{
    static int argc = 1;
    static char name[] = "test_import";
    static char *argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
}

demo::MarketOptions smallMarket()
{
    demo::MarketOptions mo;
    mo.stocks = 60;
    mo.letterCodes = 3;
    mo.splits = true;
    return mo;
}

QDateTime evening(int day) { return QDateTime(QDate(2026, 12, day), QTime(20, 0)); }

// Pauses that move time instead of sleeping: the client's and the twin's clock alike.
class TwinPace final : public jq::PaceTimer {
public:
    explicit TwinPace(FixedClock &twinClock) : m_twin(twinClock) {}
    qint64 now = 0;
    qint64 elapsedMs() override { return now; }
    bool wait(qint64 ms) override
    {
        now += ms;
        m_twin.set(m_twin.now().addMSecs(ms));
        return true;
    }
private:
    FixedClock &m_twin;
};

// The real transport, with the bulk files refused as a plan without them refuses them.
class NoBulkNet final : public Net {
public:
    QtNet real;
    std::expected<QByteArray, NetError> fetch(const QString &address, const FetchLimits &limits) override
    {
        if (address.contains(QStringLiteral("/bulk/"))) {
            NetError e{address, QStringLiteral("HTTP 403"), false, false};
            e.status = 403;
            return std::unexpected(e);
        }
        return real.fetch(address, limits);
    }
};

QMap<QString, QByteArray> dataFiles(const QString &dataDir)
{
    QMap<QString, QByteArray> out;
    for (const QString &n : QDir(dataDir).entryList(QDir::Files, QDir::Name)) out[n] = readFile(dataDir + n);
    return out;
}

// An empty program folder whose prices come from the twin.
struct ApiFolder : ProgramFolder {
    TestEnv env;
    explicit ApiFolder(const QString &base)
    {
        writeMaster({});
        st.sites.PriceSource = QStringLiteral("jquants");
        st.sites.JQuantsBaseUrl = base;
        st.sites.JQuantsPlan = QStringLiteral("premium");
    }
    bool download(Net &net, jq::PaceTimer &pace, const QByteArray &key, int32_t since, const QDateTime &now)
    {
        env.clock.set(now);
        Services sv{env.clock, net, env.launcher, env.sound, env.dialogs, env.shell, &env.noQuote};
        return downloadFromJQuants(st, sv, pace, key, since);
    }
};

// The same days imported from the demo's own daily files: 1001 without the volume the index
// series of the API lacks, 1002 left out (the API does not serve it), every split of those days
// recorded first, the stocks named as the API's master names them (1001 is TOPIX there).
QMap<QString, QByteArray> fromDailyFiles(const demo::MarketOptions &mo, int32_t since, int32_t until)
{
    ProgramFolder pf;
    pf.writeMaster({});
    TestEnv env;
    env.clock.set(QDateTime(QDate(until / 10000, until / 100 % 100, until % 100), QTime(20, 0)));
    const demo::MarketGenerator gen(mo);
    const auto &cal = gen.calendar();
    int from = 0, to = 0;
    for (int d = 0; d < int(cal.size()); ++d) {
        const int32_t day = demo::dateNumber(cal[size_t(d)]);
        if (day < since) from = d + 1;
        if (day <= until) to = d + 1;
    }
    CorporateActions splits;
    for (const demo::DemoSplit &s : gen.splits())
        if (s.exDay >= from && s.exDay < to)
            splits.add({gen.listing()[s.index].code, demo::dateNumber(cal[size_t(s.exDay)]), s.before, s.after});
    if (!splits.empty()) writeFile(actionsPath(pf.data), splits.bytes());
    pf.st.actions = splits;
    const auto files = demo::dailyFiles(gen, from, to);
    for (size_t k = 0; k < files.size(); ++k) {
        QByteArray kept;
        for (const QByteArray &line : files[k].split('\n')) {
            if (line.isEmpty()) continue;
            const QList<QByteArray> f = line.split(',');
            if (f[1] == "1002") continue;
            kept += f[1] == "1001" ? f.mid(0, 7).join(',') + ",0\r\n" : line + '\n';
        }
        writeFile(pf.data + "tmp/" + QString::number(demo::dateNumber(cal[size_t(from) + k])) + ".csv", kept);
        if ((k + 1) % 100 == 0 || k + 1 == files.size()) EXPECT_TRUE(SHUDOU(pf.st, env.services)) << env.dialogs.texts().join("\n").toStdString();
    }
    std::unordered_map<int, NameListEntry> names;
    for (const MasterEntry &e : gen.listing()) names[e.code] = {e.code, e.name.trimmed(), 0};
    names[1001] = {1001, QStringLiteral("TOPIX"), 0};
    EXPECT_TRUE(applyNames(pf.st, names, true).has_value());
    return dataFiles(pf.data);
}

void expectSameFolder(const QMap<QString, QByteArray> &got, const QMap<QString, QByteArray> &want)
{
    EXPECT_EQ(got.keys().join(' ').toStdString(), want.keys().join(' ').toStdString());
    int differ = 0;
    for (auto it = want.begin(); it != want.end(); ++it) {
        const QByteArray mine = got.value(it.key());
        if (mine == it.value() || ++differ > 3) continue;
        const QList<QByteArray> a = mine.split('\n'), b = it.value().split('\n');
        qsizetype line = 0;
        while (line < a.size() && line < b.size() && a[line] == b[line]) ++line;
        ADD_FAILURE() << it.key().toStdString() << " line " << line + 1 << ": " << a.value(line).toStdString() << " | want "
                      << b.value(line).toStdString();
    }
    EXPECT_EQ(differ, 0);
}

} // namespace

TEST(JQuantsFill, TheTwinsDaysGiveTheDatabaseOfTheDailyFilesThroughBulkAndDayByDay)
{
    ensureApp();
    const demo::MarketOptions mo = smallMarket();
    const auto want = fromDailyFiles(mo, 20251201, 20261211);
    for (const bool bulk : {true, false}) {
        FixedClock twinClock(evening(11));
        demo::JQuantsTwin twin(mo, twinClock, {QString::fromLatin1(kKey), 25, 0});
        ASSERT_TRUE(twin.listen(0));
        ApiFolder f(twin.baseAddress());
        TwinPace pace(twinClock);
        QtNet real;
        NoBulkNet noBulk;
        ASSERT_TRUE(f.download(bulk ? static_cast<Net &>(real) : noBulk, pace, kKey, 20251201, evening(11)))
            << f.env.dialogs.texts().join("\n").toStdString();
        expectSameFolder(dataFiles(f.data), want);
        const QString pane = f.env.shell.messages();
        EXPECT_TRUE(pane.contains(QStringLiteral("J-Quants から 270 日分を追加しました"))) << pane.toStdString();
        EXPECT_TRUE(pane.contains(QStringLiteral("株式分割・併合を記録しました"))) << pane.toStdString();
        EXPECT_TRUE(pane.contains(QStringLiteral("優先株など普通株以外の 1 銘柄は取り込みません"))) << pane.toStdString();
        EXPECT_FALSE(pane.contains(QString::fromLatin1(kKey)));
        // Bulk: a month a file, far fewer requests than days.
        if (bulk) EXPECT_LT(twin.requests(), 90);
        else EXPECT_GT(twin.requests(), 270 * 2);   // a day is three pages of 25 rows and more
    }
}

TEST(JQuantsFill, AStopAnywhereThenARerunAndTheNextEveningGiveTheSameBytes)
{
    ensureApp();
    const demo::MarketOptions mo = smallMarket();
    const auto want = fromDailyFiles(mo, 20261103, 20261211);
    for (const int stopAfter : {1, 9, 23}) {
        FixedClock twinClock(evening(10));
        demo::JQuantsTwin twin(mo, twinClock, {QString::fromLatin1(kKey), 40, 0});
        ASSERT_TRUE(twin.listen(0));
        ApiFolder f(twin.baseAddress());
        TwinPace pace(twinClock);
        QtNet net;
        int shown = 0;
        f.env.shell.stopWhen = [&](const TextShell &) { return ++shown > stopAfter; };
        ASSERT_TRUE(f.download(net, pace, kKey, 20261103, evening(10))) << stopAfter;
        EXPECT_TRUE(f.env.shell.messages().contains(QStringLiteral("ダウンロードを中止しました"))) << stopAfter;
        f.env.shell.stopWhen = {};
        // The same command again (a stop before the first day leaves nothing to go on from).
        ASSERT_TRUE(f.download(net, pace, kKey, 20261103, evening(10))) << f.env.dialogs.texts().join("\n").toStdString();
        // The next evening: exactly the new day.
        twinClock.set(evening(11));
        f.env.shell.clearMessages();
        ASSERT_TRUE(f.download(net, pace, kKey, 0, evening(11)));
        EXPECT_TRUE(f.env.shell.messages().contains(QStringLiteral("J-Quants から 1 日分を追加しました"))) << f.env.shell.messages().toStdString();
        expectSameFolder(dataFiles(f.data), want);
        // And once more: nothing new.
        f.env.shell.clearMessages();
        ASSERT_TRUE(f.download(net, pace, kKey, 0, evening(11)));
        EXPECT_TRUE(f.env.shell.messages().contains(QStringLiteral("新しいデータはありません")));
    }
}

TEST(JQuantsFill, TheRateIsKeptThroughTheTwinsRefusalsAndABadKeyStopsAtOnce)
{
    ensureApp();
    const demo::MarketOptions mo = smallMarket();
    FixedClock twinClock(evening(11));
    // The twin allows 5 a minute; the folder says light (60): each refusal is waited out.
    demo::JQuantsTwin twin(mo, twinClock, {QString::fromLatin1(kKey), 1000, 5});
    ASSERT_TRUE(twin.listen(0));
    {
        ApiFolder f(twin.baseAddress());
        f.st.sites.JQuantsPlan = QStringLiteral("light");
        TwinPace pace(twinClock);
        QtNet net;
        ASSERT_TRUE(f.download(net, pace, kKey, 20261201, evening(11))) << f.env.dialogs.texts().join("\n").toStdString();
        EXPECT_TRUE(f.env.shell.messages().contains(QStringLiteral("J-Quants から 9 日分を追加しました"))) << f.env.shell.messages().toStdString();
        // 13 answered requests at 5 a minute: at least two minutes waited.
        EXPECT_GE(pace.now, 120000);
    }
    {
        ApiFolder f(twin.baseAddress());
        TwinPace pace(twinClock);
        QtNet net;
        twinClock.set(twinClock.now().addSecs(120));
        EXPECT_FALSE(f.download(net, pace, "wrong-key-77", 20261201, evening(11)));
        const QString said = f.env.dialogs.texts().join("\n");
        EXPECT_TRUE(said.contains(QStringLiteral("J-Quants API の認証に失敗しました（HTTP 401）"))) << said.toStdString();
        EXPECT_TRUE(said.contains(QStringLiteral("JQUANTS_API_KEY")));
        EXPECT_FALSE(said.contains(QStringLiteral("wrong-key-77")));
        EXPECT_FALSE(f.env.shell.messages().contains(QStringLiteral("wrong-key-77")));
        EXPECT_EQ(dataFiles(f.data).keys(), QStringList{"meigara.dat"});
    }
}

// The real command killed (SIGKILL) at steps of its own progress, fetching or importing, then run
// again: the data folder holds the bytes of an unbroken fill.
TEST(JQuantsFill, KilledAtAnyStepOfTheCommandAndRunAgainGivesTheSameBytes)
{
    ensureApp();
    const demo::MarketOptions mo = smallMarket();
    const auto want = fromDailyFiles(mo, 20261103, 20261211);
    FixedClock twinClock(evening(11));
    demo::JQuantsTwin twin(mo, twinClock, {QString::fromLatin1(kKey), 1000, 0});
    ASSERT_TRUE(twin.listen(0));
    // Runs the command to its end, or until it pauses at `pauseAt` and is killed there.
    const auto run = [&](const QStringList &args, long long pauseAt) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("JQUANTS_API_KEY"), QString::fromLatin1(kKey));
        env.remove(QStringLiteral("VELOR_PAUSE_AT_STEP"));
        if (pauseAt > 0) env.insert(QStringLiteral("VELOR_PAUSE_AT_STEP"), QString::number(pauseAt));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(VELOR_EXE), args);
        EXPECT_TRUE(p.waitForStarted());
        QByteArray err;
        bool paused = false;
        // The twin answers from this thread's event loop while the command runs.
        while (p.state() != QProcess::NotRunning) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            p.waitForReadyRead(5);
            err += p.readAllStandardError();
            if (!paused && err.contains("info: paused at step")) {
                paused = true;
                p.kill();
            }
        }
        p.waitForFinished();
        return std::pair{paused ? -1 : p.exitCode(), QString::fromUtf8(err)};
    };
    int killed = 0;
    for (const long long step : {1, 4, 12, 60, 250}) {
        QTemporaryDir dir;
        const QString home = dir.path() + "/jq";
        ASSERT_EQ(run({"init", home, "--source", "jquants", "--plan", "premium", "--api-url", twin.baseAddress()}, 0).first, 0);
        const QStringList download{"--home", home, "--now", "2026-12-11 20:00", "download", "--since", "2026-11-03", "--yes"};
        if (run(download, step).first == -1) ++killed;
        const auto [code, said] = run(download, 0);
        EXPECT_EQ(code, 0) << step << said.toStdString();
        EXPECT_FALSE(said.contains(QString::fromLatin1(kKey)));
        expectSameFolder(dataFiles(home + "/data/"), want);
    }
    EXPECT_EQ(killed, 5);   // every step lies inside the run
}

} // namespace velor::test
