#include "common/BatchWriter.h"

#include "common/TextFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <filesystem>

#if defined(Q_OS_WIN)
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace velor {

namespace {

const QString kSuffix = QStringLiteral(".vtmp");

QString cannotWrite(const QString &path) { return cannotWriteText(path); }

} // namespace

#if !defined(Q_OS_WIN)
// fsync of an open descriptor of the path (a file or a folder).
static bool syncPath(BatchFileOps &ops, int (BatchFileOps::*sync)(int), const QString &path, int flags)
{
    const int fd = ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = (ops.*sync)(fd) == 0;
    return ::close(fd) == 0 && ok;
}
#endif

int BatchFileOps::syncFileSystem(int fd)
{
#if defined(Q_OS_LINUX)
    return ::syncfs(fd);
#else
    (void)fd;
    errno = ENOSYS;
    return -1;
#endif
}

int BatchFileOps::syncDescriptor(int fd)
{
#if defined(Q_OS_WIN)
    return ::_commit(fd);
#else
    return ::fsync(fd);
#endif
}

std::expected<void, QString> BatchFileOps::writeUnsynced(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return std::unexpected(cannotWrite(path));
    const bool written = writeFully(f, bytes) && f.flush();
    // A full disk can lose the tail of a write without an error from the call: the file's own
    // size (asked of the open file, without looking its name up again) is the proof.
    const qint64 size = f.size();
    f.close();
    if (!written || f.error() != QFileDevice::NoError || size != bytes.size())
        return std::unexpected(cannotWrite(path));
    return {};
}

std::expected<void, QString> BatchFileOps::syncFiles(const QString &folder, const QStringList &paths)
{
#if !defined(Q_OS_WIN)
    // One pass over the file system instead of one journal commit per file.
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        const int r = syncFileSystem(fd);
        const int why = errno;
        ::close(fd);
        if (r == 0) return {};
        // An I/O error means written data may never reach the disk. Syncing each file again
        // would not report it (the error is told once), so only a missing call falls back.
        if (why != ENOSYS) return std::unexpected(cannotWrite(folder));
    }
#endif
    for (const QString &p : paths) {
#if defined(Q_OS_WIN)
        QFile f(p);
        if (!f.open(QIODevice::ReadWrite) || syncDescriptor(f.handle()) != 0) return std::unexpected(cannotWrite(p));
#else
        if (!syncPath(*this, &BatchFileOps::syncDescriptor, p, O_RDONLY)) return std::unexpected(cannotWrite(p));
#endif
    }
    (void)folder;
    return {};
}

std::expected<void, QString> BatchFileOps::rename(const QString &from, const QString &to)
{
    std::error_code ec;
    std::filesystem::rename(std::filesystem::path(from.toStdU16String()), std::filesystem::path(to.toStdU16String()), ec);
    if (ec) return std::unexpected(cannotWrite(to));
    return {};
}

std::expected<void, QString> BatchFileOps::syncFolder(const QString &folder)
{
#if !defined(Q_OS_WIN)
    if (!syncPath(*this, &BatchFileOps::syncDescriptor, folder, O_RDONLY | O_DIRECTORY))
        return std::unexpected(cannotWrite(folder));
#else
    (void)folder;   // renames are durable once they return
#endif
    return {};
}

bool BatchFileOps::remove(const QString &path) { return QFile::remove(path) || !QFileInfo::exists(path); }

BatchFileOps &realBatchFileOps()
{
    static BatchFileOps ops;
    return ops;
}

QString BatchWriter::tempPath(const QString &target) { return target + kSuffix; }

void BatchWriter::removeLeftovers(const QString &folder, BatchFileOps &ops)
{
    const QDir dir(folder);
    for (const QString &n : dir.entryList({QStringLiteral("*") + kSuffix}, QDir::Files | QDir::Hidden))
        ops.remove(dir.filePath(n));
}

std::expected<void, QString> BatchWriter::add(const QString &target, const QByteArray &bytes)
{
    const QString temp = tempPath(target);
    if (auto r = m_ops.writeUnsynced(temp, bytes); !r) {
        m_ops.remove(temp);
        return r;
    }
    m_targets << target;
    return {};
}

std::expected<void, QString> BatchWriter::commit(const std::function<void()> &step)
{
    if (m_targets.isEmpty()) return {};
    QStringList temps;
    for (const QString &t : m_targets) temps << tempPath(t);
    if (auto r = m_ops.syncFiles(m_folder, temps); !r) {
        discard();
        return r;
    }
    while (!m_targets.isEmpty()) {
        const QString target = m_targets.front();
        if (auto r = m_ops.rename(tempPath(target), target); !r) {
            discard();
            return r;
        }
        m_targets.removeFirst();
        if (step) step();
    }
    return m_ops.syncFolder(m_folder);
}

void BatchWriter::discard()
{
    for (const QString &t : m_targets) m_ops.remove(tempPath(t));
    m_targets.clear();
}

} // namespace velor
