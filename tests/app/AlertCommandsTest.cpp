// velor alert set|clear|list, the alert: lines of velor minute collect and velor monitor
// --notify, and alerts.dat on a full disk.
#include "app/CommandLine.h"
#include "common/Cp932.h"
#include "common/TextFile.h"
#include "realtime/MonitorFixture.h"

#include "app/SmallDisk.h"

#include <QUrl>

using namespace velor;
using namespace velor::test;

namespace {

struct Ran {
    int code;
    QString out, err;
};

// Two stocks whose quote pages are local files: 1301 at 110 (open 100), 1302 at 190 (open 200).
struct AlertFolder {
    MonitorFixture f{2};
    AlertFolder()
    {
        const QString site = QUrl::fromLocalFile(f.pf.program + "site").toString();
        writeFile(f.pf.program + "sites.ini", ("[sites]\r\nQuoteUrl=" + site + "\r\nFuturesUrl=" + site + "\r\n").toUtf8());
        writeFile(f.pf.program + "site/quote/1301.T", monitorPage("110", "100"));
        writeFile(f.pf.program + "site/quote/1302.T", monitorPage("190", "200"));
        writeFile(f.pf.program + "site/cme/index.html", futuresPage(QStringLiteral("5")).toUtf8());
        writeFile(f.pf.program + "touroku.dat", " 1301 \r\n 1302 \r\n");
    }
    QString path() const { return f.pf.program + QStringLiteral("alerts.dat"); }
    Ran run(const QStringList &args, const QString &now = QStringLiteral("2026-11-30 10:15"))
    {
        auto o = parseCommandLine(QStringList{"velor", "--home", f.pf.program, "--now", now} + args);
        EXPECT_TRUE(o.has_value());
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        const int rc = o ? runCommand(*o, f.pf.program) : -1;
        Ran r{rc, QString::fromStdString(testing::internal::GetCapturedStdout()),
              QString::fromStdString(testing::internal::GetCapturedStderr())};
        return r;
    }
};

const QString kUsage = QStringLiteral("usage: velor [--home DIR] alert set CODE [--above X] [--below Y] | alert clear CODE | alert list\n");

} // namespace

TEST(AlertCommands, SetListAndClearKeepOneLinePerStock)
{
    AlertFolder a;
    struct Step { QStringList args; int code; QString out, err; QString file; };
    const std::vector<Step> steps = {
        {{"alert", "list"}, 0, "", "", ""},
        {{"alert", "set", "1301", "--above", "3200", "--below", "2900.5"}, 0, "1301,銘柄000,以上=3200,以下=2900.5\n", "",
         "1301,銘柄000,以上=3200,以下=2900.5\r\n"},
        {{"alert", "set", "1302", "--below", "150"}, 0, "1302,銘柄001,以下=150\n", "",
         "1301,銘柄000,以上=3200,以下=2900.5\r\n1302,銘柄001,以下=150\r\n"},
        // Setting again replaces both levels.
        {{"alert", "set", "1301", "--above", "120"}, 0, "1301,銘柄000,以上=120\n", "",
         "1301,銘柄000,以上=120\r\n1302,銘柄001,以下=150\r\n"},
        {{"alert", "list"}, 0, "1301,銘柄000,以上=120\n1302,銘柄001,以下=150\n", "",
         "1301,銘柄000,以上=120\r\n1302,銘柄001,以下=150\r\n"},
        {{"alert", "clear", "1301"}, 0, "", "", "1302,銘柄001,以下=150\r\n"},
        {{"alert", "clear", "1301"}, 0, "", "warning: 1301 にアラートはありません。\n", "1302,銘柄001,以下=150\r\n"},
        // What was not done: an unknown stock.
        {{"alert", "set", "9999", "--above", "1"}, 1, "", "error: このコード(9999)の銘柄はありません。\n", "1302,銘柄001,以下=150\r\n"},
        // Bad usage.
        {{"alert", "set", "1301"}, 2, "", "error: 以上か以下の価格を入れてください。\n" + kUsage, "1302,銘柄001,以下=150\r\n"},
        {{"alert", "set", "1301", "--above", "100", "--below", "100"}, 2, "",
         "error: 以下の価格は以上の価格より小さくしてください。\n" + kUsage, "1302,銘柄001,以下=150\r\n"},
        {{"alert", "set", "1301", "--above", "abc"}, 2, "", "error: --above の abc は価格として読めません。\n" + kUsage,
         "1302,銘柄001,以下=150\r\n"},
        {{"alert", "set", "1301", "--below", "0"}, 2, "", "error: --below の 0 は価格として読めません。\n" + kUsage,
         "1302,銘柄001,以下=150\r\n"},
        {{"alert", "set", "1301", "--below"}, 2, "", "error: --below に価格がありません。\n" + kUsage, "1302,銘柄001,以下=150\r\n"},
        {{"alert", "set", "x", "--below", "5"}, 2, "", "error: x は銘柄コードとして読めません。\n" + kUsage, "1302,銘柄001,以下=150\r\n"},
        {{"alert", "clear"}, 2, "", "error: 銘柄コードがありません。\n" + kUsage, "1302,銘柄001,以下=150\r\n"},
        {{"alert", "list", "1"}, 2, "", kUsage, "1302,銘柄001,以下=150\r\n"},
        {{"alert"}, 2, "", kUsage, "1302,銘柄001,以下=150\r\n"},
        {{"alert", "remove", "1301"}, 2, "", kUsage, "1302,銘柄001,以下=150\r\n"},
    };
    for (size_t i = 0; i < steps.size(); ++i) {
        const Step &s = steps[i];
        const Ran r = a.run(s.args);
        EXPECT_EQ(r.code, s.code) << i;
        EXPECT_EQ(r.out, s.out) << i;
        EXPECT_EQ(r.err, s.err) << i;
        EXPECT_EQ(readFile(a.path()), toCp932(s.file)) << i;
    }
}

