#include "lists/ListView.h"

namespace velor {

int entryOf(const State &st, long long code)
{
    if (code < 1 || code >= static_cast<long long>(st.StockIndex.size())) return 0;
    return st.StockIndex[size_t(code)];
}

long long leadingNumber(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    long long v = 0;
    // Stop growing long before overflow; such a value is no code anyway.
    for (; i < text.size() && text[i].isDigit() && text[i].unicode() < 128; ++i)
        if (v < 100000000000LL) v = v * 10 + (text[i].unicode() - '0');
    return negative ? -v : v;
}

} // namespace velor
