#include "common/Keyring.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <qt6keychain/keychain.h>

namespace velor {

namespace {

const QString kService = QStringLiteral("velor");
const QString kEntry = QStringLiteral("jquants-api-key");

// Runs a keychain job to its end (or the time-out) in a local event loop; true when it finished.
bool runJob(QKeychain::Job &job, int timeoutMs)
{
    if (!QCoreApplication::instance()) return false;   // the keychain answers through the event loop
    QEventLoop loop;
    bool finished = false;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, [&] {
        finished = true;
        loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    job.setAutoDelete(false);
    job.start();
    if (!finished) loop.exec();
    return finished;
}

QString why(const QKeychain::Job &job, bool finished)
{
    if (!finished) return QStringLiteral("キーリングが応答しません");
    if (job.error() == QKeychain::NoBackendAvailable) return QStringLiteral("使えるキーリングがありません");
    if (job.error() == QKeychain::AccessDeniedByUser || job.error() == QKeychain::AccessDenied)
        return QStringLiteral("キーリングへのアクセスが拒否されました");
    return QStringLiteral("キーリングのエラー：") + job.errorString();
}

} // namespace

std::expected<std::optional<QByteArray>, QString> DesktopKeyring::read()
{
    QKeychain::ReadPasswordJob job(kService);
    job.setKey(kEntry);
    const bool finished = runJob(job, m_timeoutMs);
    if (finished && job.error() == QKeychain::EntryNotFound) return std::nullopt;
    if (!finished || job.error() != QKeychain::NoError) return std::unexpected(why(job, finished));
    const QByteArray secret = job.binaryData().trimmed();
    if (secret.isEmpty()) return std::nullopt;
    return secret;
}

std::expected<void, QString> DesktopKeyring::write(const QByteArray &secret)
{
    if (secret.isEmpty()) {
        QKeychain::DeletePasswordJob job(kService);
        job.setKey(kEntry);
        const bool finished = runJob(job, m_timeoutMs);
        if (finished && (job.error() == QKeychain::NoError || job.error() == QKeychain::EntryNotFound)) return {};
        return std::unexpected(why(job, finished));
    }
    QKeychain::WritePasswordJob job(kService);
    job.setKey(kEntry);
    job.setBinaryData(secret);
    const bool finished = runJob(job, m_timeoutMs);
    if (!finished || job.error() != QKeychain::NoError) return std::unexpected(why(job, finished));
    return {};
}

} // namespace velor
