#include "common/Net.h"
#include "common/ProgressWatch.h"

#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <map>
#include <memory>

namespace velor {

QString joinAddress(const QString &base, const QString &path)
{
    if (path.isEmpty()) return base;
    if (base.endsWith('/') && path.startsWith('/')) return base + path.mid(1);
    if (!base.endsWith('/') && !path.startsWith('/')) return base + '/' + path;
    return base + path;
}

QString localFilePathOf(const QString &address)
{
    const QUrl url(address);
    QString path = url.toLocalFile();
    if (url.hasQuery()) path += '?' + url.query();   // a stored page may carry its query in its name
    if (address.endsWith('/') || QFileInfo(path).isDir()) path = QFileInfo(path).filePath() + "/index.html";
    return path;
}

NetError localOpenError(const QString &address, const QString &path)
{
    NetError e{address, QStringLiteral("ファイルを開けません"), false, false};
    e.notFound = !QFileInfo::exists(path);
    return e;
}

NetError replyError(const QString &address, const QNetworkReply &reply)
{
    NetError e{address, reply.errorString(), false, false};
    e.notFound = reply.error() == QNetworkReply::ContentNotFoundError;
    e.status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (e.status > 0) e.reason = QStringLiteral("サーバーがエラーを返しました（HTTP %1）").arg(e.status);
    bool ok = false;
    const int after = reply.rawHeader("Retry-After").trimmed().toInt(&ok);
    if (ok && after >= 0) e.retryAfterSeconds = after;
    return e;
}

std::expected<QByteArray, NetError> fetchLocalFile(const QString &address, const FetchLimits &limits)
{
    QFile f(localFilePathOf(address));
    if (!f.open(QIODevice::ReadOnly)) return std::unexpected(localOpenError(address, f.fileName()));
    QByteArray data = f.read(limits.maxBytes + 1);
    if (data.size() > limits.maxBytes)
        return std::unexpected(NetError{address, QStringLiteral("データが大きすぎます"), false, true});
    if (limits.progress && !limits.progress(data.size(), data.size())) return std::unexpected(cancelledError(address));
    return data;
}

QString deadlineReason(int deadlineMs)
{
    return QStringLiteral("転送が %1 秒以内に終わりませんでした（時間切れ）").arg((deadlineMs + 999) / 1000);
}

NetError stoppedError(const QString &address)
{
    NetError e{address, QStringLiteral("プログラムの終了により中断しました"), false, false};
    e.stopped = true;
    return e;
}

NetError cancelledError(const QString &address)
{
    NetError e{address, QStringLiteral("中止しました"), false, false};
    e.cancelled = true;
    return e;
}

ProgressWatch::ProgressWatch(const FetchLimits &limits, QNetworkReply *reply, QObject *context)
    : m_limits(limits), m_reply(reply)
{
    if (!m_limits.progress) return;
    // Asked while nothing arrives too, so that a stop button works on a silent server.
    m_poll.setInterval(kPollMs);
    QObject::connect(&m_poll, &QTimer::timeout, context, [this] { report(m_received); });
    m_poll.start();
}

bool ProgressWatch::report(qint64 received)
{
    m_received = received;
    if (!m_limits.progress || m_cancelled) return !m_cancelled;
    const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
    if (!m_limits.progress(received, length.isValid() ? length.toLongLong() : -1)) {
        m_cancelled = true;
        m_poll.stop();
        m_reply->abort();
    }
    return !m_cancelled;
}

std::expected<QByteArray, NetError> QtNet::fetch(const QString &address, const FetchLimits &limits)
{
    const QUrl url(address);
    if (url.isLocalFile()) return fetchLocalFile(address, limits);
    if (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))
        return std::unexpected(NetError{address, QStringLiteral("アドレスが正しくありません"), false, false});
    if (quitRequested()) return std::unexpected(stoppedError(address));

