#pragma once
// Appending one day to a stock's price file: the daily bar, and the day rolled into the
// current weekly and monthly bars.
#include "import/DailyFile.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <expected>
#include <vector>

namespace velor {

struct RollUpResult {
    QByteArray bytes;          ///< the whole new file
    bool alreadyHeld = false;  ///< the file's newest daily bar is the day (or newer): leave it
};

/// The text of a new price file holding only the day: "1,1,1", then in each section the day's
/// line (prices as read) followed by 299 filler lines.
QByteArray newPriceFile(int32_t D, const DailyLine &line);

/// The rolled-up text of an existing price file. `calendar` holds code 1001's stored daily
/// dates before the day, newest first. Old values are written back in their shortest form,
/// the day's prices as read. An error text (naming the line) when the file is shorter than its
/// format or holds a line that is not a bar.
std::expected<RollUpResult, QString> rollUpPriceFile(const QByteArray &old, const DailyFile &day, const DailyLine &line,
                                                     const std::vector<int32_t> &calendar);

/// True when the bar line is exactly what writing it back in shortest form gives.
bool isShortestBarLine(const char *begin, const char *end);

} // namespace velor
