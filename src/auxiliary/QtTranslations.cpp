#include "auxiliary/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace velor {

bool installQtJapanese(QCoreApplication &app, const QString &extraDir)
{
    QStringList dirs = {QLibraryInfo::path(QLibraryInfo::TranslationsPath)};
    if (!extraDir.isEmpty()) dirs << extraDir;
    for (const QString &dir : dirs) {
        auto *t = new QTranslator(&app);
        if (t->load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"), QStringLiteral("_"), dir)) {
            QCoreApplication::installTranslator(t);
            return true;
        }
        delete t;
    }
    return false;
}

} // namespace velor
