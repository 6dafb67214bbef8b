#pragma once
// The exchange's data API (J-Quants v2) played on 127.0.0.1 by the demo market, so that the
// download can be tried and tested with no account and no network. Its answers hold the same
// prices as the demo's all-market daily files (DemoSite.h), so an import of either gives the same
// database. Like the page server, it runs in the caller's thread.
//
// It serves the calendar days up to the clock's date (that date itself from 16:30 on): the daily
// bars, the master, the calendar (all of it: the exchange publishes it ahead), the index bars and
// one bulk file per month. Besides the daily files' rows it gives what the real API gives and the
// import must pass over: rows of no trade for stocks just delisted and one preferred share.
#include "demo/MarketGenerator.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QTcpServer>
#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <thread>
#include <utility>

class QTcpSocket;

namespace velor {
class Clock;
}

namespace velor::demo {

/// The port `velor demo serve DIR --jquants` listens on unless told otherwise.
constexpr int kDefaultTwinPort = 47502;

struct TwinOptions {
    QString apiKey = QStringLiteral("velor-demo-key");
    int pageSize = 1000;     ///< rows per page of a list answer; more rows → "pagination_key"
    int perMinute = 0;       ///< 0: no limit; else more requests than this within the clock's last 60 s → 429
};

class JQuantsTwin final : public QObject {
public:
    JQuantsTwin(MarketOptions market, Clock &clock, TwinOptions options = {}, QObject *parent = nullptr);
    ~JQuantsTwin() override;

    /// Starts listening on 127.0.0.1:`port` (0: any free port); false when the port is taken.
    /// The market's bars are then made ahead in a thread of their own (a few seconds for the
    /// default demo), so that the first request finds them made; without listening, the first
    /// request that needs them makes them.
    bool listen(int port);
    /// Stops listening, drops the open connections and ends the making ahead.
    void close();
    bool listening() const { return m_server.isListening(); }
    int port() const { return m_server.serverPort(); }
    /// "http://127.0.0.1:<port>/v2", the base of every address of the API.
    QString baseAddress() const;
    /// Why listen() failed.
    QString errorText() const { return m_server.errorString(); }
    /// Requests answered so far (any status).
    int requests() const { return m_requests; }

    struct Reply {
        int status = 200;
        QByteArray body;
        QList<std::pair<QByteArray, QByteArray>> headers;   ///< without Content-Length
    };
    /// The answer to a request at the clock's time. `target`: the request target
    /// ("/v2/equities/bars/daily?date=20251201"); `headers`: by lower-case name.
    Reply respond(const QByteArray &method, const QByteArray &target, const QHash<QByteArray, QByteArray> &headers);

private:
    struct Store;
    struct DayRow;
    struct Month;

    static std::unique_ptr<Store> makeStore(const MarketGenerator &gen, const std::atomic<bool> &stop);
    const Store &store();
    int servedEnd() const;
    void forEachRow(const Store &st, int day, int served, const std::function<void(const DayRow &)> &use) const;
    std::vector<Month> months(int served) const;
    int splitsServed(int served) const;
    QByteArray makeMonthFile(const Store &st, const Month &m, int served) const;
    QByteArray monthFile(const Month &m, int served);
    std::vector<qint64> monthSizes(const std::vector<Month> &months, int served);
    Reply route(const QByteArray &path, const QHash<QByteArray, QByteArray> &query, const QByteArray &listQuery);
    Reply list(const std::vector<QByteArray> &rows, const QHash<QByteArray, QByteArray> &query, const QByteArray &listQuery) const;
    void onReadable(QTcpSocket *s);

    MarketGenerator m_gen;
    Clock &m_clock;
    TwinOptions m_opt;
    std::unique_ptr<Store> m_store;
    std::unique_ptr<Store> m_prepared;   // made ahead by m_preparing; taken over once it has ended
    std::atomic<bool> m_stopPreparing{false};
    std::thread m_preparing;
    QTcpServer m_server;
    QHash<QTcpSocket *, QByteArray> m_pending;   // request bytes not yet complete, per connection
    std::deque<qint64> m_recent;                 // clock times (ms) of the requests that count towards the limit
    int m_requests = 0;
};

} // namespace velor::demo
