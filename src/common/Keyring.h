#pragma once
// The desktop's keyring (the freedesktop Secret Service, KWallet, the Windows credential store),
// where the data API's key is kept when one answers. Tests use MemoryKeyring.
#include <QByteArray>
#include <QString>
#include <expected>
#include <optional>

namespace velor {

class Keyring {
public:
    virtual ~Keyring() = default;
    /// The stored secret; nullopt when the keyring holds none; an error text when no keyring
    /// answers (none runs, it is locked, or access was refused).
    virtual std::expected<std::optional<QByteArray>, QString> read() = 0;
    /// Stores the secret (an empty one removes it); an error text when no keyring takes it.
    virtual std::expected<void, QString> write(const QByteArray &secret) = 0;
};

/// The keyring of the user's desktop through QtKeychain (service "velor", entry "jquants-api-key").
/// Each call waits for the keyring's answer in a local event loop, at most `timeoutMs`.
class DesktopKeyring final : public Keyring {
public:
    explicit DesktopKeyring(int timeoutMs = 10000) : m_timeoutMs(timeoutMs) {}
    std::expected<std::optional<QByteArray>, QString> read() override;
    std::expected<void, QString> write(const QByteArray &secret) override;
private:
    int m_timeoutMs;
};

/// A keyring in memory; `available` false makes it answer as when no keyring runs.
class MemoryKeyring final : public Keyring {
public:
    bool available = true;
    std::optional<QByteArray> secret;
    std::expected<std::optional<QByteArray>, QString> read() override
    {
        if (!available) return std::unexpected(QStringLiteral("キーリングがありません"));
        return secret;
    }
    std::expected<void, QString> write(const QByteArray &s) override
    {
        if (!available) return std::unexpected(QStringLiteral("キーリングがありません"));
        secret = s.isEmpty() ? std::nullopt : std::optional<QByteArray>(s);
        return {};
    }
};

} // namespace velor
