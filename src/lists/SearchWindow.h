#pragma once
// frmSearch (銘柄名検索): a keyword, its result lines, click to show, popup to add to a list.
#include "db/State.h"

#include <QWidget>
#include <functional>

class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;

namespace velor {

class SearchWindow final : public QWidget {
    Q_OBJECT
public:
    using ShowCode = std::function<void(int code)>;
    using AddCode = std::function<void(int list, int code)>;
    SearchWindow(const State &st, ShowCode show, AddCode add, QWidget *parent = nullptr);

    /// Command1_Click: runs the search for the keyword of Text1; an empty keyword does nothing.
    void search();
    /// Left button on result row `row`: shows its stock; the end line does nothing.
    void clickRow(int row);
    /// F241A_Click(n): adds the selected result row's stock to watch list n.
    void addSelected(int n);

    QLabel *Label1 = nullptr;
    QLineEdit *Text1 = nullptr;
    QPushButton *Command1 = nullptr, *Command2 = nullptr;
    QListWidget *List1 = nullptr;
    QMenu *PL241 = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    int codeOfRow(int row) const;
    const State &m_st;
    ShowCode m_show;
    AddCode m_add;
};

} // namespace velor
