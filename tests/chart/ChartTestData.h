#pragma once
// Bar tables filled by hand for the chart tests.
#include "db/State.h"

#include <initializer_list>

namespace velor::test {

/// Puts closes (oldest first) into positions n-1 .. 0 and sets BarCount to n (or `count`).
inline void setCloses(BarVars &st, std::initializer_list<float> oldestFirst, int count = -1)
{
    int p = int(oldestFirst.size()) - 1;
    for (float c : oldestFirst) st.BarClose[size_t(p-- + 1)] = c;
    st.BarCount = int16_t(count < 0 ? int(oldestFirst.size()) : count);
}

/// A bar at position p.
inline void setBar(BarVars &st, int p, int32_t date, float o, float h, float l, float c, double v)
{
    const size_t e = size_t(p + 1);
    st.BarDate[e] = date;
    st.BarOpen[e] = o;
    st.BarHigh[e] = h;
    st.BarLow[e] = l;
    st.BarClose[e] = c;
    st.BarVolume[e] = v;
}

} // namespace velor::test

#include <QString>
#include <ostream>

/// Readable QString values in failure messages.
inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }
