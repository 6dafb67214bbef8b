#include "common/TextFile.h"

#include "common/Cp932.h"

#include <QFile>
#include <QSaveFile>
#include <algorithm>

namespace velor {

namespace {

qint64 g_spaceLeft = -1;   // bytes a simulated full disk still takes; negative: no limit

QString cannotWrite(const QString &path)
{
    return QStringLiteral("ファイル：　") + path + QStringLiteral(" に書き込めません。");
}

} // namespace

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
    const qint64 written = take > 0 ? f.write(bytes.constData(), take) : 0;
    const bool flushed = f.flush();
    return written == bytes.size() && flushed && f.error() == QFileDevice::NoError;
}

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
