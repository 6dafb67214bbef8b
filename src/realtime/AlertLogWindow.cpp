#include "realtime/AlertLogWindow.h"

#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

namespace velor {

AlertLogWindow::AlertLogWindow(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("frmAlertLog"));
    setWindowTitle(QStringLiteral("今日のアラート"));
    lblDay = new QLabel(this);
    lblDay->setObjectName(QStringLiteral("lblDay"));
    List1 = new QListWidget(this);
    List1->setObjectName(QStringLiteral("List1"));
    auto *box = new QVBoxLayout(this);
    box->addWidget(lblDay);
    box->addWidget(List1, 1);
    resize(460, 260);
    connect(List1, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem *item) {
        if (item && onShowStock) onShowStock(item->data(Qt::UserRole).toInt());
    });
}

void AlertLogWindow::setRows(const QString &caption, const std::vector<std::pair<QString, int>> &rows)
{
    lblDay->setText(caption);
    List1->clear();
    for (const auto &[text, code] : rows) {
        auto *item = new QListWidgetItem(text, List1);
        item->setData(Qt::UserRole, code);
    }
}

} // namespace velor
