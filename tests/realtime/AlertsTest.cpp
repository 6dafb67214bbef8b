// Price alerts (levels, crossing and re-arming, alerts.dat), monitor alerts (first entry of the
// day into a top five, grouping) and their delivery, on fake clocks, pages and notifiers.
#include "MonitorFixture.h"
#include "common/Cp932.h"
#include "common/TextFile.h"
#include "realtime/AlertCenter.h"
#include "realtime/MinuteBars.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace velor;
using namespace velor::test;

namespace {

QStringList hitTexts(const State &st, const std::vector<PriceHit> &hits)
{
    QStringList out;
    for (const PriceHit &h : hits) out << priceHitText(st, h);
    return out;
}

struct PriceFixture {
    ProgramFolder pf;
    PriceFixture()
    {
        pf.writeMaster({{1001, QStringLiteral("日経平均"), 1}, {1301, QStringLiteral("極洋"), 1},
                        {6758, QStringLiteral("ソニーＧ"), 1}, {7203, QStringLiteral("トヨタ"), 1}});
    }
    QString path() const { return pf.program + QStringLiteral("alerts.dat"); }
};

} // namespace

TEST(PriceAlerts, FireOnceBeyondTheLevelAndAgainOnlyAfterComingBack)
{
    PriceFixture f;
    const State &st = f.pf.st;
    struct Step { float price; QStringList hits; };
    const QString up = QStringLiteral("1301 極洋 %1 が 3200 以上になりました");
    const QString down = QStringLiteral("1301 極洋 %1 が 2900 以下になりました");
    const std::vector<Step> steps = {
        {3000, {}},                             // between the levels
        {3200, {up.arg(3200)}},                 // at the level counts
        {3300, {}},                             // still above: no second alert
        {0, {}},                                // no price read: nothing changes
        {3199.5f, {}},                          // back below: re-armed
        {3250, {up.arg(3250)}},                 // crosses again
        {2900, {down.arg(2900)}},               // falls through the lower level
        {2850, {}},
        {2901, {}},
        {2000, {down.arg(2000)}},
    };
    PriceAlerts alerts;
    alerts.set(1301, 3200, 2900);
    for (size_t i = 0; i < steps.size(); ++i)
        EXPECT_EQ(hitTexts(st, alerts.check(1301, steps[i].price)), steps[i].hits) << "step " << i;
    // Other stocks' prices never fire it.
    EXPECT_TRUE(alerts.check(6758, 99999).empty());
}

TEST(PriceAlerts, AnAlertSetWhileBeyondFiresAtTheFirstCheckAndSettingAgainRearms)
{
    PriceFixture f;
    PriceAlerts alerts;
    alerts.set(6758, 0, 3000);
    EXPECT_EQ(hitTexts(f.pf.st, alerts.check(6758, 2500)), QStringList{QStringLiteral("6758 ソニーＧ 2500 が 3000 以下になりました")});
    EXPECT_TRUE(alerts.changed());
    EXPECT_TRUE(alerts.check(6758, 2500).empty());
    alerts.set(6758, 0, 3000);
    EXPECT_EQ(alerts.check(6758, 2500).size(), 1u);
    EXPECT_TRUE(alerts.clear(6758));
    EXPECT_FALSE(alerts.clear(6758));
    EXPECT_TRUE(alerts.check(6758, 1).empty());
}

TEST(PriceAlerts, FileIsCp932WithCrLfOneStockALineAndKeepsTheFiredState)
{
    PriceFixture f;
    PriceAlerts alerts;
    alerts.set(1301, 3200, 2900);
    alerts.set(6758, 0, 12345.5f);
    alerts.set(7203, 3000, 0);
    alerts.check(1301, 3300);
    const QByteArray expected = toCp932(QStringLiteral("1301,極洋,以上=3200,以下=2900,済=以上\r\n"
                                                       "6758,ソニーＧ,以下=12345.5\r\n"
                                                       "7203,トヨタ,以上=3000\r\n"));
    EXPECT_EQ(alerts.bytes(f.pf.st), expected);
    writeFile(f.path(), expected);
    auto back = PriceAlerts::load(f.path());
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->bytes(f.pf.st), expected);
    // The fired state survives: 1301 does not fire again above, but falls through below.
    EXPECT_TRUE(back->check(1301, 3400).empty());
    EXPECT_EQ(back->check(1301, 2800).size(), 1u);
}

