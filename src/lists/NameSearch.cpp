#include "lists/NameSearch.h"

#include "common/Utils.h"

namespace velor {

QStringList searchNames(const State &st, const QString &keyword)
{
    if (keyword.isEmpty()) return {};
    QStringList out;
    for (int i = 1; i <= st.StockCount; ++i) {
        const QString &name = st.StockName[size_t(i)];
        if (!name.contains(keyword, Qt::CaseSensitive)) continue;
        out << codeText(st.StockCode[size_t(i)]) + QStringLiteral("  ") + name + QStringLiteral(" (") +
                   NumStr(st.StockSection[size_t(i)]) + QStringLiteral(")");
    }
    out << QStringLiteral("=== 検索の終了 ===");
    return out;
}

} // namespace velor
