#include "realtime/MinuteBars.h"
#include "common/TextFile.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>

using namespace velor;
using namespace velor::test;

namespace {

// The live bar of each code, as a quote page would give it.
class TableQuote final : public LiveQuote {
public:
    void getVec(State &st) override
    {
        ++calls;
        st.BarDate[0] = 20261207;
        const auto it = bars.find(st.CurCode);
        const MinuteRecord r = it == bars.end() ? MinuteRecord{} : it->second;
        st.BarOpen[0] = r.open;
        st.BarHigh[0] = r.high;
        st.BarLow[0] = r.low;
        st.BarClose[0] = r.close;
        st.BarVolume[0] = r.volume;
        lastQuoteMode = st.QuoteMode;
    }
    std::map<int, MinuteRecord> bars;
    int calls = 0;
    int lastQuoteMode = -1;
};

struct Fixture {
    ProgramFolder pf;
    TestEnv env;
    TableQuote quote;
    Fixture()
    {
        pf.writeMaster({{1001, QStringLiteral("日経平均"), 1}, {1301, QStringLiteral("極洋"), 1},
                        {6758, QStringLiteral("ソニーＧ"), 1}, {7203, QStringLiteral("トヨタ"), 1}});
        env.services.liveQuote = &quote;
        quote.bars[1301] = {0, 1230, 1250.5f, 1220, 1234.5f, 2345600};
        quote.bars[7203] = {0, 2800, 2810, 2790, 2805, 10000000};
        quote.bars[6758] = {0, 0, 0, 0, 3000, 0};   // no first trade yet
    }
    void at(int y, int mo, int d, int h, int mi) { env.clock.set(QDateTime(QDate(y, mo, d), QTime(h, mi))); }
    QString file(int code) const { return pf.program + "FUNASHI/" + QString::number(code) + ".csv"; }
};

const QByteArray kTwoRecords = " 12060905 , 1230 , 1250.5 , 1220 , 1234.5 , 2345600 \r\n"
                               " 12060906 , 1230 , 1251 , 1220 , 1240 , 2400000 \r\n";

} // namespace

TEST(MinuteBars, StampIsMonthDayHourMinute)
{
    EXPECT_EQ(minuteStamp(QDateTime(QDate(2026, 12, 6), QTime(9, 5))), 12060905);
    EXPECT_EQ(minuteStamp(QDateTime(QDate(2027, 1, 5), QTime(9, 35))), 1050935);
    EXPECT_EQ(minuteStamp(QDateTime(QDate(2027, 1, 5), QTime(15, 0))), 1051500);
}

TEST(MinuteBars, RecordLineIsPrintFormSeparatedByCommas)
{
    EXPECT_EQ(minuteRecordLine({12060905, 1230, 1250.5f, 1220, 1234.5f, 2345600}),
              QByteArray(" 12060905 , 1230 , 1250.5 , 1220 , 1234.5 , 2345600 \r\n"));
    // January stamps have seven digits; a volume keeps every digit; below 1 without the zero.
    EXPECT_EQ(minuteRecordLine({1050905, 0.5f, 0.5f, 0.5f, 0.5f, 123456789012.0}),
              QByteArray(" 1050905 , .5 , .5 , .5 , .5 , 123456789012 \r\n"));
}

TEST(MinuteBars, ReaderSkipsACutLastLineAndMalformedLines)
{
    Fixture f;
    writeFile(f.file(1301), kTwoRecords + " 12060907 , 1230 , 12");
    auto recs = readMinuteRecords(f.file(1301));
    ASSERT_EQ(recs.size(), 2u);
    EXPECT_EQ(recs[1].stamp, 12060906);
    EXPECT_FLOAT_EQ(recs[1].close, 1240.f);
    EXPECT_DOUBLE_EQ(recs[1].volume, 2400000.0);
    // A complete-looking last line without its end is a record cut short, not a record.
    writeFile(f.file(1301), kTwoRecords + " 12060907 , 1230 , 1251 , 1220 , 1240 , 24");
    EXPECT_EQ(readMinuteRecords(f.file(1301)).size(), 2u);
    writeFile(f.file(1301), " 12060905 , 1 , 1 , 1 , 1 , 1 \r\ngarbage\r\n 1 , 2 \r\n" + kTwoRecords.mid(52));
    recs = readMinuteRecords(f.file(1301));
    ASSERT_EQ(recs.size(), 2u);
    EXPECT_EQ(recs[1].stamp, 12060906);
    EXPECT_EQ(readMinuteRecords(f.file(9999)).size(), 0u);
}

