#include "db/State.h"

#include "common/Utils.h"

namespace velor {

QString State::priceFilePath(const QString &dataDir, int code) { return dataDir + codeText(code) + QStringLiteral(".csv"); }

QString State::nameOf(int code) const
{
    const int i = entryOf(code);
    if (i <= 0 || size_t(i) >= StockName.size()) return QString(10, ' ');
    return StockName[size_t(i)];
}

} // namespace velor
