#include "common/Net.h"

#include "common/TextFile.h"

#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSaveFile>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <map>

namespace velor {

QString joinAddress(const QString &base, const QString &path)
{
    if (path.isEmpty()) return base;
    if (base.endsWith('/') && path.startsWith('/')) return base + path.mid(1);
    if (!base.endsWith('/') && !path.startsWith('/')) return base + '/' + path;
    return base + path;
}

namespace {

// The file a file:// address names, read the way a web server would.
QString localPathOf(const QString &address)
{
    const QUrl url(address);
    QString path = url.toLocalFile();
    if (url.hasQuery()) path += '?' + url.query();   // a stored page may carry its query in its name
    if (address.endsWith('/') || QFileInfo(path).isDir()) path = QFileInfo(path).filePath() + "/index.html";
    return path;
}

} // namespace

std::expected<QByteArray, NetError> fetchLocalFile(const QString &address, const FetchLimits &limits)
{
    QFile f(localPathOf(address));
    if (!f.open(QIODevice::ReadOnly))
        return std::unexpected(NetError{address, QStringLiteral("ファイルを開けません"), false, false});
    QByteArray data = f.read(limits.maxBytes + 1);
    if (data.size() > limits.maxBytes)
        return std::unexpected(NetError{address, QStringLiteral("データが大きすぎます"), false, true});
    return data;
}

std::expected<QByteArray, NetError> QtNet::fetch(const QString &address, const FetchLimits &limits)
{
    const QUrl url(address);
    if (url.isLocalFile()) return fetchLocalFile(address, limits);
    if (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))
        return std::unexpected(NetError{address, QStringLiteral("アドレスが正しくありません"), false, false});

    QNetworkAccessManager nam;
    QNetworkRequest req(url);
    req.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    QNetworkReply *reply = nam.get(req);
    QByteArray data;
    bool tooLarge = false, timedOut = false;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] { timedOut = true; reply->abort(); });
    QObject::connect(reply, &QNetworkReply::readyRead, &loop, [&] {
        data += reply->read(limits.maxBytes + 1 - data.size());
        if (data.size() > limits.maxBytes) { tooLarge = true; reply->abort(); }
    });
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    timer.start(limits.timeoutMs);
    // The window keeps handling every event while it waits (a monitor's stop button must work);
    // the commands guard themselves against being re-entered.
    if (!reply->isFinished()) loop.exec();
    if (!tooLarge && !timedOut) data += reply->read(limits.maxBytes + 1 - data.size());
    const auto err = reply->error();
    const QString errText = reply->errorString();
    reply->deleteLater();
    if (timedOut) return std::unexpected(NetError{address, QStringLiteral("応答がありません（時間切れ）"), true, false});
    if (tooLarge || data.size() > limits.maxBytes)
        return std::unexpected(NetError{address, QStringLiteral("データが大きすぎます"), false, true});
    if (err != QNetworkReply::NoError) return std::unexpected(NetError{address, errText, false, false});
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
            startMore();
            const auto ready = m_ready.find(m_next);
            if (ready == m_ready.end()) {
                if (m_running.empty()) return;   // cannot happen: the page awaited is always running
                m_loop.exec();                   // until some reply finishes
                continue;
            }
            const PageResult page = std::move(ready->second);
            m_ready.erase(ready);
            if (!onPage(m_next++, page)) return;   // the destructor aborts what is still in flight
        }
    }

private:
    struct Request {
        QNetworkReply *reply = nullptr;
        QByteArray data;
        bool timedOut = false;
        bool tooLarge = false;
    };

    // Requests beyond the page awaited are bounded twice: by the number in flight, and by how far
    // ahead of the caller they may run (so a slow page never lets the buffer grow without end).
    void startMore()
    {
        const qsizetype lookAhead = 2 * qsizetype(m_inFlight);
        while (m_started < m_addresses.size() && qsizetype(m_running.size()) < m_inFlight &&
               m_started < m_next + lookAhead)
            start(m_started++);
    }

    void start(qsizetype i)
    {
        const QString &address = m_addresses[i];
        const QUrl url(address);
        if (url.isLocalFile()) {
            m_ready.emplace(i, fetchLocalFile(address, m_limits));
            return;
        }
        if (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")) {
            m_ready.emplace(i, std::unexpected(NetError{address, QStringLiteral("アドレスが正しくありません"), false, false}));
            return;
        }
        QNetworkRequest req(url);
        req.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
        Request &r = m_running[i];
        r.reply = m_nam.get(req);
        QNetworkReply *reply = r.reply;
        auto *timer = new QTimer(reply);
        timer->setSingleShot(true);
        QObject::connect(timer, &QTimer::timeout, reply, [this, i] {
            const auto it = m_running.find(i);
            if (it == m_running.end()) return;
            it->second.timedOut = true;
            it->second.reply->abort();   // finishes the reply at once
        });
        QObject::connect(reply, &QNetworkReply::readyRead, reply, [this, i] {
            const auto it = m_running.find(i);
            if (it == m_running.end()) return;
            Request &q = it->second;
            q.data += q.reply->read(m_limits.maxBytes + 1 - q.data.size());
            if (q.data.size() > m_limits.maxBytes) { q.tooLarge = true; q.reply->abort(); }
        });
        QObject::connect(reply, &QNetworkReply::finished, reply, [this, i] { finish(i); });
        timer->start(m_limits.timeoutMs);
    }

    void finish(qsizetype i)
    {
        const auto it = m_running.find(i);
        if (it == m_running.end()) return;
        Request q = std::move(it->second);
        m_running.erase(it);
        const QString &address = m_addresses[i];
        if (!q.tooLarge && !q.timedOut) q.data += q.reply->read(m_limits.maxBytes + 1 - q.data.size());
        if (q.timedOut)
            m_ready.emplace(i, std::unexpected(NetError{address, QStringLiteral("応答がありません（時間切れ）"), true, false}));
        else if (q.tooLarge || q.data.size() > m_limits.maxBytes)
            m_ready.emplace(i, std::unexpected(NetError{address, QStringLiteral("データが大きすぎます"), false, true}));
        else if (q.reply->error() != QNetworkReply::NoError)
            m_ready.emplace(i, std::unexpected(NetError{address, q.reply->errorString(), false, false}));
        else
            m_ready.emplace(i, std::move(q.data));
        q.reply->deleteLater();   // we are inside its own signal
        m_loop.quit();
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
    std::map<qsizetype, Request> m_running;
    std::map<qsizetype, PageResult> m_ready;
    QNetworkAccessManager m_nam;
    QEventLoop m_loop;
};

} // namespace

