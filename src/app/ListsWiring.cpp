#include "app/ListsWiring.h"

#include "app/MainWindow.h"
#include "lists/ListView.h"
#include "lists/ListWidgetView.h"
#include "lists/SearchWindow.h"
#include "lists/StockList.h"
#include "lists/StockPages.h"
#include "lists/WatchLists.h"
#include "lists/WorkingSet.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QTimer>

namespace velor {

namespace {

// Lives as a child of the main window: the list adapter, the context and the search window.
class ListsController final : public QObject {
public:
    explicit ListsController(MainWindow &w)
        : QObject(&w), m_w(w),
          m_view(w.List1, w.lblList, w.txtCODE, w.toolAction(QStringLiteral("showd"))),
          m_lists{w.state(), w.services(), m_view}
    {
        setObjectName(QStringLiteral("ListsController"));
        m_viewport = w.List1->viewport();
        m_viewport->installEventFilter(this);
        m_list = w.List1;
        m_list->installEventFilter(this);
    }

    Lists &lists() { return m_lists; }

    void showSearch()
    {
        if (!m_search) {
            m_search = new SearchWindow(
                m_lists.st, [this](int code) { showCode(code); },
                [this](int n, int code) { addToWatchList(m_lists, n, code); }, &m_w);
            m_search->setAttribute(Qt::WA_DeleteOnClose);
            const QRect g = m_w.frameGeometry();
            m_search->move(g.x() + g.width() + m_w.px(100), g.y() + m_w.px(2000));
        }
        m_search->show();
        m_search->raise();
    }

    void showCode(int code)
    {
        m_lists.st.CurCode = code;
        m_lists.sv.shell.redrawChart(1);
    }

    SearchWindow *searchWindow() const { return m_search; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // Compared by address and type first: the filter also sees the events sent while the
        // window is being taken down, when the window must not be touched.
        if (event->type() == QEvent::KeyPress && watched == m_list) return keyMove(static_cast<QKeyEvent *>(event));
        if (watched != m_viewport) return false;
        // The right button belongs to the popup alone: the list's own release handling would
        // select again the row of the last left press.
        if (event->type() == QEvent::MouseButtonRelease || event->type() == QEvent::MouseButtonDblClick)
            return static_cast<QMouseEvent *>(event)->button() == Qt::RightButton;
        if (event->type() != QEvent::MouseButtonPress) return false;
        auto *me = static_cast<QMouseEvent *>(event);
        if (me->button() == Qt::RightButton) {
            // The popup acts on the row under the pointer (この銘柄を削除する above all).
            const int row = m_w.List1->indexAt(me->position().toPoint()).row();
            if (row >= 0) m_w.List1->setCurrentRow(row);
            if (listPopupAllowed(m_lists.st)) m_w.listPopup()->popup(me->globalPosition().toPoint());
            return true;
        }
        if (me->button() != Qt::LeftButton) return false;
        const int row = m_w.List1->indexAt(me->position().toPoint()).row();
        if (row < 0) return false;
        m_w.List1->setCurrentRow(row);
        List1_LeftClick(m_lists, row);
        return false;
    }

private:
    // ↑/↓/PageUp/PageDown/Home/End show the stock they land on, as F11/F12 do. Other keys keep
    // their default, and when that moves the selection (typing a row's first characters), the
    // stock it lands on is shown too.
    bool keyMove(QKeyEvent *k)
    {
        const int count = m_w.List1->count();
        const int row = m_w.List1->currentRow();
        const int rowHeight = std::max(1, m_w.List1->sizeHintForRow(0));
        const int page = std::max(1, m_w.List1->viewport()->height() / rowHeight - 1);
        int to = -1;
        switch (k->key()) {
        case Qt::Key_Up: to = row < 0 ? -1 : std::max(0, row - 1); break;
        case Qt::Key_Down: to = std::min(count - 1, row + 1); break;
        case Qt::Key_PageUp: to = count > 0 ? std::max(0, row - page) : -1; break;
        case Qt::Key_PageDown: to = std::min(count - 1, std::max(row, 0) + page); break;
        case Qt::Key_Home: to = count > 0 ? 0 : -1; break;
        case Qt::Key_End: to = count - 1; break;
        default:
            QTimer::singleShot(0, this, [this, row] { showMovedSelection(row); });
            return false;
        }
        if (k->modifiers() != Qt::NoModifier && k->modifiers() != Qt::KeypadModifier) return false;
        if (to >= 0 && to != row) {
            m_w.List1->setCurrentRow(to);
            List1_LeftClick(m_lists, to);
        }
        return true;
    }

    // After a key the list handled itself: a selection that moved to another stock shows it.
    void showMovedSelection(int before)
    {
        const int now = m_w.List1->currentRow();
        if (now < 0 || now == before || now >= m_w.List1->count()) return;
        if (codeOfLine(m_w.List1->item(now)->text()) == m_lists.st.CurCode) return;   // the chart moved it
        List1_LeftClick(m_lists, now);
    }

    MainWindow &m_w;
    QObject *m_viewport = nullptr;
    QObject *m_list = nullptr;
    ListWidgetView m_view;
    Lists m_lists;
    QPointer<SearchWindow> m_search;
};

ListsController *controllerOf(MainWindow &w)
{
    return w.findChild<ListsController *>(QStringLiteral("ListsController"), Qt::FindDirectChildrenOnly);
}

} // namespace

void wireLists(MainWindow &w)
{
    auto *c = new ListsController(w);
    Lists &l = c->lists();
    w.on(QStringLiteral("PL222"), [&l](int i) { PL222_Click(l, i); });
    w.on(QStringLiteral("F005"), [&l](int i) { F005_Click(l, i); });
    w.on(QStringLiteral("F402"), [&l](int i) { F402_Click(l, i); });
    w.on(QStringLiteral("DelM"), [&l](int) { DelM_Click(l); });
    w.on(QStringLiteral("FSORT"), [&l](int) { FSORT_Click(l); });
    for (int n = 1; n <= 3; ++n)
        w.on(QStringLiteral("F0055%1").arg(n), [&l, n](int) { openWatchListInEditor(l, n); });
    w.on(QStringLiteral("F020"), [c](int) { c->showSearch(); });
    w.on(QStringLiteral("tool:search"), [c](int) { c->showSearch(); });
    w.on(QStringLiteral("RHyouji"), [&l](int i) { RHyouji_Click(l, i); });
    auto page = [&l](StockPage p) {
        if (!openStockPage(l.st, l.sv.launcher, p)) l.sv.dialogs.message(browserFailedText(l.st), Icon::Error);
    };
    w.on(QStringLiteral("cmdJMP"), [page](int i) { page(i == 0 ? StockPage::Detail : StockPage::Broker); });
    w.on(QStringLiteral("Command1"), [page](int) { page(StockPage::Analysis); });
    w.on(QStringLiteral("Command3"), [page](int) { page(StockPage::Company); });
    QObject::connect(w.txtCODE, &QLineEdit::returnPressed, c, [&l] { txtCODE_Enter(l); });
    // chart(1) first finds the stock in the list.
    w.on(QStringLiteral("List1:sync"), [&l](int) { syncListToCurrent(l); });
}

void syncListToCurrent(MainWindow &w)
{
    if (ListsController *c = controllerOf(w)) syncListToCurrent(c->lists());
}

void addToWatchListOf(MainWindow &w, int n, int code)
{
    if (ListsController *c = controllerOf(w)) addToWatchList(c->lists(), n, code);
}

} // namespace velor