// Every point at which a kill could cut the file during an append leaves all earlier records.
TEST(MinuteBars, AKilledAppendNeverCostsAnEarlierRecord)
{
    Fixture f;
    const QString path = f.file(1301);
    ASSERT_TRUE(appendMinuteRecord(path, {12060905, 1230, 1250.5f, 1220, 1234.5f, 2345600}));
    ASSERT_TRUE(appendMinuteRecord(path, {12060906, 1230, 1251, 1220, 1240, 2400000}));
    ASSERT_EQ(readFile(path), kTwoRecords);
    const QByteArray third = minuteRecordLine({12060907, 1231, 1252, 1221, 1241, 2500000});
    const QByteArray next = " 12060908 , 1232 , 1253 , 1222 , 1242 , 2600000 \r\n";
    for (qsizetype cut = 0; cut < third.size(); ++cut) {
        SCOPED_TRACE(cut);
        writeFile(path, kTwoRecords + third.left(cut));
        // Cut after the closing blank of its last number, the record is whole: only its line
        // end is missing, and it is kept (a hand-edited file looks the same).
        const bool whole = cut >= third.size() - 2;
        const auto recs = readMinuteRecords(path);
        ASSERT_EQ(recs.size(), whole ? 3u : 2u);
        EXPECT_EQ(recs[0].stamp, 12060905);
        EXPECT_EQ(recs[1].stamp, 12060906);
        // The next collection drops the cut line rather than gluing the new record onto it.
        ASSERT_TRUE(appendMinuteRecord(path, {12060908, 1232, 1253, 1222, 1242, 2600000}));
        EXPECT_EQ(readFile(path), whole ? kTwoRecords + third + next : kTwoRecords + next);
    }
}

struct SkipCase {
    const char *name;
    std::vector<int32_t> stamps;
    int32_t now;
    bool recorded;
};

class MinuteSkip : public ::testing::TestWithParam<SkipCase> {};