TEST(AlertCommands, AlertsThatCouldNeverFireAreRefusedWithTheReason)
{
    AlertFolder a;
    a.f.pf.writeMaster({{1001, QStringLiteral("日経平均"), 1}, {1002, QStringLiteral("ＴＯＰＩＸ"), 1}, {1301, QStringLiteral("銘柄000"), 1},
                        {1302, QStringLiteral("銘柄001"), 1}, {1303, QStringLiteral("銘柄002"), 4}, {1304, QStringLiteral("銘柄003"), 1}});
    const QString warned = QStringLiteral(" は登録銘柄（touroku.dat, touroku2.dat, touroku3.dat）にないため、分足の収集では読まれません。"
                                          "このアラートが鳴るのはリアルタイム急騰急落の実行中だけです。分足でも見張るには登録銘柄に加えてください。\n");
    struct Step { QStringList args; int code; QString out, err, file; };
    const std::vector<Step> steps = {
        {{"alert", "set", "1002", "--above", "10"}, 1, "",
         "error: 1002 ＴＯＰＩＸ は指数で、そのページは読まれないため、アラートは鳴りません。指数のアラートは 1001 だけです。\n", ""},
        {{"alert", "set", "1303", "--below", "10"}, 1, "",
         "error: 1303 銘柄002 は4部の銘柄で、株価のページが読まれないため、アラートは鳴りません。\n", ""},
        {{"alert", "set", "0", "--above", "10"}, 2, "", "error: 0 は銘柄コードとして読めません。\n" + kUsage, ""},
        {{"alert", "set", "1301", "--above", "10", "--above", "20"}, 2, "",
         "error: --above が2回あります。価格は一つだけ指定してください。\n" + kUsage, ""},
        {{"alert", "set", "1301", "--below", "10", "--below", "5"}, 2, "",
         "error: --below が2回あります。価格は一つだけ指定してください。\n" + kUsage, ""},
        {{"alert", "set", "1301", "1302", "--above", "10"}, 2, "", "error: 余分な引数 1302 があります。\n" + kUsage, ""},
        {{"alert", "set", "--above", "10"}, 2, "", "error: 銘柄コードがありません。\n" + kUsage, ""},
        // Kept, with a warning: on no watch list, only the monitor reads its page.
        {{"alert", "set", "1304", "--above", "10"}, 0, "1304,銘柄003,以上=10\n", "warning: 1304 銘柄003" + warned,
         "1304,銘柄003,以上=10\r\n"},
        {{"alert", "set", "1001", "--above", "30000"}, 0, "1001,日経平均,以上=30000\n", "warning: 1001 日経平均" + warned,
         "1304,銘柄003,以上=10\r\n1001,日経平均,以上=30000\r\n"},
        // On a watch list: no warning.
        {{"alert", "set", "1302", "--above", "10"}, 0, "1302,銘柄001,以上=10\n", "",
         "1304,銘柄003,以上=10\r\n1001,日経平均,以上=30000\r\n1302,銘柄001,以上=10\r\n"},
    };
    for (size_t i = 0; i < steps.size(); ++i) {
        const Step &s = steps[i];
        const Ran r = a.run(s.args);
        EXPECT_EQ(r.code, s.code) << i;
        EXPECT_EQ(r.out, s.out) << i;
        EXPECT_EQ(r.err, s.err) << i;
        EXPECT_EQ(readFile(a.path()), toCp932(s.file)) << i;
    }
}

