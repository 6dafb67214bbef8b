#pragma once
// What a day's file changes in the stock master: section changes and new listings, with the
// lines they put into VELOR.log and the message pane. Worked out from the master as it was
// before the day, so that a resumed day finds exactly the same changes.
#include "db/StockMaster.h"
#include "import/DailyFile.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <expected>
#include <vector>

namespace velor {

struct MasterChanges {
    std::vector<MasterEntry> entries;   ///< the master after the day
    std::vector<bool> isNew;            ///< per line of the day's file: a new listing
    QStringList logLines;               ///< without line ends
    QStringList messageLines;           ///< each ending in CR LF, in the order they happen
    bool changed = false;
};

/// The changes the day brings to the master.
MasterChanges masterChanges(const MasterImage &before, const DailyFile &day);

/// The name every new listing gets.
QString newListingName();

} // namespace velor
