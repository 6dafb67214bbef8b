#include "common/Cp932.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <algorithm>

namespace velor {

namespace {

// Opening a converter looks its name up in the codec tables, which cost more than converting a
// stock name; each thread keeps one of each instead (they are not safe to share).
QStringDecoder &decoder()
{
    thread_local QStringDecoder dec = [] {
        QStringDecoder d("CP932");
        return d.isValid() ? std::move(d) : QStringDecoder("Shift_JIS");
    }();
    dec.resetState();
    return dec;
}

QStringEncoder &encoder()
{
    thread_local QStringEncoder enc = [] {
        QStringEncoder e("CP932", QStringEncoder::Flag::ConvertInvalidToNull);
        return e.isValid() ? std::move(e) : QStringEncoder("Shift_JIS", QStringEncoder::Flag::ConvertInvalidToNull);
    }();
    enc.resetState();
    return enc;
}

// Whether the converters map every byte below 0x80 to the same character, so that such text can
// skip them (the codec tables decide this, not an assumption about the yen sign).
bool asciiIsLatin1()
{
    static const bool same = [] {
        QByteArray all(0x80, '\0');
        for (int i = 0; i < 0x80; ++i) all[i] = char(i);
        const QString text = QString::fromLatin1(all);
        return decoder().decode(all) == text && encoder().encode(text) == all;
    }();
    return same;
}

bool isAscii(QByteArrayView bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool isAscii(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}

} // namespace

QString fromCp932(QByteArrayView bytes)
{
    if (isAscii(bytes) && asciiIsLatin1()) return QString::fromLatin1(bytes);
    return decoder().decode(bytes);
}

QByteArray toCp932(QStringView text)
{
    QByteArray out = isAscii(text) && asciiIsLatin1() ? text.toLatin1() : QByteArray(encoder().encode(text));
    out.replace('\0', '?');
    return out;
}

int cp932Width(QStringView text) { return int(toCp932(text).size()); }

} // namespace velor