TEST_P(MinuteSkip, ARecordOfThisMinuteOrLaterSkipsTheStock)
{
    std::vector<MinuteRecord> recs;
    for (int32_t s : GetParam().stamps) recs.push_back({s, 1, 1, 1, 1, 1});
    EXPECT_EQ(minuteRecorded(recs, GetParam().now), GetParam().recorded);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MinuteSkip,
    ::testing::Values(SkipCase{"Empty", {}, 12060905, false}, SkipCase{"SameMinute", {12060904, 12060905}, 12060905, true},
                      SkipCase{"EarlierMinute", {12060904}, 12060905, false},
                      SkipCase{"EarlierDay", {12051500}, 12060905, false},
                      // Late December records read in January: a larger MMDD of an earlier day.
                      SkipCase{"DecemberInJanuary", {12301455, 12301500}, 1050905, false},
                      SkipCase{"NewYearsEveAtNewYear", {12311459}, 1010900, false},
                      SkipCase{"JanuaryAfterDecember", {12301500, 1050905}, 1050905, true},
                      // A stamp later than the clock (a clock set back from 23:59 today, or from
                      // tomorrow): a record now would stand before it, out of time order.
                      SkipCase{"LaterTodayClockSetBack", {12062359}, 12060905, true},
                      SkipCase{"LaterTodayThenNow", {12060904, 12062359, 12060905}, 12060905, true},
                      SkipCase{"TomorrowClockSetBack", {12060904, 12070905}, 12060905, true}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(MinuteBars, MakeMinuteListJoinsTheWatchListsOnceEachWithoutZero)
{
    Fixture f;
    writeFile(f.pf.program + "touroku.dat", " 1301 \r\n 7203 \r\n");
    writeFile(f.pf.program + "touroku2.dat", " 0 \r\n 7203 \r\n 6758 \r\n 1301 \r\n");
    // touroku3.dat is missing: it adds nothing.
    auto codes = MakeMinuteList(f.pf.st);
    ASSERT_TRUE(codes) << codes.error().toStdString();
    EXPECT_EQ(*codes, (std::vector<int>{1301, 7203, 6758}));
    EXPECT_EQ(readFile(f.pf.program + "FUNASHI/Fmeigara.dat"), QByteArray(" 1301 \r\n 7203 \r\n 6758 \r\n"));
}

TEST(MinuteBars, TwoTicksInOneMinuteWriteOneRecordPerStock)
{
    Fixture f;
    writeFile(f.pf.program + "touroku.dat", " 1301 \r\n 7203 \r\n");
    writeFile(f.pf.program + "touroku2.dat", " 7203 \r\n 6758 \r\n");
    ASSERT_TRUE(MakeMinuteList(f.pf.st));
    f.at(2026, 12, 7, 9, 5);
    f.pf.st.CurCode = 1001;
    MinuteTick t = collectMinuteBars(f.pf.st, f.env.services);
    EXPECT_EQ(t.written, 2);   // 6758 has no open yet
    EXPECT_EQ(t.empty, 1);
    EXPECT_EQ(f.pf.st.CurCode, 1001);
    EXPECT_EQ(f.quote.lastQuoteMode, 1);
    f.env.clock.advanceSeconds(50);   // 9:05:50, the same minute
    t = collectMinuteBars(f.pf.st, f.env.services);
    EXPECT_EQ(t.written, 0);
    EXPECT_EQ(t.skipped, 2);
    EXPECT_EQ(readFile(f.file(1301)), QByteArray(" 12070905 , 1230 , 1250.5 , 1220 , 1234.5 , 2345600 \r\n"));
    EXPECT_EQ(readFile(f.file(7203)), QByteArray(" 12070905 , 2800 , 2810 , 2790 , 2805 , 10000000 \r\n"));
    EXPECT_FALSE(QFile::exists(f.file(6758)));
    f.env.clock.advanceSeconds(50);   // 9:06:40
    t = collectMinuteBars(f.pf.st, f.env.services);
    EXPECT_EQ(t.written, 2);
    EXPECT_EQ(readMinuteRecords(f.file(7203)).size(), 2u);
}

TEST(MinuteBars, DecemberRecordsDoNotStopJanuaryCollection)
{
    Fixture f;
    writeFile(f.pf.program + "touroku.dat", " 1301 \r\n");
    ASSERT_TRUE(MakeMinuteList(f.pf.st));
    writeFile(f.file(1301), " 12301500 , 1200 , 1210 , 1190 , 1205 , 900000 \r\n");
    f.at(2027, 1, 5, 9, 5);
    EXPECT_EQ(collectMinuteBars(f.pf.st, f.env.services).written, 1);
    EXPECT_EQ(readFile(f.file(1301)), QByteArray(" 12301500 , 1200 , 1210 , 1190 , 1205 , 900000 \r\n"
                                                 " 1050905 , 1230 , 1250.5 , 1220 , 1234.5 , 2345600 \r\n"));
    EXPECT_EQ(collectMinuteBars(f.pf.st, f.env.services).written, 0);
}

TEST(MinuteBars, ReadMinuteBarsFillsEarliestFirstThenTheLiveBar)
{
    Fixture f;
    writeFile(f.file(1301), kTwoRecords + " 12060907 , 1");
    f.pf.st.CurCode = 1301;
    f.pf.st.QuoteMode = 0;
    ReadMinuteBars(f.pf.st, f.env.services, 1600);
    const State &st = f.pf.st;
    EXPECT_EQ(st.BarCount, 2);
    EXPECT_EQ(st.BarDate[1], 12060905);
    EXPECT_EQ(st.BarDate[2], 12060906);
    EXPECT_FLOAT_EQ(st.BarHigh[1], 1250.5f);
    EXPECT_FLOAT_EQ(st.BarClose[2], 1240.f);
    EXPECT_DOUBLE_EQ(st.BarVolume[2], 2400000.0);
    EXPECT_EQ(st.BarDate[0], 20261207);
    EXPECT_FLOAT_EQ(st.BarClose[0], 1234.5f);
    EXPECT_EQ(f.quote.lastQuoteMode, 1);
    EXPECT_EQ(st.QuoteMode, 0);
    ReadMinuteBars(f.pf.st, f.env.services, 1);
    EXPECT_EQ(st.BarCount, 1);
    f.pf.st.CurCode = 7203;   // no file: no bars, still the live bar
    ReadMinuteBars(f.pf.st, f.env.services, 1600);
    EXPECT_EQ(st.BarCount, 0);
    EXPECT_FLOAT_EQ(st.BarClose[0], 2805.f);
}

// Hand-edited files: a UTF-8 byte-order mark does not hide the first record, and a last record
// that only lacks its CR LF keeps it; the new record always gets a line of its own.
TEST(MinuteBars, HandEditedFilesKeepEveryReadableRecord)
{
    Fixture f;
    const QString path = f.file(1301);
    const QByteArray bom = "\xEF\xBB\xBF";
    const QByteArray third = " 12060907 , 1231 , 1252 , 1221 , 1241 , 2500000 \r\n";
    const QByteArray next = " 12060908 , 1232 , 1253 , 1222 , 1242 , 2600000 \r\n";
    const struct { const char *name; QByteArray before; size_t records; QByteArray after; } cases[] = {
        {"byte-order mark", bom + kTwoRecords, 2, bom + kTwoRecords + next},
        {"byte-order mark, one record without line end", bom + kTwoRecords.left(52), 1, bom + kTwoRecords.left(52) + "\r\n" + next},
        {"last record without CR LF", kTwoRecords + third.chopped(2), 3, kTwoRecords + third + next},
        {"last record without LF", kTwoRecords + third.chopped(1), 3, kTwoRecords + third + next},
        {"last record without its closing blank", kTwoRecords + third.chopped(3), 2, kTwoRecords + next},
    };
    for (const auto &c : cases) {
        writeFile(path, c.before);
        const auto recs = readMinuteRecords(path);
        ASSERT_EQ(recs.size(), c.records) << c.name;
        EXPECT_EQ(recs[0].stamp, 12060905) << c.name;
        ASSERT_TRUE(appendMinuteRecord(path, {12060908, 1232, 1253, 1222, 1242, 2600000})) << c.name;
        EXPECT_EQ(readFile(path), c.after) << c.name;
        EXPECT_EQ(readMinuteRecords(path).back().stamp, 12060908) << c.name;
    }
}

// A line without its end that an interrupted append left is cut off before the new record,
// wherever it starts (also at the file's start).
TEST(MinuteBars, ACutLineIsCutOffBeforeTheNewRecord)
{
    Fixture f;
    const QString path = f.file(1301);
    const MinuteRecord rec{12060908, 1232, 1253, 1222, 1242, 2600000};
    const QByteArray next = minuteRecordLine(rec);
    const QByteArray first = " 12060905 , 1230 , 1250.5 , 1220 , 1234.5 , 2345600 ";
    // 1..n bytes of a first record without a line end (the whole record excepted).
    for (qsizetype n = 1; n < first.size(); ++n) {
        writeFile(path, first.left(n));
        ASSERT_TRUE(appendMinuteRecord(path, rec)) << n;
        EXPECT_EQ(readFile(path), next) << n;
        ASSERT_EQ(readMinuteRecords(path).size(), 1u) << n;
    }
    for (const QByteArray &head : {QByteArray(), kTwoRecords}) {
        writeFile(path, head + QByteArray(1024, '7'));
        ASSERT_TRUE(appendMinuteRecord(path, rec));
        EXPECT_EQ(readFile(path), head + next);
    }
}

// An unended last line that no append of ours could have left (longer than any record line, or
// text) is kept byte for byte: the stock fails with a message that says why, nothing is appended.
TEST(MinuteBars, ALongUnendedLastLineIsKeptAndTheStockFails)
{
    Fixture f;
    writeFile(f.pf.program + "touroku.dat", " 1301 \r\n 7203 \r\n");
    ASSERT_TRUE(MakeMinuteList(f.pf.st));
    f.at(2026, 12, 7, 9, 5);
    const struct { const char *name; QByteArray tail; qint64 bytes; } cases[] = {
        {"5000 digits", QByteArray(5000, '7'), 5000},
        {"4097 digits", QByteArray(4097, '7'), 4097},
        {"1025 digits", QByteArray(1025, '7'), 1025},
        {"a note", QByteArray("memo: sold half"), 15},
    };
    for (const auto &c : cases) {
        for (const QByteArray &head : {QByteArray(), kTwoRecords}) {
            const QByteArray before = head + c.tail;
            writeFile(f.file(1301), before);
            QFile::remove(f.file(7203));
            const MinuteTick t = collectMinuteBars(f.pf.st, f.env.services);
            EXPECT_EQ(t.written, 1) << c.name;   // 7203 goes on
            EXPECT_EQ(t.failed, 1) << c.name;
            EXPECT_EQ(t.error, QStringLiteral("ファイル：　") + QDir::toNativeSeparators(f.file(1301)) +
                                   QStringLiteral(" の最後の行（") + QString::number(c.bytes) +
                                   QStringLiteral(" バイト）は行末がなく、分足の記録でもありません。"
                                                  "ファイルは書き換えずに残しました。内容を確かめて下さい。"))
                << c.name;
            EXPECT_EQ(readFile(f.file(1301)), before) << c.name;
        }
    }
}

// A symbolic link in place of a minute file (to a file outside the folder, or to none) is
// refused: the stock fails, and nothing outside the folder is written or created.
TEST(MinuteBars, ASymlinkedMinuteFileIsRefusedAndNothingOutsideIsWritten)
{
    Fixture f;
    QTemporaryDir outside;
    const QString target = outside.path() + "/victim.txt", missing = outside.path() + "/made.txt";
    writeFile(target, "keep\r\n");
    writeFile(f.pf.program + "touroku.dat", " 1301 \r\n 7203 \r\n");
    ASSERT_TRUE(MakeMinuteList(f.pf.st));
    f.at(2026, 12, 7, 9, 5);
    for (const QString &to : {target, missing}) {
        QFile::remove(f.file(1301));
        QFile::remove(f.file(7203));
        ASSERT_TRUE(QFile::link(to, f.file(1301)));
        const MinuteTick t = collectMinuteBars(f.pf.st, f.env.services);
        EXPECT_EQ(t.written, 1) << to.toStdString();
        EXPECT_EQ(t.failed, 1) << to.toStdString();
        EXPECT_EQ(t.error, QStringLiteral("ファイル：　") + QDir::toNativeSeparators(f.file(1301)) +
                               QStringLiteral(" は通常のファイルではありません。"))
            << to.toStdString();
        EXPECT_EQ(readFile(target), QByteArray("keep\r\n"));
        EXPECT_FALSE(QFile::exists(missing));
        // The append itself refuses too, should a link appear after the file was read.
        EXPECT_FALSE(appendMinuteRecord(f.file(1301), {12070906, 1, 1, 1, 1, 1}).has_value());
        EXPECT_EQ(readFile(target), QByteArray("keep\r\n"));
        EXPECT_FALSE(QFile::exists(missing));
    }
}

// The clock set back: a record stamped later than now (23:59, or another day) stops the
// collection of that stock instead of writing records out of time order.
TEST(MinuteBars, ARecordLaterThanNowSkipsTheStock)
{
    Fixture f;
    writeFile(f.pf.program + "touroku.dat", " 1301 \r\n 7203 \r\n");
    ASSERT_TRUE(MakeMinuteList(f.pf.st));
    const QByteArray late = " 12072359 , 1200 , 1210 , 1190 , 1205 , 900000 \r\n";
    writeFile(f.file(1301), late);
    f.at(2026, 12, 7, 9, 5);
    const MinuteTick t = collectMinuteBars(f.pf.st, f.env.services);
    EXPECT_EQ(t.written, 1);
    EXPECT_EQ(t.skipped, 1);
    EXPECT_EQ(readFile(f.file(1301)), late);
}

// Records out of order in the file (written while the clock was set back, or by hand) are shown
// in time order; late December read in January comes before January.
TEST(MinuteBars, ShowPutsTheBarsInTimeOrder)
{
    Fixture f;
    f.pf.st.CurCode = 1301;
    const struct { const char *name; QByteArray file; int y, mo, d; std::vector<int32_t> order; } cases[] = {
        {"23:59 of the day before", " 12070906 , 1 , 1 , 1 , 1 , 1 \r\n 12062359 , 2 , 2 , 2 , 2 , 2 \r\n 12070905 , 3 , 3 , 3 , 3 , 3 \r\n",
         2026, 12, 7, {12062359, 12070905, 12070906}},
        {"new year", " 1050905 , 1 , 1 , 1 , 1 , 1 \r\n 12301500 , 2 , 2 , 2 , 2 , 2 \r\n 12311459 , 3 , 3 , 3 , 3 , 3 \r\n",
         2027, 1, 5, {12301500, 12311459, 1050905}},
        {"already in order", kTwoRecords, 2026, 12, 6, {12060905, 12060906}},
    };
    for (const auto &c : cases) {
        writeFile(f.file(1301), c.file);
        f.at(c.y, c.mo, c.d, 10, 0);
        ReadMinuteBars(f.pf.st, f.env.services, 1600);
        std::vector<int32_t> got;
        for (int e = 1; e <= f.pf.st.BarCount; ++e) got.push_back(f.pf.st.BarDate[size_t(e)]);
        EXPECT_EQ(got, c.order) << c.name;
    }
    writeFile(f.file(1301), cases[0].file);
    f.at(2026, 12, 7, 10, 0);
    ReadMinuteBars(f.pf.st, f.env.services, 1);
    ASSERT_EQ(f.pf.st.BarCount, 1);
    EXPECT_EQ(f.pf.st.BarDate[1], 12062359);
    EXPECT_FLOAT_EQ(f.pf.st.BarClose[1], 2.f);
}

// On a full disk an append fails, says so, and leaves the file's bytes as they were; a file it
// would have created is not left behind empty. The simulated disk takes each size in turn.
TEST(MinuteBars, AnAppendOnAFullDiskLeavesEveryByteAsItWas)
{
    Fixture f;
    const QString path = f.file(1301);
    const MinuteRecord rec{12060908, 1232, 1253, 1222, 1242, 2600000};
    const qint64 size = minuteRecordLine(rec).size();
    const QByteArray unended = kTwoRecords + " 12060907 , 1231 , 1252 , 1221 , 1241 , 2500000 ";
    for (qint64 room = 0; room < size; ++room) {
        for (const QByteArray &before : {kTwoRecords, unended}) {
            writeFile(path, before);
            DiskSpaceLimit limit(room);
            const auto r = appendMinuteRecord(path, rec);
            ASSERT_FALSE(r.has_value()) << room;
            EXPECT_EQ(r.error(), QStringLiteral("ファイル：　") + QDir::toNativeSeparators(path) +
                                     QStringLiteral(" に書き込めません。ディスクがいっぱいです。")) << room;
            EXPECT_EQ(readFile(path), before) << room;
        }
        QFile::remove(path);
        DiskSpaceLimit limit(room);
        EXPECT_FALSE(appendMinuteRecord(path, rec).has_value()) << room;
        EXPECT_FALSE(QFile::exists(path)) << room;
    }
}

// A collection on a full disk counts the records it could not write and leaves no empty files.
TEST(MinuteBars, CollectionOnAFullDiskCountsItsFailedWrites)
{
    Fixture f;
    writeFile(f.pf.program + "touroku.dat", " 1301 \r\n 7203 \r\n 6758 \r\n");
    ASSERT_TRUE(MakeMinuteList(f.pf.st));
    writeFile(f.file(7203), " 12070904 , 2800 , 2810 , 2790 , 2805 , 9000000 \r\n");
    f.at(2026, 12, 7, 9, 5);
    MinuteTick t;
    {
        DiskSpaceLimit full(0);
        t = collectMinuteBars(f.pf.st, f.env.services);
    }
    EXPECT_EQ(t.written, 0);
    EXPECT_EQ(t.failed, 2);
    EXPECT_EQ(t.empty, 1);
    EXPECT_EQ(t.error, QStringLiteral("ファイル：　") + QDir::toNativeSeparators(f.file(1301)) +
                           QStringLiteral(" に書き込めません。ディスクがいっぱいです。"));
    EXPECT_FALSE(QFile::exists(f.file(1301)));
    EXPECT_EQ(readFile(f.file(7203)), QByteArray(" 12070904 , 2800 , 2810 , 2790 , 2805 , 9000000 \r\n"));
    // With room again the same minute is written.
    t = collectMinuteBars(f.pf.st, f.env.services);
    EXPECT_EQ(t.written, 2);
    EXPECT_EQ(t.failed, 0);
}
