#pragma once
// Fetching pages and files: http(s):// through Qt Network, file:// from disk, always with a
// time-out and a size cap. The wait runs a local event loop so the window keeps painting.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <expected>
#include <functional>

namespace velor {

struct NetError {
    QString address;
    QString reason;   ///< user-facing Japanese text of what went wrong
    bool timedOut = false;
    bool tooLarge = false;
    bool writeFailed = false;   ///< the bytes arrived but could not be stored; `reason` says why
};

struct FetchLimits {
    int timeoutMs = 10000;
    qint64 maxBytes = 4 * 1024 * 1024;
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
    /// exactly what a one-at-a-time run would. Stopping aborts the requests still in flight.
    /// This default fetches one page at a time.
    virtual void fetchOrdered(const QStringList &addresses, const FetchLimits &limits, int inFlight,
                              const PageHandler &onPage)
    {
        (void)inFlight;
        for (int i = 0; i < addresses.size(); ++i)
            if (!onPage(i, fetch(addresses[i], limits))) return;
    }
};

class QtNet final : public Net {
public:
    std::expected<void, NetError> fetchToFile(const QString &address, const FetchLimits &limits,
                                              const QString &path) override;
    std::expected<QByteArray, NetError> fetch(const QString &address, const FetchLimits &limits) override;

    /// Up to `inFlight` requests at once through one access manager (at most kMaxInFlight: Qt
    /// opens no more connections to one host, and further requests would wait inside it with their
    /// time-outs running). Pages that arrive early wait for their turn; never more than
    /// 2 × inFlight pages are requested or held ahead of the one the caller waits for.
    void fetchOrdered(const QStringList &addresses, const FetchLimits &limits, int inFlight,
                      const PageHandler &onPage) override;

    static constexpr int kMaxInFlight = 6;
};

/// Reads a file:// address the way a web server would: a folder (or an address ending in "/")
/// gives its index.html. Shared by the real transport and the fakes.
std::expected<QByteArray, NetError> fetchLocalFile(const QString &address, const FetchLimits &limits);

/// Joins a base address and a path without doubling or losing the "/" between them.
QString joinAddress(const QString &base, const QString &path);

} // namespace velor
