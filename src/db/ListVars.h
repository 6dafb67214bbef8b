#pragma once
// The working set shown in the stock list.
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

namespace velor {

struct ListVars {
    std::vector<int16_t> WorkSet = std::vector<int16_t>(1);  ///< 1..WorkCount: entry index, -999 text line
    int16_t WorkCount = 0;
    int16_t WorkMissing = 0;
    int16_t WorkKind = 0;        ///< 0 all, 1-3 watch lists, 4 result file
    QString WorkTitle;
    QString WorkFile;
    QStringList WorkText;
    int16_t ListChoice = 0;
    bool AllStocks = false;
    int LastCode = 1001;
    int32_t CurIndex = 0;        ///< master entry of the current stock; -999 a text line
    bool ListSyncing = false;    ///< true while the program itself selects a row of the stock list
    bool MinuteBarsOn = false;   ///< the minute-bar display (its switch belongs to the minute bars)
};

} // namespace velor
