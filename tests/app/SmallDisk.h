#pragma once
// A small tmpfs put over a test's folder, to run the program on a full or read-only disk.
#include "common/Utils.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <algorithm>

#ifdef __linux__
#include <sys/mount.h>
#endif

namespace velor::test {

/// Every file below a folder, by path relative to it.
inline QMap<QString, QByteArray> filesBelow(const QString &folder)
{
    QMap<QString, QByteArray> m;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString p = it.next();
        m[QDir(folder).relativeFilePath(p)] = readFile(p);
    }
    return m;
}

/// Puts a small tmpfs over a folder (keeping its files) and fills it so that only `freeBytes`
/// stay free. `mounted` is false where mounting is not allowed.
class SmallDisk {
public:
    SmallDisk(const QString &folder, qint64 freeBytes) : m_folder(folder)
    {
#ifdef __linux__
        const auto files = filesBelow(folder);
        QStringList dirs;
        for (QDirIterator it(folder, QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories); it.hasNext();)
            dirs << QDir(folder).relativeFilePath(it.next());
        if (::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, "size=2m") != 0) return;
        mounted = true;
        for (const QString &d : dirs) QDir(folder).mkpath(d);
        for (auto it = files.begin(); it != files.end(); ++it) writeFile(pathIn(folder, it.key()), it.value());
        QFile filler(pathIn(folder, QStringLiteral("filler")));
        if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return;
        const QByteArray page(4096, 'x');
        while (filler.write(page) == page.size()) {
        }
        filler.resize(std::max<qint64>(filler.size() - freeBytes, 0));
#else
        (void)freeBytes;
#endif
    }
    ~SmallDisk()
    {
#ifdef __linux__
        if (mounted) ::umount2(QFile::encodeName(m_folder).constData(), MNT_DETACH);
#endif
    }
    /// Makes the file system read-only; false where that is not possible.
    bool makeReadOnly()
    {
#ifdef __linux__
        return mounted && ::mount("tmpfs", QFile::encodeName(m_folder).constData(), "tmpfs", MS_REMOUNT | MS_RDONLY,
                                  "size=2m") == 0;
#else
        return false;
#endif
    }
    bool mounted = false;

private:
    QString m_folder;
};

} // namespace velor::test