    QNetworkAccessManager nam;
    QNetworkRequest req(url);
    req.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    for (const auto &[name, value] : limits.headers) req.setRawHeader(name, value);
    QNetworkReply *reply = nam.get(req);
    QByteArray data;
    bool tooLarge = false, timedOut = false, late = false;
    QEventLoop loop;
    QTimer timer, deadline;
    timer.setSingleShot(true);
    deadline.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] { timedOut = true; reply->abort(); });
    QObject::connect(&deadline, &QTimer::timeout, &loop, [&] { late = true; reply->abort(); });
    QObject::connect(reply, &QNetworkReply::metaDataChanged, &loop, [&] { timer.start(); });
    ProgressWatch progress(limits, reply, &loop);
    QObject::connect(reply, &QNetworkReply::readyRead, &loop, [&] {
        timer.start();   // the time-out counts from the last byte
        data += reply->read(limits.maxBytes + 1 - data.size());
        if (data.size() > limits.maxBytes) { tooLarge = true; reply->abort(); }
        else progress.report(data.size());
    });
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    timer.start(limits.timeoutMs);
    deadline.start(limits.deadlineMs());
    // The window keeps handling every event while it waits (a monitor's stop button must work);
    // the commands guard themselves against being re-entered. The loop also returns when the
    // program is asked to end, with the reply unfinished.
    if (!reply->isFinished()) loop.exec();
    const bool stopped = !reply->isFinished();
    if (stopped) {
        reply->disconnect(&loop);
        reply->abort();
    }
    const bool cancelled = progress.cancelled();
    if (!tooLarge && !timedOut && !late && !stopped && !cancelled) data += reply->read(limits.maxBytes + 1 - data.size());
    const NetError failed = replyError(address, *reply);
    const bool err = reply->error() != QNetworkReply::NoError;
    reply->deleteLater();
    if (stopped) return std::unexpected(stoppedError(address));
    if (cancelled) return std::unexpected(cancelledError(address));
    if (late) return std::unexpected(NetError{address, deadlineReason(limits.deadlineMs()), true, false});
    if (timedOut) return std::unexpected(NetError{address, QStringLiteral("応答がありません（時間切れ）"), true, false});
    if (tooLarge || data.size() > limits.maxBytes)
        return std::unexpected(NetError{address, QStringLiteral("データが大きすぎます"), false, true});
    if (err) return std::unexpected(failed);
    return data;
}

namespace {

using PageResult = std::expected<QByteArray, NetError>;

// One ordered batch: requests go out in list order through one access manager, and the pages are
// handed on in list order from the caller's loop, never from inside a network signal, so the
// handler may itself let events run (repaint, a stop button) without re-entering the batch.
class OrderedBatch {
public:
    OrderedBatch(const QStringList &addresses, const FetchLimits &limits, int inFlight)
        : m_addresses(addresses), m_limits(limits), m_inFlight(std::clamp(inFlight, 1, QtNet::kMaxInFlight))
    {
    }
    ~OrderedBatch() { abortAll(); }
    OrderedBatch(const OrderedBatch &) = delete;
    OrderedBatch &operator=(const OrderedBatch &) = delete;

    void run(const Net::PageHandler &onPage)
    {
        while (m_next < m_addresses.size()) {
            if (quitRequested()) return;   // the destructor aborts what is still in flight
            startMore();
            const auto ready = m_ready.find(m_next);
            if (ready == m_ready.end()) {
                if (m_running.empty()) return;   // cannot happen: the page awaited is always running
                // Until some reply finishes (exit code kReplied), or until the program is asked
                // to end: then every loop returns at once, and waiting on would spin.
                if (m_loop->exec() != kReplied && quitRequested()) return;
                continue;
            }
            PageResult page = std::move(ready->second);
            m_ready.erase(ready);
            if (page) m_held -= page->size();
            if (!onPage(m_next++, page)) return;   // the destructor aborts what is still in flight
        }
    }

private:
    static constexpr int kReplied = 1;

    struct Request {
        QNetworkReply *reply = nullptr;
        QTimer *timer = nullptr;
        QByteArray data;
        bool timedOut = false;
        bool late = false;   // the whole transfer's time ran out
        bool tooLarge = false;
    };

    // Every connection stays busy while the page awaited stalls, so that stalled pages overlap
    // rather than queue; only the bytes held for their turn bound how far ahead requests run.
    // The page awaited is always requested, whatever is held.
    void startMore()
    {
        while (m_started < m_addresses.size() && qsizetype(m_running.size()) < m_inFlight &&
               (m_started == m_next || m_held < m_limits.maxHeldBytes))
            start(m_started++);
    }

    void addReady(qsizetype i, PageResult page)
    {
        if (page) m_held += page->size();
        m_ready.emplace(i, std::move(page));
    }

