#include "app/AuxWiring.h"

#include "app/MainWindow.h"
#include "auxiliary/AboutWindow.h"
#include "auxiliary/Links.h"
#include "common/WindowPlace.h"

#include <QPointer>

namespace velor {

namespace {

// One about box at a time, placed 800 twips right of and below the main window's corner.
void showAbout(MainWindow &w, QPointer<AboutWindow> &about)
{
    if (!about) {
        about = new AboutWindow(w.state(), w.services(), &w);
        about->setAttribute(Qt::WA_DeleteOnClose);
        const QPoint wanted = w.frameGeometry().topLeft() + QPoint(w.px(800), w.px(800));
        const QSize frame = expectedFrame(about->size(), w.frameGeometry(), w.geometry());
        about->move(keptInside(wanted, frame, availableAreaAt(w.frameGeometry().center())).topLeft());
    }
    about->show();
    about->raise();
}

} // namespace

void wireAuxiliary(MainWindow &w)
{
    auto about = std::make_shared<QPointer<AboutWindow>>();
    w.on(QStringLiteral("VERS"), [&w, about](int) { showAbout(w, *about); });
    w.on(QStringLiteral("HHLP"), [&w](int) { HHLP_Click(w.state(), w.services()); });
    w.on(QStringLiteral("F800"), [&w](int i) { F800_Click(w.state(), w.services(), i); });
    w.on(QStringLiteral("F805"), [&w](int i) { F805_Click(w.state(), w.services(), i); });
    w.on(QStringLiteral("F806"), [&w](int i) { F806_Click(w.state(), w.services(), i); });
    w.on(QStringLiteral("F888"), [&w](int) { F888_Click(w.state(), w.services()); });
    w.on(QStringLiteral("F00554"), [&w](int) { F00554_Click(w.state(), w.services()); });
}

} // namespace velor
