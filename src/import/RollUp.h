#pragma once
// Appending one day to a stock's price file: the daily bar, and the day rolled into the
// current weekly and monthly bars.
#include "db/PriceFile.h"
#include "import/DailyFile.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <deque>
#include <expected>
#include <optional>
#include <string_view>
#include <vector>

namespace velor {

struct RollUpResult {
    QByteArray bytes;          ///< the whole new file
    bool alreadyHeld = false;  ///< the file's newest daily bar is the day (or newer): leave it
    /// Every line of `bytes` is already what writing it back in shortest form gives, so a later
    /// roll-up would copy each one as it stands (see RolledFile).
    bool canonical = false;
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

/// A price file just rolled up, held as its lines, so that each further day of one import pass
/// costs a few lines instead of a copy of the whole file. It is built only from a roll-up whose
/// every line is in shortest form: a later roll-up would copy those lines as they stand, so a
/// day applied here gives exactly the bytes rolling up `bytes()` would.
class RolledFile {
public:
    /// Nothing when the result is not canonical (the next day then takes the full roll-up).
    static std::optional<RolledFile> from(const RollUpResult &r);
    /// Applies one more day: true when applied, false when the file already holds the day, and
    /// nothing when this day needs the full roll-up of `bytes()` (the file is then unchanged).
    std::optional<bool> apply(const DailyFile &day, const DailyLine &line, const std::vector<int32_t> &calendar);
    QByteArray bytes() const;

    /// Bar k (1 = newest) of a section.
    std::optional<Bar> bar(int section, int k) const;

private:
    QByteArray m_base;                                  // the roll-up's text, which the views point into
    std::deque<QByteArray> m_added;                     // lines of later days with their CR LF, which views point into
    std::array<int, 3> m_counts{};
    std::array<std::deque<std::string_view>, 3> m_lines;   // each section's 300 lines, newest first
    struct ParsedBar {
        bool parsed = false;
        std::optional<Bar> bar;
    };
    mutable std::deque<ParsedBar> m_daily;   // the newest daily lines' bars, as far as read
    bool m_canonical = true;
};

/// True when the bar line is exactly what writing it back in shortest form gives.
bool isShortestBarLine(const char *begin, const char *end);
/// The same judgement one character at a time (isShortestBarLine takes a quicker way for lines
/// of digits and commas only).
bool isShortestBarLineByChar(const char *begin, const char *end);

} // namespace velor
