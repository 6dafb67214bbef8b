#pragma once
// Reading and rewriting the program's CP932, CR LF text files.
#include <QByteArray>
#include <QFileDevice>
#include <QString>
#include <QStringList>
#include <cstdio>
#include <expected>

namespace velor {

/// The message for a file that could not be written: it names the file, and says so when the
/// disk (or the user's quota) is full, which is the usual cause.
QString cannotWriteText(const QString &path);
/// Whether the last failed write found the disk full (or the disk holding `path` is).
bool diskFull(const QString &path);
/// The message for a path where a regular file was expected and something else (a FIFO, a
/// device, a socket) stands.
QString notRegularText(const QString &path);
/// An error (notRegularText) when something other than a regular file stands at the path:
/// opening a FIFO waits for a writer without limit. A missing file is no error here.
std::expected<void, QString> refuseNonRegular(const QString &path);
/// fopen(path, "rb") that never waits: nullptr with `notRegular` set when the path is not a
/// regular file, nullptr alone when it cannot be opened.
std::FILE *openRegularFile(const QString &path, bool &notRegular);
/// The whole file as bytes, or a message naming the file (a non-regular file is refused).
std::expected<QByteArray, QString> readBytes(const QString &path, qint64 maxBytes = qint64(1) << 30);
/// Replaces the file atomically (a crash leaves the old file or the new one, never half); the new
/// file is flushed and its size checked before it replaces the old one.
std::expected<void, QString> saveBytes(const QString &path, const QByteArray &bytes);
/// The bytes without the UTF-8 byte-order mark some editors put at the start of a text file.
QByteArray withoutByteOrderMark(const QByteArray &bytes);
/// Lines of a CP932 file, with CR LF or LF removed (and a leading byte-order mark).
std::expected<QStringList, QString> readLinesCp932(const QString &path);
/// Writes CP932 lines, each ended by CR LF, atomically.
std::expected<void, QString> saveLinesCp932(const QString &path, const QStringList &lines);
/// Appends one CP932 line with CR LF, creating the file when missing; a failed append leaves the
/// file as it was.
std::expected<void, QString> appendLineCp932(const QString &path, const QString &line);
/// Appends bytes, creating the file when missing; a failed append leaves the file as it was.
std::expected<void, QString> appendBytes(const QString &path, const QByteArray &bytes);
/// Writes every byte to the open file and hands it to the system; false unless all of it was
/// taken (a buffered write only fails when its flush does, so the flush is part of the write).
/// Every write the program makes goes through here.
bool writeFully(QFileDevice &f, const QByteArray &bytes);

/// A full disk for tests: while it lives, writeFully takes only `bytes` more bytes in all and
/// fails from then on. Nested limits restore the outer one when they end.
class DiskSpaceLimit {
public:
    explicit DiskSpaceLimit(qint64 bytes);
    ~DiskSpaceLimit();
    /// The bytes still free.
    qint64 left() const;
    DiskSpaceLimit(const DiskSpaceLimit &) = delete;
    DiskSpaceLimit &operator=(const DiskSpaceLimit &) = delete;
private:
    qint64 m_outer;
};

/// Splits bytes into lines at LF, dropping a CR before it (the last line may lack an end).
QList<QByteArray> splitLines(const QByteArray &bytes);

} // namespace velor
