#include "backtest/BacktestWindow.h"

#include "backtest/BacktestReport.h"
#include "backtest/CurveWidget.h"
#include "backtest/DailyHistory.h"
#include "common/Dialogs.h"
#include "common/TextFile.h"
#include "common/WindowPlace.h"
#include "db/State.h"
#include "screen/FormulaScreen.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDate>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace velor {

namespace {

constexpr int kStocksPerStep = 40;   // a few milliseconds of work between events

QLabel *caption(const QString &text, QWidget *parent) { return new QLabel(text, parent); }

} // namespace

BacktestWindow::BacktestWindow(const State &st, Dialogs &dialogs, QWidget *parent)
    : QWidget(parent, Qt::Window), m_st(st), m_dialogs(dialogs)
{
    setWindowTitle(QStringLiteral("バックテスト"));
    cboScreen = new QComboBox(this);
    txtFilter = new QLineEdit(this);
    txtScore = new QLineEdit(this);
    txtScore->setPlaceholderText(QStringLiteral("空欄: TURNOVER（売買代金）"));
    chkBottom = new QCheckBox(QStringLiteral("小さい順に選ぶ"), this);
    txtFrom = new QLineEdit(this);
    txtTo = new QLineEdit(this);
    txtHolds = new QLineEdit(QStringLiteral("1,5,20"), this);
    spnTop = new QSpinBox(this);
    spnTop->setRange(1, 5000);
    spnTop->setValue(10);
    cmdRun = new QPushButton(QStringLiteral("実行"), this);
    cmdStop = new QPushButton(QStringLiteral("中止"), this);
    cmdCsv = new QPushButton(QStringLiteral("CSVで保存"), this);
    cmdClose = new QPushButton(QStringLiteral("閉じる"), this);
    progress = new QProgressBar(this);
    lblStatus = new QLabel(this);
    lblStatus->setWordWrap(true);
    lblSummary = new QLabel(this);
    lblSummary->setWordWrap(true);
    lblSummary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    tblSummary = new QTableWidget(0, 9, this);
    tblSummary->setHorizontalHeaderLabels({QStringLiteral("保有"), QStringLiteral("件数"), QStringLiteral("平均"), QStringLiteral("中央値"),
                                           QStringLiteral("上昇"), QStringLiteral("市場 件数"), QStringLiteral("市場 平均"),
                                           QStringLiteral("市場 中央値"), QStringLiteral("市場 上昇")});
    tblSummary->verticalHeader()->hide();
    tblSummary->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblSummary->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    curve = new CurveWidget(this);

    auto *form = new QGridLayout;
    form->addWidget(caption(QStringLiteral("スクリーニング"), this), 0, 0);
    form->addWidget(cboScreen, 0, 1, 1, 3);
    form->addWidget(caption(QStringLiteral("条件式"), this), 1, 0);
    form->addWidget(txtFilter, 1, 1, 1, 3);
    form->addWidget(caption(QStringLiteral("スコアの式"), this), 2, 0);
    form->addWidget(txtScore, 2, 1, 1, 2);
    form->addWidget(chkBottom, 2, 3);
    form->addWidget(caption(QStringLiteral("開始日"), this), 3, 0);
    form->addWidget(txtFrom, 3, 1);
    form->addWidget(caption(QStringLiteral("終了日"), this), 3, 2);
    form->addWidget(txtTo, 3, 3);
    form->addWidget(caption(QStringLiteral("保有期間（日）"), this), 4, 0);
    form->addWidget(txtHolds, 4, 1);
    form->addWidget(caption(QStringLiteral("毎日選ぶ銘柄数"), this), 4, 2);
    form->addWidget(spnTop, 4, 3);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cmdRun);
    buttons->addWidget(cmdStop);
    buttons->addWidget(progress, 1);
    buttons->addWidget(cmdCsv);
    buttons->addWidget(cmdClose);
    auto *all = new QVBoxLayout(this);
    all->addLayout(form);
    all->addLayout(buttons);
    all->addWidget(lblStatus);
    all->addWidget(lblSummary);
    all->addWidget(tblSummary);
    all->addWidget(curve, 1);

    connect(cboScreen, &QComboBox::activated, this, [this](int i) { chooseScreen(i); });
    connect(cmdRun, &QPushButton::clicked, this, [this] { cmdRUN_Click(); });
    connect(cmdStop, &QPushButton::clicked, this, [this] { cmdSTOP_Click(); });
    connect(cmdCsv, &QPushButton::clicked, this, [this] { cmdCSV_Click(); });
    connect(cmdClose, &QPushButton::clicked, this, [this] { close(); });
    setRunning(false);
    resize(640, 720);
    reload();
}

