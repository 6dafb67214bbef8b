#pragma once
// The journal of the day being imported. Written (atomically) before the first file of a day
// changes, removed when the day is complete. It keeps everything the day's changes were worked
// out from, so that a run interrupted at any moment can be completed later to exactly the
// bytes an uninterrupted run gives, even after the inbox was emptied or 1001 already holds
// the day.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <expected>
#include <optional>
#include <vector>

namespace velor {

/// A further day of the same pass.
struct JournalDay {
    int32_t day = 0;
    QString source;
    QString inbox;                    ///< the inbox file's name
    std::vector<int32_t> calendar;    ///< 1001's daily dates before this day, newest first
    QByteArray data;
};

struct ImportJournal {
    int32_t day = 0;
    QString source;                   ///< the inbox file the day came from
    qint64 logSize = 0;               ///< size of VELOR.log before the day
    std::vector<int32_t> calendar;    ///< 1001's daily dates before the day, newest first
    QByteArray master;                ///< meigara.dat before the day
    QByteArray data;                  ///< the day's all-market file
    QString inbox;                    ///< the inbox file's name (empty in a journal of one day
                                      ///< written before passes of several days)
    std::vector<JournalDay> later;    ///< the pass's further days, in order
};

/// DataDir + "VELOR.jnl".
QString journalPath(const QString &dataDir);
/// Writes the journal atomically.
std::expected<void, QString> writeJournal(const QString &path, const ImportJournal &j);
/// The journal, nullopt when there is none; an error when it exists but cannot be read.
std::expected<std::optional<ImportJournal>, QString> readJournal(const QString &path);
/// Removes the journal; an error when it stays.
std::expected<void, QString> removeJournal(const QString &path);

/// Appends lines to VELOR.log for one day so that a resumed day neither repeats nor loses a
/// line: bytes already present after the day's starting size are matched, not written again.
/// Only ever appends; never truncates.
class LogAppender {
public:
    LogAppender(const QString &path, qint64 baseSize) : m_path(path), m_base(baseSize) {}
    /// Appends the CP932 line with CR LF (or the part of it an earlier run did not write).
    std::expected<void, QString> append(const QString &line);
private:
    QString m_path;
    qint64 m_base;
    QByteArray m_tail;        ///< the day's bytes found or written so far
    qsizetype m_pos = 0;      ///< how much of m_tail the lines so far account for
    bool m_loaded = false;
    bool m_matching = true;
};

/// The current size of a file (0 when missing).
qint64 fileSize(const QString &path);

} // namespace velor
