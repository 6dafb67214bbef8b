#pragma once
// A program folder with a small market, the fakes, and the ranking window held as text.
#include "db/PriceFile.h"
#include "screen/Screens.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <ostream>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }
QT_END_NAMESPACE

namespace velor::test {

/// One bar, newest first in the lists below: date, open, high, low, close, volume.
inline Bar bar(int32_t d, float o, float h, float l, float c, double v) { return Bar{d, o, h, l, c, v}; }

class ScreenFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        State &st = pf.st;
        st.RankRows = 3;
        st.FilterMinPrice = 100;
        st.FilterMaxPrice = 250000;
        st.MinTurnover = 0;
        st.LastTradeDate = 20240110;
        st.CurPeriod = 0;
        st.CurCode = 1001;
        st.BarDate[1] = 20240110;   // the chart of 1001 on display when a run starts
    }
    /// Writes a price file whose daily bars are `bars` (newest first).
    void prices(int code, const std::vector<Bar> &bars)
    {
        PriceSections s;
        s[0] = bars;
        writeFile(pf.data + QString::number(code) + QStringLiteral(".csv"), formatPriceFile(s));
    }
    Screens &screens()
    {
        if (!m_screens) m_screens = std::make_unique<Screens>(pf.st, env.services, view);
        return *m_screens;
    }
    QString stamp() const { return QStringLiteral(" 日= 20240110 15:30:00"); }

    ProgramFolder pf;
    TestEnv env;
    MemoryScreenView view;
private:
    std::unique_ptr<Screens> m_screens;
};

} // namespace velor::test
