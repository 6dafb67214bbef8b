#pragma once
// Names for the stocks a download added: the daily file carries none, so a new listing enters
// the master as 新規銘柄 until the price-data site's list of names (NameListUrl) gives it one.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <expected>
#include <unordered_map>
#include <vector>

namespace velor {

struct State;
struct Services;

struct NameListEntry {
    int code = 0;
    QString name;
    int16_t section = 0;   ///< 0: the list gives none
};

/// The list's lines (CP932, "code,name[,section]", a name with a comma in double quotes; blank
/// lines and one heading line starting with "code" or "コード" are passed over). Any other line
/// that is not of that form refuses the whole list: the error names its line number.
std::expected<std::vector<NameListEntry>, QString> parseNameList(const QByteArray &bytes);

/// How many stocks of the loaded master are still named 新規銘柄.
int unnamedStocks(const State &st);

/// What applyNames did.
struct NamingResult {
    int named = 0;     ///< 新規銘柄 given a name
    int renamed = 0;   ///< stocks whose stored name differed from the list's
    int left = 0;      ///< 新規銘柄 the list does not hold
};

/// Gives the stocks of the stored master the names (and, where given, sections) of `names`: every
/// stock still named 新規銘柄 that the list holds and, with `renameChanged`, every stock whose
/// stored name field differs from the list's. The master is rewritten with the checked write and
/// loaded again only when something changed.
std::expected<NamingResult, QString> applyNames(State &st, const std::unordered_map<int, NameListEntry> &names,
                                                bool renameChanged);

/// After a download: where sites.ini names a list of names and some stocks are still 新規銘柄,
/// fetches the list and gives them its names (and sections), rewriting the master with the
/// checked write and loading it again; otherwise says how many stocks have no name yet. A list
/// that cannot be fetched or read changes nothing and says so. False only when the master could
/// not be written (the error has been shown).
bool nameNewStocks(State &st, Services &sv, int timeoutMs);

} // namespace velor