BacktestWindow::~BacktestWindow() = default;

void BacktestWindow::reload()
{
    QString error;
    m_offered.clear();
    cboScreen->clear();
    cboScreen->addItem(QStringLiteral("（条件式を書いて試す）"));
    for (const OfferedScreen &o : offeredScreens(m_st, &error)) {
        m_offered.push_back(o.text);
        cboScreen->addItem(o.text.name + (o.example ? QStringLiteral("（例）") : QString()));
    }
    lblStatus->setText(error);
    // The stored year up to the newest trading day.
    if (auto days = readDailyBars(State::priceFilePath(m_st.DataDir, 1001)); days && !days->empty() && txtTo->text().isEmpty()) {
        const int32_t newest = days->front().date;
        const QDate to(newest / 10000, newest / 100 % 100, newest % 100);
        const QDate from = to.addYears(-1).addDays(1);
        txtTo->setText(backtestDateText(newest));
        txtFrom->setText(backtestDateText(from.year() * 10000 + from.month() * 100 + from.day()));
    }
}

void BacktestWindow::chooseScreen(int index)
{
    if (index < 1 || size_t(index) > m_offered.size()) return;
    const FormulaScreenText &t = m_offered[size_t(index - 1)];
    txtFilter->setText(t.filter);
    txtScore->setText(t.score);
    chkBottom->setChecked(t.bottom);
}

void BacktestWindow::cmdRUN_Click()
{
    if (running()) return;
    BacktestOptions o;
    o.from = parseBacktestDate(txtFrom->text());
    o.to = parseBacktestDate(txtTo->text());
    const auto holds = parseHolds(txtHolds->text());
    QString problem;
    if (o.from == 0) problem = QStringLiteral("開始日 ") + txtFrom->text() + QStringLiteral(" は日付（YYYY-MM-DD または YYYYMMDD）ではありません。");
    else if (o.to == 0) problem = QStringLiteral("終了日 ") + txtTo->text() + QStringLiteral(" は日付（YYYY-MM-DD または YYYYMMDD）ではありません。");
    else if (!holds) problem = QStringLiteral("保有期間 ") + txtHolds->text() + QStringLiteral(" は日数をカンマで区切ったもの（例 1,5,20）ではありません。");
    if (!problem.isEmpty()) {
        lblStatus->setText(problem);
        return;
    }
    o.holds = *holds;
    o.top = spnTop->value();
    // A saved screen keeps its name and its stocks (the working set is the window's own) while its
    // formulas are as saved; an edited one runs as a formula over the whole market.
    FormulaScreenText text;
    const int i = cboScreen->currentIndex();
    if (i >= 1 && size_t(i) <= m_offered.size()) text = m_offered[size_t(i - 1)];
    if (text.filter != txtFilter->text() || text.score != txtScore->text() || text.bottom != chkBottom->isChecked()) {
        text = FormulaScreenText();
        text.filter = txtFilter->text(), text.score = txtScore->text(), text.bottom = chkBottom->isChecked();
    }
    auto prepared = prepareBacktest(m_st, text, o);
    if (!prepared) {
        lblStatus->setText(prepared.error());
        return;
    }
    m_prepared.emplace(std::move(*prepared));
    m_run = std::make_unique<Backtest>(m_st, m_prepared->screen, m_prepared->options);
    if (auto s = m_run->start(); !s) {
        m_run.reset();
        lblStatus->setText(s.error());
        return;
    }
    m_result.reset();
    curve->clear();
    tblSummary->setRowCount(0);
    lblSummary->clear();
    lblStatus->setText(QStringLiteral("実行中…"));
    progress->setRange(0, m_run->total());
    progress->setValue(0);
    setRunning(true);
    QTimer::singleShot(0, this, [this] { step(); });
}

void BacktestWindow::step()
{
    if (!m_run) return;
    const bool more = m_run->step(kStocksPerStep);
    progress->setValue(m_run->done());
    if (!more) return finishRun(false);
    QTimer::singleShot(0, this, [this] { step(); });
}

