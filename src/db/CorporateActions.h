#pragma once
// Splits and reverse splits, kept in the data folder's split.dat (CP932, CR LF), one a line:
// "code,YYYYMMDD,old:new" where YYYYMMDD is the ex-date (the first day traded on the new basis)
// and old:new the share ratio (1:5 a split, 5:1 a reverse split). The price files keep the raw
// bars; bars are adjusted as they are read, so removing an entry gives back the raw view.
#include "db/PriceFile.h"

#include <QByteArray>
#include <QString>
#include <expected>
#include <optional>
#include <span>
#include <unordered_map>
#include <vector>

namespace velor {

struct CorporateAction {
    int code = 0;
    int32_t exDate = 0;
    double before = 1, after = 1;   ///< old shares : new shares
    /// What a price of a day before the ex-date is multiplied by.
    double priceFactor() const { return before / after; }
    bool operator==(const CorporateAction &) const = default;
};

/// "1:5", "1:1.5", "5:1" as old and new shares; nothing for anything else.
std::optional<std::pair<double, double>> parseRatio(QStringView text);
/// The ratio as written: "1:5", "1:1.5".
QString ratioText(const CorporateAction &a);
/// One line without its end: "130A,20261207,1:3".
QString actionLine(const CorporateAction &a);

class CorporateActions {
public:
    /// Reads split.dat; a missing file is an empty table. Lines it cannot read are kept as they
    /// are for the next write and counted.
    std::expected<void, QString> load(const QString &path);
    /// The same from a file's bytes (a site's list: the lines it cannot read are left out).
    void parse(const QByteArray &bytes);
    /// The actions of a code, oldest ex-date first; empty when it has none.
    std::span<const CorporateAction> of(int code) const;
    const std::vector<CorporateAction> &all() const { return m_all; }
    bool empty() const { return m_all.empty(); }
    int unreadableLines() const { return int(m_kept.size()); }

    /// Adds an action (false when the same code and ex-date is already recorded); removes one.
    bool add(const CorporateAction &a);
    bool remove(int code, int32_t exDate);
    /// The file's bytes: the actions in code order (the exchange's) then by ex-date, then the
    /// lines that could not be read, byte for byte.
    QByteArray bytes() const;

private:
    void index();
    std::vector<CorporateAction> m_all;
    std::vector<QByteArray> m_kept;
    std::unordered_map<int, std::vector<CorporateAction>> m_byCode;
};

/// split.dat in a data folder.
QString actionsPath(const QString &dataDir);

/// The product of the price factors of the actions whose ex-date lies after `date`.
double priceFactorOn(std::span<const CorporateAction> actions, int32_t date);

/// Adjusts bars (newest first) of section 0 (daily), 1 (weekly) or 2 (monthly): prices of bars
/// before an ex-date times old/new, volumes times new/old rounded to a whole share, several
/// actions compounded. A weekly or monthly bar that holds an ex-date is rebuilt from the adjusted
/// daily bars of its period when `daily` (newest first, as stored) reaches back to its start
/// (`dailyComplete`: `daily` is the stock's whole daily history).
void adjustBars(std::vector<Bar> &bars, int section, std::span<const CorporateAction> actions,
                const std::vector<Bar> &daily = {}, bool dailyComplete = false);

/// The exchange's daily price limit (値幅制限) in yen for a previous close.
double dailyPriceLimit(double previousClose);
/// Below 1,000,000 yen every limit is more than this share of the previous close (the least is
/// 700 yen at 5,000 yen), so a smaller move is within the limit without looking it up.
inline constexpr double kLimitShare = 0.14;
/// When a close lies beyond the daily price limit from the previous close and near a simple
/// share ratio (1:2, 1:3, 1:4, 1:5, 1:10, 1:25, 1:100 or their inverses), that ratio.
std::optional<std::pair<double, double>> suggestedRatio(double previousClose, double close);

} // namespace velor
