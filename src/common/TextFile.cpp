#include "common/TextFile.h"

#include "common/Cp932.h"

#include <QFile>
#include <QSaveFile>

namespace velor {

std::expected<QByteArray, QString> readBytes(const QString &path, qint64 maxBytes)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return std::unexpected(QStringLiteral("ファイル：　") + path + QStringLiteral(" を読めません。"));
    if (f.size() > maxBytes)
        return std::unexpected(QStringLiteral("ファイル：　") + path + QStringLiteral(" が大きすぎます。"));
    return f.readAll();
}

std::expected<void, QString> saveBytes(const QString &path, const QByteArray &bytes)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit())
        return std::unexpected(QStringLiteral("ファイル：　") + path + QStringLiteral(" に書き込めません。"));
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

std::expected<QStringList, QString> readLinesCp932(const QString &path)
{
    auto bytes = readBytes(path);
    if (!bytes) return std::unexpected(bytes.error());
    QStringList out;
    for (const auto &l : splitLines(*bytes)) out << fromCp932(l);
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
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append))
        return std::unexpected(QStringLiteral("ファイル：　") + path + QStringLiteral(" に書き込めません。"));
    const QByteArray bytes = toCp932(line) + "\r\n";
    if (f.write(bytes) != bytes.size() || !f.flush())
        return std::unexpected(QStringLiteral("ファイル：　") + path + QStringLiteral(" に書き込めません。"));
    return {};
}

} // namespace velor
