// The offline twin of the exchange's data API on a market of 60 stocks (splits and letter codes
// among them), with the clock on Friday 2026-12-04 after the close: its answers hold the demo's
// daily files, and what the real API adds that the import must pass over.
#include "demo/DemoSite.h"
#include "demo/JQuantsTwin.h"
#include "common/Clock.h"
#include "support/GuiApp.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>
#include <gtest/gtest.h>
#include <zlib.h>

using namespace velor;
using namespace velor::demo;

namespace {

MarketOptions market60()
{
    MarketOptions o;
    o.stocks = 60;
    o.letterCodes = 3;
    o.splits = true;
    return o;
}

QDateTime friday(int h, int m) { return QDateTime(QDate(2026, 12, 4), QTime(h, m)); }

const QHash<QByteArray, QByteArray> kKey{{"x-api-key", "velor-demo-key"}};

struct Answer {
    int status = 0;
    QJsonObject json;
    JQuantsTwin::Reply reply;
    QJsonArray data() const { return json.value("data").toArray(); }
};

Answer get(JQuantsTwin &twin, const QByteArray &target, const QHash<QByteArray, QByteArray> &headers = kKey)
{
    Answer a;
    a.reply = twin.respond("GET", target, headers);
    a.status = a.reply.status;
    a.json = QJsonDocument::fromJson(a.reply.body).object();
    return a;
}

QByteArray header(const JQuantsTwin::Reply &r, const QByteArray &name)
{
    for (const auto &[n, v] : r.headers)
        if (n == name) return v;
    return {};
}

QJsonObject rowOf(const QJsonArray &rows, const QString &code)
{
    for (const QJsonValue &v : rows)
        if (v.toObject().value("Code").toString() == code) return v.toObject();
    return {};
}

QByteArray gunzip(const QByteArray &gz)
{
    z_stream z{};
    EXPECT_EQ(inflateInit2(&z, 16 + MAX_WBITS), Z_OK);
    QByteArray out;
    char buffer[65536];
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(gz.constData()));
    z.avail_in = uInt(gz.size());
    int rc = Z_OK;
    while (rc == Z_OK) {
        z.next_out = reinterpret_cast<Bytef *>(buffer);
        z.avail_out = sizeof buffer;
        rc = inflate(&z, Z_NO_FLUSH);
        out.append(buffer, qsizetype(sizeof buffer - z.avail_out));
    }
    inflateEnd(&z);
    EXPECT_EQ(rc, Z_STREAM_END);
    return out;
}

} // namespace

TEST(JQuantsTwin, OnlyTheKeyOpensIt)
{
    FixedClock clock(friday(17, 0));
    JQuantsTwin twin(market60(), clock);
    struct Case { QHash<QByteArray, QByteArray> headers; int status; };
    const Case cases[] = {{{}, 401}, {{{"x-api-key", "wrong"}}, 401}, {kKey, 200}};
    for (const Case &c : cases) {
        const Answer a = get(twin, "/v2/markets/calendar?from=20261201&to=20261201", c.headers);
        EXPECT_EQ(a.status, c.status);
        EXPECT_EQ(header(a.reply, "Content-Type"), "application/json; charset=utf-8");
        if (c.status == 401) {
            EXPECT_FALSE(a.json.value("message").toString().isEmpty());
        }
    }
    EXPECT_EQ(get(twin, "/v2/no/such/thing").status, 404);
    EXPECT_EQ(get(twin, "/equities/bars/daily?date=20261203").status, 404);
    EXPECT_EQ(get(twin, "/v2/equities/bars/daily").status, 400);
    EXPECT_EQ(twin.respond("POST", "/v2/equities/bars/daily?date=20261203", kKey).status, 405);
    EXPECT_EQ(twin.respond("POST", "/v2/equities/bars/daily?date=20261203", {}).status, 401);
    EXPECT_EQ(twin.requests(), 8);
}

