#include "app/Leftovers.h"

#include "common/BatchWriter.h"
#include "common/Utils.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

namespace velor {

namespace {

// QSaveFile's temporary: the target's name, a dot and six letters or digits.
QStringList removeMatching(const QString &folder, const QString &targets)
{
    static const QString suffix = QStringLiteral(")\\.[A-Za-z0-9]{6}$");
    const QRegularExpression re(QStringLiteral("^(") + targets + suffix, QRegularExpression::CaseInsensitiveOption);
    QStringList removed;
    const QDir dir(folder);
    if (!dir.exists()) return removed;
    for (const QString &n : dir.entryList(QDir::Files | QDir::Hidden)) {
        if (!re.match(n).hasMatch()) continue;
        if (QFile::remove(dir.filePath(n))) removed << dir.filePath(n);
    }
    return removed;
}

} // namespace

QStringList removeLeftoverTemporaries(const QString &programDir, const QString &dataDir)
{
    QStringList removed = removeMatching(programDir, QStringLiteral("touroku[23]?\\.dat"));
    removed += removeMatching(pathIn(programDir, QStringLiteral("FUNASHI")), QStringLiteral("Fmeigara\\.dat"));
    removed += removeMatching(dataDir, QStringLiteral("meigara\\.dat|VELOR\\.jnl|[0-9]{1,4}\\.csv"));
    BatchWriter::removeLeftovers(dataDir);
    return removed;
}

} // namespace velor
