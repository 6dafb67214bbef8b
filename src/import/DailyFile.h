#pragma once
// The all-market daily file: one CSV line per stock (date, code, section, open, high, low,
// close, volume). It is read and checked completely before anything is written.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <expected>
#include <string_view>
#include <vector>

namespace velor {

/// One stock's line as delivered. Prices keep their text, since the price file stores the new
/// day's prices exactly as read.
struct DailyLine {
    int code = 0;
    int16_t section = 0;
    QByteArray open, high, low, close;   ///< texts as read
    float o = 0, h = 0, l = 0, c = 0;    ///< the same as numbers, for the roll-up
    double volume = 0;                   ///< as used: index series already divided by 1,000,000
};

struct DailyFile {
    int32_t D = 0;    ///< the day, YYYYMMDD
    int32_t WS = 0;   ///< WeekStart(D)
    int32_t MS = 0;   ///< the first of D's month
    std::vector<DailyLine> lines;
};

/// Why a daily file was refused; the text is the message to show.
struct DailyFileError {
    enum Kind { Empty, BadDate, BadLine } kind;
    QString text;
};

/// The Monday of D's week as a YYYYMMDD number, computed on the number itself, as stored files expect:
/// D - (weekday - 2), weekday 1 = Sunday .. 7 = Saturday, moving into the previous month when
/// the day part falls below 1 (February has 29 days in every year divisible by 4). A Sunday
/// gives D + 1, which may not be a real date.
int32_t WeekStart(int32_t D);

/// D from the first field "YYYY?MM?DD" (characters 1-4, 6-7, 9-10); 0 when unreadable.
int32_t dateOfText(std::string_view text);

/// Reads and checks a whole daily file. `path` names the file in messages. Every line must carry
/// the first line's date and no negative price; with `today` (YYYYMMDD, 0: unchecked) the day
/// must not lie after it. One implausible line would otherwise be stored for every stock.
std::expected<DailyFile, DailyFileError> parseDailyFile(const QByteArray &bytes, const QString &path,
                                                        int32_t today = 0);

} // namespace velor
