// Several days in one pass: the same bytes as importing them one at a time, durable in the
// right order, and finished to those bytes after a stop at any step.
#include "common/BatchWriter.h"
#include "common/Cp932.h"
#include "common/TextFile.h"
#include "db/StockMaster.h"
#include "demo/DemoFolder.h"
#include "demo/DemoSite.h"
#include "import/DailyImport.h"
#include "import/TenDayMarket.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

using namespace velor;
using namespace velor::test;

namespace {

struct Stopped {};

// The stored newest day (already in the database) and the ten next days, named by date.
std::vector<std::pair<QString, QByteArray>> inboxFiles()
{
    const demo::MarketGenerator gen(tenDayMarket());
    const int from = gen.storedDays() - 1;
    const auto files = demo::dailyFiles(gen, from, gen.storedDays() + 10);
    std::vector<std::pair<QString, QByteArray>> out;
    for (size_t i = 0; i < files.size(); ++i)
        out.emplace_back(gen.calendar()[size_t(from) + i].toString(QStringLiteral("'D'yyMMdd'.csv'")), files[i]);
    return out;
}

class CountingShell : public TextShell {
public:
    int stopAtProgress = -1;   ///< 1-based count of setProgress calls
    QString stopAtMessage;
    int calls = 0;
    void setProgress(int value, int maximum) override
    {
        TextShell::setProgress(value, maximum);
        if (++calls == stopAtProgress) throw Stopped{};
    }
    void prependMessage(const QString &text) override
    {
        TextShell::prependMessage(text);
        if (!stopAtMessage.isEmpty() && text.contains(stopAtMessage)) throw Stopped{};
    }
};

// The demo folder written once; each market starts as a copy of it.
const QString &pristine()
{
    static QTemporaryDir dir;
    static const bool written = demo::writeDemoFolder(dir.path(), tenDayMarket()).has_value();
    EXPECT_TRUE(written);
    static const QString path = dir.path();
    return path;
}

void copyFolder(const QString &from, const QString &to)
{
    QDir().mkpath(to);
    for (const QFileInfo &fi : QDir(from).entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString target = to + '/' + fi.fileName();
        if (fi.isDir()) copyFolder(fi.filePath(), target);
        else ASSERT_TRUE(QFile::copy(fi.filePath(), target)) << target.toStdString();
    }
}

struct DemoMarket {
    QTemporaryDir dir;
    QString program, data;
    TestEnv env;
    State st;
    DemoMarket()
    {
        program = dir.path() + '/';
        data = program + "data/";
        copyFolder(pristine(), dir.path());
        env.clock.set(QDateTime(QDate(2026, 12, 11), QTime(20, 0)));   // no new day lies after today
        load();
    }
    // State as a new process reads it.
    void load()
    {
        st = State{};
        st.ProgramDir = program, st.DataDir = data, st.MasterPath = data + "meigara.dat", st.LogPath = data + "VELOR.log";
        st.CurCode = 1001;
        EXPECT_TRUE(MEIGARAIN(st).has_value());
    }
    void inbox(const QString &name, const QByteArray &bytes) { writeFile(data + "tmp/" + name, bytes); }
    bool run(Shell &shell, BatchFileOps &ops = realBatchFileOps())
    {
        Services sv{env.clock, env.net, env.launcher, env.sound, env.dialogs, shell, &env.noQuote};
        return runImport(st, sv, ops);
    }
    QMap<QString, QByteArray> snapshot() const
    {
        QMap<QString, QByteArray> m;
        for (const QString &n : QDir(data).entryList(QDir::Files)) m[n] = readFile(data + n);
        return m;
    }
    QStringList leftovers() const { return QDir(data).entryList({QStringLiteral("*.vtmp")}, QDir::Files); }
    QStringList inboxNames() const { return QDir(data + "tmp").entryList(QDir::Files); }
};

struct Reference {
    QMap<QString, QByteArray> files;
    QString messages;
    int progressCalls = 0;
};

// All the days in one run, never stopped.
const Reference &onePass()
{
    static const Reference ref = [] {
        DemoMarket m;
        for (const auto &[name, bytes] : inboxFiles()) m.inbox(name, bytes);
        CountingShell shell;
        EXPECT_TRUE(m.run(shell));
        EXPECT_EQ(m.env.dialogs.texts(),
                  (QStringList{QStringLiteral("日： 20261127 のデータは既に格納されています。読み込みを中止します。"),
                               QStringLiteral("データの追加が終わりました")}));
        return Reference{m.snapshot(), shell.messages(), shell.calls};
    }();
    return ref;
}

} // namespace

