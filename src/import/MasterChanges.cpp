#include "import/MasterChanges.h"

#include "common/StockCode.h"
#include "common/Utils.h"

#include <algorithm>

namespace velor {

QString newListingName() { return QStringLiteral("新規銘柄　"); }

MasterChanges masterChanges(const MasterImage &before, const DailyFile &day)
{
    MasterChanges out;
    out.entries = before.entries;
    out.isNew.assign(day.lines.size(), false);
    const QString D = LngStr(day.D);
    for (size_t j = 0; j < day.lines.size(); ++j) {
        const DailyLine &l = day.lines[j];
        auto it = std::lower_bound(out.entries.begin(), out.entries.end(), l.code,
                                   [](const MasterEntry &e, int code) { return codeLess(e.code, code); });
        if (it != out.entries.end() && it->code == l.code) {
            if (it->section == l.section) continue;
            const QString text = QStringLiteral("銘柄： ") + codeText(l.code) + QStringLiteral(", ") + it->name +
                                 QStringLiteral(" の部の変更。　") + NumStr(it->section) + QStringLiteral(" → ") +
                                 NumStr(l.section);
            out.logLines << D + QStringLiteral("：　") + text;
            out.messageLines << text + QStringLiteral("\r\n");
            it->section = l.section;
        } else {
            QString name = newListingName();
            out.entries.insert(it, MasterEntry{l.code, name + QStringLiteral("     "), l.section});
            const QString text = QStringLiteral("新規銘柄： ") + codeText(l.code) + QStringLiteral(", ") + name +
                                 QStringLiteral("(") + NumStr(l.section) + QStringLiteral(") を追加。");
            out.logLines << D + QStringLiteral("：　") + text;
            out.messageLines << text + QStringLiteral("\r\n");
            out.isNew[j] = true;
        }
        out.changed = true;
    }
    return out;
}

} // namespace velor
