#pragma once
// Shift-JIS (Windows-31J) text, as every stored file of the program is written.
#include <QByteArray>
#include <QString>

namespace velor {

/// Decodes CP932 bytes. Invalid sequences become U+FFFD; nothing throws.
QString fromCp932(QByteArrayView bytes);
/// Encodes to CP932. Characters without a CP932 form become "?".
QByteArray toCp932(QStringView text);
/// Number of CP932 bytes the text takes (a full-width character counts 2).
int cp932Width(QStringView text);

} // namespace velor
