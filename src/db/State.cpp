#include "db/State.h"

#include "common/Utils.h"

namespace velor {

QString State::priceFilePath(const QString &dataDir, int code) { return dataDir + NumStr(int16_t(code)) + QStringLiteral(".csv"); }

QString State::nameOf(int code) const
{
    if (code < 1 || code > 9999) return QString(10, ' ');
    const int i = StockIndex[size_t(code)];
    if (i <= 0 || size_t(i) >= StockName.size()) return QString(10, ' ');
    return StockName[size_t(i)];
}

} // namespace velor