TEST(PriceAlerts, HandTypedFilesAreReadAndWhatIsNoAlertIsKept)
{
    PriceFixture f;
    struct Case { QByteArray file; QByteArray written; };
    const std::vector<Case> cases = {
        // Blanks, LF ends, a byte-order mark, the name left out, a name that is wrong.
        {"\xEF\xBB\xBF 1301 , \x88\xC8\x8F\xE3 = 3200 \n", toCp932(QStringLiteral("1301,極洋,以上=3200\r\n"))},
        {toCp932(QStringLiteral("6758,何か,以下=100\r\n")), toCp932(QStringLiteral("6758,ソニーＧ,以下=100\r\n"))},
        // The later line of a stock holds.
        {toCp932(QStringLiteral("1301,極洋,以上=1\r\n1301,極洋,以上=2\r\n")), toCp932(QStringLiteral("1301,極洋,以上=2\r\n"))},
        // A fired mark without its level, and a level that is no price, mean nothing.
        {toCp932(QStringLiteral("1301,極洋,以上=abc,以下=5,済=以上\r\n")), toCp932(QStringLiteral("1301,極洋,以下=5\r\n"))},
        // Comments and lines without a level stay, after the alerts; empty lines go.
        {toCp932(QStringLiteral("# 自分用のメモ\r\n\r\n7203,トヨタ\r\n7203,トヨタ,以上=-5\r\n1301,極洋,以下=10\r\n")),
         toCp932(QStringLiteral("1301,極洋,以下=10\r\n# 自分用のメモ\r\n7203,トヨタ\r\n7203,トヨタ,以上=-5\r\n"))},
        // A line that is no alert stays byte for byte, bytes CP932 has no character for included.
        {"\xfe\xfe\xfe,memo\r\n1301,x,\x81\x40\xff\r\n", "\xfe\xfe\xfe,memo\r\n1301,x,\x81\x40\xff\r\n"},
        // The fired state of an alert with only a 以下 level (or only a 以上 level) is kept.
        {toCp932(QStringLiteral("6758,ソニーＧ,以下=100,済=以下\r\n")), toCp932(QStringLiteral("6758,ソニーＧ,以下=100,済=以下\r\n"))},
        {toCp932(QStringLiteral("1301,極洋,以上=3200,済=以上\r\n")), toCp932(QStringLiteral("1301,極洋,以上=3200,済=以上\r\n"))},
        {"", ""},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        writeFile(f.path(), cases[i].file);
        auto a = PriceAlerts::load(f.path());
        ASSERT_TRUE(a.has_value()) << i;
        EXPECT_EQ(a->bytes(f.pf.st), cases[i].written) << i;
    }
    QFile::remove(f.path());
    auto none = PriceAlerts::load(f.path());
    ASSERT_TRUE(none.has_value());
    EXPECT_TRUE(none->alerts().empty());
    writeFile(f.path(), QByteArray((1 << 20) + 1, '1'));
    auto big = PriceAlerts::load(f.path());
    ASSERT_FALSE(big.has_value());
    EXPECT_EQ(big.error(), QStringLiteral("ファイル：　") + f.path() + QStringLiteral(" が大きすぎます。"));
}

TEST(PriceAlerts, LevelsTypedByTheUser)
{
    struct Case { QString text; std::optional<float> level; };
    const std::vector<Case> cases = {{"", 0.f},    {"  ", 0.f},     {"3200", 3200.f}, {" 12.5 ", 12.5f},
                                     {"0", std::nullopt}, {"-1", std::nullopt}, {"abc", std::nullopt},
                                     {"1e10", std::nullopt}, {"inf", std::nullopt}, {"3,200", std::nullopt}};
    for (const Case &c : cases) EXPECT_EQ(parseLevel(c.text), c.level) << c.text.toStdString();
    EXPECT_EQ(levelsProblem(0, 0), QStringLiteral("以上か以下の価格を入れてください。"));
    EXPECT_EQ(levelsProblem(100, 100), QStringLiteral("以下の価格は以上の価格より小さくしてください。"));
    EXPECT_EQ(levelsProblem(100, 200), QStringLiteral("以下の価格は以上の価格より小さくしてください。"));
    EXPECT_EQ(levelsProblem(200, 100), QString());
    EXPECT_EQ(levelsProblem(0, 100), QString());
}

