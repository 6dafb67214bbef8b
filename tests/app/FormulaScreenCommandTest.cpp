// velor screen --formula / save / delete / NAME on a small market with exact lines, and the
// built-in screens beside their formulas on the demo market.
#include "app/CommandLine.h"
#include "common/Cp932.h"
#include "db/PriceFile.h"
#include "demo/DemoFolder.h"
#include "formula/SavedScreens.h"
#include "support/RunCommand.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <map>
#include <ostream>

using namespace velor;
using namespace velor::test;

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &s, std::ostream *os) { *os << s.toStdString(); }
inline std::ostream &operator<<(std::ostream &os, const QString &s) { return os << s.toStdString(); }
QT_END_NAMESPACE

namespace {

// Three stocks and the index, two rows per list, prices 100..50000, a turnover floor of 1,000,000 yen.
class FormulaCommand : public ::testing::Test {
protected:
    void SetUp() override
    {
        QByteArray ini = validSettings(pf.data);
        ini.replace("0,0,20,0\r\n", "0,0,2,0\r\n").replace("100,50000,300000000\r\n", "100,50000,1000000\r\n");
        writeFile(pf.program + "VELOR.ini", ini);
        pf.writeMaster({{1001, QStringLiteral("日経平均"), 0}, {1301, QStringLiteral("極洋"), 1},
                        {1332, QStringLiteral("日本水産"), 1}, {1605, QStringLiteral("国際石油"), 1}});
        prices(1001, {{20240110, 33000, 33500, 32900, 33400, 0}, {20240109, 33000, 33100, 32800, 33000, 0}});
        prices(1301, {{20240110, 105, 112, 104, 110, 20000}, {20240109, 100, 101, 99, 100, 10000},
                      {20240108, 98, 100, 97, 99, 10000}});
        prices(1332, {{20240110, 200, 204, 196, 180, 50000}, {20240109, 200, 200, 200, 200, 50000},
                      {20240108, 190, 201, 189, 195, 40000}});
        prices(1605, {{20240110, 1000, 1010, 990, 1005, 3000}, {20240109, 990, 1000, 980, 1000, 1000},
                      {20240108, 1000, 1000, 990, 990, 1000}});
        writeFile(pf.program + "touroku2.dat", " 1332 \r\n 1301 \r\n 9999 \r\n");
    }
    void prices(int code, const std::vector<Bar> &daily)
    {
        PriceSections s;
        s[0] = daily;
        writeFile(pf.data + QString::number(code) + ".csv", formatPriceFile(s));
    }
    CommandRun run(const QStringList &args)
    {
        return runVelorCommand(pf.program, QStringList{"screen"} + args, QStringLiteral("2024-01-10 15:30"));
    }
    QString head(const QString &name, bool bottom = false) const
    {
        return "★" + name + (bottom ? "（下位）" : "（上位）") + "★　５値  日= 20240110 15:30:00\n";
    }
    QString savedPath() const { return pf.program + "formulas.dat"; }

    ProgramFolder pf;
    const QString row1301 = "\"極洋   (1)\",%1,105,112,104,110,2,↑\n";
    const QString row1332 = "\"日本水産 (1)\",%1,200,204,196,180,5,↓\n";
    const QString row1605 = "\"国際石油 (1)\",%1,1000,1010,990,1005,0.3,↑\n";
};

} // namespace

