#pragma once
// Reading and rewriting the program's CP932, CR LF text files.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <expected>

namespace velor {

/// The whole file as bytes, or a message naming the file.
std::expected<QByteArray, QString> readBytes(const QString &path, qint64 maxBytes = qint64(1) << 30);
/// Replaces the file atomically (a crash leaves the old file or the new one, never half).
std::expected<void, QString> saveBytes(const QString &path, const QByteArray &bytes);
/// Lines of a CP932 file, with CR LF or LF removed.
std::expected<QStringList, QString> readLinesCp932(const QString &path);
/// Writes CP932 lines, each ended by CR LF, atomically.
std::expected<void, QString> saveLinesCp932(const QString &path, const QStringList &lines);
/// Appends one CP932 line with CR LF, creating the file when missing; never truncates.
std::expected<void, QString> appendLineCp932(const QString &path, const QString &line);
/// Splits bytes into lines at LF, dropping a CR before it (the last line may lack an end).
QList<QByteArray> splitLines(const QByteArray &bytes);

} // namespace velor