void QtNet::fetchOrdered(const QStringList &addresses, const FetchLimits &limits, int inFlight, const PageHandler &onPage)
{
    OrderedBatch batch(addresses, limits, inFlight);
    batch.run(onPage);
}

std::expected<void, NetError> Net::fetchToFile(const QString &address, const FetchLimits &limits, const QString &path)
{
    auto bytes = fetch(address, limits);
    if (!bytes) return std::unexpected(bytes.error());
    if (auto r = saveBytes(path, *bytes); !r) return std::unexpected(NetError{address, r.error(), false, false, true});
    return {};
}

namespace {

constexpr qint64 kChunk = 256 * 1024;   // what a streamed download holds at a time

// Streams chunks into a file that replaces the old one only when everything arrived.
class StreamedFile {
public:
    StreamedFile(const QString &address, const QString &path) : m_address(address), m_path(path), m_out(path) {}
    bool open() { return m_out.open(QIODevice::WriteOnly); }
    /// False when the chunk passes the cap or cannot be written.
    bool add(const QByteArray &chunk, qint64 maxBytes)
    {
        m_total += chunk.size();
        if (m_total > maxBytes) return m_tooLarge = true, false;
        if (!writeFully(m_out, chunk)) return m_writeFailed = true, false;
        return true;
    }
    bool tooLarge() const { return m_tooLarge; }
    std::expected<void, NetError> fail(NetError e)
    {
        m_out.cancelWriting();
        return std::unexpected(std::move(e));
    }
    /// The error of the stream so far, or the file committed.
    std::expected<void, NetError> finish()
    {
        if (m_tooLarge) return fail(NetError{m_address, QStringLiteral("データが大きすぎます"), false, true});
        if (m_writeFailed || m_out.size() != m_total) return fail(writeError());
        if (!m_out.commit()) return std::unexpected(writeError());
        return {};
    }
    NetError writeError() const
    {
        return NetError{m_address, QStringLiteral("ファイル：　") + m_path + QStringLiteral(" に書き込めません。"), false, false, true};
    }

private:
    QString m_address, m_path;
    QSaveFile m_out;
    qint64 m_total = 0;
    bool m_tooLarge = false, m_writeFailed = false;
};

std::expected<void, NetError> copyLocalFile(const QString &address, const FetchLimits &limits, const QString &path)
{
    QFile in(localPathOf(address));
    if (!in.open(QIODevice::ReadOnly))
        return std::unexpected(NetError{address, QStringLiteral("ファイルを開けません"), false, false});
    StreamedFile out(address, path);
    if (!out.open()) return std::unexpected(out.writeError());
    while (!in.atEnd()) {
        const QByteArray chunk = in.read(kChunk);
        if (chunk.isEmpty()) return out.fail(NetError{address, QStringLiteral("ファイルを読めません"), false, false});
        if (!out.add(chunk, limits.maxBytes)) break;
    }
    return out.finish();
}

} // namespace

std::expected<void, NetError> QtNet::fetchToFile(const QString &address, const FetchLimits &limits, const QString &path)
{
    const QUrl url(address);
    if (url.isLocalFile()) return copyLocalFile(address, limits, path);
    if (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))
        return std::unexpected(NetError{address, QStringLiteral("アドレスが正しくありません"), false, false});
    StreamedFile out(address, path);
    if (!out.open()) return std::unexpected(out.writeError());
    QNetworkAccessManager nam;
    QNetworkRequest req(url);
    req.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    QNetworkReply *reply = nam.get(req);
    reply->setReadBufferSize(kChunk);   // Qt holds no more than this before we take it
    bool stopped = false, timedOut = false;
    const auto drain = [&] {
        while (!stopped && reply->bytesAvailable() > 0)
            if (!out.add(reply->read(kChunk), limits.maxBytes)) {
                stopped = true;
                reply->abort();
            }
    };
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] { timedOut = true; reply->abort(); });
    QObject::connect(reply, &QNetworkReply::readyRead, &loop, drain);
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    timer.start(limits.timeoutMs);
    if (!reply->isFinished()) loop.exec();
    if (!stopped && !timedOut) drain();
    const auto err = reply->error();
    const QString errText = reply->errorString();
    reply->deleteLater();
    if (timedOut) return out.fail(NetError{address, QStringLiteral("応答がありません（時間切れ）"), true, false});
    if (!stopped && err != QNetworkReply::NoError) return out.fail(NetError{address, errText, false, false});
    return out.finish();
}

} // namespace velor
