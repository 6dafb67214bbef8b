#pragma once
// The client of the exchange's data API (J-Quants v2). What it promises:
// - The rate: requests are spaced evenly at the plan's rate from the very first one (free 5 a
//   minute, light 60, standard 120, premium 500), never in a burst. An answer 429 (over the rate)
//   is waited out (its Retry-After, else a minute) and the request made again, at most
//   kMaxRateRetries times in a row; a 5xx answer is tried again kMaxServerRetries times, each
//   after a longer pause. A 401 or 403 stops at once: the key is wrong, and asking again with it
//   would only get it blocked.
// - Pagination: a list is asked for again with the same query and the answer's pagination_key
//   until an answer carries none. A key seen twice, an answer that is not the API's JSON, or a
//   transfer cut short fails the whole list: nothing of a half-read list is ever used.
// - Waiting: every pause goes through a PaceTimer, which lets the window live and a stop request
//   end the wait at once (tests use one that moves a fake time instead of sleeping).
// - The key travels only in the x-api-key header of requests to the configured base address:
//   never in an address, an error text, the message pane or a log, and never to the short-lived
//   download addresses of bulk files, which belong to another host.
#include "common/Net.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <expected>
#include <functional>
#include <optional>

namespace velor::jq {

enum class Plan { Free, Light, Standard, Premium };

/// "free", "light", "standard", "premium" (any case).
std::optional<Plan> planFromText(QStringView text);
QString planText(Plan plan);
/// Requests a minute the plan allows.
int requestsPerMinute(Plan plan);
/// The milliseconds kept between two requests at the plan's rate.
qint64 spacingMs(Plan plan);
/// The days the free plan's data lags behind (12 weeks); 0 for the paid plans.
int delayDays(Plan plan);

/// The client's sense of time: how long since it began, and a pause that lets the program live.
class PaceTimer {
public:
    virtual ~PaceTimer() = default;
    virtual qint64 elapsedMs() = 0;
    /// Pauses `ms` milliseconds; false when the pause was ended by a stop request or the program ending.
    virtual bool wait(qint64 ms) = 0;
};

/// The real one: a monotonic timer and a local event loop; `stopRequested` is asked a few times a second.
class RealPaceTimer final : public PaceTimer {
public:
    explicit RealPaceTimer(std::function<bool()> stopRequested = {});
    qint64 elapsedMs() override;
    bool wait(qint64 ms) override;
private:
    std::function<bool()> m_stop;
    qint64 m_startNs = 0;
};

struct ClientError {
    enum Kind { Failed, Auth, Cancelled } kind = Failed;
    QString text;   ///< the user-facing reason, in Japanese, never with the key in it
};

/// The text of a refused key (401/403): it names 設定… and JQUANTS_API_KEY.
QString authFailedText(int status);
/// The text when no key is set.
QString noKeyText();

/// Gzip or zlib data inflated, at most `maxBytes` out; an error text for damaged or oversized data.
std::expected<QByteArray, QString> gunzipBytes(const QByteArray &data, qint64 maxBytes);

class Client {
public:
    static constexpr int kMaxRateRetries = 5;
    static constexpr int kMaxServerRetries = 3;

    Client(Net &net, PaceTimer &timer, QString baseUrl, QByteArray key, Plan plan, int timeoutSeconds);

    /// Every row of `path` (e.g. "/equities/bars/daily") with the query, following the pages.
    /// `received` (when given) is told the bytes of each answer.
    std::expected<QJsonArray, ClientError> rows(const QString &path, const QList<std::pair<QString, QString>> &query,
                                                const std::function<bool(qint64 received)> &progress = {});
    /// The whole JSON object of one answer (bulk/get's download address).
    std::expected<QJsonObject, ClientError> object(const QString &path, const QList<std::pair<QString, QString>> &query);
    /// The bytes at an address outside the API (a bulk file's download address): no key is sent.
    /// It counts against the rate like any request.
    std::expected<QByteArray, ClientError> download(const QString &address, qint64 maxBytes,
                                                    const std::function<bool(qint64 received)> &progress = {});
    /// The address of a path and query under the base (without the key, which never is in one).
    QString address(const QString &path, const QList<std::pair<QString, QString>> &query) const;

    int requests() const { return m_requests; }
    qint64 waitedMs() const { return m_waitedMs; }
    Plan plan() const { return m_plan; }

private:
    std::expected<QByteArray, ClientError> get(const QString &address, bool withKey, qint64 maxBytes,
                                               const std::function<bool(qint64)> &progress);
    bool pace();

    Net &m_net;
    PaceTimer &m_timer;
    QString m_base;
    QByteArray m_key;
    Plan m_plan;
    int m_timeoutMs;
    std::optional<qint64> m_nextAt;   ///< the earliest time (PaceTimer's) of the next request
    int m_requests = 0;
    qint64 m_waitedMs = 0;
};

} // namespace velor::jq