TEST(MonitorAlerts, FirstEntryOfTheDayIntoEachListsTopIsNewsOnce)
{
    const QDate day(2026, 11, 30);
    const auto e = [](int list, int code) { return MonitorEntry{list, code, QStringLiteral("銘柄"), 1.5, 100}; };
    MonitorAlerts rule;
    auto codes = [](const std::vector<MonitorEntry> &v) {
        std::vector<std::pair<int, int>> out;
        for (const auto &x : v) out.push_back({x.list, x.code});
        return out;
    };
    using V = std::vector<std::pair<int, int>>;
    EXPECT_EQ(codes(rule.newEntries(day, {e(1, 1301), e(1, 1302), e(2, 1303)})), (V{{1, 1301}, {1, 1302}, {2, 1303}}));
    // Still there, or back after dropping out: no news. In another list: news.
    EXPECT_EQ(codes(rule.newEntries(day, {e(1, 1301), e(2, 1303), e(3, 1301)})), (V{{3, 1301}}));
    EXPECT_EQ(codes(rule.newEntries(day, {e(1, 1302)})), V{});
    // The next day everything is new again.
    EXPECT_EQ(codes(rule.newEntries(day.addDays(1), {e(1, 1301), e(2, 1303)})), (V{{1, 1301}, {2, 1303}}));
}

TEST(MonitorAlerts, OneNotificationPerPassWithOneLinePerEntry)
{
    std::vector<MonitorEntry> entries = {{1, 1301, QStringLiteral("極洋"), 1.0523, 3150},
                                         {6, 6758, QStringLiteral("ソニーＧ"), 0.9, 2999.5f}};
    const Notice n = monitorNotice(entries);
    EXPECT_EQ(n.summary, QStringLiteral("リアルタイム急騰急落（2件）"));
    EXPECT_EQ(n.body, QStringLiteral("急騰銘柄（前日比） 1301 極洋 1.052 3150\n急落銘柄（前回ループ比） 6758 ソニーＧ .9 2999.5"));
    EXPECT_EQ(n.code, 1301);
    for (int i = 0; i < 11; ++i) entries.push_back({3, 2000 + i, QStringLiteral("X"), 1.25, 10});
    const Notice many = monitorNotice(entries);
    EXPECT_EQ(many.summary, QStringLiteral("リアルタイム急騰急落（13件）"));
    const QStringList lines = many.body.split('\n');
    ASSERT_EQ(lines.size(), kMonitorNoticeLines + 1);
    EXPECT_EQ(lines[9], QStringLiteral("急騰銘柄（当日比） 2007 X 1.25 10"));
    EXPECT_EQ(lines[10], QStringLiteral("ほか3件"));
}

