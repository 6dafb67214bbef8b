#include "lists/ListWidgetView.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>

namespace velor {

ListWidgetView::ListWidgetView(QListWidget *list, QLabel *label, QLineEdit *code, QAction *volumeButton)
    : m_list(list), m_label(label), m_code(code), m_volume(volumeButton)
{
}

void ListWidgetView::setLines(const QStringList &lines)
{
    m_list->clear();
    m_list->addItems(lines);
}

void ListWidgetView::setLabel(const QString &text)
{
    m_label->setText(text);
    m_label->repaint();
}

int ListWidgetView::currentRow() const { return m_list->currentRow(); }

void ListWidgetView::setCurrentRow(int row)
{
    m_list->setCurrentRow(row);
    if (QListWidgetItem *item = m_list->item(row)) m_list->scrollToItem(item);
}

int ListWidgetView::rowCount() const { return m_list->count(); }

QString ListWidgetView::rowText(int row) const
{
    const QListWidgetItem *item = m_list->item(row);
    return item ? item->text() : QString();
}

void ListWidgetView::setCodeText(const QString &text) { m_code->setText(text); }
QString ListWidgetView::codeText() const { return m_code->text(); }

void ListWidgetView::setVolumeCaption(const QString &text)
{
    if (m_volume) m_volume->setText(text);
}

} // namespace velor
