#include "common/TextFile.h"

#include "common/Cp932.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStorageInfo>
#include <algorithm>
#include <cerrno>

#if !defined(Q_OS_WIN)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace velor {

namespace {

qint64 g_spaceLeft = -1;   // bytes a simulated full disk still takes; negative: no limit
thread_local int t_writeErrno = 0;   // the system's reason for the last write that failed

QString cannotWrite(const QString &path) { return cannotWriteText(path); }

} // namespace

bool diskFull(const QString &path)
{
    if (g_spaceLeft == 0) return true;   // the simulated disk has taken its last byte
    if (t_writeErrno == ENOSPC || t_writeErrno == EDQUOT) return true;
    // Creating a file or a folder entry on a full disk fails before any write could say why.
    const QStorageInfo disk(QFileInfo(path).absolutePath());
    return disk.isValid() && disk.isReady() && disk.bytesAvailable() < 4096;
}

QString cannotWriteText(const QString &path)
{
    const bool full = diskFull(path);
    t_writeErrno = 0;   // said once: a later failure finds its own cause
    return QStringLiteral("ファイル：　") + path + QStringLiteral(" に書き込めません。") +
           (full ? QStringLiteral("ディスクがいっぱいです。") : QString());
}

DiskSpaceLimit::DiskSpaceLimit(qint64 bytes) : m_outer(g_spaceLeft) { g_spaceLeft = bytes; }
DiskSpaceLimit::~DiskSpaceLimit() { g_spaceLeft = m_outer; }
qint64 DiskSpaceLimit::left() const { return g_spaceLeft; }

bool writeFully(QFileDevice &f, const QByteArray &bytes)
{
    qint64 take = bytes.size();
    if (g_spaceLeft >= 0) {
        take = std::min(take, g_spaceLeft);
        g_spaceLeft -= take;
    }
    errno = 0;
    const qint64 written = take > 0 ? f.write(bytes.constData(), take) : 0;
    int why = written == take ? 0 : errno;
    const bool flushed = f.flush();
    if (!flushed && why == 0) why = errno;
    t_writeErrno = why;
    return written == bytes.size() && flushed && f.error() == QFileDevice::NoError;
}

QString notRegularText(const QString &path)
{
    return QStringLiteral("ファイル：　") + path + QStringLiteral(" は通常のファイルではありません。");
}

std::expected<void, QString> refuseNonRegular(const QString &path)
{
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) return std::unexpected(notRegularText(path));
    return {};
}

#if !defined(Q_OS_WIN)
namespace {

// A descriptor of the regular file at the path, opened without waiting and checked on the open
// descriptor itself, so nothing can swap a FIFO in between; -1 with `notRegular` set when it is
// something else, -1 alone when it cannot be opened. `sb` its status.
int openRegularDescriptor(const QString &path, bool &notRegular, struct stat &sb)
{
    notRegular = false;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return -1;
    if (::fstat(fd, &sb) != 0 || !S_ISREG(sb.st_mode)) {
        notRegular = true;
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace
#endif

std::FILE *openRegularFile(const QString &path, bool &notRegular)
{
    notRegular = false;
#if defined(Q_OS_WIN)
    if (!refuseNonRegular(path)) {
        notRegular = true;
        return nullptr;
    }
    return std::fopen(QFile::encodeName(path).constData(), "rb");
#else
    struct stat sb {};
    const int fd = openRegularDescriptor(path, notRegular, sb);
    if (fd < 0) return nullptr;
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::FILE *f = ::fdopen(fd, "rb");
    if (!f) ::close(fd);
    return f;
#endif
}

std::expected<QByteArray, QString> readBytes(const QString &path, qint64 maxBytes)
{
    const auto cannotRead = [&] { return std::unexpected(QStringLiteral("ファイル：　") + path + QStringLiteral(" を読めません。")); };
    const auto tooBig = [&] { return std::unexpected(QStringLiteral("ファイル：　") + path + QStringLiteral(" が大きすぎます。")); };
#if defined(Q_OS_WIN)
    if (auto r = refuseNonRegular(path); !r) return std::unexpected(r.error());
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return cannotRead();
    if (f.size() > maxBytes) return tooBig();
    return f.readAll();
#else
    // One open, one look at the open descriptor and one read: the whole market is read this way
    // file after file, and every further look at a path walks it again.
    bool notRegular = false;
    struct stat sb {};
    const int fd = openRegularDescriptor(path, notRegular, sb);
    if (notRegular) return std::unexpected(notRegularText(path));
    if (fd < 0) return cannotRead();
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    if (sb.st_size > maxBytes) return tooBig();
    // The size the file had when opened (a file cut meanwhile gives what is left of it); one that
    // says it is empty is read to its end, as some special files have no size of their own.
    const bool sized = sb.st_size > 0;
    QByteArray bytes(qsizetype(sized ? sb.st_size : std::min<qint64>(65536, maxBytes + 1)), Qt::Uninitialized);
    qsizetype got = 0;
    for (;;) {
        if (got == bytes.size()) {
            if (sized) break;
            if (got > maxBytes) return tooBig();
            bytes.resize(qsizetype(std::min<qint64>(qint64(got) * 2, maxBytes + 1)));
        }
        const ssize_t n = ::read(fd, bytes.data() + got, size_t(bytes.size() - got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return cannotRead();   // not a part of the file passed off as the whole
        if (n == 0) break;
        got += n;
    }
    if (got > maxBytes) return tooBig();
    bytes.truncate(got);
    return bytes;
#endif
}

std::expected<void, QString> saveBytes(const QString &path, const QByteArray &bytes)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return std::unexpected(cannotWrite(path));
    // QSaveFile::commit() alone reports success for a small file whose last flush failed, so
    // the new file is flushed and measured here before it may replace the old one.
    if (!writeFully(f, bytes) || f.size() != bytes.size()) {
        f.cancelWriting();
        return std::unexpected(cannotWrite(path));
    }
    if (!f.commit()) return std::unexpected(cannotWrite(path));
    return {};
}

QList<QByteArray> splitLines(const QByteArray &bytes)
{
    QList<QByteArray> lines = bytes.split('\n');
    if (!lines.isEmpty() && lines.back().isEmpty()) lines.removeLast();
    for (auto &l : lines)
        if (l.endsWith('\r')) l.chop(1);
    return lines;
}

QByteArray withoutByteOrderMark(const QByteArray &bytes)
{
    // EF BB BF begins no CP932 text (EF is an unused lead byte there), so it is safe to drop.
    return bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes;
}

std::expected<QStringList, QString> readLinesCp932(const QString &path)
{
    auto bytes = readBytes(path);
    if (!bytes) return std::unexpected(bytes.error());
    QStringList out;
    for (const auto &l : splitLines(withoutByteOrderMark(*bytes))) out << fromCp932(l);
    return out;
}

std::expected<void, QString> saveLinesCp932(const QString &path, const QStringList &lines)
{
    QByteArray bytes;
    for (const auto &l : lines) bytes += toCp932(l) + "\r\n";
    return saveBytes(path, bytes);
}

std::expected<void, QString> appendLineCp932(const QString &path, const QString &line)
{
    return appendBytes(path, toCp932(line) + "\r\n");
}

std::expected<void, QString> appendBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    // Unbuffered, so that a failed write leaves nothing pending that could block the truncation.
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return std::unexpected(cannotWrite(path));
    const qint64 before = f.size();
    if (!writeFully(f, bytes) || f.size() != before + bytes.size()) {
        f.resize(before);   // no cut line is left behind
        return std::unexpected(cannotWrite(path));
    }
    return {};
}

} // namespace velor
