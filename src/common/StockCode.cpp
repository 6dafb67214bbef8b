#include "common/StockCode.h"

#include <array>

namespace velor {

namespace {

// Each place as a digit of base 29: '0'..'9' are 0..9, the letters 10..28 in alphabetical order,
// so comparing the numbers compares the codes as the exchange orders them.
constexpr int kBase = 29;

int placeValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    const auto at = kCodeLetters.find(c);
    return at == std::string_view::npos ? -1 : int(at) + 10;
}

char placeChar(int v) { return v < 10 ? char('0' + v) : kCodeLetters[size_t(v - 10)]; }

// The four places of a code with letters, or nothing when the number is not one.
std::optional<std::array<int, 4>> letterPlaces(int code)
{
    if (code < kLetterCodeBase || code >= kCodeSpace) return std::nullopt;
    int k = code - kLetterCodeBase;
    std::array<int, 4> p{};
    for (int i = 3; i >= 0; --i) {
        p[size_t(i)] = k % kBase;
        k /= kBase;
    }
    // Letters only in places 2 and 4, at least one of them; place 1 is a digit 1..9.
    if (p[0] < 1 || p[0] > 9 || p[2] > 9 || (p[1] < 10 && p[3] < 10)) return std::nullopt;
    return p;
}

} // namespace

bool isStockCode(int code) { return (code >= 1 && code <= 9999) || letterPlaces(code).has_value(); }

std::optional<int> codeFromText(std::string_view t)
{
    if (t.empty() || t.size() > 4) return std::nullopt;
    bool digitsOnly = true;
    for (char c : t) digitsOnly = digitsOnly && c >= '0' && c <= '9';
    if (digitsOnly) {
        int v = 0;
        for (char c : t) v = v * 10 + (c - '0');
        return v >= 1 ? std::optional<int>(v) : std::nullopt;
    }
    if (t.size() != 4) return std::nullopt;
    int k = 0;
    for (char c : t) {
        const int v = placeValue(c);
        if (v < 0) return std::nullopt;
        k = k * kBase + v;
    }
    const int code = kLetterCodeBase + k;
    return letterPlaces(code) ? std::optional<int>(code) : std::nullopt;
}

std::optional<int> codeFromText(QStringView text)
{
    if (text.size() > 4) return std::nullopt;
    char b[4];
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        if (u > 0x7f) return std::nullopt;
        b[i] = char(u);
    }
    return codeFromText(std::string_view(b, size_t(text.size())));
}

std::optional<int> codeFromInput(const QString &text) { return codeFromText(QStringView(text.trimmed().toUpper())); }

QByteArray codeBytes(int code)
{
    if (const auto p = letterPlaces(code)) {
        QByteArray b(4, '0');
        for (int i = 0; i < 4; ++i) b[i] = placeChar((*p)[size_t(i)]);
        return b;
    }
    return QByteArray::number(code);
}

QString codeText(int code) { return QString::fromLatin1(codeBytes(code)); }

int codeOrderKey(int code)
{
    if (hasLetter(code)) return code - kLetterCodeBase;
    // A code of digits as its four places, zero-filled: 1301 -> 1,3,0,1 in base 29.
    int k = 0;
    for (int d = 1000; d >= 1; d /= 10) k = k * kBase + (code / d) % 10;
    return k;
}

} // namespace velor
