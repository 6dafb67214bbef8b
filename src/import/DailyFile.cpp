#include "import/DailyFile.h"

#include "common/NumText.h"
#include "common/StockCode.h"

#include <QDate>
#include <charconv>
#include <cmath>
#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

namespace velor {

namespace {

std::string_view trimmed(std::string_view f)
{
    size_t b = 0, e = f.size();
    while (b < e && (f[b] == ' ' || f[b] == '\t')) ++b;
    while (e > b && (f[e - 1] == ' ' || f[e - 1] == '\t')) --e;
    return f.substr(b, e - b);
}

template <typename T> bool wholeNumber(std::string_view text, T &out)
{
    const char *b = text.data(), *e = b + text.size();
    if (b < e && *b == '+') ++b;
    if (b == e) return false;
    const auto res = std::from_chars(b, e, out);
    if (res.ec != std::errc() || res.ptr != e) return false;
    if constexpr (std::is_floating_point_v<T>) return std::isfinite(out);
    return true;
}

// Whether a decimal text is already the shortest form of its value: plain digits with at most
// one point, no sign, no leading zero, no trailing zero after the point, and at most 15
// significant digits (so no other decimal of as few digits reads back to the same double).
bool isPlainShortest(std::string_view t)
{
    if (t.empty() || t.front() == '.' || t.back() == '.') return false;
    bool point = false, significant = false;
    int digits = 0;
    for (const char c : t) {
        if (c == '.') {
            if (point) return false;
            point = true;
            continue;
        }
        if (unsigned(c - '0') > 9) return false;
        significant = significant || c != '0';
        digits += significant ? 1 : 0;
    }
    if (t[0] == '0' && t.size() > 1 && t[1] != '.') return false;
    if (point && t.back() == '0') return false;
    return digits <= 15;
}

// A price as it is stored: its shortest decimal form, without the blanks or sign it may have
// been written with (the digits it was given are kept, beyond single precision too).
QByteArray storedText(std::string_view raw)
{
    const std::string_view t = trimmed(raw);
    double v = 0;
    if (!wholeNumber(t, v)) return QByteArray(raw.data(), qsizetype(raw.size()));
    if (isPlainShortest(t)) return QByteArray(t.data(), qsizetype(t.size()));
    return doubleBytes(v);
}

bool isBlankLine(std::string_view l)
{
    for (char ch : l)
        if (ch != ' ' && ch != '\t' && ch != '\x1a') return false;
    return true;
}

int monthLength(int year, int month)
{
    static const int len[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month == 2 && year % 4 == 0) return 29;
    return len[month - 1];
}

} // namespace

int32_t WeekStart(int32_t D)
{
    const int y = D / 10000, m = D / 100 % 100, d = D % 100;
    const int weekday = QDate(y, m, d).dayOfWeek() % 7 + 1;   // 1 = Sunday .. 7 = Saturday
    int day = d - (weekday - 2);
    if (day >= 1) return y * 10000 + m * 100 + day;
    const int pm = m == 1 ? 12 : m - 1;
    const int py = m == 1 ? y - 1 : y;
    day += monthLength(py, pm);
    return py * 10000 + pm * 100 + day;
}

int32_t dateOfText(std::string_view text)
{
    if (text.size() < 10) return 0;
    auto digits = [&](size_t from, size_t count, int &out) {
        out = 0;
        for (size_t i = from; i < from + count; ++i) {
            if (text[i] < '0' || text[i] > '9') return false;
            out = out * 10 + (text[i] - '0');
        }
        return true;
    };
    int y = 0, m = 0, d = 0;
    if (!digits(0, 4, y) || !digits(5, 2, m) || !digits(8, 2, d)) return 0;
    if (!QDate(y, m, d).isValid()) return 0;
    return y * 10000 + m * 100 + d;
}

std::expected<DailyFile, DailyFileError> parseDailyFile(const QByteArray &bytes, const QString &path, int32_t today)
{
    DailyFile out;
    std::vector<bool> seen(size_t(kCodeSpace), false);
    auto bad = [&](int lineNo, const QString &why) {
        return std::unexpected(DailyFileError{
            DailyFileError::BadLine, QStringLiteral("データファイル： ") + path + QStringLiteral(" の ") + QString::number(lineNo) +
                                         QStringLiteral(" 行目が正しくありません（") + why +
                                         QStringLiteral("）。読み込みを中止します。")});
    };
    // Lines and fields are taken as views of the file's bytes; only the prices kept are copied.
    const char *p = bytes.constData(), *end = p + bytes.size();
    // A file saved by an editor that marks UTF-8 starts with a byte-order mark: no part of the date.
    if (bytes.startsWith("\xEF\xBB\xBF")) p += 3;
    out.lines.reserve(size_t(std::count(p, end, '\n')) + 1);
    bool more = true;
    for (int lineNo = 1; more; ++lineNo) {
        const char *nl = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)));
        std::string_view line(p, size_t((nl ? nl : end) - p));
        more = nl != nullptr;
        if (more) p = nl + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (isBlankLine(line)) continue;
        std::array<std::string_view, 8> f;
        size_t count = 0;
        for (size_t from = 0;; ++count) {
            const size_t comma = line.find(',', from);
            if (count < f.size()) f[count] = line.substr(from, comma == std::string_view::npos ? std::string_view::npos : comma - from);
            if (comma == std::string_view::npos) break;
            from = comma + 1;
        }
        ++count;
        if (out.D == 0) {
            out.D = dateOfText(trimmed(f[0]));
            if (out.D == 0)
                return std::unexpected(DailyFileError{
                    DailyFileError::BadDate, QStringLiteral("データファイルの形式が正しくありません。読み込みを中止します。")});
            if (today > 0 && out.D > today)
                return bad(lineNo, QStringLiteral("日付 ") + QString::number(out.D) + QStringLiteral(" が今日 ") +
                                       QString::number(today) + QStringLiteral(" より後です"));
        } else if (dateOfText(trimmed(f[0])) != out.D) {
            return bad(lineNo, QStringLiteral("日付が最初の行の ") + QString::number(out.D) + QStringLiteral(" と違います"));
        }
        if (count != 8) return bad(lineNo, QStringLiteral("項目の数が ") + QString::number(count) + QStringLiteral(" です"));
        DailyLine dl;
        int code = 0, section = 0;
        if (!wholeNumber(trimmed(f[1]), code)) code = codeFromText(trimmed(f[1])).value_or(0);
        if (!isStockCode(code)) return bad(lineNo, QStringLiteral("銘柄コードが 1 から 9999 の数ではありません"));
        if (seen[size_t(code)]) return bad(lineNo, QStringLiteral("銘柄コードが重複しています"));
        seen[size_t(code)] = true;
        if (!wholeNumber(trimmed(f[2]), section) || section < -32768 || section > 32767)
            return bad(lineNo, QStringLiteral("部が数ではありません"));
        dl.code = code;
        dl.section = int16_t(section);
        if (!wholeNumber(trimmed(f[3]), dl.o) || !wholeNumber(trimmed(f[4]), dl.h) || !wholeNumber(trimmed(f[5]), dl.l) ||
            !wholeNumber(trimmed(f[6]), dl.c))
            return bad(lineNo, QStringLiteral("価格が数ではありません"));
        if (dl.o < 0 || dl.h < 0 || dl.l < 0 || dl.c < 0) return bad(lineNo, QStringLiteral("価格が負の数です"));
        dl.open = storedText(f[3]), dl.high = storedText(f[4]), dl.low = storedText(f[5]), dl.close = storedText(f[6]);
        if (!wholeNumber(trimmed(f[7]), dl.volume)) return bad(lineNo, QStringLiteral("出来高が数ではありません"));
        if (dl.volume < 0) return bad(lineNo, QStringLiteral("出来高が負の数です"));
        if (code == 1001 || code == 1002) dl.volume /= 1000000.0;
        out.lines.push_back(std::move(dl));
    }
    if (out.lines.empty() && out.D == 0)
        return std::unexpected(DailyFileError{DailyFileError::Empty, QStringLiteral("データファイル： ") + path +
                                                                        QStringLiteral(" は空です。読み込みを中止します。")});
    const int day = out.D % 100;
    out.WS = WeekStart(out.D);
    out.MS = out.D - day + 1;
    return out;
}

} // namespace velor
