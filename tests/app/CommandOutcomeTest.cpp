// How commands end, as scripts see it: 1 with "error:" exactly when the command did not do what
// was asked, 0 (with "warning:") when it went on and skipped something. Also what a command does
// with a FIFO where it reads a file, and with the temporaries a killed copy left.
#include "app/Leftovers.h"
#include "support/RunCommand.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace velor;
using namespace velor::test;

namespace {

const QByteArray kDay9 = "2024-01-09,1001,0,33000,33100,32900,33050,2500000000\r\n"
                         "2024-01-09,1301,1,1535,1550,1528,1540,50000\r\n";

struct Folder : ProgramFolder {
    Folder()
    {
        writeMaster({{1001, QStringLiteral("日経平均"), 0}, {1301, QStringLiteral("極洋"), 1}});
        writeFile(program + "touroku.dat", " 1301 \r\n");
        QDir().mkpath(data + "tmp");
    }
    CommandRun import(const QString &now = QStringLiteral("2024-01-10 15:30"))
    {
        return runVelorCommand(program, {QStringLiteral("import")}, now);
    }
    QString inbox(const QString &name) const { return data + "tmp/" + name; }
};

} // namespace

TEST(CommandOutcome, ImportSaysErrorExactlyWhenItExitsOne)
{
    const QString done = QStringLiteral("info: データの追加が終わりました\n");
    const struct { const char *name; QByteArray first, second; int code; const char16_t *err; } cases[] = {
        // Skipped: the run goes on (and the inbox is emptied, as after any run).
        {"empty file", "", {}, 0, u"warning: データファイル： %1 は空です。読み込みを中止します。\n"},
        {"nothing to do", {}, {}, 0, u"warning: データがありません！\n"},
        {"day already stored", kDay9, kDay9, 0, u"warning: 日： 20240109 のデータは既に格納されています。読み込みを中止します。\n"},
        // Not done: the day stays in the inbox.
        {"day in the stored history", kDay9, QByteArray(kDay9).replace("01-09", "01-08"), 1,
         u"error: 虫食いデータの追加機能はなくなりました\n"},
        {"day after today", QByteArray(kDay9).replace("01-09", "01-11"), {}, 1,
         u"error: データファイル： %1 の 1 行目が正しくありません（日付 20240111 が今日 20240110 より後です）。読み込みを中止します。\n"},
    };
    for (const auto &c : cases) {
        Folder f;
        const QString file = f.inbox(QStringLiteral("D.csv"));
        if (!c.first.isNull()) writeFile(file, c.first);
        if (!c.second.isNull()) {
            ASSERT_EQ(f.import().code, 0) << c.name;
            writeFile(file, c.second);
        }
        const CommandRun r = f.import();
        EXPECT_EQ(r.code, c.code) << c.name << r.err.toStdString();
        QString expected = QString::fromUtf16(c.err);
        if (expected.contains(QLatin1String("%1"))) expected = expected.arg(file);
        if (c.code == 0 && !c.first.isNull()) expected += done;
        EXPECT_EQ(r.err, expected) << c.name;
        EXPECT_EQ(QFileInfo::exists(file), c.code == 1) << c.name;
    }
}

