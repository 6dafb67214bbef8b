#pragma once
// The program-wide state: one object, owned by the application and passed by reference.
// Each part is a base so that every documented name reads directly (st.CurCode, st.WorkSet).
#include "db/ChartVars.h"
#include "db/CorporateActions.h"
#include "db/ImportVars.h"
#include "db/ListVars.h"
#include "db/MasterVars.h"
#include "db/QuoteVars.h"
#include "db/SettingsVars.h"
#include "db/Sites.h"

namespace velor {

struct State : SettingsVars, MasterVars, BarVars, ChartVars, ListVars, QuoteVars, ImportVars {
    QString ProgramDir;   ///< the program folder, ending in a separator
    Sites sites;
    CorporateActions actions;   ///< split.dat of the data folder; bars are adjusted by it as they load

    /// The price file of a code: DataDir + code + ".csv".
    QString priceFilePath(int code) const { return priceFilePath(DataDir, code); }
    static QString priceFilePath(const QString &dataDir, int code);
    /// The name field of a code (10 characters), or blanks when the code is not in the master.
    QString nameOf(int code) const;
};

} // namespace velor
