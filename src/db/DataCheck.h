#pragma once
// The data check of a whole database (velor check): every price file of the data folder is read
// once and its bars are checked against themselves, against the index series 1001's trading
// days, against the exchange's daily price limit and the recorded splits, its weekly and monthly
// bars against the daily bars they cover, and the files against the master. Only reads.
#include "db/CorporateActions.h"
#include "db/PriceFile.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <expected>
#include <span>
#include <utility>
#include <vector>

namespace velor {

enum class CheckKind {
    BarValues,     ///< high below open/close, low above them, negative or non-finite values
    DateOrder,     ///< dates not strictly decreasing within a section, or no date at all
    MissingDays,   ///< a trading day of 1001 without a daily bar within the stock's span
    PriceLimit,    ///< a close beyond the daily price limit with no split recorded that day
    PeriodBars,    ///< a weekly or monthly bar other than the one its daily bars give
    MasterFiles,   ///< a master entry without a price file, or a price file without an entry
};
inline constexpr int kCheckKinds = 6;

/// The kind's name as the summary shows it: "高値・安値の矛盾".
QString checkKindName(CheckKind kind);

struct CheckFinding {
    CheckKind kind = CheckKind::BarValues;
    QString file;       ///< "1301.csv", "meigara.dat"
    int32_t date = 0;   ///< YYYYMMDD, 0 when the finding has no date
    QString what;
    bool operator==(const CheckFinding &) const = default;
};

/// "FILE,DATE,WHAT" (DATE empty when there is none).
QString findingLine(const CheckFinding &f);

/// What the check of one price file needs besides its bytes.
struct PriceCheckContext {
    std::span<const int32_t> tradingDays;            ///< 1001's daily dates, oldest first; empty: not checked
    std::span<const CorporateAction> actions;        ///< the stock's recorded splits
    bool checkLimits = true;                         ///< false when split.dat could not be read
};

/// The findings of one price file's bytes (`path` names it in an error; the findings name its
/// file name). An error when the header or a counted bar line cannot be read.
std::expected<std::vector<CheckFinding>, QString> checkPriceBytes(const QByteArray &bytes, int code, const QString &path,
                                                                  const PriceCheckContext &context);

/// The daily dates of a price file's bytes, oldest first (1001's are the trading days).
std::expected<std::vector<int32_t>, QString> dailyDates(const QByteArray &bytes, const QString &path);

/// A price file's counted bars as the check reads them, and for each section whether every bar
/// came from a line of whole numbers with its high and low around its open and close and a date
/// older than the one above it (the check then has nothing more to look at in its values).
struct CheckedBars {
    PriceSections sections;
    std::array<bool, 3> fit{};
};

/// How the check reads bar lines: only with the program's own line reader, with the quick reader
/// of whole-number lines first, with the 32-byte reader first where the processor has AVX2, or
/// with the 64-byte reader first where it has AVX-512 with VBMI2 (the check uses the widest the
/// processor has). All give the same bars, as the tests and a fuzz target hold them to. Without
/// `oldValues`, as the check reads them, weekly and monthly bars of periods that end before the
/// daily bars begin keep only their dates where the 64-byte reader read them (the `fit` flags
/// are the same).
enum class BarReading { Plain, Quick, Wide, Widest };
bool barReadingAvailable(BarReading reading);
std::expected<CheckedBars, QString> readCheckedBars(const QByteArray &bytes, const QString &path, BarReading reading, bool oldValues = true);

/// The first day of the week (from Monday; section 1) or the month (section 2) that holds a
/// valid date, and the first day of the next one, as YYYYMMDD: how the check groups daily bars.
std::pair<int32_t, int32_t> checkPeriod(int section, int32_t ymd);

struct DataCheckReport {
    std::vector<CheckFinding> findings;   ///< price files in the exchange's code order, then the master's
    QStringList errors;                   ///< files that could not be read or parsed (the rest was checked)
    std::array<int, kCheckKinds> counts() const;
};

/// Checks every price file ("CODE.csv") of a data folder and its master (meigara.dat) on up to
/// `threads` threads (0: one per processor). A file that cannot be read or parsed is an error
/// and the check goes on with the others.
DataCheckReport checkDataFolder(const QString &dataDir, int threads = 0);

} // namespace velor
