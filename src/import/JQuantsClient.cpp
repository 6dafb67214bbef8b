#include "import/JQuantsClient.h"

#include "common/Quit.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>

#include <zlib.h>

#include <algorithm>
#include <set>

namespace velor::jq {

std::optional<Plan> planFromText(QStringView text)
{
    const QString t = text.trimmed().toString().toLower();
    if (t == QLatin1String("free")) return Plan::Free;
    if (t == QLatin1String("light")) return Plan::Light;
    if (t == QLatin1String("standard")) return Plan::Standard;
    if (t == QLatin1String("premium")) return Plan::Premium;
    return std::nullopt;
}

QString planText(Plan plan)
{
    switch (plan) {
    case Plan::Free: return QStringLiteral("free");
    case Plan::Light: return QStringLiteral("light");
    case Plan::Standard: return QStringLiteral("standard");
    case Plan::Premium: return QStringLiteral("premium");
    }
    return QStringLiteral("free");
}

int requestsPerMinute(Plan plan)
{
    switch (plan) {
    case Plan::Free: return 5;
    case Plan::Light: return 60;
    case Plan::Standard: return 120;
    case Plan::Premium: return 500;
    }
    return 5;
}

qint64 spacingMs(Plan plan) { return (60000 + requestsPerMinute(plan) - 1) / requestsPerMinute(plan); }

int delayDays(Plan plan) { return plan == Plan::Free ? 84 : 0; }

RealPaceTimer::RealPaceTimer(std::function<bool()> stopRequested) : m_stop(std::move(stopRequested))
{
    QElapsedTimer t;
    t.start();
    m_startNs = t.msecsSinceReference();
}

qint64 RealPaceTimer::elapsedMs()
{
    QElapsedTimer t;
    t.start();
    return t.msecsSinceReference() - m_startNs;
}

bool RealPaceTimer::wait(qint64 ms)
{
    const qint64 until = elapsedMs() + ms;
    while (elapsedMs() < until) {
        if (quitRequested() || (m_stop && m_stop())) return false;
        QEventLoop loop;
        QTimer::singleShot(int(std::clamp<qint64>(until - elapsedMs(), 1, 200)), &loop, &QEventLoop::quit);
        loop.exec();
    }
    return !(quitRequested() || (m_stop && m_stop()));
}

QString authFailedText(int status)
{
    return QStringLiteral("J-Quants API の認証に失敗しました（HTTP %1）。API キーを確かめて下さい。\r\n\r\n"
                          "キーは「ファイル」→「設定…」で保存するか、環境変数 JQUANTS_API_KEY に設定します。")
        .arg(status);
}

QString noKeyText()
{
    return QStringLiteral("J-Quants API のキーがありません。\r\n\r\n"
                          "「ファイル」→「設定…」でキーを保存するか、環境変数 JQUANTS_API_KEY に設定して下さい。");
}

std::expected<QByteArray, QString> gunzipBytes(const QByteArray &data, qint64 maxBytes)
{
    z_stream z{};
    if (inflateInit2(&z, 15 + 32) != Z_OK) return std::unexpected(QStringLiteral("展開を始められません。"));
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    z.avail_in = uInt(data.size());
    QByteArray out;
    char buffer[65536];
    int rc = Z_OK;
    while (rc != Z_STREAM_END) {
        z.next_out = reinterpret_cast<Bytef *>(buffer);
        z.avail_out = sizeof buffer;
        rc = inflate(&z, Z_NO_FLUSH);
        if (rc != Z_OK && rc != Z_STREAM_END) {
            inflateEnd(&z);
            return std::unexpected(QStringLiteral("圧縮されたデータが壊れています。"));
        }
        out.append(buffer, qsizetype(sizeof buffer - z.avail_out));
        if (out.size() > maxBytes) {
            inflateEnd(&z);
            return std::unexpected(QStringLiteral("展開したデータが大きすぎます（%1 バイトを超えます）。").arg(maxBytes));
        }
        if (rc == Z_OK && z.avail_in == 0 && z.avail_out != 0) {
            inflateEnd(&z);
            return std::unexpected(QStringLiteral("圧縮されたデータが途中で切れています。"));
        }
    }
    inflateEnd(&z);
    return out;
}

Client::Client(Net &net, PaceTimer &timer, QString baseUrl, QByteArray key, Plan plan, int timeoutSeconds)
    : m_net(net), m_timer(timer), m_base(std::move(baseUrl)), m_key(std::move(key)), m_plan(plan),
      m_timeoutMs(std::max(timeoutSeconds, 1) * 1000)
{
}

QString Client::address(const QString &path, const QList<std::pair<QString, QString>> &query) const
{
    QUrlQuery q;
    for (const auto &[k, v] : query) q.addQueryItem(k, QString::fromLatin1(QUrl::toPercentEncoding(v)));
    const QString joined = joinAddress(m_base, path);
    return q.isEmpty() ? joined : joined + u'?' + q.toString(QUrl::FullyEncoded);
}

// Waits until the plan's spacing since the last request has passed.
bool Client::pace()
{
    const qint64 now = m_timer.elapsedMs();
    if (m_nextAt && *m_nextAt > now) {
        const qint64 pause = *m_nextAt - now;
        m_waitedMs += pause;
        if (!m_timer.wait(pause)) return false;
    }
    m_nextAt = m_timer.elapsedMs() + spacingMs(m_plan);
    return true;
}

std::expected<QByteArray, ClientError> Client::get(const QString &address, bool withKey, qint64 maxBytes,
                                                   const std::function<bool(qint64)> &progress)
{
    const ClientError cancelled{ClientError::Cancelled, QStringLiteral("中止しました。")};
    int rateRetries = 0, serverRetries = 0;
    for (;;) {
        if (!pace()) return std::unexpected(cancelled);
        FetchLimits limits{m_timeoutMs, maxBytes};
        if (withKey) limits.headers.push_back({"x-api-key", m_key});
        if (progress) limits.progress = [&](qint64 received, qint64) { return progress(received); };
        ++m_requests;
        auto answer = m_net.fetch(address, limits);
        if (answer) return *answer;
        const NetError &e = answer.error();
        if (e.cancelled || e.stopped) return std::unexpected(cancelled);
        if (e.status == 401 || e.status == 403) return std::unexpected(ClientError{ClientError::Auth, authFailedText(e.status)});
        if (e.status == 429 && rateRetries++ < kMaxRateRetries) {
            // Over the rate: the server says how long; keep to it and to the spacing after it.
            const qint64 pause = (e.retryAfterSeconds >= 0 ? e.retryAfterSeconds : 60) * qint64(1000);
            m_waitedMs += pause;
            if (!m_timer.wait(pause)) return std::unexpected(cancelled);
            m_nextAt = m_timer.elapsedMs();
            continue;
        }
        if (e.status >= 500 && serverRetries++ < kMaxServerRetries) {
            const qint64 pause = qint64(5000) << serverRetries;   // 10 s, 20 s, 40 s
            m_waitedMs += pause;
            if (!m_timer.wait(pause)) return std::unexpected(cancelled);
            continue;
        }
        QString why = e.reason;
        if (e.status == 429) why = QStringLiteral("要求の上限を超えたままです（HTTP 429）");
        return std::unexpected(ClientError{ClientError::Failed, QStringLiteral("J-Quants API から取得できませんでした：　") +
                                                                    e.address + QStringLiteral("\r\n\r\n") + why});
    }
}

std::expected<QJsonArray, ClientError> Client::rows(const QString &path, const QList<std::pair<QString, QString>> &query,
                                                    const std::function<bool(qint64)> &progress)
{
    QJsonArray all;
    std::set<QString> keys;
    QString pageKey;
    for (;;) {
        auto q = query;
        if (!pageKey.isEmpty()) q.push_back({QStringLiteral("pagination_key"), pageKey});
        const QString where = address(path, q);
        auto body = get(where, true, qint64(256) << 20, progress);
        if (!body) return std::unexpected(body.error());
        QJsonParseError perr{};
        const QJsonDocument doc = QJsonDocument::fromJson(*body, &perr);
        const QJsonValue data = doc.object().value(QLatin1String("data"));
        if (perr.error != QJsonParseError::NoError || !doc.isObject() || !data.isArray())
            return std::unexpected(ClientError{ClientError::Failed, QStringLiteral("J-Quants API の答えが読めません（") +
                                                                        (perr.error != QJsonParseError::NoError
                                                                             ? QStringLiteral("JSON の %1 バイト目: ").arg(perr.offset) + perr.errorString()
                                                                             : QStringLiteral("data がありません")) +
                                                                        QStringLiteral("）：　") + address(path, query)});
        for (const QJsonValue &v : data.toArray()) all.append(v);
        const QJsonValue next = doc.object().value(QLatin1String("pagination_key"));
        if (next.isUndefined() || next.isNull() || next.toString().isEmpty()) return all;
        pageKey = next.toString();
        if (!keys.insert(pageKey).second)
            return std::unexpected(ClientError{ClientError::Failed, QStringLiteral("J-Quants API が同じ続きのキーを二度返しました（ページが終わりません）：　") +
                                                                        address(path, query)});
    }
}

std::expected<QJsonObject, ClientError> Client::object(const QString &path, const QList<std::pair<QString, QString>> &query)
{
    const QString where = address(path, query);
    auto body = get(where, true, qint64(4) << 20, {});
    if (!body) return std::unexpected(body.error());
    QJsonParseError perr{};
    const QJsonDocument doc = QJsonDocument::fromJson(*body, &perr);
    if (perr.error != QJsonParseError::NoError || !doc.isObject())
        return std::unexpected(ClientError{ClientError::Failed, QStringLiteral("J-Quants API の答えが読めません：　") + where});
    return doc.object();
}

std::expected<QByteArray, ClientError> Client::download(const QString &address, qint64 maxBytes,
                                                        const std::function<bool(qint64)> &progress)
{
    return get(address, false, maxBytes, progress);
}

} // namespace velor::jq
