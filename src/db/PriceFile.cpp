#include "db/PriceFile.h"

#include "common/NumText.h"
#include "common/TextFile.h"

#include <charconv>

namespace velor {

namespace {

const char *skipBlanks(const char *p, const char *end)
{
    while (p < end && (*p == ' ' || *p == '\t')) ++p;
    return p;
}

// Reads one number field ending at a comma or the end; advances past the comma.
template <typename T> bool field(const char *&p, const char *end, T &out, bool last)
{
    p = skipBlanks(p, end);
    if (p < end && *p == '+') ++p;
    auto res = std::from_chars(p, end, out);
    if (res.ec != std::errc()) return false;
    p = skipBlanks(res.ptr, end);
    if (last) return p == end;
    if (p >= end || *p != ',') return false;
    ++p;
    return true;
}

} // namespace

std::optional<Bar> parseBarLine(const char *begin, const char *end)
{
    if (end > begin && end[-1] == '\r') --end;
    Bar b;
    const char *p = begin;
    if (!field(p, end, b.date, false) || !field(p, end, b.open, false) || !field(p, end, b.high, false) ||
        !field(p, end, b.low, false) || !field(p, end, b.close, false) || !field(p, end, b.volume, true))
        return std::nullopt;
    return b;
}

std::optional<std::array<int, 3>> parseHeaderLine(const char *begin, const char *end)
{
    if (end > begin && end[-1] == '\r') --end;
    std::array<int, 3> c{};
    const char *p = begin;
    if (!field(p, end, c[0], false) || !field(p, end, c[1], false) || !field(p, end, c[2], true)) return std::nullopt;
    if (c[0] < 0 || c[1] < 0 || c[2] < 0) return std::nullopt;
    return c;
}

QByteArray formatBarLine(const Bar &b)
{
    QByteArray s = QByteArray::number(b.date);
    for (float v : {b.open, b.high, b.low, b.close}) s.append(',').append(singleBytes(v));
    s.append(',').append(doubleBytes(b.volume));
    return s;
}

QByteArray formatPriceFile(const PriceSections &sections)
{
    QByteArray out;
    out.reserve(32 * 3 * kSectionLines);
    out += QByteArray::number(qsizetype(sections[0].size())) + ',' + QByteArray::number(qsizetype(sections[1].size())) +
           ',' + QByteArray::number(qsizetype(sections[2].size())) + "\r\n";
    for (const auto &sec : sections) {
        for (const auto &b : sec) out += formatBarLine(b) + "\r\n";
        for (size_t i = sec.size(); i < size_t(kSectionLines); ++i) out += "0,0,0,0,0,0\r\n";
    }
    return out;
}

std::expected<PriceSections, QString> readPriceFile(const QString &path)
{
    auto bytes = readBytes(path, 64 << 20);
    if (!bytes) return std::unexpected(bytes.error());
    const QList<QByteArray> lines = splitLines(*bytes);
    auto bad = [&](int lineNo) {
        return std::unexpected(QStringLiteral("ファイル：　") + path + QStringLiteral(" の ") + QString::number(lineNo) +
                               QStringLiteral(" 行目が正しくありません。"));
    };
    if (lines.isEmpty()) return bad(1);
    auto counts = parseHeaderLine(lines[0].constBegin(), lines[0].constEnd());
    if (!counts) return bad(1);
    PriceSections out;
    qsizetype at = 1;
    for (int s = 0; s < 3; ++s) {
        const int n = (*counts)[size_t(s)];
        for (int k = 0; k < n; ++k) {
            if (at + k >= lines.size()) return bad(int(at + k + 1));
            auto b = parseBarLine(lines[at + k].constBegin(), lines[at + k].constEnd());
            if (!b) return bad(int(at + k + 1));
            out[size_t(s)].push_back(*b);
        }
        at += std::max(n, kSectionLines);
    }
    return out;
}

std::expected<void, QString> writePriceFile(const QString &path, const PriceSections &sections)
{
    return saveBytes(path, formatPriceFile(sections));
}

} // namespace velor