TEST(JQuantsTwin, TheDaysBarsAreTheDailyFilesLines)
{
    FixedClock clock(friday(17, 0));
    JQuantsTwin twin(market60(), clock);
    const MarketGenerator gen(market60());
    // 2026-12-03 is calendar day 6523 of this market.
    const QByteArray file = dailyFiles(gen, 6523, 6524).front();
    const Answer a = get(twin, "/v2/equities/bars/daily?date=20261203");
    ASSERT_EQ(a.status, 200);
    EXPECT_FALSE(a.json.contains("pagination_key"));
    QJsonArray common;
    for (const QJsonValue &v : a.data())
        if (v.toObject().value("Code").toString().endsWith('0') && !v.toObject().value("O").isNull()) common.append(v);
    QList<QByteArray> lines = file.split('\n');
    lines.removeLast();
    ASSERT_EQ(lines.size(), common.size() + 2);   // 1001 and 1002 are no equities
    for (qsizetype i = 2; i < lines.size(); ++i) {
        const QList<QByteArray> f = lines[i].trimmed().split(',');
        const QJsonObject row = common[i - 2].toObject();
        EXPECT_EQ(row.value("Date").toString(), "2026-12-03");
        EXPECT_EQ(row.value("Code").toString(), QString::fromLatin1(f[1] + '0'));
        int k = 3;
        for (const char *field : {"O", "H", "L", "C", "Vo"}) EXPECT_EQ(row.value(field).toDouble(), f[k++].toDouble()) << f[1].constData() << field;
        EXPECT_EQ(row.value("UL").toString(), "0");
    }
    // The numbers are written as the file writes them.
    EXPECT_TRUE(a.reply.body.contains(R"("Code":"82590","O":428,"H":432,"L":424,"C":430,"UL":"0","LL":"0","Vo":39201000,"Va":16856430000,"AdjFactor":0.333333,"AdjO":428,)"));
    EXPECT_TRUE(a.reply.body.contains(R"("Code":"130A0")"));
    EXPECT_FALSE(a.reply.body.contains(R"("Code":"10010")"));
    EXPECT_FALSE(a.reply.body.contains(R"("Code":"10020")"));
    // The first stock's preferred share follows it at twice its prices.
    const QJsonObject first = a.data()[0].toObject(), preferred = a.data()[1].toObject();
    EXPECT_EQ(first.value("Code").toString(), "13010");
    EXPECT_EQ(preferred.value("Code").toString(), "13015");
    EXPECT_EQ(preferred.value("C").toDouble(), 2 * first.value("C").toDouble());
}

TEST(JQuantsTwin, SplitsAndDelistingsShowAsTheApiShowsThem)
{
    FixedClock clock(friday(17, 0));
    JQuantsTwin twin(market60(), clock);
    // 8259 splits 1:3 on 2026-12-03: the day before is adjusted once that day is out.
    struct Case { QDateTime now; const char *date; double factor, adjClose, adjVolume; };
    const Case cases[] = {
        {friday(17, 0), "20261202", 1, 425, 41958300},
        {friday(17, 0), "20261203", 0.333333, 430, 39201000},
        {QDateTime(QDate(2026, 12, 3), QTime(12, 0)), "20261202", 1, 1275, 13986100},
    };
    for (const Case &c : cases) {
        clock.set(c.now);
        const QJsonObject row = rowOf(get(twin, QByteArray("/v2/equities/bars/daily?date=") + c.date).data(), "82590");
        EXPECT_EQ(row.value("AdjFactor").toDouble(), c.factor) << c.date;
        EXPECT_EQ(row.value("AdjC").toDouble(), c.adjClose) << c.date;
        EXPECT_EQ(row.value("AdjVo").toDouble(), c.adjVolume) << c.date;
    }
    clock.set(friday(17, 0));
    // 8549 last traded on 2026-03-30: three days of rows without prices follow.
    struct Named { const char *date; bool row, prices; };
    const Named named[] = {{"20260330", true, true}, {"20260331", true, false}, {"20260402", true, false}, {"20260403", false, false}};
    for (const Named &n : named) {
        const QJsonObject row = rowOf(get(twin, QByteArray("/v2/equities/bars/daily?date=") + n.date).data(), "85490");
        EXPECT_EQ(!row.isEmpty(), n.row) << n.date;
        if (!n.row) continue;
        for (const char *field : {"O", "H", "L", "C", "Vo", "Va", "AdjO", "AdjH", "AdjL", "AdjC", "AdjVo"})
            EXPECT_EQ(row.value(field).isNull(), !n.prices) << n.date << " " << field;
        EXPECT_EQ(row.value("AdjFactor").toDouble(), 1) << n.date;
    }
}

