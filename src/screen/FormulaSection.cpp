#include "screen/FormulaSection.h"

#include "db/State.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

namespace velor {

namespace {

const ScreenScope kScopes[] = {ScreenScope::Market, ScreenScope::WorkingSet, ScreenScope::List1, ScreenScope::List2,
                               ScreenScope::List3};

} // namespace

FormulaSection::FormulaSection(State &st, Run run, QWidget *parent)
    : QGroupBox(QStringLiteral("自作スクリーニング"), parent), m_st(st), m_run(std::move(run))
{
    setObjectName(QStringLiteral("fraFormula"));
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(6, 6, 6, 6);
    grid->setVerticalSpacing(3);
    auto label = [this](const char16_t *text) { return new QLabel(QString::fromUtf16(text), this); };
    auto named = [](QWidget *w, const char *name) {
        w->setObjectName(QString::fromLatin1(name));
        return w;
    };

    cboSaved = static_cast<QComboBox *>(named(new QComboBox(this), "cboSaved"));
    txtName = static_cast<QLineEdit *>(named(new QLineEdit(this), "txtName"));
    txtName->setMaxLength(kMaxScreenName);
    txtFilter = static_cast<QLineEdit *>(named(new QLineEdit(this), "txtFilter"));
    txtFilter->setMaxLength(formula::kMaxTextLength);
    txtFilter->setPlaceholderText(QStringLiteral("例: CROSS(C, MA(C,25)) AND V > MA(V,5)*2"));
    txtScore = static_cast<QLineEdit *>(named(new QLineEdit(this), "txtScore"));
    txtScore->setMaxLength(formula::kMaxTextLength);
    txtScore->setPlaceholderText(QStringLiteral("空欄なら売買代金 (TURNOVER)"));
    cboOrder = static_cast<QComboBox *>(named(new QComboBox(this), "cboOrder"));
    cboOrder->addItems({QStringLiteral("大きい順（上位）"), QStringLiteral("小さい順（下位）")});
    spnRows = static_cast<QSpinBox *>(named(new QSpinBox(this), "spnRows"));
    spnRows->setRange(0, kMaxFormulaRows);
    spnRows->setSpecialValueText(QStringLiteral("標準"));
    cboScope = static_cast<QComboBox *>(named(new QComboBox(this), "cboScope"));
    cboScope->addItems({QStringLiteral("全銘柄"), QStringLiteral("扱っている銘柄"), QStringLiteral("touroku.dat"),
                        QStringLiteral("touroku2.dat"), QStringLiteral("touroku3.dat")});
    auto button = [this](const char *name, const char16_t *caption) {
        auto *b = new QPushButton(QString::fromUtf16(caption), this);
        b->setObjectName(QString::fromLatin1(name));
        return b;
    };
    cmdCHECK = button("cmdCHECK", u"確認");
    cmdSAVE = button("cmdSAVEF", u"保存");
    cmdDELETE = button("cmdDELETEF", u"削除");
    cmdRUN = button("cmdRUN", u"実行");
    lblMessage = new QLabel(this);
    lblMessage->setObjectName(QStringLiteral("lblFormulaMessage"));
    lblMessage->setWordWrap(true);

    grid->addWidget(label(u"保存済み"), 0, 0);
    grid->addWidget(cboSaved, 0, 1, 1, 3);
    grid->addWidget(label(u"名前"), 1, 0);
    grid->addWidget(txtName, 1, 1, 1, 3);
    grid->addWidget(label(u"条件式"), 2, 0);
    grid->addWidget(txtFilter, 2, 1, 1, 3);
    grid->addWidget(label(u"スコア"), 3, 0);
    grid->addWidget(txtScore, 3, 1, 1, 3);
    auto *options = new QHBoxLayout;
    options->addWidget(cboOrder);
    options->addWidget(label(u"行数"));
    options->addWidget(spnRows);
    options->addWidget(label(u"対象"));
    options->addWidget(cboScope, 1);
    grid->addLayout(options, 4, 0, 1, 4);
    auto *buttons = new QHBoxLayout;
    for (QPushButton *b : {cmdCHECK, cmdSAVE, cmdDELETE, cmdRUN}) buttons->addWidget(b);
    grid->addLayout(buttons, 5, 0, 1, 4);
    grid->addWidget(lblMessage, 6, 0, 1, 4);
    grid->setColumnStretch(1, 1);

    connect(cmdCHECK, &QPushButton::clicked, this, [this] { cmdCHECK_Click(); });
    connect(cmdSAVE, &QPushButton::clicked, this, [this] { cmdSAVE_Click(); });
    connect(cmdDELETE, &QPushButton::clicked, this, [this] { cmdDELETE_Click(); });
    connect(cmdRUN, &QPushButton::clicked, this, [this] { cmdRUN_Click(); });
    connect(cboSaved, &QComboBox::activated, this, [this](int i) { pick(i); });
    // A changed formula is unchecked again.
    for (QLineEdit *e : {txtFilter, txtScore})
        connect(e, &QLineEdit::textEdited, this, [this] { showMessage(QString(), false); });
    reload();
}

FormulaScreenText FormulaSection::text() const
{
    FormulaScreenText t;
    t.name = txtName->text().trimmed();
    t.filter = txtFilter->text();
    t.score = txtScore->text();
    t.bottom = cboOrder->currentIndex() == 1;
    t.rows = spnRows->value();
    t.scope = kScopes[std::clamp(cboScope->currentIndex(), 0, 4)];
    return t;
}

void FormulaSection::setText(const FormulaScreenText &t)
{
    txtName->setText(t.name);
    txtFilter->setText(t.filter);
    txtScore->setText(t.score);
    cboOrder->setCurrentIndex(t.bottom ? 1 : 0);
    spnRows->setValue(t.rows);
    for (int i = 0; i < 5; ++i)
        if (kScopes[i] == t.scope) cboScope->setCurrentIndex(i);
    showMessage(QString(), false);
}

void FormulaSection::reload()
{
    QString error;
    m_offered = offeredScreens(m_st, &error);
    const QString current = cboSaved->currentIndex() > 0 ? cboSaved->currentText() : QString();
    cboSaved->clear();
    cboSaved->addItem(QStringLiteral("（新しい式）"));
    for (const OfferedScreen &o : m_offered)
        cboSaved->addItem(o.example ? QStringLiteral("例：") + o.text.name : o.text.name);
    if (!current.isEmpty()) cboSaved->setCurrentIndex(std::max(0, cboSaved->findText(current)));
    if (!error.isEmpty()) showMessage(error, true);
}

void FormulaSection::pick(int index)
{
    if (index <= 0 || size_t(index) > m_offered.size()) {
        setText(FormulaScreenText{});
        return;
    }
    setText(m_offered[size_t(index - 1)].text);
}

void FormulaSection::showMessage(const QString &text, bool problem)
{
    lblMessage->setStyleSheet(problem ? QStringLiteral("color: #c00000;") : QString());
    lblMessage->setText(text);
}

QString FormulaSection::message() const { return lblMessage->text(); }

bool FormulaSection::cmdCHECK_Click()
{
    const auto problem = checkFormulas(text());
    if (!problem) {
        showMessage(QStringLiteral("式に誤りはありません"), false);
        return true;
    }
    showMessage(problem->text(), true);
    // The character the message names, selected where the user typed it.
    QLineEdit *field = problem->inScore ? txtScore : txtFilter;
    field->setFocus();
    const int pos = std::clamp(problem->error.position, 0, int(field->text().size()));
    if (pos < field->text().size()) field->setSelection(pos, 1);
    else field->setCursorPosition(pos);   // the text ended too early: the place to go on
    return false;
}

void FormulaSection::cmdSAVE_Click()
{
    const FormulaScreenText t = text();
    if (!cmdCHECK_Click()) return;
    if (auto r = saveFormulaScreen(m_st.ProgramDir, t); !r) {
        showMessage(r.error(), true);
        return;
    }
    reload();
    cboSaved->setCurrentIndex(std::max(0, cboSaved->findText(t.name)));
    showMessage(QStringLiteral("「") + t.name + QStringLiteral("」を保存しました"), false);
}

void FormulaSection::cmdDELETE_Click()
{
    const QString name = txtName->text().trimmed();
    if (auto r = deleteFormulaScreen(m_st.ProgramDir, name); !r) {
        showMessage(r.error(), true);
        return;
    }
    reload();
    showMessage(QStringLiteral("「") + name + QStringLiteral("」を削除しました"), false);
}

void FormulaSection::cmdRUN_Click()
{
    if (!cmdCHECK_Click()) return;
    showMessage(QString(), false);
    if (m_run) m_run(text());
}

} // namespace velor