TEST_F(FormulaCommand, FormulaScreensPrintTheRankingWindowsLines)
{
    struct Case {
        QStringList args;
        QString out, err;
    };
    const Case cases[] = {
        // No score: the turnover, largest first; 1332 fell and is left out.
        {{"--formula", "C > C[1]"}, head("条件式") + "1605," + row1605.arg("3015000.") + "1301," + row1301.arg("2200000."), ""},
        {{"--formula", "C > C[1]", "--score", "C - C[1]", "--bottom", "--rows", "1"},
         head("条件式", true) + "1605," + row1605.arg("5."), ""},
        // Full-width text as typed in Japanese input.
        {{"--formula", "Ｃ＞Ｃ［１］", "--score", "ｃ－ｃ［１］"},
         head("条件式") + "1301," + row1301.arg("10.") + "1605," + row1605.arg("5."), ""},
        // Watch list 2 holds 1332, 1301 and a code the master lacks.
        {{"--formula", "C > 0", "--list", "2"}, head("条件式") + "1332," + row1332.arg("9000000.") + "1301," + row1301.arg("2200000."),
         "warning: 登録銘柄のうち 1 件は銘柄一覧にないため除きました。\n"},
        // The turnover floor (1,000,000) and the price band (100..50000) hold as in every screen.
        {{"--formula", "V < 5000"}, head("条件式") + "1605," + row1605.arg("3015000."), ""},
        {{"--formula", "C > 99999"}, head("条件式"), ""},
        // Bars that do not exist make the filter false, never true.
        {{"--formula", "NOT C[5] > 0"}, head("条件式"), ""},
    };
    for (const Case &c : cases) {
        const CommandRun r = run(c.args);
        EXPECT_EQ(r.code, 0) << c.args.join(' ') << r.err;
        EXPECT_EQ(r.out.toStdString(), c.out.toStdString()) << c.args.join(' ');
        EXPECT_EQ(r.err, c.err) << c.args.join(' ');
    }
}

TEST_F(FormulaCommand, BadFormulasAndUsage)
{
    struct Case {
        QStringList args;
        int code;
        QString errStart;
    };
    const Case cases[] = {
        {{"--formula", "C > MAA(C,5)"}, 1, "error: 条件式の 5 文字目: 「MAA」という項目や関数はありません\n"},
        {{"--formula", "C > 0", "--score", "C /"}, 1, "error: スコアの式の 4 文字目: 式が途中で終わっています\n"},
        {{"--formula", ""}, 1, "error: 条件式の 1 文字目: 条件式が空です\n"},
        {{"save", "x", "--formula", "RSI(0) > 1"}, 1, "error: 条件式の 5 文字目: RSI の期間は 1 から 1500 までの整数です\n"},
        {{"--score", "C"}, 2, "error: --score は --formula と一緒に指定します。\n"},
        {{"--formula"}, 2, "error: --formula の値がありません。\n"},
        {{"rsi", "--bottom"}, 2, "error: --bottom, --rows, --list は自作スクリーニングに指定します。\n"},
        {{"--formula", "C", "rsi"}, 2, "error: --formula と検索の名前は一緒に指定できません。\n"},
        {{"--formula", "C", "--rows", "0"}, 2, "error: --rows は 1 から 1000 までの数です。\n"},
        {{"--formula", "C", "--list", "4"}, 2, "error: --list は all, working, 1, 2, 3 のどれかです。\n"},
        {{"save", "x"}, 2, "error: screen save には --formula が必要です。\n"},
        {{"save", "rsi", "--formula", "C"}, 2, "error: 「rsi」は組み込みの検索の名前です\n"},
        {{"delete"}, 2, "error: screen delete には名前を 1 つ指定します。\n"},
        {{"delete", "nothing"}, 1, "error: 保存された自作スクリーニング「nothing」はありません。\n"},
        {{"nothing"}, 2, "error: 不明な検索 nothing\n"},
    };
    for (const Case &c : cases) {
        const CommandRun r = run(c.args);
        EXPECT_EQ(r.code, c.code) << c.args.join(' ');
        EXPECT_TRUE(r.err.startsWith(c.errStart)) << c.args.join(' ') << "\n" << r.err;
        EXPECT_TRUE(r.out.isEmpty()) << c.args.join(' ');
    }
    EXPECT_FALSE(QFile::exists(savedPath()));
}

