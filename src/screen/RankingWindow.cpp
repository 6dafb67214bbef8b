#include "screen/RankingWindow.h"

#include "common/Utils.h"
#include "common/WindowPlace.h"
#include "lists/ListView.h"
#include "screen/FormulaSection.h"
#include "screen/ResultFile.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

#include <cmath>

namespace velor {

namespace {

// Design sizes in twips.
constexpr int kMargin = 60;
constexpr int kButtonHeight = 400;
constexpr int kDesignWidth = 7800;

} // namespace

RankingWindow::RankingWindow(State &st, Services &sv, ShowCode show, AddCode add, QWidget *parent)
    : QWidget(parent, Qt::Window), m_st(st), m_sv(sv), m_show(std::move(show)), m_add(std::move(add)),
      m_screens(st, sv, *this)
{
    setObjectName(QStringLiteral("frmRanking"));
    setWindowTitle(QString::fromUtf16(kRankingCaption));
    if (const QScreen *s = QGuiApplication::primaryScreen()) m_scale = std::max(1.0, s->logicalDotsPerInch() / 96.0);

    List1 = new QListWidget(this);
    List1->setObjectName(QStringLiteral("List1"));
    QFont font;
    font.setFamilies({QStringLiteral("ＭＳ ゴシック"), QStringLiteral("MS Gothic"), QStringLiteral("IPAGothic"),
                      QStringLiteral("IPAゴシック"), QStringLiteral("Noto Sans Mono CJK JP"), QStringLiteral("Monospace")});
    font.setStyleHint(QFont::TypeWriter);
    font.setPointSize(10);
    List1->setFont(font);
    List1->viewport()->installEventFilter(this);

    auto button = [this](const char *name, const char16_t *caption) {
        auto *b = new QPushButton(QString::fromUtf16(caption), this);
        b->setObjectName(QString::fromLatin1(name));
        return b;
    };
    cmdUD1 = button("cmdUD1", u"↑");
    cmdUD0 = button("cmdUD0", u"↓");
    cmdSAVE = button("cmdSAVE", u"保存");
    cmdEXIT = button("cmdEXIT", u"閉じる");
    cmdSTOP = button("cmdSTOP", u"中止");
    cmdSTOP->hide();
    cmdFORMULA = button("cmdFORMULA", u"自作");
    cmdFORMULA->setCheckable(true);
    cmdFORMULA->setToolTip(QStringLiteral("自作スクリーニング（条件式）の編集欄を開く"));
    connect(cmdFORMULA, &QPushButton::toggled, this, [this](bool on) { showFormulaSection(on); });
    Formula = new FormulaSection(st, [this](const FormulaScreenText &t) { runFormula(t); }, this);
    Formula->hide();
    connect(cmdUD0, &QPushButton::clicked, this, [this] { cmdUD_Click(0); });
    connect(cmdUD1, &QPushButton::clicked, this, [this] { cmdUD_Click(1); });
    connect(cmdSAVE, &QPushButton::clicked, this, [this] { cmdSAVE_Click(); });
    connect(cmdEXIT, &QPushButton::clicked, this, [this] { cmdEXIT_Click(); });
    connect(cmdSTOP, &QPushButton::clicked, this, [this] { cmdSTOP_Click(); });

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->hide();
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    // 連続表示: never shown, reached by F11 and F12 only.
    RHyouji0 = new QAction(QStringLiteral("ｄｏｗｎ"), this);
    RHyouji0->setShortcut(QKeySequence(Qt::Key_F11));
    RHyouji1 = new QAction(QStringLiteral("ｕｐ"), this);
    RHyouji1->setShortcut(QKeySequence(Qt::Key_F12));
    for (QAction *a : {RHyouji0, RHyouji1}) {
        a->setShortcutContext(Qt::WindowShortcut);
        addAction(a);
    }
    connect(RHyouji0, &QAction::triggered, this, [this] { cmdUD_Click(0); });
    connect(RHyouji1, &QAction::triggered, this, [this] { cmdUD_Click(1); });
    auto *stop = new QAction(this);
    stop->setShortcut(QKeySequence(Qt::Key_Escape));
    addAction(stop);
    connect(stop, &QAction::triggered, this, [this] { if (m_screens.running()) m_stop = true; });

    PL201 = new QMenu(QStringLiteral("右クリック"), this);
    static const char16_t *items[] = {u"登録銘柄（touroku.dat）に追加する", u"登録銘柄（touroku2.dat）に追加する",
                                      u"登録銘柄（touroku3.dat）に追加する"};
    for (int n = 1; n <= 3; ++n) {
        QAction *a = PL201->addAction(QString::fromUtf16(items[n - 1]));
        a->setObjectName(QStringLiteral("PL202_%1").arg(n));
        connect(a, &QAction::triggered, this, [this, n] { PL202_Click(n); });
    }
    resize(px(kDesignWidth), px(9700));
    layoutControls();
}

int RankingWindow::px(int twips) const { return int(std::lround(twips / 15.0 * m_scale)); }

void RankingWindow::placeBeside(const QRect &mainFrame, const QRect &mainClient, const QRect &keep)
{
    // As tall as the main window, frame and all, set by its client area: the title bar lands
    // where the frame was placed even before the window manager has framed this window.
    const QMargins m = frameMarginsOf(frameGeometry(), geometry(), mainFrame, mainClient);
    const QSize frame(width() + m.left() + m.right(), mainFrame.height());
    const QSize least = QSize(px(4800), px(4500)).grownBy(m);
    const QPoint wanted(mainFrame.x() + mainFrame.width() + px(50), mainFrame.y());
    setGeometry(placedClearOf(wanted, frame, least, keep, availableAreaAt(mainFrame.center()), px(50)).marginsRemoved(m));
}

void RankingWindow::resizeEvent(QResizeEvent *e)
{
    QWidget::resizeEvent(e);
    layoutControls();
}

void RankingWindow::showFormulaSection(bool visible)
{
    if (cmdFORMULA->isChecked() != visible) cmdFORMULA->setChecked(visible);
    if (visible) Formula->reload();
    Formula->setVisible(visible);
    layoutControls();
}

void RankingWindow::runFormula(const FormulaScreenText &t)
{
    if (m_screens.running()) {
        m_sv.sound.beep();
        m_screens.refuseWhileRunning();
        return;
    }
    auto plan = prepareFormulaScreen(m_st, t);
    if (!plan) {
        Formula->showMessage(plan.error(), true);
        return;
    }
    m_screens.FormulaScreen(*plan);
}

void RankingWindow::layoutControls()
{
    const int w = width(), h = height();
    // The section, when open, takes the top and the list the rest.
    const int top = Formula->isVisible() ? std::min(Formula->sizeHint().height(), h / 2) : 0;
    if (Formula->isVisible()) Formula->setGeometry(px(kMargin), px(kMargin), std::max(0, w - px(350)), top);
    List1->setGeometry(px(kMargin), px(kMargin) + top, std::max(0, w - px(350)), std::max(0, h - px(1500) - top));
    const int y = h - px(1300);
    int x = px(kMargin);
    for (QPushButton *b : {cmdUD1, cmdUD0, cmdFORMULA}) {
        b->setGeometry(x, y, px(450), px(kButtonHeight));
        x += px(480);
    }
    for (QPushButton *b : {cmdSAVE, cmdEXIT, cmdSTOP}) {
        b->setGeometry(x, y, px(800), px(kButtonHeight));
        x += px(830);
    }
    const int rest = std::max(px(600), w - x - px(350));
    ProgressBar1->setGeometry(x, y, rest, px(300));
    // The label takes the progress bar's place while the bar is hidden, and sits below it otherwise.
    const int ly = ProgressBar1->isVisible() ? y + px(320) : y;
    Label1->setGeometry(x, ly, rest, std::max(px(300), h - ly - px(60)));
}

int RankingWindow::codeOfRow(int row) const
{
    if (row < 0 || row >= List1->count()) return 0;
    return codeOfLine(List1->item(row)->text());
}

void RankingWindow::clickRow(int row)
{
    // While a screen waits for pages the list holds progress lines, and the screen owns CurCode.
    if (m_screens.running()) return;
    const int code = codeOfRow(row);
    if (code != 0 && m_show) m_show(code);
}

void RankingWindow::cmdUD_Click(int index)
{
    const int row = List1->currentRow(), n = List1->count();
    if (index == 0) {
        if (row + 1 < n) List1->setCurrentRow(row + 1);
    } else if (row > 0) {
        List1->setCurrentRow(row - 1);
    }
    clickRow(List1->currentRow());
}

void RankingWindow::PL202_Click(int n)
{
    if (m_screens.running()) return;
    const int code = codeOfRow(List1->currentRow());
    if (code != 0 && m_add) m_add(n, code);
}

void RankingWindow::cmdSAVE_Click()
{
    if (!m_screens.running()) velor::cmdSAVE_Click(m_st, m_sv, lines());
}

void RankingWindow::cmdEXIT_Click()
{
    if (m_screens.running()) m_stop = true;
    close();
}

bool RankingWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::MouseButtonPress || watched != List1->viewport()) return false;
    auto *me = static_cast<QMouseEvent *>(event);
    const int row = List1->indexAt(me->position().toPoint()).row();
    if (me->button() == Qt::RightButton) {
        if (row >= 0) List1->setCurrentRow(row);
        PL201->popup(me->globalPosition().toPoint());
        return true;
    }
    if (me->button() != Qt::LeftButton || row < 0) return false;
    List1->setCurrentRow(row);
    clickRow(row);
    return false;
}