TEST(MonitorAlerts, APassOfTheRealMonitorRaisesItsNewTopEntriesAndPriceAlerts)
{
    MonitorFixture f(3);
    f.page(1301, "110", "100");
    f.page(1302, "95", "100");
    f.page(1303, "130", "0");   // not traded yet: in no list
    f.view.stopAfter = 4;
    AlertCenter center(f.pf.st);
    center.prices().set(1303, 120, 0);
    std::vector<std::vector<RaisedAlert>> passes;
    f.monitor.onPassLists = [&] { passes.push_back(center.monitorPass(f.monitor, f.env.clock.now().date(), true)); };
    int waits = 0;
    f.wait.during = [&] {
        ++waits;
        if (waits == 1) f.page(1303, "131", "125");   // trades from the next pass on
        if (waits == 2) f.env.clock.set(QDateTime(QDate(2026, 12, 1), QTime(9, 30)));
    };
    f.pf.st.RealParam = 1;
    ASSERT_TRUE(f.monitor.RealMeigara(0));
    ASSERT_EQ(passes.size(), 3u);   // the base pass makes no lists

    // First scored pass: the riser is news in the three lists of rises, the faller in the three
    // of falls (each also fills a row of the other lists, which is no news); 1303's page was
    // read (130) even without an open, so its price alert fires.
    ASSERT_EQ(passes[0].size(), 2u);
    const RaisedAlert &first = passes[0][0];
    EXPECT_FALSE(first.price);
    EXPECT_EQ(first.notice.summary, QStringLiteral("リアルタイム急騰急落（6件）"));
    EXPECT_EQ(first.lines, (QStringList{QStringLiteral("急騰銘柄（前日比） 1301 銘柄000 1.1 110"),
                                        QStringLiteral("急落銘柄（前日比） 1302 銘柄001 .95 95"),
                                        QStringLiteral("急騰銘柄（当日比） 1301 銘柄000 1.1 110"),
                                        QStringLiteral("急落銘柄（当日比） 1302 銘柄001 .95 95"),
                                        QStringLiteral("急騰銘柄（前回ループ比） 1301 銘柄000 1.1 110"),
                                        QStringLiteral("急落銘柄（前回ループ比） 1302 銘柄001 .95 95")}));
    EXPECT_EQ(passes[0][1].lines, QStringList{QStringLiteral("1303 銘柄002 130 が 120 以上になりました")});
    EXPECT_TRUE(passes[0][1].price);
    EXPECT_EQ(passes[0][1].notice.summary, QStringLiteral("株価アラート"));
    EXPECT_EQ(passes[0][1].notice.code, 1303);

    // Second pass: only 1303 is new, once in each list of rises; its price alert stays quiet
    // (still above).
    ASSERT_EQ(passes[1].size(), 1u);
    EXPECT_EQ(passes[1][0].notice.summary, QStringLiteral("リアルタイム急騰急落（3件）"));
    EXPECT_EQ(passes[1][0].lines.first(), QStringLiteral("急騰銘柄（前日比） 1303 銘柄002 1.31 131"));
    EXPECT_EQ(passes[1][0].notice.code, 1303);

    // Third pass, the next day: all three are news again, but not in the lists against the last
    // pass, where none of them moved (a ratio of 1).
    ASSERT_EQ(passes[2].size(), 1u);
    EXPECT_EQ(passes[2][0].notice.summary, QStringLiteral("リアルタイム急騰急落（6件）"));
    EXPECT_FALSE(passes[2][0].lines.join('\n').contains(QStringLiteral("前回ループ比")));
}

TEST(MonitorAlerts, WithNotifyOffOnlyPriceAlertsAreRaised)
{
    MonitorFixture f(2);
    f.page(1301, "110", "100");
    f.page(1302, "95", "100");
    AlertCenter center(f.pf.st);
    center.prices().set(1302, 0, 96);
    std::vector<RaisedAlert> raised;
    f.monitor.onPassLists = [&] {
        for (auto &a : center.monitorPass(f.monitor, f.env.clock.now().date(), false)) raised.push_back(a);
    };
    ASSERT_TRUE(f.monitor.RealMeigara(0));
    ASSERT_EQ(raised.size(), 1u);
    EXPECT_EQ(raised[0].lines, QStringList{QStringLiteral("1302 銘柄001 95 が 96 以下になりました")});
}

