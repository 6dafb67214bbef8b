#pragma once
// Fetching pages and files: http(s):// through Qt Network, file:// from disk, always with a
// time-out and a size cap. The wait runs a local event loop so the window keeps painting.
#include "common/Quit.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <expected>
#include <functional>

class QNetworkReply;

namespace velor {

/// The reason a transfer gives when its whole time ran out.
QString deadlineReason(int deadlineMs);

struct NetError {
    QString address;
    QString reason;   ///< user-facing Japanese text of what went wrong
    bool timedOut = false;
    bool tooLarge = false;
    bool writeFailed = false;   ///< the bytes arrived but could not be stored; `reason` says why
    bool stopped = false;       ///< given up because the program is ending
    bool notFound = false;      ///< the site holds no such page or file (404, no such file)
    bool cancelled = false;     ///< given up because the caller's progress function asked to stop
    int status = 0;             ///< the HTTP status of an answer that came (0: none came)
    int retryAfterSeconds = -1; ///< the answer's Retry-After in seconds (-1: it gave none)
};

struct FetchLimits {
    /// Counted from the last byte received (or from the request while nothing has come): a slow
    /// but steady transfer is never cut off, a silent one is.
    int timeoutMs = 10000;
    qint64 maxBytes = 4 * 1024 * 1024;
    /// An ordered batch keeps requesting pages ahead of one that stalls while the pages it holds
    /// for their turn stay below this many bytes.
    qint64 maxHeldBytes = 64 * 1024 * 1024;
    /// The whole transfer, however steadily its bytes come: a server that sends a byte now and
    /// then would otherwise hold the program for hours. 0: six times the time-out.
    int totalMs = 0;
    int deadlineMs() const { return totalMs > 0 ? totalMs : 6 * timeoutMs; }
    /// How far a single transfer has come: bytes received and the whole size (-1 when the server
    /// did not say), on every chunk and a few times a second while nothing arrives, so that a
    /// stop request is seen at once. Returning false gives the transfer up (NetError::cancelled);
    /// a file being stored is then not written. Batches of pages do not call it.
    std::function<bool(qint64 received, qint64 total)> progress = {};
    /// Request headers sent with an http(s) request (an API's key: never part of the address, so
    /// that no error text or log line can carry it).
    QList<std::pair<QByteArray, QByteArray>> headers = {};
};

class Net {
public:
    virtual ~Net() = default;
    /// The bytes at `address`, or an error. Never more than `limits.maxBytes` bytes are held.
    virtual std::expected<QByteArray, NetError> fetch(const QString &address, const FetchLimits &limits) = 0;

    /// Stores the bytes at `address` in the file `path`, replacing it only once every byte has
    /// arrived and been written; nothing is left behind on an error. This default holds the
    /// whole file in memory; the real transport streams it, so that no more than a small buffer
    /// is held however large the file (and a file above `limits.maxBytes` is refused).
    virtual std::expected<void, NetError> fetchToFile(const QString &address, const FetchLimits &limits,
                                                      const QString &path);

    /// Called with each page in list order; returning false stops the batch.
    using PageHandler = std::function<bool(int index, const std::expected<QByteArray, NetError> &page)>;
    /// Fetches every address with up to `inFlight` requests at once, and hands the pages to
    /// `onPage` strictly in list order (page i only after pages 0..i-1), so the caller computes
    /// exactly what a one-at-a-time run would. Stopping aborts the requests still in flight; so
    /// does a quit request, after which no further page is handed on.
    /// This default fetches one page at a time.
    virtual void fetchOrdered(const QStringList &addresses, const FetchLimits &limits, int inFlight,
                              const PageHandler &onPage)
    {
        (void)inFlight;
        for (int i = 0; i < addresses.size(); ++i)
            if (quitRequested() || !onPage(i, fetch(addresses[i], limits))) return;
    }
};

class QtNet final : public Net {
public:
    std::expected<void, NetError> fetchToFile(const QString &address, const FetchLimits &limits,
                                              const QString &path) override;
    std::expected<QByteArray, NetError> fetch(const QString &address, const FetchLimits &limits) override;

    /// Up to `inFlight` requests at once through one access manager (at most kMaxInFlight: Qt
    /// opens no more connections to one host, and further requests would wait inside it with their
    /// time-outs running). Every connection stays busy while a page stalls: pages that arrive
    /// early wait for their turn, as long as those held stay below `limits.maxHeldBytes`.
    void fetchOrdered(const QStringList &addresses, const FetchLimits &limits, int inFlight,
                      const PageHandler &onPage) override;

    static constexpr int kMaxInFlight = 6;
};

/// Reads a file:// address the way a web server would: a folder (or an address ending in "/")
/// gives its index.html. Shared by the real transport and the fakes.
std::expected<QByteArray, NetError> fetchLocalFile(const QString &address, const FetchLimits &limits);

/// The file a file:// address names, read the way a web server would.
QString localFilePathOf(const QString &address);

/// A file:// address that cannot be opened (notFound when there is no such file).
NetError localOpenError(const QString &address, const QString &path);

/// The error of a failed reply (notFound for a 404).
NetError replyError(const QString &address, const QNetworkReply &reply);

/// The error of a fetch given up because the program is ending.
NetError stoppedError(const QString &address);

/// The error of a fetch its caller stopped through FetchLimits::progress.
NetError cancelledError(const QString &address);

/// Joins a base address and a path without doubling or losing the "/" between them.
QString joinAddress(const QString &base, const QString &path);

} // namespace velor