// A FIFO where a file is read would hold the command (and, for an import, the lock) without
// limit: it is refused at once with a message naming it.
TEST(CommandOutcome, AFifoInPlaceOfAFileIsRefusedAtOnce)
{
    const struct { const char *name; const char *fifo; QStringList args; int code; const char16_t *err; } cases[] = {
        {"inbox file", "data/tmp/D240109.csv", {"import"}, 1,
         u"error: ファイル：　%1 は通常のファイルではありません。\n"},
        {"inbox archive", "data/tmp/D240109.lzh", {"import"}, 1,
         u"error: ファイル：　%1 は通常のファイルではありません。\n"},
        {"price file", "data/1301.csv", {"export", "1301"}, 1,
         u"error: 銘柄:1301:極洋         のデータファイル %1 は通常のファイルではありません\n"},
        {"minute file shown", "FUNASHI/1301.csv", {"minute", "show", "1301"}, 0,
         u"warning: ファイル：　%1 は通常のファイルではありません。\n"},
    };
    for (const auto &c : cases) {
        Folder f;
        const QString fifo = f.program + QLatin1String(c.fifo);
        QDir().mkpath(QFileInfo(fifo).absolutePath());
        ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0) << c.name;
        // Before 9:00 no quote page is read, so only the files speak.
        const CommandRun r = runVelorCommand(f.program, c.args, QStringLiteral("2024-01-10 08:00"));
        EXPECT_EQ(r.code, c.code) << c.name << r.err.toStdString();
        EXPECT_EQ(r.err, QString::fromUtf16(c.err).arg(fifo)) << c.name;
    }
    // The import let go of its lock: the next one runs once the FIFO is gone.
    Folder f;
    const QString fifo = f.inbox(QStringLiteral("D240109.csv"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_EQ(f.import().code, 1);
    QFile::remove(fifo);
    writeFile(fifo, kDay9);
    EXPECT_EQ(f.import().code, 0);
}

// An atomic save killed at its rename leaves "<name>.XXXXXX" beside its target; a copy that
// starts with both locks removes those of the program's own files, and nothing else.
TEST(CommandOutcome, TheProgramsOwnTemporariesAreRemovedAtStart)
{
    Folder f;
    const QStringList leftovers = {"touroku.dat.AbC12x", "TOUROKU2.dat.zzzzzz", "touroku3.dat.000000",
                                   "FUNASHI/Fmeigara.dat.q1W2e3", "data/meigara.dat.Xy9Zk1", "data/1301.csv.a1b2c3",
                                   "data/VELOR.jnl.kKkKkK", "data/1301.csv.vtmp"};
    const QStringList others = {"touroku.dat.bak", "touroku.dat.AbC12", "notes.txt.AbC12x", "touroku4.dat.AbC12x",
                                "FUNASHI/1301.csv.q1W2e3", "data/meigara.dat.Xy9Zk1.old", "data/x1301.csv.a1b2c3",
                                "data/12345.csv.a1b2c3", "VEDAT/r.csv.AbC12x"};
    for (const QString &n : leftovers + others) writeFile(f.program + n, "x");
    // A command that only reads takes no lock and touches nothing.
    EXPECT_EQ(runVelorCommand(f.program, {"watch", "list", "1"}).code, 0);
    for (const QString &n : leftovers) EXPECT_TRUE(QFileInfo::exists(f.program + n)) << n.toStdString();
    // One that writes does, once it holds both locks.
    EXPECT_EQ(runVelorCommand(f.program, {"watch", "add", "1", "1001"}).code, 0);
    for (const QString &n : leftovers) EXPECT_FALSE(QFileInfo::exists(f.program + n)) << n.toStdString();
    for (const QString &n : others) EXPECT_TRUE(QFileInfo::exists(f.program + n)) << n.toStdString();
}

// A price file that cannot be read for a while costs its stock no day: the day's line waits in
// VELOR.pnd, the stock's later days wait behind it, and the first import after the file is back
// adds them all, giving the bytes of a run that never met the fault.
TEST(CommandOutcome, ADayNeverLostToAFileThatCouldNotBeRead)
{
    const QByteArray day10 = "2024-01-10,1001,0,33050,33200,33000,33100,2600000000\r\n"
                             "2024-01-10,1301,1,1540,1560,1530,1555,60000\r\n";
    const QByteArray day11 = "2024-01-11,1001,0,33100,33300,33050,33250,2700000000\r\n"
                             "2024-01-11,1301,1,1555,1570,1545,1560,70000\r\n";
    const QByteArray day12 = "2024-01-12,1001,0,33250,33400,33200,33300,2800000000\r\n"
                             "2024-01-12,1301,1,1560,1580,1550,1575,80000\r\n";
    Folder ref, f;
    for (Folder *x : {&ref, &f}) {
        writeFile(x->inbox("D0.csv"), kDay9);
        ASSERT_EQ(x->import(QStringLiteral("2024-01-09 18:00")).code, 0);
    }
    const QString price = f.data + "1301.csv", aside = f.data + "1301.keep";
    ASSERT_TRUE(QFile::rename(price, aside));
    ASSERT_EQ(::mkfifo(QFile::encodeName(price).constData(), 0600), 0);
    const QString warning = QStringLiteral("warning: 銘柄： 1301 の株価ファイル ") + price +
                            QStringLiteral(" が読めないため（通常のファイルではありません）、%1 のデータを追加しませんでした。"
                                           "保留して、読めるようになった後の取り込みで追加します。\n");
    int n = 0;
    for (const QByteArray &day : {day10, day11}) {
        const QString now = n == 0 ? QStringLiteral("2024-01-10 18:00") : QStringLiteral("2024-01-11 18:00");
        writeFile(ref.inbox("D.csv"), day);
        ASSERT_EQ(ref.import(now).code, 0);
        writeFile(f.inbox("D.csv"), day);
        const CommandRun r = f.import(now);
        EXPECT_EQ(r.code, 0) << r.err.toStdString();
        // The second day waits behind the first, without a read of the file.
        if (n == 0) EXPECT_TRUE(r.err.startsWith(warning.arg(20240110))) << r.err.toStdString();
        EXPECT_FALSE(QFileInfo::exists(f.inbox("D.csv")));
        ++n;
    }
    EXPECT_EQ(readFile(f.data + "VELOR.pnd"), QByteArray("2024-01-10,1301,1,1540,1560,1530,1555,60000\r\n"
                                                         "2024-01-11,1301,1,1555,1570,1545,1560,70000\r\n"));
    // Still unreadable: an import with nothing new says the lines still wait, and keeps them.
    CommandRun r = f.import(QStringLiteral("2024-01-11 19:00"));
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(r.err.contains(QStringLiteral("2 日分のデータを保留したままです。"))) << r.err.toStdString();
    // The file is back: the next import adds the waiting days, then its own.
    QFile::remove(price);
    ASSERT_TRUE(QFile::rename(aside, price));
    writeFile(ref.inbox("D.csv"), day12);
    ASSERT_EQ(ref.import(QStringLiteral("2024-01-12 18:00")).code, 0);
    writeFile(f.inbox("D.csv"), day12);
    r = f.import(QStringLiteral("2024-01-12 18:00"));
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(readFile(f.data + "1301.csv"), readFile(ref.data + "1301.csv"));
    EXPECT_EQ(readFile(f.data + "1001.csv"), readFile(ref.data + "1001.csv"));
    EXPECT_FALSE(QFileInfo::exists(f.data + "VELOR.pnd"));
}
