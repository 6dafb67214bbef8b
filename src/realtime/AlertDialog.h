#pragma once
// The small dialog of "アラートを設定…": a stock's levels above and below, 設定 / 解除 / キャンセル.
#include "realtime/PriceAlerts.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace velor {

class AlertDialog final : public QDialog {
    Q_OBJECT
public:
    enum class Choice { Cancelled, Set, Cleared };

    /// `stock` heads the dialog ("1301 極洋"); `current` fills the fields (null: empty); `price`
    /// is the stock's labelled current price. `never` (why no alert of the stock could fire)
    /// leaves only 解除 and キャンセル; `warning` says when it would fire.
    AlertDialog(const QString &stock, const PriceAlert *current, QWidget *parent = nullptr, const QString &price = {},
                const QString &never = {}, const QString &warning = {});

    Choice choice() const { return m_choice; }
    float above() const { return m_above; }
    float below() const { return m_below; }

    QLabel *lblStock = nullptr;
    QLabel *lblPrice = nullptr;     ///< the current price, labelled
    QLabel *lblReach = nullptr;     ///< when the alert fires, if only sometimes
    QLineEdit *txtAbove = nullptr, *txtBelow = nullptr;
    QLabel *lblProblem = nullptr;   ///< why 設定 was refused, shown in the dialog (no box)
    QPushButton *cmdSet = nullptr, *cmdClear = nullptr, *cmdCancel = nullptr;

private:
    void trySet();

    Choice m_choice = Choice::Cancelled;
    float m_above = 0, m_below = 0;
};

} // namespace velor
