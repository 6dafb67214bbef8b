#pragma once
// Fetching pages and files: http(s):// through Qt Network, file:// from disk, always with a
// time-out and a size cap. The wait runs a local event loop so the window keeps painting.
#include <QByteArray>
#include <QString>
#include <expected>

namespace velor {

struct NetError {
    QString address;
    QString reason;   ///< user-facing Japanese text of what went wrong
    bool timedOut = false;
    bool tooLarge = false;
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
};

class QtNet final : public Net {
public:
    std::expected<QByteArray, NetError> fetch(const QString &address, const FetchLimits &limits) override;
};

/// Reads a file:// address the way a web server would: a folder (or an address ending in "/")
/// gives its index.html. Shared by the real transport and the fakes.
std::expected<QByteArray, NetError> fetchLocalFile(const QString &address, const FetchLimits &limits);

/// Joins a base address and a path without doubling or losing the "/" between them.
QString joinAddress(const QString &base, const QString &path);

} // namespace velor
