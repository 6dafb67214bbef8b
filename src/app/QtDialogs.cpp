#include "app/QtDialogs.h"

#include "common/Quit.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QTreeView>
#include <QIdentityProxyModel>
#include <QLocale>
#include <QMessageBox>
#include <algorithm>

namespace velor {

namespace {

// What a box answers when the program is ending: never the answer that goes on with the work.
Answer refusal(Buttons buttons)
{
    switch (buttons) {
    case Buttons::Ok: return Answer::Ok;
    case Buttons::YesNo: return Answer::No;
    default: return Answer::Cancel;
    }
}

} // namespace

Answer QtDialogs::message(const QString &text, Icon icon, const QString &caption, Buttons buttons)
{
    if (quitRequested()) return refusal(buttons);
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
    // The buttons speak the program's language whatever translations the system has.
    const std::pair<QMessageBox::StandardButton, const char16_t *> captions[] = {
        {QMessageBox::Ok, u"OK"}, {QMessageBox::Cancel, u"キャンセル"}, {QMessageBox::Yes, u"はい"},
        {QMessageBox::No, u"いいえ"}};
    for (const auto &[b, text] : captions)
        if (QAbstractButton *button = box.button(b)) button->setText(QString::fromUtf16(text));
    const int answer = box.exec();
    // A quit request ends the box's loop with no button pressed.
    if (quitRequested()) return refusal(buttons);
    switch (answer) {
    case QMessageBox::Cancel: return Answer::Cancel;
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    default: return Answer::Ok;
    }
}

namespace {

// Type and date columns as the system would show them in Japanese; the names, sizes and the
// headers (which Qt's translation covers) pass through.
class JapaneseFileColumns final : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;
    QVariant data(const QModelIndex &index, int role) const override
    {
        const auto *files = qobject_cast<const QFileSystemModel *>(sourceModel());
        if (role != Qt::DisplayRole || !files || (index.column() != 2 && index.column() != 3))
            return QIdentityProxyModel::data(index, role);
        const QFileInfo info = files->fileInfo(mapToSource(index));
        if (index.column() == 3)
            return QLocale(QLocale::Japanese, QLocale::Japan).toString(info.lastModified(), QStringLiteral("yyyy/MM/dd H:mm"));
        if (info.isDir()) return QStringLiteral("フォルダー");
        const QString suffix = info.suffix();
        return suffix.isEmpty() ? QStringLiteral("ファイル") : suffix.toUpper() + QStringLiteral(" ファイル");
    }
};

// A file dialog with Japanese captions (the system's own dialog, where there is one, is already
// in the user's language).
QString runFileDialog(QWidget *parent, const QString &title, const QString &start, const QString &filter, bool save)
{
    QFileDialog d(parent, title, start, filter);
    d.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    d.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    // Replacing a file is asked by the caller, in the same words on every front end.
    if (save) d.setOption(QFileDialog::DontConfirmOverwrite);
    d.setLabelText(QFileDialog::Accept, save ? QStringLiteral("保存") : QStringLiteral("開く"));
    d.setLabelText(QFileDialog::Reject, QStringLiteral("キャンセル"));
    d.setLabelText(QFileDialog::FileName, QStringLiteral("ファイル名:"));
    d.setLabelText(QFileDialog::FileType, QStringLiteral("ファイルの種類:"));
    d.setLabelText(QFileDialog::LookIn, QStringLiteral("場所:"));
    // Qt's own dialog (where no native one is used) takes file types and dates from the
    // system's language.
    d.setProxyModel(japaneseFileColumns(&d));
    // Wide enough for "CSV ファイル" and "2026/12/07 18:05", which the default widths cut short,
    // and the dialog wide enough to show them beside the names.
    d.resize(std::max(d.width(), 800), d.height());
    for (auto *view : d.findChildren<QTreeView *>()) {
        const QFontMetrics fm(view->font());
        QHeaderView *header = view->header();
        header->resizeSection(2, std::max(header->sectionSize(2), fm.horizontalAdvance(QStringLiteral("XLSX ファイル")) + 16));
        header->resizeSection(3, std::max(header->sectionSize(3), fm.horizontalAdvance(QStringLiteral("2026/12/07 18:05")) + 16));
    }
    if (quitRequested()) return {};
    if (d.exec() != QDialog::Accepted || quitRequested() || d.selectedFiles().isEmpty()) return {};
    return d.selectedFiles().constFirst();
}

} // namespace

QAbstractProxyModel *japaneseFileColumns(QObject *parent) { return new JapaneseFileColumns(parent); }

QString QtDialogs::openFile(const QString &title, const QString &startDir, const QString &filter)
{
    return runFileDialog(m_parent, title, startDir, filter, false);
}

QString QtDialogs::saveFile(const QString &title, const QString &startPath, const QString &filter)
{
    return runFileDialog(m_parent, title, startPath, filter, true);
}

} // namespace velor
