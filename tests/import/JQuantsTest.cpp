// The data API's answers turned into the program's daily lines, and the client's rate, pages and
// refusals, against literal answers.
#include "import/JQuantsClient.h"
#include "import/JQuantsData.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <deque>
#include <gtest/gtest.h>

namespace velor::test {

namespace {

QJsonArray rowsOf(const char *json) { return QJsonDocument::fromJson(json).object().value("data").toArray(); }

// Answers in turn: a body, or an HTTP status with an optional Retry-After; records each request.
class ScriptedApi final : public Net {
public:
    struct Answer {
        QByteArray body;
        int status = 200;
        int retryAfter = -1;
    };
    std::deque<Answer> answers;
    QStringList addresses;
    QList<QByteArray> keys;
    std::vector<qint64> times;
    jq::PaceTimer *timer = nullptr;
    std::expected<QByteArray, NetError> fetch(const QString &address, const FetchLimits &limits) override
    {
        addresses << address;
        QByteArray key;
        for (const auto &[name, value] : limits.headers)
            if (name == "x-api-key") key = value;
        keys << key;
        times.push_back(timer ? timer->elapsedMs() : 0);
        if (answers.empty()) return std::unexpected(NetError{address, QStringLiteral("no answer"), false, false});
        Answer a = answers.front();
        answers.pop_front();
        if (a.status == 200) return a.body;
        NetError e{address, QStringLiteral("サーバーがエラーを返しました（HTTP %1）").arg(a.status), false, false};
        e.status = a.status;
        e.retryAfterSeconds = a.retryAfter;
        return std::unexpected(e);
    }
};

// Time that moves only when waited on, so that no test sleeps.
class FakePace final : public jq::PaceTimer {
public:
    qint64 now = 0;
    std::vector<qint64> waits;
    qint64 elapsedMs() override { return now; }
    bool wait(qint64 ms) override
    {
        waits.push_back(ms);
        now += ms;
        return true;
    }
};

} // namespace

TEST(JQuantsData, DayRowsBecomeTheProgramsDailyLines)
{
    std::unordered_map<int, jq::MasterRow> master;
    for (const auto &row : jq::masterRows(rowsOf(R"({"data":[
        {"Code":"13010","CoName":"極洋","Mkt":"0111","S33":"0050","S17":"1"},
        {"Code":"130A0","CoName":"ベリサーブ","Mkt":"0113","S33":"5250","S17":"10"},
        {"Code":"25935","CoName":"伊藤園第1種優先","Mkt":"0111"},
        {"Code":"72030","CoName":"トヨタ自動車","Mkt":"0112"}]})")))
        master.insert(row);
    ASSERT_EQ(master.size(), 3u);
    EXPECT_EQ(master.at(1301).section, 1);
    EXPECT_EQ(master.at(7203).section, 2);

    const QJsonArray rows = rowsOf(R"({"data":[
        {"Date":"2025-12-01","Code":"13010","O":3630.0,"H":3655,"L":3600.5,"C":3650,"Vo":8100.0,"AdjFactor":1.0},
        {"Date":"2025-12-01","Code":"130A0","O":912,"H":950,"L":900,"C":940,"Vo":120000,"AdjFactor":1},
        {"Date":"2025-12-01","Code":"25935","O":1800,"H":1810,"L":1795,"C":1800,"Vo":300,"AdjFactor":1},
        {"Date":"2025-12-01","Code":"99990","O":null,"H":null,"L":null,"C":null,"Vo":null,"AdjFactor":1},
        {"Date":"2025-12-01","Code":"72030","O":1500,"H":1520,"L":1490,"C":1510,"Vo":2500000,"AdjFactor":0.5},
        {"Date":"2025-12-01","Code":"13050","O":2000,"H":2000,"L":2000,"C":2000,"Vo":0,"AdjFactor":0.70710678}]})");
    auto day = jq::dayLines(20251201, rows, master, jq::IndexBar{"2710.5", "2730", "2700.25", "2725"});
    ASSERT_TRUE(day.has_value()) << day.error().toStdString();
    EXPECT_EQ(day->file, QByteArray("2025-12-01,1001,0,2710.5,2730,2700.25,2725,0\r\n"
                                    "2025-12-01,1301,1,3630,3655,3600.5,3650,8100\r\n"
                                    "2025-12-01,130A,3,912,950,900,940,120000\r\n"
                                    "2025-12-01,7203,2,1500,1520,1490,1510,2500000\r\n"
                                    "2025-12-01,1305,4,2000,2000,2000,2000,0\r\n"));
    EXPECT_EQ(day->stocks, 4);
    EXPECT_EQ(day->otherIssues, 1);   // the preferred share
    EXPECT_EQ(day->noTrade, 1);       // null prices: no line, as a stock absent from a daily file
    ASSERT_EQ(day->splits.size(), 1u);
    EXPECT_EQ(day->splits[0].code, 7203);
    EXPECT_EQ(day->splits[0].exDate, 20251201);
    EXPECT_EQ(day->splits[0].before, 1);
    EXPECT_EQ(day->splits[0].after, 2);
    ASSERT_EQ(day->oddFactors.size(), 1u);   // said, never guessed
    EXPECT_EQ(day->oddFactors[0].code, 1305);
}

