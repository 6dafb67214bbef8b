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
        if (const auto c = codeFromText(word); c && hasLetter(*c)) return listValue(*c);
    return leadingNumber(text);
}

long long listValue(int code) { return hasLetter(code) ? kListLetter + code : code; }

int listCode(long long value)
{
    if (value >= kListLetter) return value - kListLetter < kCodeSpace && isStockCode(int(value - kListLetter)) ? int(value - kListLetter) : 0;
    return value >= 1 && value <= 9999 ? int(value) : 0;
}

int codeOfLine(QStringView text) { return listCode(leadingCode(text)); }

QString listForm(long long value)
{
    if (const int c = listCode(value); hasLetter(c)) return QLatin1Char(' ') + codeText(c) + QLatin1Char(' ');
    return printForm(value);
}

} // namespace velor
