#include "import/MasterChanges.h"

#include "common/Utils.h"

#include <QtEndian>
#include <algorithm>

namespace velor {

namespace {
int16_t word(const QByteArray &b, qsizetype at) { return qFromLittleEndian<int16_t>(b.constData() + at); }
} // namespace

QString newListingName() { return QStringLiteral("新規銘柄　"); }

std::expected<MasterImage, QString> parseMaster(const QByteArray &b, const QString &path)
{
    if (b.size() < 14) return std::unexpected(masterErrorText(path));
    MasterImage m;
    const int count = word(b, 0);
    if (count < 0 || b.size() < qsizetype(14) * (count + 1)) return std::unexpected(masterErrorText(path));
    m.header.StockCount = int16_t(count);
    m.header.CapDaily = word(b, 2);
    m.header.CapWeekly = word(b, 4);
    m.header.CapMonthly = word(b, 6);
    m.header.reserved = b.mid(8, 6);
    m.entries.reserve(size_t(count));
    for (int i = 1; i <= count; ++i) {
        const qsizetype at = qsizetype(14) * i;
        const int16_t code = word(b, at);
        if (code < 1 || code > 9999) return std::unexpected(masterErrorText(path));
        m.entries.push_back({code, heldName(b.mid(at + 2, 10)), word(b, at + 12)});
    }
    return m;
}

MasterChanges masterChanges(const MasterImage &before, const DailyFile &day)
{
    MasterChanges out;
    out.entries = before.entries;
    out.isNew.assign(day.lines.size(), false);
    const QString D = LngStr(day.D);
    for (size_t j = 0; j < day.lines.size(); ++j) {
        const DailyLine &l = day.lines[j];
        auto it = std::lower_bound(out.entries.begin(), out.entries.end(), l.code,
                                   [](const MasterEntry &e, int code) { return e.code < code; });
        if (it != out.entries.end() && it->code == l.code) {
            if (it->section == l.section) continue;
            const QString text = QStringLiteral("銘柄： ") + NumStr(l.code) + QStringLiteral(", ") + it->name +
                                 QStringLiteral(" の部の変更。　") + NumStr(it->section) + QStringLiteral(" → ") +
                                 NumStr(l.section);
            out.logLines << D + QStringLiteral("：　") + text;
            out.messageLines << text + QStringLiteral("\r\n");
            it->section = l.section;
        } else {
            QString name = newListingName();
            out.entries.insert(it, MasterEntry{l.code, name + QStringLiteral("     "), l.section});
            const QString text = QStringLiteral("新規銘柄： ") + NumStr(l.code) + QStringLiteral(", ") + name +
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
