#include "import/StockNames.h"

#include "common/Cp932.h"
#include "common/StockCode.h"
#include "common/TextFile.h"
#include "db/Services.h"
#include "db/Settings.h"
#include "db/State.h"
#include "db/StockMaster.h"
#include "import/MasterChanges.h"

#include <algorithm>
#include <unordered_map>

namespace velor {

namespace {

const QString CRLF = QStringLiteral("\r\n");

bool isUnnamed(const QString &heldName) { return heldName.trimmed() == newListingName().trimmed(); }

QString listRefused(const QString &address, const QString &why)
{
    return QStringLiteral("銘柄名の一覧 ") + address + QStringLiteral(" ") + why + QStringLiteral("銘柄名は変えていません。");
}

} // namespace

std::expected<std::vector<NameListEntry>, QString> parseNameList(const QByteArray &bytes)
{
    std::vector<NameListEntry> out;
    const QList<QByteArray> lines = splitLines(withoutByteOrderMark(bytes));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = fromCp932(lines[i]);
        if (line.trimmed().isEmpty()) continue;
        const QStringList f = splitSettingsFields(line);
        const QString first = f.value(0).trimmed();
        if (out.empty() && (first.compare(QStringLiteral("code"), Qt::CaseInsensitive) == 0 || first == QStringLiteral("コード")))
            continue;
        const auto code = codeFromText(first);
        bool sectionOk = true;
        const int section = f.size() == 3 ? f[2].trimmed().toInt(&sectionOk) : 0;
        if (f.size() < 2 || f.size() > 3 || !code || *code < 1301 || f[1].trimmed().isEmpty() || !sectionOk ||
            section < 0 || section > 32767)
            return std::unexpected(QStringLiteral("の %1 行目が「コード,銘柄名[,部]」の形ではありません。").arg(i + 1));
        out.push_back({*code, f[1].trimmed(), int16_t(section)});
    }
    if (out.empty()) return std::unexpected(QStringLiteral("に銘柄がひとつもありません。"));
    return out;
}

std::expected<NamingResult, QString> applyNames(State &st, const std::unordered_map<int, NameListEntry> &names,
                                                bool renameChanged)
{
    // The master as stored, rewritten as the import rewrites it.
    auto bytes = readBytes(st.MasterPath, 14 * 40000);
    if (!bytes) return std::unexpected(bytes.error());
    auto image = parseMaster(*bytes, st.MasterPath);
    if (!image) return std::unexpected(image.error());
    NamingResult r;
    for (MasterEntry &e : image->entries) {
        const auto it = names.find(e.code);
        const bool unnamed = e.code >= 1301 && isUnnamed(e.name);
        if (it == names.end()) {
            if (unnamed) ++r.left;
            continue;
        }
        // Compared as stored: a name longer than the field is the same name when its field is.
        const bool differs = nameField(e.name) != nameField(it->second.name);
        if (!unnamed && !(renameChanged && differs)) continue;
        if (!differs && (it->second.section <= 0 || it->second.section == e.section)) continue;
        e.name = it->second.name;
        if (it->second.section > 0) e.section = it->second.section;
        ++(unnamed ? r.named : r.renamed);
    }
    if (r.named + r.renamed > 0) {
        if (auto w = writeMaster(st.MasterPath, image->header, image->entries); !w) return std::unexpected(w.error());
        if (auto m = MEIGARAIN(st); !m) return std::unexpected(m.error());
    }
    return r;
}

int unnamedStocks(const State &st)
{
    int n = 0;
    for (int i = 1; i <= st.StockCount; ++i)
        if (st.StockCode[size_t(i)] >= 1301 && isUnnamed(st.StockName[size_t(i)])) ++n;
    return n;
}

bool nameNewStocks(State &st, Services &sv, int timeoutMs)
{
    const int unnamed = unnamedStocks(st);
    if (unnamed == 0) return true;
    const QString address = st.sites.NameListUrl;
    if (address.isEmpty()) {
        sv.shell.prependMessage(QStringLiteral("銘柄名のない銘柄（新規銘柄）が %1 銘柄あります。sites.ini の NameListUrl に"
                                               "銘柄名の一覧を指定すると、ダウンロードで名前が付きます。")
                                    .arg(unnamed) +
                                CRLF);
        return true;
    }
    auto page = sv.net.fetch(address, FetchLimits{timeoutMs, qint64(8) << 20});
    if (!page) {
        sv.shell.notice(listRefused(address, QStringLiteral("を取得できませんでした（") + page.error().reason + QStringLiteral("）。")));
        return true;
    }
    auto list = parseNameList(*page);
    if (!list) {
        sv.shell.notice(listRefused(address, list.error()));
        return true;
    }
    std::unordered_map<int, NameListEntry> byCode;
    for (const NameListEntry &e : *list) byCode[e.code] = e;
    auto done = applyNames(st, byCode, false);
    if (!done) return sv.dialogs.message(done.error(), Icon::Error), false;
    if (done->named > 0) sv.shell.loadWorkSet(-st.WorkKind);
    const int named = done->named, left = done->left;
    QString text = QStringLiteral("新規銘柄に銘柄名を付けました： %1 銘柄").arg(named);
    if (left > 0) text += QStringLiteral("（一覧にない %1 銘柄は新規銘柄のままです）").arg(left);
    sv.shell.prependMessage(text + CRLF);
    return true;
}

} // namespace velor
