#include "lists/ListView.h"

#include "common/NumText.h"

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

long long leadingCode(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    const QStringView word = text.mid(i, 4);
    const bool alone = i + 4 >= text.size() || !text[i + 4].isLetterOrNumber();
    if (word.size() == 4 && alone)
        if (const auto c = codeFromText(word); c && hasLetter(*c)) return *c;
    return leadingNumber(text);
}

int codeOfLine(QStringView text)
{
    const long long v = leadingCode(text);
    return v > 0 && v < kCodeSpace && isStockCode(int(v)) ? int(v) : 0;
}

QString listForm(long long code)
{
    return hasLetter(int(code)) && code < kCodeSpace ? QLatin1Char(' ') + codeText(int(code)) + QLatin1Char(' ')
                                                     : printForm(code);
}

} // namespace velor
