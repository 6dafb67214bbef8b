#pragma once
// Lines of a day that could not be added to a stock's price file (it could not be read or
// written), kept in the data folder's VELOR.pnd until its file can be read. A day is never lost:
// the next import adds them first, in date order, and until then the stock's later days wait
// with them so that its file never skips a day.
#include "db/PriceFile.h"
#include "import/DailyFile.h"

#include <QByteArray>
#include <QString>
#include <expected>
#include <map>
#include <set>
#include <vector>

namespace velor {

struct State;
struct Services;

/// One waiting line: its day (YYYYMMDD) and the line as the day's file gave it.
struct PendingLine {
    DailyFile day;   ///< the day with this one line
    bool operator<(const PendingLine &o) const;
};

/// VELOR.pnd in a data folder.
QString pendingPath(const QString &dataDir);

/// The waiting lines of every stock, oldest day first; a missing or empty file has none. Lines
/// that cannot be read are an error (the file is then left alone).
std::expected<std::map<int, std::vector<PendingLine>>, QString> readPending(const QString &path);
/// The file's bytes: each line as a daily file writes it ("YYYY-MM-DD,code,section,o,h,l,c,v").
QByteArray pendingBytes(const std::map<int, std::vector<PendingLine>> &pending);
/// One line of a day, as a pending entry.
PendingLine pendingLine(const DailyFile &day, const DailyLine &line);

/// Adds the waiting lines whose price files can now be read, each file written with the checked
/// write, and keeps the rest. One message line per stock added; a `notice` for those still
/// waiting. False (with the message shown) only when VELOR.pnd itself cannot be read or written.
bool applyPending(State &st, Services &sv);

} // namespace velor