TEST_F(FormulaCommand, SavedScreensRunByNameAndKeepLinesTheyCannotRead)
{
    // A hand-edited file: a comment and a broken line stay where they are, byte for byte.
    const QByteArray kept = "; \x8E\xA9\x8D\xEC\r\nbroken line\r\n";   // "; 自作" in CP932
    writeFile(savedPath(), kept);
    CommandRun r = run({"save", "上昇", "--formula", "C > C[1]", "--score", "C - C[1]", "--rows", "5"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "info: 自作スクリーニング「上昇」を保存しました: " + savedPath() + "\n");
    const QByteArray line1 = toCp932(u"上昇\tC > C[1]\tC - C[1]\ttop\t5\tall\r\n");
    EXPECT_EQ(readFile(savedPath()), kept + line1);

    r = run({"上昇"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out.toStdString(), QString(head("上昇") + "1301," + row1301.arg("10.") + "1605," + row1605.arg("5.")).toStdString());
    // Options given on the line override the saved ones for this run.
    r = run({"上昇", "--bottom", "--rows", "1"});
    EXPECT_EQ(r.out.toStdString(), QString(head("上昇", true) + "1605," + row1605.arg("5.")).toStdString());

    // Saving under the same name replaces the line in place; a second screen goes at the end.
    ASSERT_EQ(run({"save", "出来高", "--formula", "V > 0", "--list", "working", "--bottom"}).code, 0);
    ASSERT_EQ(run({"save", "上昇", "--formula", "C >= C[1]"}).code, 0);
    const QByteArray line1b = toCp932(u"上昇\tC >= C[1]\t\ttop\t0\tall\r\n");
    const QByteArray line2 = toCp932(u"出来高\tV > 0\t\tbottom\t0\tworking\r\n");
    EXPECT_EQ(readFile(savedPath()), kept + line1b + line2);

    // A bad formula is not saved, and the file stays as it was.
    r = run({"save", "上昇", "--formula", "C >"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(readFile(savedPath()), kept + line1b + line2);

    r = run({"list"});
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(r.out.startsWith("上昇\tC >= C[1]\t\ttop\t0\tall\n出来高\tV > 0\t\tbottom\t0\tworking\nRSI大\t")) << r.out;

    ASSERT_EQ(run({"delete", "上昇"}).code, 0);
    EXPECT_EQ(readFile(savedPath()), kept + line2);
    EXPECT_EQ(run({"上昇"}).code, 2);
    // The result file of a formula screen is written as 保存 writes one (CP932, CR LF).
    const QString out = pf.program + "VEDAT/f.txt";
    QDir().mkpath(pf.program + "VEDAT");
    r = run({"--formula", "C > C[1]", "--out", out});
    ASSERT_EQ(r.code, 0);
    EXPECT_EQ(readFile(out), toCp932(QString(r.out).replace("\n", "\r\n")));
}

// Each example formula screen gives exactly the lines of its built-in screen's list, on the demo
// market, daily and weekly.
TEST(FormulaExamples, BuiltInScreensAsFormulasGiveIdenticalLines)
{
    QTemporaryDir dir;
    const QString home = dir.path() + "/demo";
    demo::MarketOptions mo;
    mo.stocks = 400;
    mo.splits = true;
    ASSERT_TRUE(demo::writeDemoFolder(home, mo).has_value());
    struct Pair {
        const char16_t *example;
        QStringList builtIn;
        int list;
    };
    const Pair pairs[] = {
        {u"RSI大", {"rsi"}, 0}, {u"RSI小", {"rsi"}, 1}, {u"RSI大×出来高上昇率", {"rsi"}, 2}, {u"RSI小×出来高上昇率", {"rsi"}, 3},
        {u"RCI大", {"rci"}, 0}, {u"RCI小", {"rci"}, 1}, {u"RCI大×出来高上昇率", {"rci"}, 2}, {u"RCI小×出来高上昇率", {"rci"}, 3},
        {u"乖離率大", {"kairi"}, 0}, {u"乖離率小", {"kairi"}, 1},
        {u"サイコロジカル大", {"psyc"}, 0}, {u"サイコロジカル小", {"psyc"}, 1},
        {u"当日上昇率大", {"toujitu"}, 0}, {u"当日上昇率小", {"toujitu"}, 1},
        {u"当日上昇率×出来高上昇率大", {"toujitu"}, 2}, {u"当日上昇率×出来高上昇率小", {"toujitu"}, 3},
        {u"値幅率0", {"haba", "0"}, 0}, {u"値幅率0×出来高上昇率", {"haba", "0"}, 1},
        {u"値幅率1", {"haba", "1"}, 0}, {u"値幅率1×出来高上昇率", {"haba", "1"}, 1},
        {u"値幅率2", {"haba", "2"}, 0}, {u"値幅率2×出来高上昇率", {"haba", "2"}, 1},
        {u"値幅率3", {"haba", "3"}, 0}, {u"値幅率3×出来高上昇率", {"haba", "3"}, 1},
    };
    const QString now = QStringLiteral("2026-11-30 18:00");
    // The data rows of each list of a screen's output.
    auto lists = [](const QString &out) {
        std::vector<QStringList> l;
        for (const QString &line : out.split('\n', Qt::SkipEmptyParts)) {
            if (line.startsWith(u'★')) l.emplace_back();
            else if (!l.empty()) l.back() << line;
        }
        return l;
    };
    int rows = 0;
    for (const QString period : {"d", "w"}) {
        std::map<QString, std::vector<QStringList>> builtIns;
        for (const Pair &p : pairs) {
            const QString key = p.builtIn.join(' ');
            if (!builtIns.count(key)) {
                const CommandRun b = runVelorCommand(home, QStringList{"screen"} + p.builtIn + QStringList{"--period", period}, now);
                ASSERT_EQ(b.code, 0) << key << b.err;
                builtIns[key] = lists(b.out);
            }
            const QString name = QString::fromUtf16(p.example);
            const CommandRun f = runVelorCommand(home, {"screen", name, "--period", period}, now);
            ASSERT_EQ(f.code, 0) << name << f.err;
            const auto got = lists(f.out);
            ASSERT_EQ(got.size(), 1u) << name;
            ASSERT_GT(builtIns[key].size(), size_t(p.list)) << key;
            EXPECT_EQ(got[0], builtIns[key][size_t(p.list)]) << name << " " << period;
            rows += int(got[0].size());
        }
    }
    // Every list of the pairs holds rows (20 each on the demo), so the comparison is not of empties.
    EXPECT_EQ(rows, 2 * int(std::size(pairs)) * 20);

    // Live, during the session: the newest bar is each stock's quote page.
    const QString session = QStringLiteral("2026-11-30 10:15");
    for (const auto &[example, builtIn] : {std::pair{u"当日上昇率大"_qs, QStringList{"toujitu"}}, std::pair{u"RSI小"_qs, QStringList{"rsi"}}}) {
        const CommandRun b = runVelorCommand(home, QStringList{"screen"} + builtIn + QStringList{"--live"}, session);
        const CommandRun f = runVelorCommand(home, {"screen", example, "--live"}, session);
        ASSERT_EQ(b.code, 0) << b.err;
        ASSERT_EQ(f.code, 0) << f.err;
        const auto want = lists(b.out), got = lists(f.out);
        const size_t list = builtIn[0] == u"rsi" ? 1 : 0;
        ASSERT_GT(want.size(), list);
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(got[0].size(), 20);
        EXPECT_EQ(got[0], want[list]) << example;
        EXPECT_TRUE(f.out.startsWith("★" + example + "（上位）★　５値  日= 20261130 10:15:00\n") ||
                    f.out.startsWith("★" + example + "（下位）★　５値  日= 20261130 10:15:00\n")) << f.out;
    }
}
