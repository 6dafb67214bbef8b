#include "realtime/AlertDialog.h"

#include "common/NumText.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace velor {

AlertDialog::AlertDialog(const QString &stock, const PriceAlert *current, QWidget *parent, const QString &price,
                         const QString &never, const QString &warning)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAlert"));
    setWindowTitle(QStringLiteral("アラートを設定"));
    lblStock = new QLabel(stock + QStringLiteral("\n株価がこの値以上、または以下になったら知らせます。"), this);
    txtAbove = new QLineEdit(this);
    txtAbove->setObjectName(QStringLiteral("txtAbove"));
    txtBelow = new QLineEdit(this);
    txtBelow->setObjectName(QStringLiteral("txtBelow"));
    if (current && current->above > 0) txtAbove->setText(singleText(current->above));
    if (current && current->below > 0) txtBelow->setText(singleText(current->below));
    lblPrice = new QLabel(price, this);
    lblPrice->setObjectName(QStringLiteral("lblPrice"));
    lblPrice->setVisible(!price.isEmpty());
    lblReach = new QLabel(warning, this);
    lblReach->setObjectName(QStringLiteral("lblReach"));
    lblReach->setWordWrap(true);
    lblReach->setStyleSheet(QStringLiteral("color: #a05000"));
    lblReach->setVisible(!warning.isEmpty());
    lblProblem = new QLabel(never, this);
    lblProblem->setObjectName(QStringLiteral("lblProblem"));
    lblProblem->setWordWrap(true);
    lblProblem->setStyleSheet(QStringLiteral("color: #c00000"));
    cmdSet = new QPushButton(QStringLiteral("設定"), this);
    cmdSet->setObjectName(QStringLiteral("cmdSet"));
    cmdSet->setDefault(true);
    if (!never.isEmpty()) {
        // Nothing to set: a level could never be reached. An old alert can still be removed.
        cmdSet->setEnabled(false);
        txtAbove->setEnabled(false);
        txtBelow->setEnabled(false);
    }
    cmdClear = new QPushButton(QStringLiteral("解除"), this);
    cmdClear->setObjectName(QStringLiteral("cmdClear"));
    cmdClear->setEnabled(current != nullptr);
    cmdCancel = new QPushButton(QStringLiteral("キャンセル"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("以上"), txtAbove);
    form->addRow(QStringLiteral("以下"), txtBelow);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdSet);
    buttons->addWidget(cmdClear);
    buttons->addWidget(cmdCancel);
    auto *box = new QVBoxLayout(this);
    box->addWidget(lblStock);
    box->addWidget(lblPrice);
    box->addLayout(form);
    box->addWidget(lblReach);
    box->addWidget(lblProblem);
    box->addLayout(buttons);

    setMinimumWidth(420);   // the reasons wrap within it rather than widen the dialog
    connect(cmdSet, &QPushButton::clicked, this, [this] { trySet(); });
    connect(cmdClear, &QPushButton::clicked, this, [this] {
        m_choice = Choice::Cleared;
        accept();
    });
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void AlertDialog::trySet()
{
    const auto above = parseLevel(txtAbove->text()), below = parseLevel(txtBelow->text());
    QString problem;
    if (!above || !below) problem = QStringLiteral("価格は正の数で入れてください。");
    else problem = levelsProblem(*above, *below);
    if (!problem.isEmpty()) {
        lblProblem->setText(problem);
        return;
    }
    m_above = *above;
    m_below = *below;
    m_choice = Choice::Set;
    accept();
}

} // namespace velor
