#include "common/Cp932.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace velor {

QString fromCp932(QByteArrayView bytes)
{
    QStringDecoder dec("CP932");
    if (!dec.isValid()) dec = QStringDecoder("Shift_JIS");
    return dec.decode(bytes);
}

QByteArray toCp932(QStringView text)
{
    QStringEncoder enc("CP932", QStringEncoder::Flag::ConvertInvalidToNull);
    if (!enc.isValid()) enc = QStringEncoder("Shift_JIS");
    QByteArray out = enc.encode(text);
    out.replace('\0', '?');
    return out;
}

int cp932Width(QStringView text) { return int(toCp932(text).size()); }

} // namespace velor
