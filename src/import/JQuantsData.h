#pragma once
// The exchange's data API (J-Quants v2) as data: its answers turned into the program's own daily
// lines, master rows and splits, with no network in sight (the client is JQuantsClient.h).
//
// - Codes: the API names an issue with five characters, the program's code and a fifth that is
//   "0" for the common stock ("72030" → 7203, "130A0" → 130A). Any other fifth character is a
//   preferred share or the like, which the program does not keep: such rows are counted, not used.
// - Prices: a row whose open, high, low or close is null (no trade that day) gives no line, as a
//   stock absent from a daily file; the day's other stocks are unaffected.
// - Sections: the master's market segment gives the section number the daily line carries:
//   0111 プライム → 1, 0112 スタンダード → 2, 0113 グロース → 3, any other segment → 4.
// - Splits: AdjFactor ≠ 1 on a row marks its ex-date; old:new comes from the factor when it is a
//   simple ratio (0.5 → 1:2, 5 → 5:1, 0.333333 → 1:3, 0.666667 → 2:3); any other factor is
//   reported, never guessed.
#include <QByteArray>
#include <QJsonArray>
#include <QString>
#include <cstdint>
#include <expected>
#include <optional>
#include <unordered_map>
#include <vector>

namespace velor::jq {

/// The program's code of a five-character API code of a common stock; nothing for other issues
/// and for malformed codes.
std::optional<int> programCode(QStringView apiCode);
/// The API's five characters of a program code ("7203" → "72030").
QString apiCode(int code);

/// The section number of a master's market segment code (Mkt).
int16_t sectionOfMarket(QStringView mkt);
/// The market segment code and name the master gives a section (the offline twin's inverse).
std::pair<QString, QString> marketOfSection(int section);

/// One stock of the API's master.
struct MasterRow {
    int code = 0;
    QString name;              ///< CoName, as given
    int16_t section = 0;
    QString sector33, sector17;
};

/// Master rows of common stocks by code; `others` counts the rows of other issues.
std::unordered_map<int, MasterRow> masterRows(const QJsonArray &data, int *others = nullptr);

/// A split seen in a day's rows.
struct SplitSeen {
    int code = 0;
    int32_t exDate = 0;
    double before = 1, after = 1;
};

/// A split whose factor is no simple ratio: said to the user, not recorded.
struct OddFactor {
    int code = 0;
    int32_t exDate = 0;
    double factor = 1;
};

/// old:new of an adjustment factor, when it is a ratio of small whole numbers (at most 100
/// on either side, within the six decimals the API writes a factor with).
std::optional<std::pair<double, double>> ratioOfFactor(double factor);

/// One trading day in the program's daily-file form.
struct DayLines {
    int32_t date = 0;           ///< YYYYMMDD
    QByteArray file;            ///< the all-market daily file's bytes (CR LF lines), codes in the API's order
    int stocks = 0;             ///< lines written (without the index)
    int otherIssues = 0;        ///< rows of preferred shares and the like, left out
    int noTrade = 0;            ///< rows with null prices, left out
    std::vector<SplitSeen> splits;
    std::vector<OddFactor> oddFactors;
};

/// The index row of 1001 for a day: open, high, low, close (no volume is served for an index).
struct IndexBar {
    QByteArray open, high, low, close;   ///< texts in their shortest form
};

/// One row of the daily bars, from a JSON answer or a bulk CSV line: only what the program uses.
struct BarRow {
    int32_t date = 0;                      ///< YYYYMMDD; 0 when unreadable
    QByteArray dateText, code;             ///< as given (the code's five characters)
    std::optional<double> o, h, l, c;      ///< nothing for null, a string or a negative number
    std::optional<double> volume;          ///< nothing for null
    bool volumeUnreadable = false;         ///< neither a number nor null
    double adjFactor = 1;
};

/// The rows of a JSON answer of /equities/bars/daily.
std::vector<BarRow> barRows(const QJsonArray &rows);

/// Turns one day's rows of /equities/bars/daily into the daily file: "YYYY-MM-DD,code,section,
/// O,H,L,C,volume" CR LF, 1001 first when `index` is given (section and volume 0), then every common stock
/// with prices, its section from `sections` (4 when the master does not name it). Rows of
/// another date than `date` refuse the whole day. Numbers are written in their shortest form.
std::expected<DayLines, QString> dayLines(int32_t date, const std::vector<BarRow> &rows,
                                          const std::unordered_map<int, MasterRow> &sections,
                                          const std::optional<IndexBar> &index);
inline std::expected<DayLines, QString> dayLines(int32_t date, const QJsonArray &rows,
                                                 const std::unordered_map<int, MasterRow> &sections,
                                                 const std::optional<IndexBar> &index)
{
    return dayLines(date, barRows(rows), sections, index);
}

/// The trading days (HolDiv 1 or 2) of /markets/calendar's rows, ascending, as YYYYMMDD.
std::vector<int32_t> tradingDays(const QJsonArray &rows);

/// The index bars of /indices/bars/daily/topix's rows by YYYYMMDD; rows with a null price are left out.
std::unordered_map<int32_t, IndexBar> indexBars(const QJsonArray &rows);

/// YYYYMMDD of "YYYY-MM-DD" or "YYYYMMDD"; 0 when it is neither.
int32_t apiDate(QStringView text);

/// The rows of one bulk CSV file (a header line naming the columns, then one row a line),
/// grouped by date (ascending); an empty field is null. Unknown columns are ignored; a missing
/// Date, Code, O, H, L, C or Vo column, or a row with the wrong number of fields, an unreadable
/// date or a number that is none, refuses the file with its line number.
std::expected<std::vector<std::pair<int32_t, std::vector<BarRow>>>, QString> bulkRows(const QByteArray &csv);

} // namespace velor::jq