    void start(qsizetype i)
    {
        const QString &address = m_addresses[i];
        const QUrl url(address);
        if (url.isLocalFile()) {
            addReady(i, fetchLocalFile(address, m_limits));
            return;
        }
        if (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")) {
            addReady(i, std::unexpected(NetError{address, QStringLiteral("アドレスが正しくありません"), false, false}));
            return;
        }
        QNetworkRequest req(url);
        req.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
        Request &r = m_running[i];
        if (!m_nam) {
            m_nam = std::make_unique<QNetworkAccessManager>();
            m_loop = std::make_unique<QEventLoop>();
        }
        r.reply = m_nam->get(req);
        QNetworkReply *reply = r.reply;
        r.timer = new QTimer(reply);
        r.timer->setSingleShot(true);
        QObject::connect(r.timer, &QTimer::timeout, reply, [this, i] {
            const auto it = m_running.find(i);
            if (it == m_running.end()) return;
            it->second.timedOut = true;
            it->second.reply->abort();   // finishes the reply at once
        });
        QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [this, i] {
            if (const auto it = m_running.find(i); it != m_running.end()) it->second.timer->start();
        });
        QObject::connect(reply, &QNetworkReply::readyRead, reply, [this, i] {
            const auto it = m_running.find(i);
            if (it == m_running.end()) return;
            Request &q = it->second;
            q.timer->start();   // the time-out counts from the last byte
            const QByteArray chunk = q.reply->read(m_limits.maxBytes + 1 - q.data.size());
            q.data += chunk;
            m_held += chunk.size();
            if (q.data.size() > m_limits.maxBytes) { q.tooLarge = true; q.reply->abort(); }
        });
        QObject::connect(reply, &QNetworkReply::finished, reply, [this, i] { finish(i); });
        r.timer->start(m_limits.timeoutMs);
        auto *deadline = new QTimer(reply);
        deadline->setSingleShot(true);
        QObject::connect(deadline, &QTimer::timeout, reply, [this, i] {
            const auto it = m_running.find(i);
            if (it == m_running.end()) return;
            it->second.late = true;
            it->second.reply->abort();
        });
        deadline->start(m_limits.deadlineMs());
    }

    void finish(qsizetype i)
    {
        const auto it = m_running.find(i);
        if (it == m_running.end()) return;
        Request q = std::move(it->second);
        m_running.erase(it);
        m_held -= q.data.size();
        const QString &address = m_addresses[i];
        if (!q.tooLarge && !q.timedOut && !q.late) q.data += q.reply->read(m_limits.maxBytes + 1 - q.data.size());
        if (q.late)
            addReady(i, std::unexpected(NetError{address, deadlineReason(m_limits.deadlineMs()), true, false}));
        else if (q.timedOut)
            addReady(i, std::unexpected(NetError{address, QStringLiteral("応答がありません（時間切れ）"), true, false}));
        else if (q.tooLarge || q.data.size() > m_limits.maxBytes)
            addReady(i, std::unexpected(NetError{address, QStringLiteral("データが大きすぎます"), false, true}));
        else if (q.reply->error() != QNetworkReply::NoError)
            addReady(i, std::unexpected(replyError(address, *q.reply)));
        else
            addReady(i, std::move(q.data));
        q.reply->deleteLater();   // we are inside its own signal
        m_loop->exit(kReplied);
    }

    void abortAll()
    {
        for (auto &[i, q] : m_running) {
            q.reply->disconnect();   // no finish() for an abandoned page
            q.reply->abort();
            delete q.reply;
        }
        m_running.clear();
    }

    const QStringList &m_addresses;
    const FetchLimits m_limits;
    const int m_inFlight;
    qsizetype m_next = 0;      // the page the caller waits for
    qsizetype m_started = 0;   // pages requested (or read from disk) so far
    qint64 m_held = 0;         // bytes of pages arrived or arriving and not yet handed on
    std::map<qsizetype, Request> m_running;
    std::map<qsizetype, PageResult> m_ready;
    // Made for the first network address only: a batch of file:// pages needs no event loop, so
    // it also runs where no application object exists.
    std::unique_ptr<QNetworkAccessManager> m_nam;
    std::unique_ptr<QEventLoop> m_loop;
};

} // namespace

void QtNet::fetchOrdered(const QStringList &addresses, const FetchLimits &limits, int inFlight, const PageHandler &onPage)
{
    OrderedBatch batch(addresses, limits, inFlight);
    batch.run(onPage);
}

} // namespace velor