TEST(JQuantsTwin, ServesTheDaysUpToTheClose)
{
    FixedClock clock(friday(16, 29));
    JQuantsTwin twin(market60(), clock);
    struct Case { QDateTime now; const char *date; bool rows; };
    const Case cases[] = {
        {friday(16, 29), "20261203", true}, {friday(16, 29), "2026-12-04", false}, {friday(16, 30), "2026-12-04", true},
        {friday(16, 30), "20261205", false}, {friday(16, 30), "20261207", false}, {friday(16, 30), "20261210", false},
    };
    for (const Case &c : cases) {
        clock.set(c.now);
        const Answer a = get(twin, QByteArray("/v2/equities/bars/daily?date=") + c.date);
        EXPECT_EQ(a.status, 200) << c.date;
        EXPECT_EQ(!a.data().isEmpty(), c.rows) << c.date << " at " << c.now.toString().toStdString();
    }
    // The calendar runs ahead of the served days; a Saturday is no trading day.
    const QJsonArray days = get(twin, "/v2/markets/calendar?from=2026-12-04&to=20261231").data();
    ASSERT_EQ(days.size(), 8);   // up to the market's last day, 2026-12-11
    struct Day { int at; const char *date, *div; };
    for (const Day &d : {Day{0, "2026-12-04", "1"}, Day{1, "2026-12-05", "0"}, Day{2, "2026-12-06", "0"}, Day{6, "2026-12-10", "1"}}) {
        EXPECT_EQ(days[d.at].toObject().value("Date").toString(), d.date);
        EXPECT_EQ(days[d.at].toObject().value("HolDiv").toString(), d.div);
    }
    const QJsonArray topix = get(twin, "/v2/indices/bars/daily/topix?from=20261201&to=20261210").data();
    ASSERT_EQ(topix.size(), 4);
    EXPECT_EQ(topix[1].toObject().value("Date").toString(), "2026-12-02");
    EXPECT_EQ(topix[1].toObject().value("C").toDouble(), 33486.83);
}

TEST(JQuantsTwin, MasterNamesTheListedStocks)
{
    FixedClock clock(friday(17, 0));
    JQuantsTwin twin(market60(), clock);
    const MarketGenerator gen(market60());
    struct Case { const char *query; const char *date; bool has8549, has710A; };
    const Case cases[] = {
        {"", "2026-12-04", false, false},          {"?date=20261205", "2026-12-04", false, false},
        {"?date=20261210", "2026-12-04", false, false}, {"?date=2026-04-02", "2026-04-02", true, false},
        {"?date=20260403", "2026-04-03", false, false},
    };
    for (const Case &c : cases) {
        const QJsonArray rows = get(twin, QByteArray("/v2/equities/master") + c.query).data();
        ASSERT_FALSE(rows.isEmpty()) << c.query;
        EXPECT_EQ(rows[0].toObject().value("Date").toString(), c.date) << c.query;
        EXPECT_EQ(!rowOf(rows, "85490").isEmpty(), c.has8549) << c.query;
        EXPECT_EQ(!rowOf(rows, "710A0").isEmpty(), c.has710A) << c.query;
    }
    const QJsonArray rows = get(twin, "/v2/equities/master").data();
    const QJsonObject first = rowOf(rows, "13010"), letter = rowOf(rows, "130A0");
    EXPECT_EQ(first.value("CoName").toString(), gen.listing()[2].name.trimmed());
    EXPECT_EQ(first.value("CoNameEn").toString(), "Demo 1301");
    EXPECT_EQ(first.value("S33").toString(), "0050");
    EXPECT_EQ(first.value("S33Nm").toString(), "水産・農林業");
    EXPECT_EQ(first.value("S17").toString(), "1");
    EXPECT_EQ(letter.value("Mkt").toString(), "0111");
    EXPECT_EQ(letter.value("MktNm").toString(), "プライム");
    EXPECT_EQ(rowOf(rows, "13015").value("CoName").toString(), first.value("CoName").toString() + "優先");
}