void BacktestWindow::cmdSTOP_Click()
{
    if (running()) finishRun(true);
}

void BacktestWindow::finishRun(bool stopped)
{
    BacktestResult r = m_run->finish(stopped);
    m_run.reset();
    setRunning(false);
    if (stopped) {
        lblStatus->setText(QStringLiteral("中止しました（%1 / %2 銘柄まで調べたところで）。").arg(progress->value()).arg(progress->maximum()));
        return;
    }
    QString notes;
    if (r.missingFiles > 0) notes += QStringLiteral("データファイルのない銘柄 %1 件は除きました。").arg(r.missingFiles);
    if (!r.unreadable.isEmpty())
        notes += QStringLiteral("読めないデータファイル %1 件は除きました（%2）。").arg(r.unreadable.size()).arg(r.unreadable.front());
    lblStatus->setText(notes.isEmpty() ? QStringLiteral("完了しました。") : QStringLiteral("完了しました。") + notes);
    showResult(r, m_prepared->title, m_prepared->options);
    m_result = std::move(r);
    cmdCsv->setEnabled(true);
}

void BacktestWindow::showResult(const BacktestResult &r, const QString &title, const BacktestOptions &o)
{
    QStringList lines;
    for (const QString &l : backtestSummary(r, title, o))
        if (!l.startsWith(QStringLiteral("保有 "))) lines << l;
    lblSummary->setText(lines.join(QLatin1Char('\n')));
    tblSummary->setRowCount(int(r.holds.size()));
    for (size_t h = 0; h < r.holds.size(); ++h) {
        const ReturnStats &p = r.pickStats[h], &m = r.marketStats[h];
        const QStringList cells{QString::number(r.holds[h]) + QStringLiteral(" 日"), QString::number(p.count), percentText(p.mean),
                                percentText(p.median), percentText(p.rose), QString::number(m.count), percentText(m.mean),
                                percentText(m.median), percentText(m.rose)};
        for (int c = 0; c < cells.size(); ++c) {
            auto *item = new QTableWidgetItem(cells[c]);
            item->setTextAlignment(c == 0 ? Qt::AlignCenter : Qt::AlignRight | Qt::AlignVCenter);
            tblSummary->setItem(int(h), c, item);
        }
    }
    curve->setCurves(r.curve, r.marketCurve, r.days);
}

void BacktestWindow::cmdCSV_Click()
{
    if (!m_result) return;
    const QString path = m_dialogs.saveFile(QStringLiteral("バックテストの結果を保存"), m_st.ProgramDir + QStringLiteral("backtest.csv"),
                                            QStringLiteral("CSV (*.csv)"));
    if (path.isEmpty()) return;
    const QByteArray bytes = (backtestCsv(*m_result).join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toLatin1();
    if (auto w = saveBytes(path, bytes); !w) {
        lblStatus->setText(w.error());
        return;
    }
    lblStatus->setText(QStringLiteral("保存しました: ") + path);
}

void BacktestWindow::setRunning(bool on)
{
    cmdCsv->setEnabled(!on && m_result.has_value());
    cmdRun->setEnabled(!on);
    cmdStop->setEnabled(on);
    for (QWidget *w : std::initializer_list<QWidget *>{cboScreen, txtFilter, txtScore, chkBottom, txtFrom, txtTo, txtHolds, spnTop})
        w->setEnabled(!on);
}

void BacktestWindow::placeBeside(const QRect &mainFrame, const QRect &mainClient, const QRect &keep)
{
    // Set by its client area plus the frame the main window has, so the title bar stays on the
    // screen even before the window manager has framed this window; clear of the chart and list.
    const QMargins m = frameMarginsOf(frameGeometry(), geometry(), mainFrame, mainClient);
    const QSize frame = size().grownBy(m), least = QSize(480, 420).grownBy(m);
    const QPoint wanted(mainFrame.right() + 20, mainFrame.top());
    setGeometry(placedClearOf(wanted, frame, least, keep, availableAreaAt(mainFrame.center()), 4).marginsRemoved(m));
}

void BacktestWindow::closeEvent(QCloseEvent *e)
{
    // Closing stops a run: nothing is left working behind a hidden window.
    if (running()) finishRun(true);
    QWidget::closeEvent(e);
}

} // namespace velor
