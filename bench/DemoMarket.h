#pragma once
// A demo program folder loaded as the program loads it, for the benchmarks that run screens on
// a whole market: quiet seams, the clock at 2026-12-01 16:00, 1001's newest bars in the chart's
// tables and the turnover floors worked out from them.
#include "app/Startup.h"
#include "chart/ChartTexts.h"
#include "db/Bars.h"
#include "db/Services.h"
#include "db/State.h"

#include <QDateTime>

namespace velor::bench {

struct DemoMarket {
    State st;
    ConsoleDialogs dialogs;
    FixedClock clock{QDateTime(QDate(2026, 12, 1), QTime(16, 0))};
    QtNet net;
    SystemLauncher launcher;
    SilentSound sound;
    TextShell shell;
    Services sv{clock, net, launcher, sound, dialogs, shell, nullptr};

    /// Loads the folder and reads 1001's newest `bars` bars; false when the folder cannot be loaded.
    bool load(const char *programDir, int bars)
    {
        st.ProgramDir = QString::fromLocal8Bit(programDir);
        if (!st.ProgramDir.endsWith('/')) st.ProgramDir += '/';
        if (!loadDatabase(st, dialogs)) return false;
        st.CurCode = 1001;
        KDOPN(st, sv, bars);
        st.LastTradeDate = st.BarDate[1];
        updateTurnoverLimits(st, clock.now());
        return true;
    }
};

} // namespace velor::bench
