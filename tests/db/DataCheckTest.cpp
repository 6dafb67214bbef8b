// The data check on a small hand-written market: a clean folder reports nothing, and each
// planted fault is found once, with its line as the command prints it.
#include "db/DataCheck.h"
#include "common/StockCode.h"
#include "db/StockMaster.h"
#include "support/TestSupport.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <functional>
#include <map>

namespace velor::test {
namespace {

// A price file from its bar lines, newest first; each section padded to 300 lines.
QByteArray priceFile(const QStringList &daily, const QStringList &weekly, const QStringList &monthly)
{
    QByteArray out = QByteArray::number(daily.size()) + ',' + QByteArray::number(weekly.size()) + ',' +
                     QByteArray::number(monthly.size()) + "\r\n";
    for (const QStringList *sec : {&daily, &weekly, &monthly}) {
        for (const QString &l : *sec) out += l.toLatin1() + "\r\n";
        for (qsizetype k = sec->size(); k < 300; ++k) out += "0,0,0,0,0,0\r\n";
    }
    return out;
}

// The week of Mon 2026-11-30 to Fri 12-04 and Mon 12-07; November holds only its 30th.
const QStringList kIndexDaily = {"20261207,100,110,95,105,10", "20261204,98,102,97,100,10", "20261203,96,99,95,98,10",
                                 "20261202,95,97,94,96,10",    "20261201,94,96,93,95,10",   "20261130,90,95,89,94,10"};
// An ordinary stock with a day without trade (flat at the close before it).
const QStringList k1301Daily = {"20261207,500,520,495,510,1000", "20261204,490,490,490,490,0", "20261203,480,495,478,490,2000",
                                "20261202,470,482,468,480,1500", "20261201,465,472,460,470,1200", "20261130,460,468,455,465,1000"};
const QStringList k1301Weekly = {"20261207,500,520,495,510,1000", "20261204,460,495,455,490,5700"};
const QStringList k1301Monthly = {"20261207,465,520,460,510,5700", "20261130,460,468,455,465,1000"};
// A 1:2 split with its ex-date 12-03: the close halves overnight.
const QStringList k1332Daily = {"20261207,510,515,500,505,100", "20261204,500,512,498,510,100", "20261203,495,505,490,500,200",
                                "20261202,990,1010,985,1000,100", "20261201,980,995,975,990,100", "20261130,970,985,965,980,100"};
// A code with letters, listed on 12-02, without trade on 12-07: that week is flat at 300.
const QByteArray k130A = priceFile({"20261207,300,300,300,300,0", "20261204,295,305,290,300,100", "20261203,290,296,288,295,100",
                                    "20261202,280,291,279,290,100"},
                                   {"20261207,300,300,300,300,0", "20261204,280,305,279,300,300"},
                                   {"20261207,280,305,279,300,300"});

struct Market {
    std::map<QString, QByteArray> files = {
        {"1001.csv", priceFile(kIndexDaily, {"20261207,100,110,95,105,10", "20261204,90,102,89,100,50"},
                               {"20261207,94,110,93,105,50", "20261130,90,95,89,94,10"})},
        {"1301.csv", priceFile(k1301Daily, k1301Weekly, k1301Monthly)},
        {"1332.csv", priceFile(k1332Daily, {"20261207,510,515,500,505,100", "20261204,970,1010,490,510,600"},
                               {"20261207,980,1010,490,505,600", "20261130,970,985,965,980,100"})},
        {"130A.csv", k130A},
        {"split.dat", "1332,20261203,1:2\r\n"},
    };
    std::vector<std::tuple<int, QString, int>> master = {
        {1001, "日経平均", 0}, {1301, "極洋", 1}, {1332, "日水", 1}, {*codeFromText(std::string_view("130A")), "新規", 1}};
};

QStringList replaced(QStringList lines, qsizetype at, const QString &line)
{
    lines[at] = line;
    return lines;
}

struct Case {
    const char *name;
    std::function<void(Market &)> plant;
    QStringList expected;
};

TEST(DataCheck, FindsEachPlantedFaultOnceAndNothingInACleanFolder)
{
    const std::vector<Case> cases = {
        {"clean", [](Market &) {}, {}},
        {"high below the close",
         [](Market &m) { m.files["1301.csv"] = priceFile(replaced(k1301Daily, 3, "20261202,470,479,468,480,1500"), k1301Weekly, k1301Monthly); },
         {"1301.csv,20261202,日足の高値・安値が始値・終値と矛盾しています（始値 470 高値 479 安値 468 終値 480 出来高 1500）"}},
        {"negative open",
         [](Market &m) { m.files["1301.csv"] = priceFile(replaced(k1301Daily, 3, "20261202,-470,482,468,480,1500"), k1301Weekly, k1301Monthly); },
         {"1301.csv,20261202,日足に負の値または数でない値があります（始値 -470 高値 482 安値 468 終値 480 出来高 1500）"}},
        {"weekly dates out of order",
         [](Market &m) { m.files["1301.csv"] = priceFile(k1301Daily, replaced(k1301Weekly, 1, "20261207,460,495,455,490,5700"), k1301Monthly); },
         {"1301.csv,20261207,週足の日付が一つ上の行の 20261207 より古くありません"}},
        {"old monthly bars, the older with its high below its open",
         [](Market &m) {
             m.files["1301.csv"] = priceFile(k1301Daily, k1301Weekly, k1301Monthly + QStringList{"20261030,460,470,455,465,1000", "20260930,460,458,455,465,1000"});
         },
         {"1301.csv,20260930,月足の高値・安値が始値・終値と矛盾しています（始値 460 高値 458 安値 455 終値 465 出来高 1000）",
          "1301.csv,20261030,月足の期間に日足がありません", "1301.csv,20260930,月足の期間に日足がありません"}},
        {"a date that is not one",
         [](Market &m) { m.files["1301.csv"] = priceFile(k1301Daily, k1301Weekly, replaced(k1301Monthly, 1, "20261131,460,468,455,465,1000")); },
         {"1301.csv,20261131,月足の日付 20261131 は日付ではありません"}},
        {"a trading day missing",
         [](Market &m) {
             QStringList daily = k1301Daily;
             daily.removeAt(3);
             m.files["1301.csv"] = priceFile(daily, replaced(k1301Weekly, 1, "20261204,460,495,455,490,4200"),
                                             replaced(k1301Monthly, 0, "20261207,465,520,460,510,4200"));
         },
         {"1301.csv,20261202,日足がありません（1001 の取引日です）"}},
        {"a split not recorded",
         [](Market &m) { m.files["split.dat"] = ""; },
         {"1332.csv,20261203,終値 500 が前日の 1000 から値幅制限（300 円）を超えて動いています。1:2 の株式分割・併合なら記録してください： "
          "velor split add 1332 2026-12-03 1:2"}},
        {"a monthly close other than the daily one",
         [](Market &m) { m.files["1301.csv"] = priceFile(k1301Daily, k1301Weekly, replaced(k1301Monthly, 0, "20261207,465,520,460,511,5700")); },
         {"1301.csv,20261207,月足が日足と合いません（始値 465 高値 520 安値 460 終値 511 出来高 5700、日足からは 20261207 "
          "始値 465 高値 520 安値 460 終値 510 出来高 5700）"}},
        {"a master entry without its file",
         [](Market &m) { m.master.emplace_back(1376, "カネコ種苗", 1); },
         {"meigara.dat,,銘柄 1376 の株価ファイル 1376.csv がありません"}},
        {"files whose names are not codes as written", [](Market &m) { m.files["0130.csv"] = k130A, m.files["130a.csv"] = k130A, m.files["13.0.csv"] = k130A; }, {}},
        {"a price file without a master entry",
         [](Market &m) { m.files["9999.csv"] = k130A; },
         {"9999.csv,,銘柄一覧（meigara.dat）にない銘柄の株価ファイルです"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Market m;
        c.plant(m);
        ProgramFolder pf;
        pf.writeMaster(m.master);
        for (const auto &[name, bytes] : m.files) writeFile(pf.data + name, bytes);
        // One thread lists while others check; the findings come out the same whoever did what.
        for (const int threads : {1, 2, 3}) {
            const DataCheckReport report = checkDataFolder(pf.data, threads);
            EXPECT_TRUE(report.errors.isEmpty()) << report.errors.join('\n').toStdString();
            QStringList lines;
            for (const auto &f : report.findings) lines << findingLine(f);
            EXPECT_EQ(lines, c.expected) << threads << " threads\n" << lines.join('\n').toStdString();
        }
    }
}

TEST(DataCheck, AFileThatCannotBeParsedIsAnErrorAndTheOthersAreStillChecked)
{
    Market m;
    ProgramFolder pf;
    pf.writeMaster(m.master);
    for (const auto &[name, bytes] : m.files) writeFile(pf.data + name, bytes);
    writeFile(pf.data + "1301.csv", priceFile(replaced(k1301Daily, 1, "20261204,490,490,x,490,0"), k1301Weekly, k1301Monthly));
    writeFile(pf.data + "1332.csv", priceFile(replaced(k1332Daily, 0, "20261207,510,515,500,520,100"),
                                              {"20261207,510,515,500,505,100", "20261204,970,1010,490,510,600"},
                                              {"20261207,980,1010,490,505,600", "20261130,970,985,965,980,100"}));
    const DataCheckReport report = checkDataFolder(pf.data, 1);
    EXPECT_EQ(report.errors, QStringList{"ファイル：　" + pf.data + "1301.csv の 3 行目が正しくありません。"});
    ASSERT_EQ(report.findings.size(), 3u);
    EXPECT_EQ(report.counts(), (std::array<int, kCheckKinds>{1, 0, 0, 0, 2, 0}));

    // 1001's file is read before the others for its trading days: its error is told once, in
    // its place, and the others are checked without trading days.
    writeFile(pf.data + "1001.csv", "1,0,0\r\nx\r\n");
    const DataCheckReport without = checkDataFolder(pf.data, 2);
    EXPECT_EQ(without.errors, (QStringList{"ファイル：　" + pf.data + "1001.csv の 2 行目が正しくありません。",
                                           "ファイル：　" + pf.data + "1301.csv の 3 行目が正しくありません。"}));
    EXPECT_EQ(without.counts(), (std::array<int, kCheckKinds>{1, 0, 0, 0, 2, 0}));

    // The splits are read before the files and the master after them: an unreadable split table
    // comes first (and no price limit is judged without it), an unreadable master last, and the
    // files are checked in between, whoever read what.
    QFile::remove(pf.data + "split.dat");
    QDir(pf.data).mkdir("split.dat");
    QFile::remove(pf.data + "meigara.dat");
    for (const int threads : {1, 2}) {
        const DataCheckReport report = checkDataFolder(pf.data, threads);
        ASSERT_EQ(report.errors.size(), 4) << threads << " threads\n" << report.errors.join('\n').toStdString();
        EXPECT_EQ(report.errors[0], "ファイル：　" + pf.data + "split.dat は通常のファイルではありません。");
        EXPECT_EQ(report.errors.mid(1, 2), without.errors);
        EXPECT_EQ(report.errors[3], "ファイル：　" + pf.data + "meigara.dat を読めません。");
        EXPECT_EQ(report.counts(), (std::array<int, kCheckKinds>{1, 0, 0, 0, 2, 0}));
    }
}

// Files are listed by one thread while others check them, a batch at a time: with many files,
// the findings still come out in the exchange's code order (digits before letters), each file's
// own first, then the master's.
TEST(DataCheck, ManyFilesReportInCodeOrderWhateverTheThreads)
{
    Market m;
    ProgramFolder pf;
    pf.writeMaster(m.master);
    for (const auto &[name, bytes] : m.files) writeFile(pf.data + name, bytes);
    // In the exchange's order: 1409, 140A, 1410 …, 1479, 147C, then 1A0A.
    QStringList codes;
    for (int c = 1400; c < 1480; ++c) codes << QString::number(c) << (c == 1409 ? "140A" : c == 1479 ? "147C" : "");
    codes.removeAll("");
    codes << "1A0A";
    // A monthly bar before the daily bars (which hold the whole history) with its high below its open.
    const QByteArray bad = priceFile(k1301Daily, k1301Weekly, k1301Monthly + QStringList{"20261030,400,390,380,395,100"});
    for (const QString &c : codes) writeFile(pf.data + c + ".csv", bad);
    QStringList expected;
    for (const QString &c : codes)
        expected << c + ".csv,20261030,月足の高値・安値が始値・終値と矛盾しています（始値 400 高値 390 安値 380 終値 395 出来高 100）"
                 << c + ".csv,20261030,月足の期間に日足がありません";
    for (const QString &c : codes) expected << c + ".csv,,銘柄一覧（meigara.dat）にない銘柄の株価ファイルです";
    for (const int threads : {1, 2, 3}) {
        const DataCheckReport report = checkDataFolder(pf.data, threads);
        QStringList lines;
        for (const auto &f : report.findings) lines << findingLine(f);
        EXPECT_EQ(lines, expected) << threads << " threads\n" << lines.join('\n').toStdString();
    }
}

// Every way the check reads lines gives the program's own bars, bit for bit, or its error; a
// section is passed over for its high/low test only when every line was read quickly and fits.
TEST(DataCheck, PeriodsAreTheWeeksFromMondayAndTheMonthsOfTheCalendar)
{
    const auto ymd = [](const QDate &d) { return d.year() * 10000 + d.month() * 100 + d.day(); };
    for (QDate d(1900, 1, 1); d.year() <= 2200; d = d.addDays(1)) {
        const QDate monday = d.addDays(1 - d.dayOfWeek()), firstOfMonth(d.year(), d.month(), 1);
        ASSERT_EQ(checkPeriod(1, ymd(d)), std::pair(ymd(monday), ymd(monday.addDays(7)))) << ymd(d);
        ASSERT_EQ(checkPeriod(2, ymd(d)), std::pair(ymd(firstOfMonth), ymd(firstOfMonth.addMonths(1)))) << ymd(d);
    }
}

TEST(DataCheck, EveryLineReadingGivesTheProgramsOwnBars)
{
    // Long volumes, eight-digit prices and leading zeros are read quickly; the weekly section has
    // a line of each kind the quick readers leave to the program's reader, and a high below the open.
    const QStringList daily = {"20261211,163,164,161,164,1054300",      "20261210,12345678,12345678,12345670,12345671,99999999",
                               "20261209,1,2,1,2,123456789",             "20261208,0163,0170,0160,0165,1234567890123456",
                               "20261207,16777215,16777215,16777215,16777215,7"};
    const QStringList weekly = {"20261211,163,164,161,164,12345678901234567", "20261204,163.5,170,160,165,10",
                                "20261127,123456789,123456789,123456789,123456789,5", "20261120,16777217,16777217,16777216,16777217,5",
                                "20261113,170,169,160,165,10",               "20261106, 163,170,160,165,10",
                                "20261030,163,170,160,165,10"};
    const QStringList monthly = {"20261130,163,170,150,165,100", "20261030,160,170,150,165,100"};
    // A line ending in a line feed alone; the file ends with the last section's lines (no padding).
    QByteArray good = priceFile(daily, weekly, monthly).replace("20261030,163,170,160,165,10\r\n", "20261030,163,170,160,165,10\n");
    good.chop(298 * 13);
    ProgramFolder pf;
    const QString path = pf.data + "1301.csv";
    const char *const bads[] = {"20261211,,164,161,164,10", "20261211,163,164,161,164", "20261211,163,164,161,164,10,", "x"};
    // Cut after the last line's digits, within them, and before that line.
    std::vector<QByteArray> files = {good, good.left(good.size() - 2), good.left(good.size() - 5), good.left(good.size() - 31)};
    for (const char *b : bads) files.push_back(priceFile(replaced(daily, 0, b), weekly, monthly));
    // A count far beyond what the file holds (read without making room for it).
    files.push_back("2000000000,0,0\r\n20261211,163,164,161,164,10\r\n");
    // Two carriage returns: the program's reader drops one and reads the line.
    files.push_back(QByteArray(good).replace("20261113,170,169,160,165,10\r\n", "20261113,170,169,160,165,10\r\r\n"));
    for (size_t f = 0; f < files.size(); ++f) {
        writeFile(path, files[f]);
        const auto own = readPriceFile(path);
        for (const BarReading r : {BarReading::Plain, BarReading::Quick, BarReading::Wide, BarReading::Widest}) {
            if (!barReadingAvailable(r)) continue;
            const auto read = readCheckedBars(files[f], path, r);
            ASSERT_EQ(read.has_value(), own.has_value()) << f << ' ' << int(r);
            if (!own) {
                EXPECT_EQ(read.error(), own.error()) << f << ' ' << int(r);
                continue;
            }
            EXPECT_TRUE(sameBars(read->sections, *own)) << f << ' ' << int(r);
            EXPECT_EQ(read->sections[2].size(), f == 3 ? 1u : 2u) << f;
            EXPECT_EQ(read->sections[1].size(), 7u) << f;
            const std::array<bool, 3> fit = r == BarReading::Plain ? std::array{false, false, false} : std::array{true, false, true};
            if (f == 0) {
                EXPECT_EQ(read->fit, fit) << int(r);
            }
            // As the check reads them: the old monthly bars only by their dates, the faulty weekly section again in full.
            const auto checked = readCheckedBars(files[f], path, r, false);
            ASSERT_TRUE(checked.has_value()) << f << ' ' << int(r);
            EXPECT_TRUE(sameBarsAsChecked(checked->sections, *own)) << f << ' ' << int(r);
            EXPECT_TRUE(sameBars({checked->sections[0], checked->sections[1], {}}, {(*own)[0], (*own)[1], {}})) << f << ' ' << int(r);
            EXPECT_EQ(checked->fit, read->fit) << f << ' ' << int(r);
        }
    }
    EXPECT_TRUE(barReadingAvailable(BarReading::Quick));
    EXPECT_EQ(readCheckedBars(files[4], path, BarReading::Wide).error(), "ファイル：　" + path + " の 2 行目が正しくありません。");
}

} // namespace
} // namespace velor::test