TEST(JQuantsTwin, PagesFollowTheirKeys)
{
    FixedClock clock(friday(17, 0));
    TwinOptions options;
    options.pageSize = 25;
    JQuantsTwin twin(market60(), clock, options);
    JQuantsTwin whole(market60(), clock);
    const QJsonArray all = get(whole, "/v2/equities/bars/daily?date=20261203").data();
    ASSERT_GT(all.size(), 50);
    QStringList codes;
    QByteArray key;
    int pages = 0;
    do {
        const Answer a = get(twin, "/v2/equities/bars/daily?date=20261203" + (key.isEmpty() ? QByteArray() : "&pagination_key=" + key));
        ASSERT_EQ(a.status, 200);
        EXPECT_LE(a.data().size(), 25);
        for (const QJsonValue &v : a.data()) codes.push_back(v.toObject().value("Code").toString());
        key = a.json.value("pagination_key").toString().toLatin1();
        ++pages;
    } while (!key.isEmpty() && pages < 10);
    EXPECT_EQ(pages, int((all.size() + 24) / 25));
    ASSERT_EQ(codes.size(), all.size());
    for (qsizetype i = 0; i < codes.size(); ++i) EXPECT_EQ(codes[i], all[i].toObject().value("Code").toString());
    // A key of another query, or none the twin gave, is refused.
    const QByteArray other = get(twin, "/v2/equities/bars/daily?date=20261202").json.value("pagination_key").toString().toLatin1();
    ASSERT_FALSE(other.isEmpty());
    for (const QByteArray &bad : {other, QByteArray("k25-0000"), QByteArray("zzz"), QByteArray("")})
        EXPECT_EQ(get(twin, "/v2/equities/bars/daily?date=20261203&pagination_key=" + bad).status, 400) << bad.constData();
}

TEST(JQuantsTwin, OverTheRateWaitsForTheWindow)
{
    FixedClock clock(friday(17, 0));
    TwinOptions options;
    options.perMinute = 2;
    JQuantsTwin twin(market60(), clock, options);
    // Retry-After is the wait, rounded up, until the oldest of the window leaves it.
    struct Case { int advanceMs; int status; const char *retryAfter; };
    const Case cases[] = {{0, 200, ""}, {0, 200, ""}, {0, 429, "60"}, {30500, 429, "30"}, {29500, 200, ""}, {0, 200, ""}, {0, 429, "60"}};
    for (const Case &c : cases) {
        clock.set(clock.now().addMSecs(c.advanceMs));
        const Answer a = get(twin, "/v2/markets/calendar?from=20261204&to=20261204");
        EXPECT_EQ(a.status, c.status);
        EXPECT_EQ(header(a.reply, "Retry-After"), QByteArray(c.retryAfter));
    }
    EXPECT_EQ(twin.requests(), 7);
}

