#include "realtime/RealWindow.h"

#include "common/WindowPlace.h"
#include "lists/ListView.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <cmath>

namespace velor {

RealWindow::RealWindow(State &st, Services &sv, QWidget *mainWindow)
    : QWidget(mainWindow, Qt::Window), m_main(mainWindow), m_monitor(st, sv, *this, m_wait)
{
    setObjectName(QStringLiteral("frmReal"));
    setWindowTitle(QStringLiteral("リアルタイム急騰急落銘柄の監視"));
    auto *grid = new QGridLayout(this);
    const QStringList captions = monitorCaptions();
    QFont mono = font();
    mono.setStyleHint(QFont::TypeWriter);
    for (int k = 1; k <= 6; ++k) {
        // Risers above fallers, one column per comparison.
        const int col = (k - 1) / 2, row = (k - 1) % 2 * 2;
        Caption[size_t(k)] = new QLabel(captions[k - 1], this);
        Caption[size_t(k)]->setObjectName(QStringLiteral("Label%1").arg(k));
        List[size_t(k)] = new QListWidget(this);
        List[size_t(k)]->setObjectName(QStringLiteral("List%1").arg(k));
        List[size_t(k)]->setFont(mono);
        List[size_t(k)]->viewport()->installEventFilter(this);
        grid->addWidget(Caption[size_t(k)], row, col);
        grid->addWidget(List[size_t(k)], row + 1, col);
    }
    lblStatus = new QLabel(this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setMinimumHeight(px(700));
    lblStatus->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblStatus->setWordWrap(true);
    lblProgress = new QLabel(this);
    lblProgress->setObjectName(QStringLiteral("lblProgress"));
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setTextVisible(false);
    lblWait = new QLabel(QStringLiteral("WAIT"), this);
    Text1 = new QLineEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setMaximumWidth(px(900));
    Command1 = new QPushButton(QStringLiteral("停止"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command2 = new QPushButton(QStringLiteral("再計算"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    cmdEXIT = new QPushButton(QStringLiteral("閉じる"), this);
    cmdEXIT->setObjectName(QStringLiteral("cmdEXIT"));
    chkNotify = new QCheckBox(QStringLiteral("通知"), this);
    chkNotify->setObjectName(QStringLiteral("chkNotify"));

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(lblWait);
    bottom->addWidget(Text1);
    bottom->addWidget(chkNotify);
    bottom->addWidget(ProgressBar1, 1);
    bottom->addWidget(lblProgress);
    bottom->addWidget(Command1);
    bottom->addWidget(Command2);
    bottom->addWidget(cmdEXIT);
    grid->addWidget(lblStatus, 4, 0, 1, 3);
    grid->addLayout(bottom, 5, 0, 1, 3);
    for (int c = 0; c < 3; ++c) grid->setColumnStretch(c, 1);
    resize(px(15000), px(9600));

    PL201 = new QMenu(QStringLiteral("右クリック"), this);
    PL201->setObjectName(QStringLiteral("PL201"));
    const char16_t *items[] = {u"登録銘柄（touroku.dat）に追加する", u"登録銘柄2（touroku2.dat）に追加する",
                               u"登録銘柄3（touroku3.dat）に追加する"};
    for (int n = 1; n <= 3; ++n) {
        QAction *a = PL201->addAction(QString::fromUtf16(items[n - 1]));
        a->setObjectName(QStringLiteral("PL202_%1").arg(n));
        connect(a, &QAction::triggered, this, [this, n] { addSelected(n); });
    }
    connect(Command1, &QPushButton::clicked, this, [this] { m_monitor.Command1_Click(); });
    connect(Command2, &QPushButton::clicked, this, [this] { m_monitor.Command2_Click(); });
    connect(cmdEXIT, &QPushButton::clicked, this, [this] { m_monitor.cmdEXIT_Click(); });
    connect(Text1, &QLineEdit::textEdited, this, [this](const QString &t) { m_monitor.Text1_KeyPress(t); });
}

int RealWindow::px(int twips) const { return int(std::lround(twips / 15.0)); }

void RealWindow::Form_Load()
{
    // A fresh window each time it is opened: nothing of an earlier run is left in it.
    for (int k = 1; k <= 6; ++k) List[size_t(k)]->clear();
    lblStatus->clear();
    lblProgress->clear();
    m_progressText.clear();
    ProgressBar1->setValue(0);
    chkNotify->setChecked(false);
    placeFromMain(250, 250);
    setListsEnabled(false);
}

void RealWindow::setStatus(const QString &text) { lblStatus->setText(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"))); }
void RealWindow::setProgressText(const QString &text)
{
    // Within a pass the text waits for the next pump (it changes stock by stock); between passes
    // (a stop, the wait) it is shown at once, since no pump may follow.
    m_progressText = text;
    if (m_progress == 0 || m_progress >= ProgressBar1->maximum()) lblProgress->setText(text);
}
void RealWindow::setProgress(int value, int maximum)
{
    // The bar repaints itself at once on every visible step, dearer than scoring the stock:
    // the value is shown at the next pump, and a reset at once.
    ProgressBar1->setMaximum(std::max(maximum, 1));
    m_progress = std::clamp(value, 0, std::max(maximum, 1));
    if (m_progress == 0) ProgressBar1->setValue(0);
}
void RealWindow::setList(int k, const QStringList &rows)
{
    if (k < 1 || k > 6) return;
    List[size_t(k)]->clear();
    List[size_t(k)]->addItems(rows);
}
void RealWindow::setListsEnabled(bool on)
{
    for (int k = 1; k <= 6; ++k) List[size_t(k)]->setEnabled(on);
}
void RealWindow::setRecalcEnabled(bool on) { Command2->setEnabled(on); }
void RealWindow::setWaitText(const QString &text) { Text1->setText(text); }
void RealWindow::placeFromMain(int right, int down)
{
    if (!m_main) return;
    const QRect mainFrame = m_main->frameGeometry();
    const QPoint wanted(mainFrame.x() + px(right), down < 0 ? pos().y() : mainFrame.y() + px(down));
    // Computed from the client area and the frame around it, so that the title bar lands where
    // the frame was placed even before the window manager has framed this window.
    const QMargins m = frameMarginsOf(frameGeometry(), geometry(), mainFrame, m_main->geometry());
    const QSize frame = size().grownBy(m);
    const QSize least = QSize(px(9000), px(6000)).grownBy(m);
    const QRect keep = keepClear ? keepClear() : QRect();
    setGeometry(placedClearOf(wanted, frame, least, keep, availableAreaAt(mainFrame.center()), px(50)).marginsRemoved(m));
}
void RealWindow::closeWindow()
{
    hide();
    if (onClosed) onClosed();
}
void RealWindow::setMonitorChecked(bool on)
{
    if (onMonitorChecked) onMonitorChecked(on);
}
void RealWindow::pump()
{
    // Painting a few times a second keeps the window alive; at the start and end of a pass the
    // events always run, so that 停止 takes effect before another pass starts.
    const bool betweenPasses = m_progress == 0 || m_progress >= ProgressBar1->maximum();
    if (!betweenPasses && m_sincePump.isValid() && m_sincePump.elapsed() < 50) return;
    m_sincePump.start();
    ProgressBar1->setValue(m_progress);
    lblProgress->setText(m_progressText);
    QCoreApplication::processEvents();
}

void RealWindow::closeEvent(QCloseEvent *e)
{
    // The close box does what 閉じる does, so a running pass stops and the state comes back.
    if (m_monitor.isOpen() || m_monitor.running()) m_monitor.cmdEXIT_Click();
    e->accept();
}

bool RealWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::MouseButtonPress) return QWidget::eventFilter(watched, event);
    for (int k = 1; k <= 6; ++k) {
        QListWidget *list = List[size_t(k)];
        if (watched != list->viewport()) continue;
        auto *me = static_cast<QMouseEvent *>(event);
        const int row = list->indexAt(me->position().toPoint()).row();
        if (row >= 0) list->setCurrentRow(row);
        const QString text = row >= 0 ? list->item(row)->text() : QString();
        if (me->button() == Qt::LeftButton) {
            m_monitor.listMouseDown(k, text, true);
            return false;
        }
        if (me->button() == Qt::RightButton) {
            m_monitor.listMouseDown(k, text, false);
            PL201->popup(me->globalPosition().toPoint());
            return true;
        }
        return false;
    }
    return QWidget::eventFilter(watched, event);
}

void RealWindow::addSelected(int n)
{
    const int k = m_monitor.listClicked();
    if (k < 1 || k > 6) return;
    const QListWidgetItem *item = List[size_t(k)]->currentItem();
    const int code = item ? codeOfLine(item->text()) : 0;
    if (code != 0 && onAddToWatchList) onAddToWatchList(n, code);
}

} // namespace velor
