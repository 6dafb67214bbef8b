#pragma once
// Values read from a stock's quote page (0 until a page has been read).
#include <QString>
#include <cstdint>

namespace velor {

struct QuoteVars {
    int16_t LiveMode = 0;
    int16_t QuoteMode = 0;
    double QuoteYield = 0, QuoteDPS = 0, QuotePER = 0, QuotePBR = 0, QuoteEPS = 0, QuoteBPS = 0;
    double QuoteMinBuy = 0, QuoteYearHigh = 0, QuoteYearLow = 0;
    double MarginDate = 0, MarginBuy = 0, MarginSell = 0, MarginRatio = 0;
    /// The margin balances' date as the page writes it (5 characters, "11/27"); MarginDate holds
    /// the digits of it as a number (1127) for readers that want a number.
    QString MarginDateText;
};

} // namespace velor
