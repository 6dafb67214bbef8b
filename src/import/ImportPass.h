#pragma once
// One pass of the import over one or more days: every price file the days touch is read once,
// the days are applied to it in date order in memory, and the new files are written as one
// batch (see common/BatchWriter.h). The bytes, log lines and messages are those of importing
// the days one at a time.
#include "common/BatchWriter.h"
#include "import/DailyFile.h"
#include "import/ImportJournal.h"
#include "import/RollUp.h"

#include <QByteArray>
#include <QString>
#include <expected>
#include <optional>
#include <vector>

namespace velor {

struct State;
struct Services;

/// The days of a pass and everything they were worked out from.
struct PassPlan {
    ImportJournal journal;            ///< the first day in its own fields, the others in `later`
    std::vector<DailyFile> days;      ///< parsed, in the journal's order
    int dayCount() const { return int(days.size()); }
    /// 1001's daily dates before day k, newest first.
    const std::vector<int32_t> &calendar(int k) const
    {
        return k == 0 ? journal.calendar : journal.later[size_t(k - 1)].calendar;
    }
    /// Adds a day (the journal's master, log size and first calendar must be set before the first).
    void add(DailyFile day, const QString &source, const QString &inbox, const QByteArray &data,
             std::vector<int32_t> calendar);
};

/// The plan held in a journal; an error text when a day's data is no longer readable.
std::expected<PassPlan, QString> planFromJournal(ImportJournal journal);

/// A stored file's bytes; nullopt only when opening it says that it does not exist.
std::expected<std::optional<QByteArray>, QString> readStoredFile(const QString &path);

/// Applies one line of a day to a stock's file held in memory (nullopt: no file). A new
/// listing, a missing or an empty file becomes a new price file. False with `error` set when
/// the stored file cannot be rolled up (it is then left as it is).
/// With `rolled`, a roll-up that later days can continue in memory also sets it (see
/// RolledFile); the file's bytes are then those of the roll-up.
bool applyDayLine(std::optional<QByteArray> &file, const DailyFile &day, const DailyLine &line, bool isNew,
                  const std::vector<int32_t> &calendar, QString &error, std::optional<RolledFile> *rolled = nullptr);

/// 1001's daily dates as loading 300 bars of it gives them (its daily count, at most 300).
std::vector<int32_t> calendarOfFile(const QByteArray &bytes);

/// Runs the pass: writes the journal (when `fresh`), the log lines and messages of every day,
/// the master, and every changed price file in one batch, then removes the journal. False
/// after an error was shown; the journal then lets the next run finish the pass.
bool runPass(State &st, Services &sv, const PassPlan &plan, bool fresh, BatchFileOps &ops);

} // namespace velor
