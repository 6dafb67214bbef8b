#include "lists/SearchWindow.h"

#include "lists/ListView.h"
#include "lists/NameSearch.h"

#include <QAction>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>

namespace velor {

SearchWindow::SearchWindow(const State &st, ShowCode show, AddCode add, QWidget *parent)
    : QWidget(parent, Qt::Window), m_st(st), m_show(std::move(show)), m_add(std::move(add))
{
    setObjectName(QStringLiteral("frmSearch"));
    setWindowTitle(QStringLiteral("銘柄名検索"));
    Label1 = new QLabel(QStringLiteral("キーワード"), this);
    Text1 = new QLineEdit(this);
    Command1 = new QPushButton(QStringLiteral("検索"), this);
    Command2 = new QPushButton(QStringLiteral("閉じる"), this);
    List1 = new QListWidget(this);
    const std::pair<QObject *, const char *> names[] = {
        {Label1, "Label1"}, {Text1, "Text1"}, {Command1, "Command1"}, {Command2, "Command2"}, {List1, "List1"}};
    for (const auto &[o, n] : names) o->setObjectName(QString::fromLatin1(n));
    auto *grid = new QGridLayout(this);
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(Text1, 0, 1);
    grid->addWidget(Command1, 0, 2);
    grid->addWidget(Command2, 0, 3);
    grid->addWidget(List1, 1, 0, 1, 4);
    resize(420, 360);

    PL241 = new QMenu(this);
    PL241->setObjectName(QStringLiteral("PL241"));
    const char16_t *captions[] = {u"登録銘柄（touroku.dat）に追加する", u"登録銘柄（touroku2.dat）に追加する",
                                  u"登録銘柄（touroku3.dat）に追加する"};
    for (int n = 1; n <= 3; ++n) {
        QAction *a = PL241->addAction(QString::fromUtf16(captions[n - 1]));
        a->setObjectName(QStringLiteral("F241A_%1").arg(n));
        connect(a, &QAction::triggered, this, [this, n] { addSelected(n); });
    }
    connect(Command1, &QPushButton::clicked, this, &SearchWindow::search);
    connect(Text1, &QLineEdit::returnPressed, this, &SearchWindow::search);
    connect(Command2, &QPushButton::clicked, this, &QWidget::close);
    List1->viewport()->installEventFilter(this);
}

void SearchWindow::search()
{
    const QStringList lines = searchNames(m_st, Text1->text());
    if (lines.isEmpty()) return;
    List1->clear();
    List1->addItems(lines);
}

int SearchWindow::codeOfRow(int row) const
{
    const QListWidgetItem *item = List1->item(row);
    if (!item) return 0;
    return codeOfLine(item->text());
}

void SearchWindow::clickRow(int row)
{
    if (const int code = codeOfRow(row); code != 0) m_show(code);
}

void SearchWindow::addSelected(int n)
{
    if (const int code = codeOfRow(List1->currentRow()); code != 0) m_add(n, code);
}

bool SearchWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != List1->viewport() || event->type() != QEvent::MouseButtonPress)
        return QWidget::eventFilter(watched, event);
    auto *me = static_cast<QMouseEvent *>(event);
    const int row = List1->indexAt(me->position().toPoint()).row();
    if (row >= 0) List1->setCurrentRow(row);
    if (me->button() == Qt::LeftButton) {
        clickRow(row);
        return false;
    }
    if (me->button() == Qt::RightButton) {
        PL241->popup(me->globalPosition().toPoint());
        return true;
    }
    return false;
}

} // namespace velor