TEST(AlertCommands, MinuteCollectPrintsAlertLinesOnceUntilThePriceComesBack)
{
    AlertFolder a;
    ASSERT_EQ(a.run({"alert", "set", "1301", "--above", "105"}).code, 0);
    ASSERT_EQ(a.run({"alert", "set", "1302", "--above", "500", "--below", "190"}).code, 0);
    Ran r = a.run({"minute", "collect"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("記録=2 記録済み=0 値なし=0 失敗=0\nalert: 1301 銘柄000 110 が 105 以上になりました\n"
                                    "alert: 1302 銘柄001 190 が 190 以下になりました\n"));
    EXPECT_EQ(readFile(a.path()), toCp932(QStringLiteral("1301,銘柄000,以上=105,済=以上\r\n1302,銘柄001,以上=500,以下=190,済=以下\r\n")));
    // Still beyond a minute later: quiet. Back under, then over again: it fires once more.
    r = a.run({"minute", "collect"}, QStringLiteral("2026-11-30 10:16"));
    EXPECT_EQ(r.out, QStringLiteral("記録=2 記録済み=0 値なし=0 失敗=0\n"));
    writeFile(a.f.pf.program + "site/quote/1301.T", monitorPage("104", "100"));
    r = a.run({"minute", "collect"}, QStringLiteral("2026-11-30 10:17"));
    EXPECT_EQ(r.out, QStringLiteral("記録=2 記録済み=0 値なし=0 失敗=0\n"));
    writeFile(a.f.pf.program + "site/quote/1301.T", monitorPage("106", "100"));
    r = a.run({"minute", "collect"}, QStringLiteral("2026-11-30 10:18"));
    EXPECT_EQ(r.out, QStringLiteral("記録=2 記録済み=0 値なし=0 失敗=0\nalert: 1301 銘柄000 106 が 105 以上になりました\n"));
    // A minute already recorded reads no page, so it checks nothing.
    r = a.run({"minute", "collect"}, QStringLiteral("2026-11-30 10:18"));
    EXPECT_EQ(r.out, QStringLiteral("記録=0 記録済み=2 値なし=0 失敗=0\n"));
    // The list says when each alert last fired.
    r = a.run({"alert", "list"}, QStringLiteral("2026-11-30 10:30"));
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, QStringLiteral("1301,銘柄000,以上=105,済=以上,最終=2026-11-30 10:18\n"
                                    "1302,銘柄001,以上=500,以下=190,済=以下,最終=2026-11-30 10:15\n"));
    EXPECT_EQ(readFile(a.f.pf.program + "alertlog.dat"), toCp932(QStringLiteral("2026-11-30 10:15,1301,銘柄000,以上,105,110\r\n"
                                                                                "2026-11-30 10:15,1302,銘柄001,以下,190,190\r\n"
                                                                                "2026-11-30 10:18,1301,銘柄000,以上,105,106\r\n")));
}

