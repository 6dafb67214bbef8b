// Which price alerts can fire, and the exact reason or warning given for those that cannot
// or only sometimes can; the current price the alert dialog shows.
#include "db/PriceFile.h"
#include "common/Cp932.h"
#include "realtime/AlertHistory.h"
#include "realtime/AlertReach.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace velor;
using namespace velor::test;

TEST(AlertReach, RefusalsAndWarningsSayExactlyWhenAnAlertFires)
{
    ProgramFolder pf;
    pf.writeMaster({{1001, QStringLiteral("日経平均"), 1}, {1002, QStringLiteral("ＴＯＰＩＸ"), 1},
                    {1301, QStringLiteral("極洋"), 1}, {1332, QStringLiteral("日本水産"), 4}, {1379, QStringLiteral("ホクト"), 2}});
    writeFile(pf.program + "touroku2.dat", " 1301 \r\n");
    State &st = pf.st;
    st.RealMinPrice = 100;
    st.RealMaxPrice = 5000;
    const QString notWatched = QStringLiteral(" は登録銘柄（touroku.dat, touroku2.dat, touroku3.dat）にないため、分足の収集では読まれません。"
                                              "このアラートが鳴るのはリアルタイム急騰急落の実行中だけです");
    const QString advice = QStringLiteral("。分足でも見張るには登録銘柄に加えてください。");
    const QString inRange = QStringLiteral("（それも保存済みの終値が 100～5000 円で、売買代金が急騰急落の下限以上のときだけ）");
    struct Row {
        int code;
        int realSwitch;
        bool watched;
        QString never, warning;
    } rows[] = {
        {1002, 0, false, QStringLiteral("1002 ＴＯＰＩＸ は指数で、そのページは読まれないため、アラートは鳴りません。指数のアラートは 1001 だけです。"), {}},
        {1332, 0, false, QStringLiteral("1332 日本水産 は4部の銘柄で、株価のページが読まれないため、アラートは鳴りません。"), {}},
        {1301, 0, true, {}, {}},
        {1301, 1, true, {}, {}},
        {1379, 0, false, {}, QStringLiteral("1379 ホクト") + notWatched + advice},
        {1379, 1, false, {}, QStringLiteral("1379 ホクト") + notWatched + inRange + advice},
        {1001, 0, false, {}, QStringLiteral("1001 日経平均") + notWatched + advice},
    };
    for (const Row &r : rows) {
        st.RealSwitch = int16_t(r.realSwitch);
        EXPECT_EQ(onWatchList(st, r.code), r.watched) << r.code;
        EXPECT_EQ(alertNeverFires(st, r.code), r.never) << r.code;
        if (r.never.isEmpty()) EXPECT_EQ(alertReachWarning(st, r.code, onWatchList(st, r.code)), r.warning) << r.code;
    }
}

TEST(AlertReach, CurrentPriceIsLabelledAndLeavesTheChartsBarsAlone)
{
    ProgramFolder pf;
    pf.writeMaster({{1001, QStringLiteral("日経平均"), 1}, {1301, QStringLiteral("極洋"), 1}, {1379, QStringLiteral("ホクト"), 2}});
    PriceSections s;
    s[0] = {Bar{20261127, 3050, 3300, 3040, 3255.5f, 1200}, Bar{20261126, 3000, 3100, 2950, 3050, 1000}};   // newest first
    s[1] = s[0];
    s[2] = s[0];
    ASSERT_TRUE(writePriceFile(pf.data + "1301.csv", s));
    TestEnv env;
    State &st = pf.st;
    st.CurCode = 1001;
    st.BarCount = 2;
    st.BarClose[1] = 26000;
    st.BarClose[0] = 26100;
    EXPECT_EQ(currentPriceText(st, env.services, 1301), QStringLiteral("終値（2026/11/27）: 3255.5"));
    EXPECT_EQ(currentPriceText(st, env.services, 1379), QStringLiteral("株価: 保存された株価がありません"));
    // The charted stock's tables are as they were.
    EXPECT_EQ(st.CurCode, 1001);
    EXPECT_EQ(st.BarCount, 2);
    EXPECT_EQ(st.BarClose[1], 26000);
    // While live: the charted stock's live price; another stock still its stored close.
    st.LiveMode = 1;
    EXPECT_EQ(currentPriceText(st, env.services, 1001), QStringLiteral("現在値（リアルタイム）: 26100"));
    EXPECT_EQ(currentPriceText(st, env.services, 1301), QStringLiteral("終値（2026/11/27）: 3255.5"));
}

TEST(AlertReach, TheLogKeepsTheDayAndTheLastTimeOfEachLevel)
{
    ProgramFolder pf;
    pf.writeMaster({{1301, QStringLiteral("極洋"), 1}, {1332, QStringLiteral("日本水産"), 1}});
    const State &st = pf.st;
    const QString path = alertLogPath(st);
    // Earlier days keep only the last of each stock and side; hand-made junk is dropped.
    writeFile(path, toCp932(QStringLiteral("2026-11-26 09:30,1301,極洋,以上,3200,3210\r\n"
                                           "2026-11-27 14:00,1301,極洋,以上,3200,3205\r\n"
                                           "2026-11-27 10:00,1332,日本水産,以下,500,498.5\r\n"
                                           "これはアラートではない\r\n"
                                           "2026-11-27 25:99,1301,極洋,以上,1,2\r\n"
                                           "2026-11-27 10:01,1301,極洋,上,1,2\r\n")));
    ASSERT_TRUE(recordFired(st, {PriceHit{1301, 3190, 3195, false}, PriceHit{1332, 510, 505, true}},
                            QDateTime(QDate(2026, 11, 30), QTime(10, 15)))
                    .has_value());
    ASSERT_TRUE(recordFired(st, {PriceHit{1301, 3300, 3200, true}}, QDateTime(QDate(2026, 11, 30), QTime(11, 2))).has_value());
    EXPECT_EQ(readFile(path), toCp932(QStringLiteral("2026-11-27 10:00,1332,日本水産,以下,500,498.5\r\n"
                                                     "2026-11-30 10:15,1301,極洋,以下,3195,3190\r\n"
                                                     "2026-11-30 10:15,1332,日本水産,以上,505,510\r\n"
                                                     "2026-11-30 11:02,1301,極洋,以上,3200,3300\r\n")));
    auto log = AlertHistory::load(path);
    ASSERT_TRUE(log.has_value());
    QStringList rows;
    for (const FiredAlert &a : log->ofDay(QDate(2026, 11, 30))) rows << firedAlertRow(st, a);
    EXPECT_EQ(rows, QStringList({QStringLiteral("11:02  1301 極洋 3300 が 3200 以上になりました"),
                                 QStringLiteral("10:15  1332 日本水産 510 が 505 以上になりました"),
                                 QStringLiteral("10:15  1301 極洋 3190 が 3195 以下になりました")}));
    EXPECT_TRUE(log->ofDay(QDate(2026, 11, 28)).empty());
    EXPECT_EQ(log->lastFired(1301), QDateTime(QDate(2026, 11, 30), QTime(11, 2)));
    EXPECT_EQ(log->lastFired(1332), QDateTime(QDate(2026, 11, 30), QTime(10, 15)));
    EXPECT_EQ(log->lastFired(1333), std::nullopt);
    // Nothing fired: the file is not touched.
    ASSERT_TRUE(recordFired(st, {}, QDateTime(QDate(2026, 12, 1), QTime(9, 0))).has_value());
    EXPECT_EQ(readFile(path).count('\n'), 4);
}
