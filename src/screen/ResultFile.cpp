#include "screen/ResultFile.h"

#include "common/Cp932.h"
#include "common/TextFile.h"
#include "common/Utils.h"
#include "db/Services.h"
#include "db/State.h"

#include <QDir>
#include <QFileInfo>

namespace velor {

QByteArray resultFileBytes(const QStringList &lines)
{
    QByteArray bytes;
    for (const QString &l : lines) bytes += toCp932(l) + "\r\n";
    return bytes;
}

std::expected<void, QString> saveResultFile(const QString &path, const QStringList &lines)
{
    return saveBytes(path, resultFileBytes(lines));
}

SaveOutcome cmdSAVE_Click(State &st, Services &sv, const QStringList &lines)
{
    const QString folder = pathIn(st.ProgramDir, QStringLiteral("VEDAT"));
    if (!ChDirTo(folder)) return SaveOutcome::Cancelled;
    const QString path = sv.dialogs.saveFile(QStringLiteral("検索結果／ランキングの保存"), folder,
                                             QStringLiteral("csvファイル (*.csv)"));
    if (path.isEmpty()) return SaveOutcome::Cancelled;
    const QFileInfo info(path);
    if (!info.dir().exists()) return SaveOutcome::Cancelled;   // the path must exist
    // A result file is the user's own data: replacing one is asked for, never assumed.
    if (info.exists() &&
        sv.dialogs.message(info.fileName() + QStringLiteral(" は既にあります。\r\n置き換えますか？"), Icon::Question,
                           QStringLiteral("検索結果／ランキングの保存"), Buttons::YesNo) != Answer::Yes)
        return SaveOutcome::Cancelled;
    if (auto r = saveResultFile(path, lines); !r) {
        sv.dialogs.message(r.error(), Icon::Error);
        return SaveOutcome::Failed;
    }
    return SaveOutcome::Saved;
}

} // namespace velor
