#pragma once
// The market of the ten-day pass tests: ten next days from Monday 2026-11-30, with a month
// boundary on day 2, a new listing on day 3, a section change on day 5 and a week boundary on
// day 6. Six stocks have codes with letters; one of them lists on day 3 too.
#include "demo/MarketGenerator.h"

namespace velor::test {

inline demo::MarketOptions tenDayMarket()
{
    demo::MarketOptions mo;
    mo.stocks = 60;
    mo.nextDays = 10;
    mo.listingNextDay = 2;
    mo.sectionChangeNextDay = 4;
    mo.letterCodes = 6;
    return mo;
}

} // namespace velor::test
