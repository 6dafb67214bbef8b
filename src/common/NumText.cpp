#include "common/NumText.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>

namespace velor {

namespace {

// std::to_chars gives the shortest round-trip form; turn any exponent form into plain digits.
template <typename T> std::string shortest(T v)
{
    if (v == 0) return "0";
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general);
    std::string s(buf, res.ptr);
    const auto e = s.find('e');
    if (e == std::string::npos) return s;
    // Rebuild without exponent: digits of the mantissa, shifted.
    const int exp = std::stoi(s.substr(e + 1));
    std::string mant = s.substr(0, e);
    bool neg = false;
    if (mant[0] == '-') { neg = true; mant.erase(0, 1); }
    std::string digits;
    int pointPos = 0;
    const auto dot = mant.find('.');
    if (dot == std::string::npos) { digits = mant; pointPos = int(mant.size()); }
    else { digits = mant.substr(0, dot) + mant.substr(dot + 1); pointPos = int(dot); }
    pointPos += exp;
    std::string out;
    if (pointPos <= 0) out = "0." + std::string(size_t(-pointPos), '0') + digits;
    else if (pointPos >= int(digits.size())) out = digits + std::string(size_t(pointPos - int(digits.size())), '0');
    else out = digits.substr(0, size_t(pointPos)) + "." + digits.substr(size_t(pointPos));
    return neg ? "-" + out : out;
}

// How many significant digits a plain or exponent decimal text carries.
int significantDigits(const std::string &s)
{
    int n = 0;
    bool leading = true;
    for (char c : s) {
        if (c == 'e') break;
        if (c < '0' || c > '9') continue;
        if (leading && c == '0') continue;
        leading = false;
        ++n;
    }
    return n;
}

// A single-precision value as text has at most seven significant digits, however many the
// shortest round trip would need (7045.1694f prints as 7045.169).
std::string singleDigits(float v)
{
    std::string s = shortest(v);
    if (significantDigits(s) <= 7) return s;
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, double(v), std::chars_format::general, 7);
    return shortest(std::stod(std::string(buf, res.ptr)));
}

// |v| with exactly `frac` decimals, halves away from zero, rounded from the exact decimal digits
// of the double: scaling by a power of ten in double can move the last digit of a large value.
std::string roundedFixed(double mag, int frac)
{
    static thread_local char buf[1500];
    auto digits = [&](int precision) {
        auto res = std::to_chars(buf, buf + sizeof buf, mag, std::chars_format::fixed, precision);
        return std::string(buf, res.ptr);
    };
    constexpr int kGuard = 17;
    std::string s = digits(frac + 1 + kGuard);
    const std::string guard = s.substr(s.size() - kGuard);
    // The guard digits absorb to_chars' own rounding unless they are all 0 or all 9.
    if (guard.find_first_not_of('0') == std::string::npos || guard.find_first_not_of('9') == std::string::npos)
        s = digits(1074);   // every double's expansion ends within 1074 decimals: exact
    const size_t point = s.find('.');
    const char next = s[point + 1 + size_t(frac)];
    std::string out = s.substr(0, frac > 0 ? point + 1 + size_t(frac) : point);
    if (next >= '5') {
        int i = int(out.size()) - 1;
        for (; i >= 0; --i) {
            if (out[size_t(i)] == '.') continue;
            if (out[size_t(i)] == '9') { out[size_t(i)] = '0'; continue; }
            ++out[size_t(i)];
            break;
        }
        if (i < 0) out.insert(out.begin(), '1');
    }
    return out;
}

} // namespace

QString singleText(float v) { return QString::fromStdString(singleDigits(v)); }
QString doubleText(double v) { return QString::fromStdString(shortest(v)); }
QByteArray singleBytes(float v)
{
    const std::string s = singleDigits(v);
    return QByteArray(s.data(), qsizetype(s.size()));
}
QByteArray doubleBytes(double v)
{
    const std::string s = shortest(v);
    return QByteArray(s.data(), qsizetype(s.size()));
}

QString printForm(double v)
{
    // Seven significant digits, the way a single-precision value prints.
    QString body = QString::fromStdString(singleDigits(float(v)));
    if (body.startsWith("0.")) body.remove(0, 1);
    else if (body.startsWith("-0.")) body.remove(1, 1);
    return (v >= 0 ? QStringLiteral(" ") : QString()) + body + QStringLiteral(" ");
}

QString printForm(long long v)
{
    return (v >= 0 ? QStringLiteral(" ") : QString()) + QString::number(v) + QStringLiteral(" ");
}

QString formatPattern(double v, const QString &pattern)
{
    // Split the pattern into its number part and a trailing literal.
    int end = 0;
    while (end < pattern.size() && QStringLiteral("#0.,").contains(pattern[end])) ++end;
    const QString num = pattern.left(end);
    const QString tail = pattern.mid(end);
    const int dot = num.indexOf('.');
    const QString intPart = dot < 0 ? num : num.left(dot);
    const QString fracPart = dot < 0 ? QString() : num.mid(dot + 1);
    const bool group = intPart.contains(',');
    const int minInt = int(intPart.count('0'));
    const int maxFrac = int(fracPart.size());
    const int minFrac = int(fracPart.count('0'));

    const bool neg = v < 0;
    // Halves round away from zero, as the classic formatter does.
    const double mag = std::fabs(v);
    std::string s = std::isfinite(mag) ? roundedFixed(mag, maxFrac) : std::string("0");
    std::string ip = s, fp;
    if (const auto p = s.find('.'); p != std::string::npos) { ip = s.substr(0, p); fp = s.substr(p + 1); }
    while (int(fp.size()) > minFrac && !fp.empty() && fp.back() == '0') fp.pop_back();
    // Leading zeros of the integer part only where "0" asks for them.
    while (!ip.empty() && ip[0] == '0') ip.erase(0, 1);
    while (int(ip.size()) < minInt) ip.insert(ip.begin(), '0');
    if (group) {
        for (int i = int(ip.size()) - 3; i > 0; i -= 3) ip.insert(size_t(i), ",");
    }
    QString out = QString::fromStdString(ip);
    if (dot >= 0) out += '.' + QString::fromStdString(fp);
    const bool zero = (ip.find_first_not_of("0,") == std::string::npos) && (fp.find_first_not_of('0') == std::string::npos);
    if (neg && !zero) out.prepend('-');
    return out + tail;
}

} // namespace velor
