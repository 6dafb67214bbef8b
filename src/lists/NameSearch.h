#pragma once
// The name search of the search window.
#include "db/State.h"

#include <QStringList>

namespace velor {

/// The result lines for a keyword, in master order: code, two blanks, the whole 10-character
/// name field, " (", section, ")"; then "=== 検索の終了 ===". The comparison is exact and
/// case-sensitive over the name field as held (5 characters and blank padding). An empty
/// keyword gives no lines at all (the search does nothing).
QStringList searchNames(const State &st, const QString &keyword);

} // namespace velor
