#pragma once
// meigara.dat: a 14-byte header slot, then one 14-byte slot per stock in code order
// (code, 10-byte CP932 name, section; little-endian 16-bit words). A code with letters does not
// fit the 16-bit word: its slot holds -k instead, and the file ends in the tag "LTCD" followed by
// the 4 ASCII characters of each such code, the k-th of them at k. A master of digit codes only
// has no tag; a reader that knows only digit codes refuses -k as a code outside 1..9999.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <expected>
#include <vector>

namespace velor {

struct State;

struct MasterHeader {
    int16_t StockCount = 0, CapDaily = 300, CapWeekly = 300, CapMonthly = 300;
    QByteArray reserved = QByteArray(6, '\0');   ///< kept as found; never interpreted
};

struct MasterEntry {
    int code = 0;
    QString name;         ///< as held in memory (10 characters) or any text to store
    int16_t section = 0;
};

/// The header words, or an error when the file cannot be read or is shorter than 14 bytes.
std::expected<MasterHeader, QString> readMasterHeader(const QString &path);

struct MasterImage {
    MasterHeader header;
    std::vector<MasterEntry> entries;   ///< names as held in memory (first 5 characters, padded)
};

/// The master held in meigara.dat bytes; the fatal message of `path` when they are malformed
/// (short, a code that is no stock code, a code with letters missing from the tail). Without
/// `names` every name is left empty, the rest read and checked the same: decoding the names is
/// most of the work.
std::expected<MasterImage, QString> parseMaster(const QByteArray &bytes, const QString &path, bool names = true);

/// The fatal message of a master that cannot be loaded.
QString masterErrorText(const QString &masterPath);

/// MEIGARAIN: loads the master into the master tables. On error returns the fatal message;
/// the tables are then left as they were.
std::expected<void, QString> MEIGARAIN(State &st);

/// The 10-byte name field for a text: CP932, cut to 10 bytes without splitting a character,
/// padded with blanks.
QByteArray nameField(const QString &name);
/// The in-memory form of a stored name field: its first 5 characters, blank-padded to 10.
QString heldName(const QByteArray &field);

/// Writes a complete master atomically.
std::expected<void, QString> writeMaster(const QString &path, const MasterHeader &header,
                                         const std::vector<MasterEntry> &entries);

/// The loaded master as entries (names as held), for rewriting it.
std::vector<MasterEntry> masterEntries(const State &st);

} // namespace velor