TEST(JQuantsData, FactorsAreRatiosOrRefused)
{
    struct Case {
        double factor;
        double before, after;   // 0, 0: no simple ratio
    } const cases[] = {{0.5, 1, 2}, {5, 5, 1}, {0.333333, 1, 3}, {0.25, 1, 4}, {0.666667, 2, 3}, {0.1, 1, 10},
                       {0.01, 1, 100}, {1.5, 3, 2}, {0.70710678, 0, 0}, {0, 0, 0}, {-0.5, 0, 0}, {0.001, 0, 0}};
    for (const Case &c : cases) {
        const auto r = jq::ratioOfFactor(c.factor);
        if (c.before == 0) {
            EXPECT_FALSE(r.has_value()) << c.factor;
            continue;
        }
        ASSERT_TRUE(r.has_value()) << c.factor;
        EXPECT_EQ(r->first, c.before) << c.factor;
        EXPECT_EQ(r->second, c.after) << c.factor;
    }
}

TEST(JQuantsData, AnswersThatAreNotADaysRowsAreRefused)
{
    const std::unordered_map<int, jq::MasterRow> none;
    struct Case {
        const char *json;
        const char *error;
    } const cases[] = {
        {R"({"data":[{"Date":"2025-12-02","Code":"13010","O":1,"H":1,"L":1,"C":1,"Vo":1}]})", "別の日付"},
        {R"({"data":[{"Date":"2025-12-01","Code":"1301","O":1,"H":1,"L":1,"C":1,"Vo":1}]})", "読めない銘柄コード"},
        {R"({"data":[{"Date":"2025-12-01","Code":"13010","O":1,"H":1,"L":1,"C":1,"Vo":"x"}]})", "出来高が読めません"},
    };
    for (const Case &c : cases) {
        const auto day = jq::dayLines(20251201, rowsOf(c.json), none, std::nullopt);
        ASSERT_FALSE(day.has_value()) << c.json;
        EXPECT_TRUE(day.error().contains(QString::fromUtf8(c.error))) << day.error().toStdString();
    }
    // A negative price is no trade either way: never stored.
    const auto negative = jq::dayLines(
        20251201, rowsOf(R"({"data":[{"Date":"2025-12-01","Code":"13010","O":-1,"H":1,"L":1,"C":1,"Vo":1}]})"), none, std::nullopt);
    ASSERT_TRUE(negative.has_value());
    EXPECT_EQ(negative->file, QByteArray());
}