TEST(JQuantsTwin, BulkFilesHoldTheMonthsRows)
{
    FixedClock clock(friday(17, 0));
    JQuantsTwin twin(market60(), clock);
    const QJsonArray files = get(twin, "/v2/bulk/list?endpoint=/equities/bars/daily").data();
    ASSERT_EQ(files.size(), 301);   // 2001-12 to 2026-12
    EXPECT_EQ(files[0].toObject().value("Key").toString(), "equities/bars/daily/historical/2001/equities_bars_daily_200112.csv.gz");
    const QJsonObject last = files[300].toObject();
    EXPECT_EQ(last.value("Key").toString(), "equities/bars/daily/historical/2026/equities_bars_daily_202612.csv.gz");
    EXPECT_EQ(get(twin, "/v2/bulk/get?key=equities/bars/daily/historical/2026/equities_bars_daily_202701.csv.gz").status, 404);
    const QString url = get(twin, "/v2/bulk/get?key=" + last.value("Key").toString().toLatin1()).json.value("url").toString();
    ASSERT_TRUE(url.startsWith("http://127.0.0.1:"));
    const QByteArray path = url.mid(url.indexOf("/files/")).toLatin1();
    const JQuantsTwin::Reply file = twin.respond("GET", path, {});   // no key on the file's address
    ASSERT_EQ(file.status, 200);
    EXPECT_EQ(header(file, "Content-Type"), "application/gzip");
    EXPECT_EQ(file.body.size(), last.value("Size").toInteger());
    const QByteArray csv = gunzip(file.body);
    EXPECT_TRUE(csv.startsWith("Date,Code,O,H,L,C,UL,LL,Vo,Va,AdjFactor,AdjO,AdjH,AdjL,AdjC,AdjVo\n2026-12-01,13010,"));
    EXPECT_TRUE(csv.contains("\n2026-12-02,82590,1293,1299,1254,1275,0,0,13986100,17832277500,1,431,433,418,425,41958300\n"));
    EXPECT_TRUE(csv.contains("\n2026-12-04,"));
    EXPECT_FALSE(csv.contains("2026-12-07"));
    EXPECT_EQ(csv.count('\n'), 1 + 4 * get(twin, "/v2/equities/bars/daily?date=20261203").data().size());
    EXPECT_EQ(twin.respond("GET", "/files/equities/bars/daily/historical/2026/equities_bars_daily_202701.csv.gz", {}).status, 404);
    // A delisted stock's rows without prices have empty fields.
    const QString march = get(twin, "/v2/bulk/get?key=equities/bars/daily/historical/2026/equities_bars_daily_202603.csv.gz").json.value("url").toString();
    EXPECT_TRUE(gunzip(twin.respond("GET", march.mid(march.indexOf("/files/")).toLatin1(), {}).body).contains("\n2026-03-31,85490,,,,,0,0,,,1,,,,,\n"));
}

TEST(JQuantsTwin, AnswersGzipWhenAsked)
{
    FixedClock clock(friday(17, 0));
    JQuantsTwin twin(market60(), clock);
    QHash<QByteArray, QByteArray> headers = kKey;
    headers.insert("accept-encoding", "gzip, deflate");
    const JQuantsTwin::Reply r = twin.respond("GET", "/v2/equities/bars/daily?date=20261203", headers);
    EXPECT_EQ(header(r, "Content-Encoding"), "gzip");
    EXPECT_EQ(QJsonDocument::fromJson(gunzip(r.body)).object(), get(twin, "/v2/equities/bars/daily?date=20261203").json);
}

TEST(JQuantsTwin, AnswersThroughASocket)
{
    test::ensureGuiApp();
    FixedClock clock(friday(17, 0));
    JQuantsTwin twin(market60(), clock);
    ASSERT_TRUE(twin.listen(0));
    EXPECT_EQ(twin.baseAddress(), QStringLiteral("http://127.0.0.1:%1/v2").arg(twin.port()));
    QNetworkAccessManager manager;
    const auto fetch = [&](const QString &address, bool withKey) {
        QNetworkRequest request{QUrl(address)};
        if (withKey) request.setRawHeader("x-api-key", "velor-demo-key");
        QNetworkReply *reply = manager.get(request);
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);   // only a hung answer waits this long
        loop.exec();
        EXPECT_TRUE(reply->isFinished()) << address.toStdString();
        const std::pair<int, QByteArray> out{reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), reply->readAll()};
        reply->deleteLater();
        return out;
    };
    const auto [status, body] = fetch(twin.baseAddress() + "/equities/bars/daily?date=20261203", true);
    EXPECT_EQ(status, 200);
    const QJsonArray rows = QJsonDocument::fromJson(body).object().value("data").toArray();
    ASSERT_FALSE(rows.isEmpty());
    EXPECT_EQ(rows[0].toObject().value("Code").toString(), "13010");
    EXPECT_EQ(fetch(twin.baseAddress() + "/equities/master", false).first, 401);
    const QString url = QJsonDocument::fromJson(fetch(twin.baseAddress() + "/bulk/get?key=equities/bars/daily/historical/2026/equities_bars_daily_202612.csv.gz", true).second)
                            .object().value("url").toString();
    const auto [fileStatus, file] = fetch(url, false);
    EXPECT_EQ(fileStatus, 200);
    EXPECT_TRUE(gunzip(file).startsWith("Date,Code,"));
    EXPECT_EQ(twin.requests(), 4);
    twin.close();
}
