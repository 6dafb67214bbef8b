#include "import/DailyFile.h"

#include "common/NumText.h"

#include <QDate>
#include <charconv>
#include <cmath>
#include <unordered_set>

namespace velor {

namespace {

QByteArray trimmed(QByteArrayView f)
{
    qsizetype b = 0, e = f.size();
    while (b < e && (f[b] == ' ' || f[b] == '\t')) ++b;
    while (e > b && (f[e - 1] == ' ' || f[e - 1] == '\t')) --e;
    return f.sliced(b, e - b).toByteArray();
}

template <typename T> bool wholeNumber(const QByteArray &text, T &out)
{
    const char *b = text.constData(), *e = b + text.size();
    if (b < e && *b == '+') ++b;
    if (b == e) return false;
    const auto res = std::from_chars(b, e, out);
    if (res.ec != std::errc() || res.ptr != e) return false;
    if constexpr (std::is_floating_point_v<T>) return std::isfinite(out);
    return true;
}

// A price as it is stored: its shortest decimal form, without the blanks or sign it may have
// been written with (the digits it was given are kept, beyond single precision too).
QByteArray storedText(const QByteArray &text)
{
    double v = 0;
    return wholeNumber(trimmed(text), v) ? doubleText(v).toLatin1() : text;
}

bool isBlankLine(const QByteArray &l)
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

int32_t dateOfText(const QByteArray &text)
{
    if (text.size() < 10) return 0;
    auto digits = [&](int from, int count, int &out) {
        out = 0;
        for (int i = from; i < from + count; ++i) {
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
    QList<QByteArray> raw = bytes.split('\n');
    DailyFile out;
    std::unordered_set<int> seen;
    auto bad = [&](int lineNo, const QString &why) {
        return std::unexpected(DailyFileError{
            DailyFileError::BadLine, QStringLiteral("データファイル： ") + path + QStringLiteral(" の ") + QString::number(lineNo) +
                                         QStringLiteral(" 行目が正しくありません（") + why +
                                         QStringLiteral("）。読み込みを中止します。")});
    };
    for (qsizetype i = 0; i < raw.size(); ++i) {
        QByteArray &line = raw[i];
        if (line.endsWith('\r')) line.chop(1);
        if (isBlankLine(line)) continue;
        const int lineNo = int(i + 1);
        const QList<QByteArray> f = line.split(',');
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
        if (f.size() != 8) return bad(lineNo, QStringLiteral("項目の数が ") + QString::number(f.size()) + QStringLiteral(" です"));
        DailyLine dl;
        int code = 0, section = 0;
        if (!wholeNumber(trimmed(f[1]), code) || code < 1 || code > 9999)
            return bad(lineNo, QStringLiteral("銘柄コードが 1 から 9999 の数ではありません"));
        if (!seen.insert(code).second) return bad(lineNo, QStringLiteral("銘柄コードが重複しています"));
        if (!wholeNumber(trimmed(f[2]), section) || section < -32768 || section > 32767)
            return bad(lineNo, QStringLiteral("部が数ではありません"));
        dl.code = int16_t(code);
        dl.section = int16_t(section);
        dl.open = f[3], dl.high = f[4], dl.low = f[5], dl.close = f[6];
        if (!wholeNumber(trimmed(dl.open), dl.o) || !wholeNumber(trimmed(dl.high), dl.h) ||
            !wholeNumber(trimmed(dl.low), dl.l) || !wholeNumber(trimmed(dl.close), dl.c))
            return bad(lineNo, QStringLiteral("価格が数ではありません"));
        if (dl.o < 0 || dl.h < 0 || dl.l < 0 || dl.c < 0) return bad(lineNo, QStringLiteral("価格が負の数です"));
        for (QByteArray *t : {&dl.open, &dl.high, &dl.low, &dl.close}) *t = storedText(*t);
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
