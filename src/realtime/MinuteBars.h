#pragma once
// Minute bars: the FUNASHI folder beside the program, its code list Fmeigara.dat and one small
// append-only file per stock, one record per stock and minute.
#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <cstdint>
#include <expected>
#include <utility>
#include <vector>

namespace velor {

struct State;
struct Services;

/// One line of a minute file.
struct MinuteRecord {
    int32_t stamp = 0;   ///< MMDDHHMM
    float open = 0, high = 0, low = 0, close = 0;
    double volume = 0;   ///< the day's volume so far
};

/// The FUNASHI folder of the program folder (an existing folder of any letter case is used).
QString minuteFolder(const State &st);
/// FUNASHI/Fmeigara.dat.
QString minuteListPath(const State &st);
/// FUNASHI/<code>.csv (an existing file of any letter case is used).
QString minuteFilePath(const State &st, int code);

/// The minute stamp MMDDHHMM of a time (December 6, 9:05 gives 12060905).
int32_t minuteStamp(const QDateTime &t);

/// The stored line of a record: each number in its print form, separated by ",", then CR LF.
QByteArray minuteRecordLine(const MinuteRecord &r);

/// The records of a minute file in file order, at most `max`. A leading UTF-8 byte-order mark
/// is skipped; lines that are not six numbers, and a last line without its line end that was cut
/// short inside its last number, are left out. A missing file gives no records; something other
/// than a regular file in its place (a symbolic link, a FIFO) is refused with a message.
std::expected<std::vector<MinuteRecord>, QString> readMinuteFile(const QString &path, size_t max = SIZE_MAX);
/// The same, with no records where the file is refused.
std::vector<MinuteRecord> readMinuteRecords(const QString &path, size_t max = SIZE_MAX);

/// Appends one record on a line of its own, creating the folder and the file when missing. The
/// whole line goes out in one write and the file's new size is checked; a failed write is cut
/// off again (a file the append created is removed), so the file never keeps part of a line.
/// A whole last record without its line end gets one; a line cut short by an interrupted append
/// (record characters, no longer than a record line) is cut off. Any other last line without its
/// end is kept: nothing is appended and the message says so. A symbolic link, a FIFO or a device
/// in the file's place is refused.
std::expected<void, QString> appendMinuteRecord(const QString &path, const MinuteRecord &r);

/// Where a stamp stands in time, seen at `now` (both MMDDHHMM): minutes in a year of 32-day
/// months, with a stamp more than a month after now taken as the previous year's (late December
/// seen in January) and lying below every stamp of this year.
int64_t minuteMoment(int32_t stamp, int32_t now);

/// Whether the minute `now` must not be recorded: some record carries its stamp or a later one
/// (a clock set back), so a new record would stand out of time order.
bool minuteRecorded(const std::vector<MinuteRecord> &records, int32_t now);

/// Puts records in time order as seen at `now` (file order among records of the same minute).
void sortMinuteRecords(std::vector<MinuteRecord> &records, int32_t now);

/// MakeMinuteList: writes Fmeigara.dat from watch lists 1, 2 and 3 (missing lists add nothing):
/// each code once, first occurrence kept, never 0, at most 4400. Returns the codes written.
std::expected<std::vector<int>, QString> MakeMinuteList(const State &st);

/// The codes of Fmeigara.dat in order.
std::expected<std::vector<int>, QString> readMinuteList(const State &st);

/// ReadMinuteBars(n): the records of CurCode's minute file, in time order, into bars 1..n
/// (earliest first) and
/// BarCount, then the live bar 0 read with QuoteMode 1; QuoteMode gets its value back.
void ReadMinuteBars(State &st, Services &sv, int n);

/// What one collection did.
struct MinuteTick {
    int written = 0;    ///< records appended
    int skipped = 0;    ///< stocks whose minute was already recorded
    int empty = 0;      ///< stocks without an open or close yet (or whose page failed)
    int failed = 0;     ///< stocks whose minute file could not be read or written
    int asked = 0;      ///< pages asked for
    int pagesFailed = 0;   ///< pages that could not be read (counted by collectCounted)
    QString error;      ///< the first file that could not be written
    std::vector<std::pair<int, float>> prices;   ///< (code, price) of each page read with a price
};

/// One collection: for each code of Fmeigara.dat (at most StockCount), unless this minute is
/// recorded, reads the live quote and appends a record when open and close are non-zero.
/// CurCode comes back to what it was. Does not redraw.
MinuteTick collectMinuteBars(State &st, Services &sv);

} // namespace velor
