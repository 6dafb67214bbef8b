#include "app/SplitWiring.h"

#include "app/MainWindow.h"
#include "app/SplitCommands.h"
#include "common/StockCode.h"
#include "common/TextFile.h"
#include "common/Utils.h"
#include "db/CorporateActions.h"
#include "lists/ListView.h"

#include <QAction>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace velor {

namespace {

QString dateText(int32_t d)
{
    return QStringLiteral("%1-%2-%3").arg(d / 10000).arg(d / 100 % 100, 2, 10, QLatin1Char('0')).arg(d % 100, 2, 10, QLatin1Char('0'));
}

// Lists the recorded splits; adds and removes one at a time, each written at once.
class SplitDialog final : public QDialog {
public:
    explicit SplitDialog(MainWindow &w) : QDialog(&w), m_w(w)
    {
        setObjectName(QStringLiteral("SplitDialog"));
        setWindowTitle(QStringLiteral("株式分割・併合"));
        auto *layout = new QVBoxLayout(this);
        auto *hint = new QLabel(QStringLiteral("権利落ち日（新しい株数で取引される最初の日）より前の株価と出来高を、"
                                               "比率（分割前:分割後）で調整して表示します。株価ファイルは書き換えません。"), this);
        hint->setWordWrap(true);
        layout->addWidget(hint);
        table = new QTableWidget(0, 4, this);
        table->setObjectName(QStringLiteral("splits"));
        table->setHorizontalHeaderLabels({QStringLiteral("コード"), QStringLiteral("銘柄名"), QStringLiteral("権利落ち日"), QStringLiteral("比率")});
        table->setSelectionBehavior(QAbstractItemView::SelectRows);
        table->setEditTriggers(QAbstractItemView::NoEditTriggers);
        table->horizontalHeader()->setStretchLastSection(true);
        layout->addWidget(table);
        auto *form = new QFormLayout;
        code = new QLineEdit(this), date = new QLineEdit(this), ratio = new QLineEdit(this);
        code->setObjectName(QStringLiteral("code")), date->setObjectName(QStringLiteral("date")), ratio->setObjectName(QStringLiteral("ratio"));
        code->setText(codeText(w.state().CurCode));
        date->setPlaceholderText(QStringLiteral("2026-12-07"));
        ratio->setPlaceholderText(QStringLiteral("1:5（分割）、5:1（併合）"));
        form->addRow(QStringLiteral("銘柄コード"), code);
        form->addRow(QStringLiteral("権利落ち日"), date);
        form->addRow(QStringLiteral("比率（分割前:分割後）"), ratio);
        layout->addLayout(form);
        problem = new QLabel(this);
        problem->setObjectName(QStringLiteral("problem"));
        problem->setStyleSheet(QStringLiteral("color: #c00000"));
        layout->addWidget(problem);
        auto *buttons = new QHBoxLayout;
        addButton = new QPushButton(QStringLiteral("追加"), this);
        removeButton = new QPushButton(QStringLiteral("選んだ行を削除"), this);
        auto *close = new QPushButton(QStringLiteral("閉じる"), this);
        addButton->setObjectName(QStringLiteral("add")), removeButton->setObjectName(QStringLiteral("remove"));
        buttons->addWidget(addButton);
        buttons->addWidget(removeButton);
        buttons->addStretch();
        buttons->addWidget(close);
        layout->addLayout(buttons);
        connect(addButton, &QPushButton::clicked, this, [this] { add(); });
        connect(removeButton, &QPushButton::clicked, this, [this] { remove(); });
        connect(close, &QPushButton::clicked, this, &QDialog::accept);
        resize(w.px(7000), w.px(6000));
        fill();
    }

    QTableWidget *table;
    QLineEdit *code, *date, *ratio;
    QLabel *problem;
    QPushButton *addButton, *removeButton;

private:
    void fill()
    {
        const auto &all = m_w.state().actions.all();
        table->setRowCount(int(all.size()));
        for (int r = 0; r < int(all.size()); ++r) {
            const CorporateAction &a = all[size_t(r)];
            const QStringList cells = {codeText(a.code), m_w.state().nameOf(a.code).trimmed(), dateText(a.exDate), ratioText(a)};
            for (int c = 0; c < 4; ++c) table->setItem(r, c, new QTableWidgetItem(cells[c]));
        }
    }

    // Reads split.dat again, changes it and writes it; the chart follows at once.
    bool change(const std::function<bool(CorporateActions &)> &edit)
    {
        State &st = m_w.state();
        CorporateActions table;
        const QString path = actionsPath(st.DataDir);
        if (auto r = table.load(path); !r) return problem->setText(r.error()), false;
        if (!edit(table)) return false;
        if (auto r = saveBytes(path, table.bytes()); !r) return problem->setText(r.error()), false;
        st.actions = table;
        problem->clear();
        fill();
        m_w.redrawChart(11);
        return true;
    }

    void add()
    {
        const auto c = codeFromInput(code->text());
        const int32_t d = dateArg(date->text().trimmed());
        const auto r = parseRatio(ratio->text().trimmed());
        if (!c || entryOf(m_w.state(), *c) == 0) return problem->setText(QStringLiteral("銘柄コードが銘柄ファイルにありません。"));
        if (d == 0) return problem->setText(QStringLiteral("権利落ち日は 2026-12-07 のように入力してください。"));
        if (!r || r->first == r->second) return problem->setText(QStringLiteral("比率は 1:5（分割）や 5:1（併合）のように入力してください。"));
        change([&](CorporateActions &t) {
            if (t.add({*c, d, r->first, r->second})) return true;
            problem->setText(QStringLiteral("その銘柄のその日の分割・併合は既に記録されています。"));
            return false;
        });
    }

    void remove()
    {
        const int row = table->currentRow();
        const auto &all = m_w.state().actions.all();
        if (row < 0 || row >= int(all.size())) return problem->setText(QStringLiteral("削除する行を選んでください。"));
        const CorporateAction a = all[size_t(row)];
        change([&a](CorporateActions &t) { return t.remove(a.code, a.exDate); });
    }

    MainWindow &m_w;
};

} // namespace

void wireSplits(MainWindow &w)
{
    if (QAction *a = w.action("ADJUST")) {
        a->setCheckable(true);
        a->setChecked(w.state().sites.AdjustPrices);
    }
    w.on(QStringLiteral("ADJUST"), [&w](int) {
        State &st = w.state();
        st.sites.AdjustPrices = !st.sites.AdjustPrices;
        if (QAction *a = w.action("ADJUST")) a->setChecked(st.sites.AdjustPrices);
        // Remembered in sites.ini; the display changes even when that cannot be written.
        if (auto r = setSitesKey(pathIn(st.ProgramDir, QStringLiteral("sites.ini")), QStringLiteral("AdjustPrices"),
                                 st.sites.AdjustPrices ? QStringLiteral("1") : QStringLiteral("0"));
            !r)
            w.prependMessage(r.error() + QStringLiteral("\r\n"));
        w.redrawChart(11);
    });
    w.on(QStringLiteral("SPLITS"), [&w](int) {
        auto *dlg = new SplitDialog(w);
        dlg->setAttribute(Qt::WA_DeleteOnClose);
        dlg->open();
    });
}

} // namespace velor