TEST(AlertDelivery, NotificationFirstAndThePaneWithASoundWhenNoServiceTakesIt)
{
    PriceFixture f;
    TestEnv env;
    env.clock.set(QDateTime(QDate(2026, 11, 30), QTime(9, 5)));
    RecordingNotifier notifier;
    AlertDelivery delivery(f.pf.st, env.services, notifier);
    const RaisedAlert price{{QStringLiteral("株価アラート"), QStringLiteral("1301 極洋 3250 が 3200 以上になりました"), 1301},
                            {QStringLiteral("1301 極洋 3250 が 3200 以上になりました")}, true};
    const RaisedAlert monitor{{QStringLiteral("リアルタイム急騰急落（2件）"), QStringLiteral("a\nb"), 1301},
                              {QStringLiteral("a"), QStringLiteral("b")}, false};

    // Taken: price alerts still show in the pane, monitor alerts do not; no sound.
    EXPECT_TRUE(delivery.deliver(price));
    EXPECT_TRUE(delivery.deliver(monitor));
    ASSERT_EQ(notifier.notices.size(), 2u);
    EXPECT_EQ(notifier.notices[1].body, QStringLiteral("a\nb"));
    EXPECT_EQ(env.shell.messages(), QStringLiteral("9:05 アラート: 1301 極洋 3250 が 3200 以上になりました\r\n"));
    EXPECT_EQ(env.sound.beeps, 0);
    EXPECT_TRUE(env.sound.played.isEmpty());

    // Not taken: the pane, newest on top, and a beep while there is no sound file.
    notifier.taken = false;
    env.clock.set(QDateTime(QDate(2026, 11, 30), QTime(10, 15)));
    EXPECT_FALSE(delivery.deliver(monitor));
    EXPECT_EQ(env.shell.messages(), QStringLiteral("10:15 アラート: a\r\n10:15 アラート: b\r\n"
                                                   "9:05 アラート: 1301 極洋 3250 が 3200 以上になりました\r\n"));
    EXPECT_EQ(env.sound.beeps, 1);
    // The completion sound when there is one, ALERT.wav before it; never a message box.
    writeFile(f.pf.program + QStringLiteral("DONE.wav"), "RIFF");
    delivery.deliver(price);
    writeFile(f.pf.program + QStringLiteral("ALERT.wav"), "RIFF");
    delivery.deliver(price);
    EXPECT_EQ(env.sound.played, (QStringList{f.pf.program + QStringLiteral("DONE.wav"), f.pf.program + QStringLiteral("ALERT.wav")}));
    EXPECT_EQ(env.sound.beeps, 1);
    EXPECT_TRUE(env.dialogs.shown.empty());
}

TEST(AlertCenter, MinuteTickPricesFireAlertsAndTheStateIsSavedWithTheCheckedWrite)
{
    PriceFixture f;
    writeFile(f.path(), toCp932(QStringLiteral("1301,極洋,以上=1234\r\n7203,トヨタ,以下=2000\r\n")));
    AlertCenter center(f.pf.st);
    const std::vector<RaisedAlert> raised = center.checkPrices({{1301, 1234.5f}, {7203, 2805}, {6758, 3000}});
    ASSERT_EQ(raised.size(), 1u);
    EXPECT_EQ(raised[0].lines, QStringList{QStringLiteral("1301 極洋 1234.5 が 1234 以上になりました")});
    ASSERT_TRUE(center.prices().changed());
    {
        DiskSpaceLimit full(10);   // a full disk: the old file stays whole
        EXPECT_FALSE(center.save().has_value());
    }
    EXPECT_EQ(readFile(f.path()), toCp932(QStringLiteral("1301,極洋,以上=1234\r\n7203,トヨタ,以下=2000\r\n")));
    ASSERT_TRUE(center.save().has_value());
    EXPECT_EQ(readFile(f.path()), toCp932(QStringLiteral("1301,極洋,以上=1234,済=以上\r\n7203,トヨタ,以下=2000\r\n")));
    // A file that cannot be read is never written over.
    writeFile(f.path(), QByteArray((1 << 20) + 5, '1'));
    ASSERT_FALSE(center.reload().has_value());
    EXPECT_FALSE(center.save().has_value());
    EXPECT_EQ(readFile(f.path()).size(), (1 << 20) + 5);
}

TEST(AlertCenter, TheMinuteCollectionHandsOverEveryPriceItRead)
{
    PriceFixture f;
    TestEnv env;
    env.clock.set(QDateTime(QDate(2026, 12, 7), QTime(9, 5)));
    class Quote final : public LiveQuote {
    public:
        void getVec(State &st) override
        {
            st.BarOpen[0] = st.CurCode == 1301 ? 1230 : 0;
            st.BarHigh[0] = st.BarLow[0] = st.BarClose[0] = st.CurCode == 7203 ? 0.f : 1234.5f;
            st.BarVolume[0] = 100;
        }
    } quote;
    env.services.liveQuote = &quote;
    writeFile(f.pf.program + QStringLiteral("touroku.dat"), " 1301 \r\n 6758 \r\n 7203 \r\n");
    const MinuteTick tick = collectMinuteBars(f.pf.st, env.services);
    // 6758 has no open yet (no record) but its page gave a price; 7203 gave none.
    EXPECT_EQ(tick.written, 1);
    EXPECT_EQ(tick.prices, (std::vector<std::pair<int, float>>{{1301, 1234.5f}, {6758, 1234.5f}}));
}
