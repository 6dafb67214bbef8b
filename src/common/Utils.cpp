#include "common/Utils.h"

#include "common/Launcher.h"
#include "common/Sound.h"

#include <QDir>
#include <QFileInfo>
#include <cmath>

namespace velor {

double getNum(QStringView text, int n)
{
    const int limit = int(std::min<qsizetype>({qsizetype(40), qsizetype(std::max(n, 0)), text.size()}));
    QString kept;
    for (int i = 0; i < limit; ++i) {
        const QChar c = text[i];
        if ((c >= '0' && c <= '9') || c == '.' || c == '-') kept += c;
    }
    // Take the longest leading part that still reads as a number ("12.3.4" -> 12.3, "1-2" -> 1).
    int end = 0;
    int i = 0;
    if (i < kept.size() && kept[i] == '-') ++i;
    bool digits = false, dot = false;
    for (; i < kept.size(); ++i) {
        const QChar c = kept[i];
        if (c.isDigit()) { digits = true; end = i + 1; }
        else if (c == '.' && !dot) { dot = true; if (digits) end = i + 1; }
        else break;
    }
    if (!digits) {
        // ".5" still reads as a number.
        bool ok = false;
        const double v = kept.left(i).toDouble(&ok);
        return ok ? v : 0.0;
    }
    bool ok = false;
    const double v = kept.left(end).toDouble(&ok);
    return ok && std::isfinite(v) ? v : 0.0;
}

QString NumStr(int16_t n) { return QString::number(n); }
QString LngStr(int32_t n) { return QString::number(n); }

QString FileNameOf(const QString &path)
{
    const int cut = int(std::max(path.lastIndexOf('\\'), path.lastIndexOf('/')));
    return cut < 0 ? path : path.mid(cut + 1);
}

bool FileExist(const QString &path) { return !path.isEmpty() && QFileInfo(path).isFile(); }
bool FolderExist(const QString &path) { return !path.isEmpty() && QFileInfo(path).isDir(); }
bool ChDirTo(const QString &path) { return QDir::setCurrent(path); }
int16_t Mmax(int16_t a, int16_t b) { return a > b ? a : b; }

bool OpenFolder(Launcher &launcher, const QString &path) { return launcher.openFolder(path); }

void PlayDone(Sound &sound, int flag, const QString &path)
{
    if (flag != 0 && FileExist(path)) sound.playWave(path);
}

QString withTrailingSeparator(const QString &folder)
{
    if (folder.endsWith('/') || folder.endsWith('\\')) return folder;
    return folder + '/';
}

QString pathIn(const QString &folder, const QString &name) { return withTrailingSeparator(folder) + name; }

} // namespace velor
