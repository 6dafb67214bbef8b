#include "common/ApiKey.h"

#include "common/Keyring.h"
#include "common/TextFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifndef Q_OS_WIN
#include <cerrno>
#include <cstring>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace velor {

QString apiKeyFile()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base)) base = QDir::homePath() + QStringLiteral("/.config");
    return QDir::cleanPath(base) + QStringLiteral("/velor/jquants-api-key");
}

bool apiKeyFromEnvironment() { return !qgetenv("JQUANTS_API_KEY").trimmed().isEmpty(); }

QByteArray readApiKey(Keyring *keyring, KeyPlace *place)
{
    KeyPlace ignored;
    KeyPlace &where = place ? *place : ignored;
    where = KeyPlace::Environment;
    const QByteArray env = qgetenv("JQUANTS_API_KEY").trimmed();
    if (!env.isEmpty()) return env;
    where = KeyPlace::Keyring;
    if (keyring)
        if (auto k = keyring->read(); k && *k && !(*k)->isEmpty()) return **k;
    where = KeyPlace::File;
    QFile f(apiKeyFile());
    if (QFileInfo(f).isFile() && f.open(QIODevice::ReadOnly))
        if (const QByteArray key = f.read(4096).split('\n').value(0).trimmed(); !key.isEmpty()) return key;
    where = KeyPlace::None;
    return {};
}

namespace {

std::expected<void, QString> storeInFile(const QByteArray &key);

} // namespace

std::expected<KeyPlace, QString> storeApiKey(const QByteArray &key, Keyring *keyring)
{
    if (keyring && keyring->write(key.trimmed())) {
        // The keyring holds it now: a plain copy left from a time without one goes.
        if (auto r = storeInFile({}); !r) return std::unexpected(r.error());
        return key.trimmed().isEmpty() ? KeyPlace::None : KeyPlace::Keyring;
    }
    if (auto r = storeInFile(key); !r) return std::unexpected(r.error());
    return key.trimmed().isEmpty() ? KeyPlace::None : KeyPlace::File;
}

namespace {

std::expected<void, QString> storeInFile(const QByteArray &key)
{
    const QString path = apiKeyFile();
    const QString folder = QFileInfo(path).absolutePath();
    const auto failed = [&](const QString &why) {
        return std::unexpected(QStringLiteral("API キーのファイル ") + path + QStringLiteral(" を書けません（") + why +
                               QStringLiteral("）。"));
    };
    if (key.trimmed().isEmpty()) {
        if (QFile::exists(path) && !QFile::remove(path)) return failed(QStringLiteral("削除できません"));
        return {};
    }
    if (!QDir().mkpath(folder)) return failed(QStringLiteral("フォルダーを作れません"));
#ifdef Q_OS_WIN
    return saveBytes(path, key.trimmed() + '\n');
#else
    const QByteArray bytes = key.trimmed() + '\n';
    const QByteArray temp = QFile::encodeName(path + QStringLiteral(".new"));
    ::unlink(temp.constData());
    // 0600 from the start: the key is never in a file another user could read, not even briefly.
    const int fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return failed(QString::fromLocal8Bit(std::strerror(errno)));
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += n;
    }
    const int saved = errno;
    const bool ok = done == bytes.size() && ::fsync(fd) == 0;
    const int flushErr = errno;
    ::close(fd);
    if (!ok || ::rename(temp.constData(), QFile::encodeName(path).constData()) != 0) {
        const int e = !ok ? (done == bytes.size() ? flushErr : saved) : errno;
        ::unlink(temp.constData());
        return failed(QString::fromLocal8Bit(std::strerror(e)));
    }
    return {};
#endif
}

} // namespace

} // namespace velor
