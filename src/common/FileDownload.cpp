// Downloads stored straight into a file: a streamed reply never holds more than a small buffer,
// and the file replaces the old one only when every byte arrived and was written.
#include "common/Net.h"

#include "common/ProgressWatch.h"
#include "common/TextFile.h"

#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSaveFile>
#include <QTimer>
#include <QUrl>

namespace velor {

std::expected<void, NetError> Net::fetchToFile(const QString &address, const FetchLimits &limits, const QString &path)
{
    auto bytes = fetch(address, limits);
    if (!bytes) return std::unexpected(bytes.error());
    if (limits.progress && !limits.progress(bytes->size(), bytes->size())) return std::unexpected(cancelledError(address));
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
    qint64 received() const { return m_total; }
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
        return NetError{m_address, cannotWriteText(m_path), false, false, true};
    }

private:
    QString m_address, m_path;
    QSaveFile m_out;
    qint64 m_total = 0;
    bool m_tooLarge = false, m_writeFailed = false;
};

std::expected<void, NetError> copyLocalFile(const QString &address, const FetchLimits &limits, const QString &path)
{
    QFile in(localFilePathOf(address));
    if (!in.open(QIODevice::ReadOnly)) return std::unexpected(localOpenError(address, in.fileName()));
    StreamedFile out(address, path);
    if (!out.open()) return std::unexpected(out.writeError());
    qint64 copied = 0;
    while (!in.atEnd()) {
        const QByteArray chunk = in.read(kChunk);
        if (chunk.isEmpty()) return out.fail(NetError{address, QStringLiteral("ファイルを読めません"), false, false});
        if (!out.add(chunk, limits.maxBytes)) break;
        copied += chunk.size();
        if (limits.progress && !limits.progress(copied, in.size())) return out.fail(cancelledError(address));
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
    if (quitRequested()) return std::unexpected(stoppedError(address));
    StreamedFile out(address, path);
    if (!out.open()) return std::unexpected(out.writeError());
    QNetworkAccessManager nam;
    QNetworkRequest req(url);
    req.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    QNetworkReply *reply = nam.get(req);
    reply->setReadBufferSize(kChunk);   // Qt holds no more than this before we take it
    bool stopped = false, timedOut = false, late = false;
    const auto drain = [&] {
        while (!stopped && reply->bytesAvailable() > 0)
            if (!out.add(reply->read(kChunk), limits.maxBytes)) {
                stopped = true;
                reply->abort();
            }
    };
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
        drain();
        if (!stopped) progress.report(out.received());
    });
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    timer.start(limits.timeoutMs);
    deadline.start(limits.deadlineMs());
    if (!reply->isFinished()) loop.exec();
    // The loop also returns when the program is asked to end: the part that came is thrown away.
    const bool ending = !reply->isFinished();
    if (ending) {
        reply->disconnect(&loop);
        reply->abort();
    }
    if (!stopped && !timedOut && !late && !ending && !progress.cancelled()) drain();
    const NetError failed = replyError(address, *reply);
    const auto err = reply->error();
    reply->deleteLater();
    if (ending) return out.fail(stoppedError(address));
    if (progress.cancelled()) return out.fail(cancelledError(address));
    if (late) return out.fail(NetError{address, deadlineReason(limits.deadlineMs()), true, false});
    if (timedOut) return out.fail(NetError{address, QStringLiteral("応答がありません（時間切れ）"), true, false});
    if (!stopped && err != QNetworkReply::NoError) return out.fail(failed);
    return out.finish();
}

} // namespace velor
