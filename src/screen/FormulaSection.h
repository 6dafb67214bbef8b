#pragma once
// 自作スクリーニング: the ranking window's editor of formula screens — the saved screens and the
// examples to pick from, name, filter and score, top or bottom, rows, which stocks; 確認 shows an
// error where it is, 保存 keeps the screen in formulas.dat, 実行 runs it into the window's list.
#include "screen/FormulaScreen.h"

#include <QGroupBox>
#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace velor {

class FormulaSection final : public QGroupBox {
    Q_OBJECT
public:
    using Run = std::function<void(const FormulaScreenText &)>;
    FormulaSection(State &st, Run run, QWidget *parent = nullptr);

    /// The screen as the fields say.
    FormulaScreenText text() const;
    void setText(const FormulaScreenText &t);
    /// Refills the choice of saved screens and examples from formulas.dat.
    void reload();
    /// 確認: true when both formulas compile; otherwise the message below the fields and the
    /// wrong character selected in its field.
    bool cmdCHECK_Click();
    void cmdSAVE_Click();
    void cmdDELETE_Click();
    void cmdRUN_Click();
    /// A message below the fields (red for a problem).
    void showMessage(const QString &text, bool problem);
    QString message() const;

    QComboBox *cboSaved = nullptr, *cboOrder = nullptr, *cboScope = nullptr;
    QLineEdit *txtName = nullptr, *txtFilter = nullptr, *txtScore = nullptr;
    QSpinBox *spnRows = nullptr;
    QPushButton *cmdCHECK = nullptr, *cmdSAVE = nullptr, *cmdDELETE = nullptr, *cmdRUN = nullptr;
    QLabel *lblMessage = nullptr;

private:
    void pick(int index);

    State &m_st;
    Run m_run;
    std::vector<OfferedScreen> m_offered;
};

} // namespace velor
