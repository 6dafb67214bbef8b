// velor_manual SOURCE_DIR OUT.pdf: writes the user manual at build time.
// velor_manual --icon OUT.png: writes the program's icon for the desktop.
#include "auxiliary/About.h"
#include "auxiliary/ManualPdf.h"

#include <QGuiApplication>
#include <cstdio>

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc == 3 && QByteArray(argv[1]) == "--icon") {
        if (velor::velorIcon(256).save(QString::fromLocal8Bit(argv[2]), "PNG")) return 0;
        std::fprintf(stderr, "error: cannot write %s\n", argv[2]);
        return 1;
    }
    if (argc != 3) {
        std::fprintf(stderr, "usage: velor_manual SOURCE_DIR OUT.pdf\n");
        return 2;
    }
    const auto r = velor::writeManualPdf(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]));
    if (!r) {
        std::fprintf(stderr, "error: %s\n", r.error().toUtf8().constData());
        return 1;
    }
    return 0;
}