TEST(JQuantsData, CalendarIndexAndBulkRows)
{
    EXPECT_EQ(jq::tradingDays(rowsOf(R"({"data":[{"Date":"2025-12-31","HolDiv":"0"},{"Date":"2026-01-05","HolDiv":"1"},
        {"Date":"2026-01-02","HolDiv":"0"},{"Date":"2025-12-30","HolDiv":"1"},{"Date":"2026-01-12","HolDiv":"3"}]})")),
              (std::vector<int32_t>{20251230, 20260105}));
    const auto index = jq::indexBars(rowsOf(R"({"data":[{"Date":"2025-12-30","O":3400.12,"H":3410,"L":3390.5,"C":3405.25},
        {"Date":"2026-01-05","O":null,"H":null,"L":null,"C":null}]})"));
    ASSERT_EQ(index.size(), 1u);
    EXPECT_EQ(index.at(20251230).open, "3400.12");
    EXPECT_EQ(index.at(20251230).close, "3405.25");

    const auto bulk = jq::bulkRows("Date,Code,O,H,L,C,UL,LL,Vo,Va,AdjFactor\n"
                                   "2025-12-02,13010,10,11,9,10.5,0,0,100,1050,1\n"
                                   "2025-12-01,72030,,,,,0,0,,,1\n"
                                   "2025-12-01,13010,9,10,8,9.5,0,0,90,855,0.5\n");
    ASSERT_TRUE(bulk.has_value()) << bulk.error().toStdString();
    ASSERT_EQ(bulk->size(), 2u);
    EXPECT_EQ((*bulk)[0].first, 20251201);
    const auto day = jq::dayLines(20251201, (*bulk)[0].second, {}, std::nullopt);
    ASSERT_TRUE(day.has_value());
    EXPECT_EQ(day->file, QByteArray("2025-12-01,1301,4,9,10,8,9.5,90\r\n"));
    EXPECT_EQ(day->noTrade, 1);
    EXPECT_EQ(day->splits.size(), 1u);
    EXPECT_FALSE(jq::bulkRows("Date,Code,O,H,L\n").has_value());
    const auto cut = jq::bulkRows("Date,Code,O,H,L,C,Vo\n2025-12-01,13010,1,1\n");
    ASSERT_FALSE(cut.has_value());
    EXPECT_TRUE(cut.error().contains(QStringLiteral("2 行目"))) << cut.error().toStdString();
}

TEST(JQuantsClient, RequestsKeepThePlansSpacingAndFollowPages)
{
    ScriptedApi api;
    FakePace pace;
    api.timer = &pace;
    api.answers = {{R"({"data":[{"n":1}],"pagination_key":"a"})"}, {R"({"data":[{"n":2}],"pagination_key":"b"})"},
                   {R"({"data":[{"n":3}]})"}, {R"({"data":[]})"}};
    jq::Client client(api, pace, "http://127.0.0.1:9/v2", "secret-key-123", jq::Plan::Free, 10);
    auto all = client.rows("/equities/bars/daily", {{"date", "20251201"}});
    ASSERT_TRUE(all.has_value());
    EXPECT_EQ(all->size(), 3);
    ASSERT_TRUE(client.rows("/markets/calendar", {{"from", "20251201"}, {"to", "20251231"}}).has_value());
    EXPECT_EQ(api.addresses, (QStringList{"http://127.0.0.1:9/v2/equities/bars/daily?date=20251201",
                                          "http://127.0.0.1:9/v2/equities/bars/daily?date=20251201&pagination_key=a",
                                          "http://127.0.0.1:9/v2/equities/bars/daily?date=20251201&pagination_key=b",
                                          "http://127.0.0.1:9/v2/markets/calendar?from=20251201&to=20251231"}));
    // Free: 5 a minute, 12 s apart from the very first request on; the key goes in its header only.
    EXPECT_EQ(api.times, (std::vector<qint64>{0, 12000, 24000, 36000}));
    for (const QByteArray &k : api.keys) EXPECT_EQ(k, "secret-key-123");
    EXPECT_EQ(jq::spacingMs(jq::Plan::Light), 1000);
    EXPECT_EQ(jq::spacingMs(jq::Plan::Standard), 500);
    EXPECT_EQ(jq::spacingMs(jq::Plan::Premium), 120);
}