TEST(ImportPass, TenDaysInOnePassGiveTheBytesOfTenSeparateImports)
{
    DemoMarket m;
    QString messages;
    for (const auto &[name, bytes] : inboxFiles()) {
        m.inbox(name, bytes);
        TextShell shell;
        m.run(shell);
        messages.prepend(shell.messages());
        EXPECT_TRUE(m.inboxNames().isEmpty());
    }
    const Reference &pass = onePass();
    EXPECT_EQ(pass.files, m.snapshot());
    EXPECT_EQ(pass.messages, messages);
    // The market holds what the test is about.
    const QString log = fromCp932(pass.files.value("VELOR.log"));
    EXPECT_EQ(log.count(QStringLiteral("20261202：　新規銘柄： ")), 3) << log.toStdString();
    EXPECT_EQ(log.count(QStringLiteral("20261202：　新規銘柄： 855A, 新規銘柄　(4) を追加。\r\n")), 1) << log.toStdString();
    EXPECT_EQ(log.count(QStringLiteral("20261204：　銘柄： ")), 2) << log.toStdString();
    EXPECT_EQ(log.count(QStringLiteral("\r\n")), 5);
    // The master's tail holds the codes with letters in the exchange's order, 855A among them.
    EXPECT_TRUE(pass.files.value("meigara.dat").endsWith("LTCD130A275A2D12710A855A9F3A"));
    EXPECT_TRUE(pass.messages.startsWith(QStringLiteral("20261211 のデータを追加しています\r\n")));
    EXPECT_TRUE(pass.messages.endsWith(QStringLiteral("20261130 のデータを追加しています\r\n")));
    EXPECT_TRUE(pass.files.value("1001.csv").startsWith("300,300,300\r\n20261211,"));
}

TEST(ImportPass, StoppedAtAnyStepAndRunAgainGivesTheSameBytes)
{
    const Reference &ref = onePass();
    const int n = ref.progressCalls;
    ASSERT_GT(n, 600);
    struct Case { int progress; const char16_t *message; };
    const Case cases[] = {{1, nullptr}, {n / 5, nullptr}, {n / 2, nullptr}, {n * 4 / 5, nullptr}, {n * 9 / 10, nullptr},
                          {n - 1, nullptr}, {n, nullptr},
                          {-1, u"20261203 のデータを追加しています"}, {-1, u"新規銘柄："}};
    int withLeftovers = 0;
    for (const Case &c : cases) {
        DemoMarket m;
        for (const auto &[name, bytes] : inboxFiles()) m.inbox(name, bytes);
        CountingShell shell;
        shell.stopAtProgress = c.progress;
        if (c.message) shell.stopAtMessage = QString::fromUtf16(c.message);
        EXPECT_THROW(m.run(shell), Stopped) << c.progress;
        if (!m.leftovers().isEmpty()) ++withLeftovers;
        ASSERT_TRUE(QFile::exists(m.data + "VELOR.jnl")) << c.progress;
        m.load();
        TextShell again;
        EXPECT_TRUE(m.run(again)) << c.progress;
        EXPECT_EQ(m.snapshot(), ref.files) << c.progress;
        EXPECT_TRUE(m.leftovers().isEmpty()) << c.progress;
        EXPECT_TRUE(m.inboxNames().isEmpty()) << c.progress;
    }
    // The temporary files a stopped pass leaves are removed by the next run.
    EXPECT_GE(withLeftovers, 4);
}