TEST(AlertCommands, MonitorNotifyPrintsEachAlertAsItIsRaisedThenTheLists)
{
    AlertFolder a;
    ASSERT_EQ(a.run({"alert", "set", "1302", "--below", "195"}).code, 0);
    const Ran r = a.run({"monitor", "--notify"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QString one = QStringLiteral(" 1301 銘柄000 1.1 110\n"), two = QStringLiteral(" 1302 銘柄001 1.9 190\n"),
                  twoOpen = QStringLiteral(" 1302 銘柄001 .95 190\n");
    const QStringList c = monitorCaptions();
    // A list of rises raises only the stocks that rose, a list of falls only those that fell.
    const QString alerts = "alert: " + c[0] + two + "alert: " + c[0] + one + "alert: " + c[2] + one + "alert: " + c[3] +
                           twoOpen + "alert: " + c[4] + two + "alert: " + c[4] + one +
                           QStringLiteral("alert: 1302 銘柄001 190 が 195 以下になりました\n");
    EXPECT_TRUE(r.out.startsWith(alerts + QStringLiteral("急騰銘柄（前日比）\n"))) << r.out.toStdString();
    // Without --notify: the lists alone. The monitor only reads: alerts.dat is as it was.
    const Ran plain = a.run({"monitor"});
    EXPECT_TRUE(plain.out.startsWith(QStringLiteral("急騰銘柄（前日比）\n"))) << plain.out.toStdString();
    EXPECT_EQ(readFile(a.path()), toCp932(QStringLiteral("1302,銘柄001,以下=195\r\n")));
}

TEST(AlertCommands, OnAFullDiskSetFailsAndTheFileStaysWhole)
{
    AlertFolder a;
    ASSERT_EQ(a.run({"alert", "set", "1301", "--above", "120"}).code, 0);
    const QByteArray before = readFile(a.path());
    {
        // The write seam: the disk takes the locks, and the new file only in part.
        DiskSpaceLimit limit(20);
        const Ran r = a.run({"alert", "set", "1302", "--below", "150"});
        EXPECT_EQ(r.code, 1);
        EXPECT_EQ(r.err, QStringLiteral("error: ファイル：　") + a.path() + QStringLiteral(" に書き込めません。ディスクがいっぱいです。\n"));
    }
    EXPECT_EQ(readFile(a.path()), before);
    // A real full file system, where one can be mounted: room for the two locks, not for the list.
    SmallDisk disk(a.f.pf.dir.path(), 8192);
    if (!disk.mounted) GTEST_SKIP() << "no tmpfs can be mounted here";
    const Ran r = a.run({"alert", "set", "1302", "--below", "150"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, QStringLiteral("error: ファイル：　") + a.path() + QStringLiteral(" に書き込めません。ディスクがいっぱいです。\n"));
    EXPECT_EQ(readFile(a.path()), before);
}

TEST(AlertCommands, AnUnreadableAlertsFileIsReportedAndNeverWrittenOver)
{
    AlertFolder a;
    const QByteArray huge((1 << 20) + 1, '1');
    writeFile(a.path(), huge);
    const QString tooBig = QStringLiteral("ファイル：　") + a.path() + QStringLiteral(" が大きすぎます。\n");
    Ran r = a.run({"alert", "list"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, QStringLiteral("error: ") + tooBig);
    r = a.run({"alert", "set", "1301", "--above", "5"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, QStringLiteral("error: ") + tooBig);
    // The minute bars are collected all the same; the alerts are what is skipped.
    r = a.run({"minute", "collect"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, QStringLiteral("記録=2 記録済み=0 値なし=0 失敗=0\n"));
    EXPECT_EQ(r.err, QStringLiteral("warning: ") + tooBig);
    EXPECT_EQ(readFile(a.path()), huge);
}

TEST(AlertCommands, MinuteCollectThatReadsNoPageAtAllIsAnError)
{
    AlertFolder a;
    // One page gone: the other is collected, the missing one is a warning.
    QFile::remove(a.f.pf.program + "site/quote/1302.T");
    Ran r = a.run({"minute", "collect"});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("記録=1 記録済み=0 値なし=1 失敗=0\n"));
    EXPECT_TRUE(r.err.startsWith(QStringLiteral("warning: 分足: ページを取得できなかった銘柄が 1 件ありました。"))) << r.err.toStdString();
    // Both gone: nothing could be collected.
    QFile::remove(a.f.pf.program + "site/quote/1301.T");
    r = a.run({"minute", "collect"}, QStringLiteral("2026-11-30 10:16"));
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, QStringLiteral("記録=0 記録済み=0 値なし=2 失敗=0\n"));
    EXPECT_TRUE(r.err.startsWith(QStringLiteral("error: 分足: ページを取得できなかった銘柄が 2 件ありました。"))) << r.err.toStdString();
}
