#include "realtime/LiveDisplay.h"

#include "db/Shell.h"
#include "db/State.h"

namespace velor {

VecChecks vec_Click(State &st, Shell &shell, int index)
{
    if (index != 1 && index != 2) return {st.LiveMode != 0, st.LiveMode == 0};
    const bool on = index == 1;
    st.LiveMode = on ? 1 : 0;
    st.BarOffset = on ? -1 : 0;
    shell.prependMessage(QStringLiteral("\r\n"));
    // Switching on keeps the list where it is; switching off selects the stock again.
    shell.redrawChart(on ? 11 : 1);
    return {on, !on};
}

} // namespace velor
