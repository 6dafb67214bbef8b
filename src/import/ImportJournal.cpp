#include "import/ImportJournal.h"

#include "common/Cp932.h"
#include "common/TextFile.h"
#include "common/Utils.h"

#include <QFile>
#include <QFileInfo>

namespace velor {

namespace {

const QByteArray kMagic = "VELOR import journal 1\r\n";

// Reads "key=value\r\n" at pos; false when the key differs or the line is unterminated.
bool takeLine(const QByteArray &b, qsizetype &pos, const char *key, QByteArray &value)
{
    const qsizetype end = b.indexOf("\r\n", pos);
    if (end < 0) return false;
    const QByteArray line = b.mid(pos, end - pos);
    const QByteArray prefix = QByteArray(key) + '=';
    if (!line.startsWith(prefix)) return false;
    value = line.mid(prefix.size());
    pos = end + 2;
    return true;
}

bool takeBlob(const QByteArray &b, qsizetype &pos, const char *key, QByteArray &blob)
{
    QByteArray size;
    if (!takeLine(b, pos, key, size)) return false;
    bool ok = false;
    const qsizetype n = size.toLongLong(&ok);
    // Compared without adding to n: a damaged size field may be near the largest number.
    if (!ok || n < 0 || n > b.size() - pos - 2 || b.mid(pos + n, 2) != "\r\n") return false;
    blob = b.mid(pos, n);
    pos += n + 2;
    return true;
}

QByteArray calendarText(const std::vector<int32_t> &calendar)
{
    QByteArray cal;
    for (int32_t d : calendar) cal += (cal.isEmpty() ? "" : " ") + QByteArray::number(d);
    return cal;
}

bool parseCalendar(const QByteArray &text, std::vector<int32_t> &out)
{
    for (const QByteArray &d : text.split(' ')) {
        if (d.isEmpty()) continue;
        bool ok = false;
        out.push_back(d.toInt(&ok));
        if (!ok) return false;
    }
    return true;
}

// The lines a pass of several days adds after the first day's data: the first day's inbox
// name, then each further day. A journal without them holds one day.
QByteArray laterDaysText(const ImportJournal &j)
{
    QByteArray b = "inbox=" + j.inbox.toUtf8() + "\r\n";
    for (const JournalDay &d : j.later) {
        b += "day=" + QByteArray::number(d.day) + "\r\n";
        b += "source=" + d.source.toUtf8() + "\r\n";
        b += "inbox=" + d.inbox.toUtf8() + "\r\n";
        b += "calendar=" + calendarText(d.calendar) + "\r\n";
        b += "data=" + QByteArray::number(d.data.size()) + "\r\n" + d.data + "\r\n";
    }
    return b;
}

bool readLaterDays(const QByteArray &b, qsizetype pos, ImportJournal &j)
{
    if (pos == b.size()) return true;
    QByteArray inbox;
    if (!takeLine(b, pos, "inbox", inbox)) return false;
    j.inbox = QString::fromUtf8(inbox);
    while (pos < b.size()) {
        JournalDay d;
        QByteArray day, source, name, cal;
        if (!takeLine(b, pos, "day", day) || !takeLine(b, pos, "source", source) || !takeLine(b, pos, "inbox", name) ||
            !takeLine(b, pos, "calendar", cal) || !takeBlob(b, pos, "data", d.data) || !parseCalendar(cal, d.calendar))
            return false;
        bool ok = false;
        d.day = day.toInt(&ok);
        if (!ok) return false;
        d.source = QString::fromUtf8(source);
        d.inbox = QString::fromUtf8(name);
        j.later.push_back(std::move(d));
    }
    return true;
}

} // namespace

QString journalPath(const QString &dataDir) { return pathIn(dataDir, QStringLiteral("VELOR.jnl")); }

qint64 fileSize(const QString &path)
{
    const QFileInfo fi(path);
    return fi.exists() ? fi.size() : 0;
}

std::expected<void, QString> writeJournal(const QString &path, const ImportJournal &j)
{
    QByteArray b = kMagic;
    b += "day=" + QByteArray::number(j.day) + "\r\n";
    b += "source=" + j.source.toUtf8() + "\r\n";
    b += "log=" + QByteArray::number(j.logSize) + "\r\n";
    b += "calendar=" + calendarText(j.calendar) + "\r\n";
    b += "master=" + QByteArray::number(j.master.size()) + "\r\n" + j.master + "\r\n";
    b += "data=" + QByteArray::number(j.data.size()) + "\r\n" + j.data + "\r\n";
    b += laterDaysText(j);
    return saveBytes(path, b);
}

std::expected<std::optional<ImportJournal>, QString> readJournal(const QString &path)
{
    if (!QFileInfo::exists(path)) return std::optional<ImportJournal>{};
    auto bytes = readBytes(path, qint64(256) << 20);
    if (!bytes) return std::unexpected(bytes.error());
    const QByteArray &b = *bytes;
    const QString bad = QStringLiteral("取り込みの記録ファイル：　") + path + QStringLiteral(" が壊れています。") +
                        QStringLiteral("\r\n\r\n前回のデータの追加が途中で終わったまま、その記録が読めません。") +
                        QStringLiteral("このファイルを削除すると、データを追加できるようになります") +
                        QStringLiteral("（途中だった日のデータは、一部の銘柄に入っていないことがあります）。");
    if (!b.startsWith(kMagic)) return std::unexpected(bad);
    qsizetype pos = kMagic.size();
    ImportJournal j;
    QByteArray day, source, log, cal;
    if (!takeLine(b, pos, "day", day) || !takeLine(b, pos, "source", source) || !takeLine(b, pos, "log", log) ||
        !takeLine(b, pos, "calendar", cal) || !takeBlob(b, pos, "master", j.master) || !takeBlob(b, pos, "data", j.data))
        return std::unexpected(bad);
    bool ok1 = false, ok2 = false;
    j.day = day.toInt(&ok1);
    j.logSize = log.toLongLong(&ok2);
    if (!ok1 || !ok2) return std::unexpected(bad);
    j.source = QString::fromUtf8(source);
    if (!parseCalendar(cal, j.calendar) || !readLaterDays(b, pos, j)) return std::unexpected(bad);
    return std::optional<ImportJournal>(std::move(j));
}

std::expected<void, QString> removeJournal(const QString &path)
{
    if (QFileInfo::exists(path) && !QFile::remove(path))
        return std::unexpected(QStringLiteral("ファイル：　") + path + QStringLiteral(" を削除できません。"));
    return {};
}

std::expected<void, QString> LogAppender::append(const QString &line)
{
    const QByteArray b = toCp932(line) + "\r\n";
    if (!m_loaded) {
        m_loaded = true;
        if (auto all = readBytes(m_path); all && all->size() >= m_base) m_tail = all->mid(m_base);
    }
    QByteArray toWrite = b;
    if (m_matching) {
        const QByteArray rest = m_tail.mid(m_pos);
        if (rest.startsWith(b)) {
            m_pos += b.size();
            return {};
        }
        if (b.startsWith(rest)) toWrite = b.mid(rest.size());
        else m_matching = false;   // the log was changed by someone else: only append from now on
    }
    if (auto r = appendBytes(m_path, toWrite); !r) return r;
    if (m_matching) {
        m_tail += toWrite;
        m_pos = m_tail.size();
    }
    return {};
}

} // namespace velor
