#include "app/QtDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace velor {

Answer QtDialogs::message(const QString &text, Icon icon, const QString &caption, Buttons buttons)
{
    QMessageBox box(m_parent);
    box.setText(text);
    box.setWindowTitle(caption.isEmpty() ? QStringLiteral("VELOR") : caption);
    switch (icon) {
    case Icon::None: box.setIcon(QMessageBox::NoIcon); break;
    case Icon::Information: box.setIcon(QMessageBox::Information); break;
    case Icon::Question: box.setIcon(QMessageBox::Question); break;
    case Icon::Warning: box.setIcon(QMessageBox::Warning); break;
    case Icon::Error: box.setIcon(QMessageBox::Critical); break;
    }
    switch (buttons) {
    case Buttons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
    case Buttons::OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case Buttons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    case Buttons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Cancel: return Answer::Cancel;
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    default: return Answer::Ok;
    }
}

QString QtDialogs::openFile(const QString &title, const QString &startDir, const QString &filter)
{
    return QFileDialog::getOpenFileName(m_parent, title, startDir, filter);
}

QString QtDialogs::saveFile(const QString &title, const QString &startPath, const QString &filter)
{
    return QFileDialog::getSaveFileName(m_parent, title, startPath, filter);
}

} // namespace velor