void RankingWindow::clearLines() { List1->clear(); }

void RankingWindow::addLine(const QString &line) { List1->addItem(line); }

QStringList RankingWindow::lines() const
{
    QStringList out;
    out.reserve(List1->count());
    for (int i = 0; i < List1->count(); ++i) out << List1->item(i)->text();
    return out;
}

void RankingWindow::setLabel(const QString &text)
{
    m_label = text;
    Label1->setText(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
}

void RankingWindow::showProgress(bool visible)
{
    ProgressBar1->setVisible(visible);
    if (visible) {
        m_stop = false;
        m_sinceRepaint.invalidate();   // the progress lines are painted at once
    } else {
        m_stoppable = false;
        cmdSTOP->hide();
    }
    layoutControls();
}

void RankingWindow::setProgressMax(int maximum) { ProgressBar1->setMaximum(std::max(1, maximum)); }

void RankingWindow::setProgress(int value)
{
    // The bar repaints itself at once on every visible step, which cost more than the screen's
    // own work: the value is shown when the window paints (keepAlive), and at the start.
    m_progress = std::min(value, ProgressBar1->maximum());
    if (m_progress == 0) ProgressBar1->setValue(0);
}

void RankingWindow::keepAlive(bool stoppable)
{
    if (stoppable && !m_stoppable) {
        m_stoppable = true;
        cmdSTOP->show();
    }
    // Painting a few times a second keeps the window alive without slowing the run down.
    // A run's first step is always shown, so the bar moves as soon as the work does.
    const bool firstStep = ProgressBar1->value() == 0 && m_progress > 0;
    if (!firstStep && m_sinceRepaint.isValid() && m_sinceRepaint.elapsed() < 50) return;
    m_sinceRepaint.start();
    ProgressBar1->setValue(m_progress);
    QApplication::processEvents(stoppable ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
}

} // namespace velor