TEST(JQuantsClient, RateRefusalsAreWaitedOutServerErrorsRetriedAndABadKeyStops)
{
    {   // 429 with and without Retry-After, then 503 once: waited out, the answer arrives.
        ScriptedApi api;
        FakePace pace;
        api.timer = &pace;
        api.answers = {{{}, 429, 30}, {{}, 429}, {{}, 503}, {R"({"data":[{"n":1}]})"}};
        jq::Client client(api, pace, "http://h/v2", "k", jq::Plan::Premium, 10);
        auto all = client.rows("/equities/master", {});
        ASSERT_TRUE(all.has_value()) << all.error().text.toStdString();
        EXPECT_EQ(api.times, (std::vector<qint64>{0, 30000, 90000, 100000}));
    }
    {   // 401: one request, no retry, the text names 設定… and JQUANTS_API_KEY and not the key.
        ScriptedApi api;
        FakePace pace;
        api.answers = {{{}, 401}, {R"({"data":[]})"}};
        jq::Client client(api, pace, "http://h/v2", "secret-key-123", jq::Plan::Light, 10);
        auto all = client.rows("/equities/master", {});
        ASSERT_FALSE(all.has_value());
        EXPECT_EQ(all.error().kind, jq::ClientError::Auth);
        EXPECT_EQ(api.addresses.size(), 1);
        EXPECT_TRUE(all.error().text.contains(QStringLiteral("設定…")));
        EXPECT_TRUE(all.error().text.contains(QStringLiteral("JQUANTS_API_KEY")));
        EXPECT_FALSE(all.error().text.contains(QStringLiteral("secret-key-123")));
    }
    {   // A page key seen twice, malformed JSON, and 429 without end all fail the list.
        struct Case {
            std::deque<ScriptedApi::Answer> answers;
            const char *error;
        } cases[] = {
            {{{R"({"data":[],"pagination_key":"a"})"}, {R"({"data":[],"pagination_key":"a"})"}}, "二度"},
            {{{R"({"data":[{"n":1})"}}, "読めません"},
            {{{R"({"rows":[]})"}}, "data がありません"},
            {{{{}, 429}, {{}, 429}, {{}, 429}, {{}, 429}, {{}, 429}, {{}, 429}}, "HTTP 429"},
            {{{{}, 500}, {{}, 500}, {{}, 500}, {{}, 500}}, "HTTP 500"},
        };
        for (Case &c : cases) {
            ScriptedApi api;
            FakePace pace;
            api.answers = c.answers;
            jq::Client client(api, pace, "http://h/v2", "k", jq::Plan::Premium, 10);
            auto all = client.rows("/equities/master", {});
            ASSERT_FALSE(all.has_value()) << c.error;
            EXPECT_EQ(all.error().kind, jq::ClientError::Failed);
            EXPECT_TRUE(all.error().text.contains(QString::fromUtf8(c.error))) << all.error().text.toStdString();
        }
    }
}

TEST(JQuantsClient, GzipIsInflatedWithinItsCap)
{
    // "hello\n" gzip-compressed.
    const QByteArray gz = QByteArray::fromHex("1f8b0800000000000203cb48cdc9c9e7020020303a3606000000");
    auto out = jq::gunzipBytes(gz, 100);
    ASSERT_TRUE(out.has_value()) << out.error().toStdString();
    EXPECT_EQ(*out, "hello\n");
    EXPECT_FALSE(jq::gunzipBytes(gz, 3).has_value());
    EXPECT_FALSE(jq::gunzipBytes(gz.left(gz.size() - 9), 100).has_value());
    EXPECT_FALSE(jq::gunzipBytes("not gzip", 100).has_value());
}

} // namespace velor::test