namespace {

// Every call of the batch, in order.
class RecordingOps : public BatchFileOps {
public:
    struct Call { char kind; QStringList paths; };
    std::vector<Call> calls;
    QString journal;
    std::vector<bool> journalAtRename;
    std::expected<void, QString> writeUnsynced(const QString &path, const QByteArray &bytes) override
    {
        calls.push_back({'w', {path}});
        return BatchFileOps::writeUnsynced(path, bytes);
    }
    std::expected<void, QString> syncFiles(const QString &folder, const QStringList &paths) override
    {
        calls.push_back({'s', paths});
        return BatchFileOps::syncFiles(folder, paths);
    }
    std::expected<void, QString> rename(const QString &from, const QString &to) override
    {
        calls.push_back({'r', {from, to}});
        journalAtRename.push_back(QFile::exists(journal));
        return BatchFileOps::rename(from, to);
    }
    std::expected<void, QString> syncFolder(const QString &folder) override
    {
        calls.push_back({'d', {folder}});
        return BatchFileOps::syncFolder(folder);
    }
};

} // namespace

TEST(ImportPass, EveryPriceFileIsRenamedOnlyAfterTheSyncThatCoversIt)
{
    DemoMarket m;
    for (const auto &[name, bytes] : inboxFiles()) m.inbox(name, bytes);
    RecordingOps ops;
    ops.journal = m.data + "VELOR.jnl";
    TextShell shell;
    ASSERT_TRUE(m.run(shell, ops));
    EXPECT_EQ(m.snapshot(), onePass().files);

    int syncs = 0, renames = 0;
    std::map<QString, size_t> written, synced;
    for (size_t i = 0; i < ops.calls.size(); ++i) {
        const auto &c = ops.calls[i];
        if (c.kind == 'w') written[c.paths[0]] = i;
        if (c.kind == 's') {
            ++syncs;
            for (const QString &p : c.paths) {
                ASSERT_TRUE(written.count(p)) << p.toStdString();
                synced[p] = i;
            }
        }
        if (c.kind == 'r') {
            ++renames;
            ASSERT_TRUE(c.paths[0].endsWith(".vtmp"));
            EXPECT_EQ(c.paths[0], c.paths[1] + ".vtmp");
            ASSERT_TRUE(synced.count(c.paths[0])) << c.paths[0].toStdString();
            EXPECT_LT(written.at(c.paths[0]), synced.at(c.paths[0]));
            EXPECT_LT(synced.at(c.paths[0]), i);
        }
    }
    EXPECT_EQ(syncs, 1);   // one sync for the whole batch
    // 1001, 1002, the 59 stocks of digit codes traded in those days (one of the 60 is delisted) and
    // the 6 of letter codes.
    EXPECT_EQ(renames, 67);
    ASSERT_FALSE(ops.calls.empty());
    EXPECT_EQ(ops.calls.back().kind, 'd');   // the folder synced after the last rename
    // The journal stays until every file is in place.
    EXPECT_EQ(std::count(ops.journalAtRename.begin(), ops.journalAtRename.end(), true), renames);
    EXPECT_FALSE(QFile::exists(ops.journal));
}

namespace {

// Real file calls, except that removing the extracted member of an archive fails as an unlink
// with an I/O error does: the file stays.
class StuckRemoveOps : public BatchFileOps {
public:
    QStringList refused;
    bool remove(const QString &path) override
    {
        if (path.endsWith(QLatin1String(".csv")) && !path.contains(QLatin1String("/data/"))) {
            refused << path;
            return false;
        }
        return BatchFileOps::remove(path);
    }
};

} // namespace

// The CSV unpacked from an archive that cannot be removed again is named in a warning instead of
// being left in the program folder unseen; the day is imported all the same.
TEST(ImportPass, AnExtractedMemberThatCannotBeRemovedIsNamed)
{
    DemoMarket m;
    ASSERT_TRUE(QFile::copy(m.program + "site/data2026/D261130.lzh", m.data + "tmp/D261130.lzh"));
    StuckRemoveOps ops;
    TextShell shell;
    EXPECT_TRUE(m.run(shell, ops));
    const QString member = m.program + "d261130.csv";
    EXPECT_EQ(ops.refused, QStringList{member});
    EXPECT_TRUE(m.inboxNames().isEmpty());
    EXPECT_EQ(m.env.dialogs.texts().count(QStringLiteral("展開したファイル：　") + member + QStringLiteral(" を削除できませんでした。")), 1)
        << m.env.dialogs.texts().join(QLatin1Char('|')).toStdString();
}
