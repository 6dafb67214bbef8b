#include "app/MainWindow.h"

#include "app/MenuTree.h"
#include "app/StatusArea.h"
#include "common/Quit.h"
#include "common/Utils.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QLoggingCategory>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTextBrowser>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QToolBar>

namespace velor {

Q_LOGGING_CATEGORY(lcCommands, "velor.commands")

namespace {

// Design geometry in twips (left, top, width, height), tops measured from the window's client
// area; the toolbar row (840 twips) is taken by the tool bar itself.
struct Place { int x, y, w, h; };
constexpr int kToolbarTwips = 840;
constexpr int kDesignWidth = 12495;
constexpr int kDesignHeight = 9700;

// Swallows the tool-tip request of a button whose documented tip is empty.
class NoToolTip final : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject *, QEvent *e) override { return e->type() == QEvent::ToolTip; }
};

} // namespace

MainWindow::MainWindow(State &st, Clock &clock, Net &net, Launcher &launcher, Sound &sound, Dialogs &dialogs,
                       QWidget *parent)
    : QMainWindow(parent), m_st(st), m_sv{clock, net, launcher, sound, dialogs, *this, nullptr}
{
    setObjectName(QStringLiteral("frmMain"));
    if (const QScreen *s = QGuiApplication::primaryScreen()) m_scale = std::max(1.0, s->logicalDotsPerInch() / 96.0);
    setWindowTitle(QStringLiteral("VELOR"));
    buildMenus();
    buildToolbar();
    buildControls();
    m_status = new StatusArea(this);
    setStatusBar(m_status);
    // The status bar comes below the design area, which keeps its size.
    resize(px(kDesignWidth), px(kDesignHeight) + menuBar()->sizeHint().height() + m_status->sizeHint().height());
    // The controls sit at fixed design places: a smaller window would cut the list and buttons off.
    setMinimumSize(size());
    move(px(100), px(100));
    placeControls();
    on(QStringLiteral("F040"), [this](int) { close(); });
}

int MainWindow::px(int twips) const { return int(std::lround(twips / 15.0 * m_scale)); }

QAction *MainWindow::makeAction(const MenuEntry &e, QWidget *owner)
{
    const QString caption = QString::fromUtf16(e.caption);
    // A separator carries no text: styles draw a separator's text as a section title.
    const bool separator = caption == QLatin1String("-");
    auto *a = new QAction(separator ? QString() : caption, owner);
    a->setObjectName(actionKey(e.name, e.index));
    if (separator) a->setSeparator(true);
    if (*e.shortcut) {
        a->setShortcut(QKeySequence(QString::fromLatin1(e.shortcut)));
        a->setShortcutContext(Qt::WindowShortcut);
    }
    if (e.checked) { a->setCheckable(true); a->setChecked(true); }
    a->setEnabled(e.enabled);
    const QString name = QString::fromLatin1(e.name);
    const int index = e.index;
    connect(a, &QAction::triggered, this, [this, name, index] { dispatch(name, index); });
    m_actions.insert(actionKey(e.name, e.index), a);
    return a;
}

void MainWindow::addEntries(QMenu *top, const std::vector<MenuEntry> &entries, size_t from, size_t to)
{
    // Items deeper than the one before them form that item's submenu.
    std::vector<QMenu *> stack = {top};
    for (size_t i = from; i < to; ++i) {
        const MenuEntry &e = entries[i];
        while (int(stack.size()) > e.depth) stack.pop_back();
        const bool hasChildren = i + 1 < to && entries[i + 1].depth > e.depth;
        if (hasChildren) {
            QMenu *sub = stack.back()->addMenu(QString::fromUtf16(e.caption));
            sub->setObjectName(QString::fromLatin1(e.name));
            m_actions.insert(actionKey(e.name, e.index), sub->menuAction());
            stack.push_back(sub);
        } else {
            stack.back()->addAction(makeAction(e, stack.back()));
        }
    }
}

void MainWindow::buildMenus()
{
    const auto &entries = menuBarEntries();
    for (size_t i = 0; i < entries.size();) {
        size_t end = i + 1;
        while (end < entries.size() && entries[end].depth > 0) ++end;
        const MenuEntry &top = entries[i];
        if (QString::fromLatin1(top.name) == QLatin1String("Rh")) {
            // 連続表示 is never shown; its keys work through actions held by the window.
            for (size_t k = i + 1; k < end; ++k) addAction(makeAction(entries[k], this));
        } else {
            QMenu *menu = menuBar()->addMenu(QString::fromUtf16(top.caption));
            menu->setObjectName(QString::fromLatin1(top.name));
            addEntries(menu, entries, i + 1, end);
        }
        i = end;
    }
    m_chartPopup = new QMenu(this);
    m_chartPopup->setObjectName(QStringLiteral("PU_HST0"));
    addEntries(m_chartPopup, chartPopupEntries(), 0, chartPopupEntries().size());
    m_listPopup = new QMenu(this);
    m_listPopup->setObjectName(QStringLiteral("PL200"));
    addEntries(m_listPopup, listPopupEntries(), 0, listPopupEntries().size());
    // Items that carry a check mark at some point are checkable from the start.
    for (const char *group : {"vec", "funashi", "F061", "PL100", "PU_HST", "PL105"})
        for (int i = 0; i <= 5; ++i)
            if (QAction *a = action(group, i)) a->setCheckable(true);
    if (QAction *a = action("F065")) a->setCheckable(true);
}

void MainWindow::buildToolbar()
{
    Toolbar1 = addToolBar(QStringLiteral("Toolbar1"));
    Toolbar1->setObjectName(QStringLiteral("Toolbar1"));
    Toolbar1->setMovable(false);
    Toolbar1->setToolButtonStyle(Qt::ToolButtonTextOnly);
    for (const auto &b : toolButtons()) {
        QAction *a = Toolbar1->addAction(QString::fromUtf16(b.caption));
        const QString key = QString::fromLatin1(b.key);
        a->setObjectName(QStringLiteral("tool_") + key);
        a->setData(key);
        connect(a, &QAction::triggered, this, [this, key] { toolbarClick(key); });
        m_toolActions.insert(key, a);
    }
}

void MainWindow::buildControls()
{
    auto *central = new QWidget(this);
    setCentralWidget(central);
    Picture1 = new QWidget(central);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setAutoFillBackground(true);
    Picture1->setPalette(QPalette(Qt::white));
    lblList = new QLabel(central);
    txtCODE = new QLineEdit(central);
    lblNE = new QLabel(QStringLiteral("銘柄名"), central);
    List1 = new QListWidget(central);
    lblRSI = new QLabel(central);
    lblRSI->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblRSI->setWordWrap(true);
    WebBrowser1 = new QTextBrowser(central);
    WebBrowser1->setOpenLinks(false);
    cmdJMP0 = new QPushButton(QStringLiteral("Y!"), central);
    Command1 = new QPushButton(QStringLiteral("み"), central);
    cmdJMP1 = new QPushButton(QStringLiteral("楽"), central);
    Command3 = new QPushButton(QStringLiteral("四"), central);
    lblCI = new QLabel(central);
    lblCI->setStyleSheet(QStringLiteral("color: red"));
    lblCI->setAlignment(Qt::AlignLeft | Qt::AlignTop);   // both warning lines above the price listing
    ProgressBar1 = new QProgressBar(central);
    ProgressBar1->hide();
    txtPrice = new QPlainTextEdit(central);
    txtPrice->setReadOnly(true);
    // Messages longer than the pane wrap instead of scrolling sideways; a listing line fits.
    txtPrice->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    txtPrice->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    lblHSTOF = new QLabel(central);
    const std::pair<QWidget *, const char *> names[] = {
        {lblList, "lblList"}, {txtCODE, "txtCODE"}, {lblNE, "lblNE"}, {List1, "List1"}, {lblRSI, "lblRSI"},
        {WebBrowser1, "WebBrowser1"}, {cmdJMP0, "cmdJMP0"}, {Command1, "Command1"}, {cmdJMP1, "cmdJMP1"},
        {Command3, "Command3"}, {lblCI, "lblCI"}, {ProgressBar1, "ProgressBar1"}, {txtPrice, "txtPrice"},
        {lblHSTOF, "lblHSTOF"}};
    for (const auto &[w, n] : names) w->setObjectName(QString::fromLatin1(n));
    // List lines pad names with half-width blanks: they line up only in a font whose full-width
    // characters are exactly two half-width ones.
    QFont fixed = List1->font();
    fixed.setFamilies({QStringLiteral("IPAGothic"), QStringLiteral("MS Gothic"), QStringLiteral("Noto Sans Mono CJK JP"),
                       QStringLiteral("monospace")});
    fixed.setStyleHint(QFont::Monospace);
    List1->setFont(fixed);
    // The information panel holds about 21 lines above the world-index pane.
    QFont panel = lblRSI->font();
    panel.setPixelSize(10);
    lblRSI->setFont(panel);
    QFont small = WebBrowser1->font();
    small.setPixelSize(10);
    WebBrowser1->setFont(small);
    lblCI->setFont(small);
    // The pane's type is the panel's small one: a listing line of an index (five-digit prices)
    // then fits its width, and longer messages wrap.
    QFont paneFont = fixed;
    paneFont.setPixelSize(10);
    txtPrice->setFont(paneFont);
    // The info panel sits above the world-index pane where they overlap.
    lblRSI->raise();
    ProgressBar1->raise();
    connect(cmdJMP0, &QPushButton::clicked, this, [this] { dispatch(QStringLiteral("cmdJMP"), 0); });
    connect(cmdJMP1, &QPushButton::clicked, this, [this] { dispatch(QStringLiteral("cmdJMP"), 1); });
    connect(Command1, &QPushButton::clicked, this, [this] { dispatch(QStringLiteral("Command1"), -1); });
    connect(Command3, &QPushButton::clicked, this, [this] { dispatch(QStringLiteral("Command3"), -1); });
}

void MainWindow::placeControls()
{
    // Extra room beyond the design size goes to the chart; the right-hand column moves with it.
    const QWidget *c = centralWidget();
    const int dx = std::max(0, c->width() - px(kDesignWidth));
    const int dy = std::max(0, c->height() - px(kDesignHeight - kToolbarTwips));
    auto put = [&](QWidget *w, Place p, bool moveX, bool growW, bool moveY, bool growH) {
        w->setGeometry(px(p.x) + (moveX ? dx : 0), px(std::max(0, p.y - kToolbarTwips)) + (moveY ? dy : 0),
                       px(p.w) + (growW ? dx : 0), px(p.h) + (growH ? dy : 0));
    };
    put(Picture1, {120, 840, 7635, 8175}, false, true, false, true);
    put(lblList, {7800, 960, 3360, 180}, true, false, false, false);
    put(txtCODE, {7800, 1200, 615, 285}, true, false, false, false);
    put(lblNE, {8520, 1200, 2175, 255}, true, false, false, false);
    put(List1, {7800, 1560, 2175, 5820}, true, false, false, true);
    put(lblRSI, {10320, 960, 2160, 3960}, true, false, false, false);   // ends where the world-index pane begins
    put(WebBrowser1, {10080, 4920, 2295, 2505}, true, false, false, false);
    put(cmdJMP0, {7800, 7440, 400, 330}, true, false, true, false);
    put(Command1, {8280, 7440, 400, 330}, true, false, true, false);
    put(cmdJMP1, {8760, 7440, 400, 330}, true, false, true, false);
    put(Command3, {9240, 7440, 400, 350}, true, false, true, false);
    put(lblCI, {10250, 7430, 2200, 370}, true, false, true, false);   // from the world-index pane to the listing
    put(ProgressBar1, {10350, 7560, 2000, 225}, true, false, true, false);
    put(txtPrice, {7800, 7800, 4395, 1455}, true, false, true, false);
    put(lblHSTOF, {120, 9360, 12255, 255}, false, true, true, false);
}

void MainWindow::resizeEvent(QResizeEvent *e)
{
    QMainWindow::resizeEvent(e);
    placeControls();
}

void MainWindow::closeEvent(QCloseEvent *e)
{
    // Nothing is saved: the settings file is never written. Whatever runs (a screen waiting for
    // pages, the monitor, a download) gives up at its next step and the program ends.
    requestQuit();
    QApplication::closeAllWindows();
    e->accept();
}

void MainWindow::setChartArea(QWidget *area)
{
    area->setParent(centralWidget());
    area->setObjectName(QStringLiteral("Picture1"));
    delete Picture1;
    Picture1 = area;
    placeControls();
    area->show();
}

QRect MainWindow::chartAndListArea() const
{
    const QRect chart(Picture1->mapToGlobal(QPoint(0, 0)), Picture1->size());
    const QRect list(List1->mapToGlobal(QPoint(0, 0)), List1->size());
    return chart.united(list);
}

QAction *MainWindow::action(const char *name, int index) const { return m_actions.value(actionKey(name, index)); }
QAction *MainWindow::toolAction(const QString &key) const { return m_toolActions.value(key); }

void MainWindow::on(const QString &name, std::function<void(int)> handler) { m_handlers.insert(name, std::move(handler)); }
void MainWindow::click(const QString &name, int index) { dispatch(name, index); }

bool MainWindow::handles(const QString &name) const { return m_handlers.contains(name); }

void MainWindow::dispatch(const QString &name, int index)
{
    const auto it = m_handlers.constFind(name);
    if (it != m_handlers.constEnd()) return (*it)(index);
    // A command without a handler is a wiring fault: never dropped in silence.
    const QString key = actionKey(name.toLatin1().constData(), index);
    m_unhandled << key;
    qCCritical(lcCommands, "no handler for command %s", qUtf8Printable(key));
#ifndef NDEBUG
    m_sv.dialogs.message(QStringLiteral("コマンド ") + key + QStringLiteral(" の処理がありません。"), Icon::Error);
#endif
}

void MainWindow::toolbarClick(const QString &key)
{
    for (const char *k : toolKeyOrder()) {
        if (key != QLatin1String(k)) continue;
        if (key == QLatin1String("exit")) return dispatch(QStringLiteral("F040"), -1);
        if (key == QLatin1String("vedat")) {
            ChDirTo(m_st.ProgramDir);
            const QString folder = pathIn(m_st.ProgramDir, QStringLiteral("VEDAT"));
            if (const QString failed = showFolder(m_sv.launcher, folder); !failed.isEmpty()) m_sv.dialogs.message(failed, Icon::Error);
            return;
        }
        return dispatch(QStringLiteral("tool:") + key, -1);
    }
}

void MainWindow::startUp()
{
    m_st.Starting = true;
    ProgressBar1->hide();
    m_st.LiveMode = 0;
    if (QAction *a = action("funashi", 0)) a->setChecked(false);
    if (QAction *a = action("funashi", 1)) a->setChecked(true);
    for (int i = 0; i < 4; ++i)
        if (QAction *a = action("F805", i)) a->setText(m_st.BrokerUrl[size_t(i)]);
    for (int i = 0; i < 5; ++i)
        if (QAction *a = action("F806", i)) a->setText(m_st.FavoriteUrl[size_t(i)]);
    const std::pair<const char *, const char16_t *> tips[] = {
        {"search", u""}, {"chart", u"日足、週足、月足、分足の切替"}, {"kindx", u"RSI、RCI、乖離率、サイコロジカルの切替"},
        {"correl", u"縦軸表示形式の切替"}, {"showd", u""}, {"ranking", u"ランキング（全般）の計算"},
        {"vedat", u"検索／ランキング／絞り込み結果フォルダを開く"}, {"exit", u""}};
    auto *noTip = new NoToolTip(Toolbar1);
    for (const auto &[key, tip] : tips) {
        QAction *a = toolAction(QString::fromLatin1(key));
        if (!a) continue;
        a->setToolTip(QString::fromUtf16(tip));
        // Qt would show the caption in place of an empty tip; these buttons have none.
        if (QWidget *button = Toolbar1->widgetForAction(a); button && !*tip) button->installEventFilter(noTip);
    }
    // The display commands and the working set run through their handlers once they exist.
    dispatch(QStringLiteral("startup:modes"), -1);
    m_st.CurCode = 1001;
    m_st.BarOffset = 0;
    dispatch(QStringLiteral("PL222"), 1);
    m_st.CurCode = 1001;
    m_st.Starting = false;
    redrawChart(1);
    // A new, empty program folder: say where the data comes from, above the chart's own notes.
    if (m_st.StockCount == 0)
        prependMessage(QStringLiteral("株価データがまだありません。「株価データをまとめて追加（自動）」（F2）か"
                                      "「株価データをまとめて追加（手動）」で集めて下さい。\r\n"));
}

void MainWindow::redrawChart(int mode) { dispatch(QStringLiteral("chart"), mode); }
void MainWindow::loadWorkSet(int request) { dispatch(QStringLiteral("PL222"), request); }
void MainWindow::prependMessage(const QString &text)
{
    // A redraw that reports the same thing again (a missing file) adds nothing new.
    if (text.isEmpty() || (text == m_lastMessage && m_kept > 0 && !text.trimmed().isEmpty())) return;
    m_lastMessage = text;
    // Inserted at the top without rewriting the pane: an import adds thousands of lines.
    const QString lines = QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QTextDocument *doc = txtPrice->document();
    if (lines.trimmed().isEmpty()) {
        // A blank line only spaces out what follows: it goes below the kept lines and leaves
        // with the listing, rather than piling up at every switch.
        if (const QTextBlock below = doc->findBlockByNumber(m_kept); below.isValid()) {
            QTextCursor at(doc);
            at.setPosition(below.position());
            at.insertText(lines);
        }
        txtPrice->moveCursor(QTextCursor::Start);
        return;
    }
    QTextCursor at(doc);
    at.movePosition(QTextCursor::Start);
    at.insertText(lines);
    m_kept += int(lines.count(QLatin1Char('\n')));
    if (m_kept > kKeptMessageLines) {
        // The oldest kept lines go: they sit just above the listing.
        QTextCursor cut(doc->findBlockByNumber(kKeptMessageLines));
        cut.setPosition(doc->findBlockByNumber(m_kept).position(), QTextCursor::KeepAnchor);
        cut.removeSelectedText();
        m_kept = kKeptMessageLines;
    }
    txtPrice->moveCursor(QTextCursor::Start);
}
void MainWindow::clearMessages()
{
    QTextDocument *doc = txtPrice->document();
    const QTextBlock first = doc->findBlockByNumber(m_kept);
    if (!first.isValid()) return;
    QTextCursor cut(doc);
    cut.setPosition(first.position());
    cut.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    cut.removeSelectedText();
}
void MainWindow::showListing(const QString &text)
{
    clearMessages();
    QTextCursor at(txtPrice->document());
    at.movePosition(QTextCursor::End);
    at.insertText(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    txtPrice->moveCursor(QTextCursor::Start);
}
QString MainWindow::messages() const { return txtPrice->toPlainText().replace('\n', QStringLiteral("\r\n")); }
void MainWindow::showProgress(bool visible)
{
    // The bar and the warning label share their place.
    ProgressBar1->setVisible(visible);
    lblCI->setVisible(!visible);
}
void MainWindow::setProgress(int value, int maximum)
{
    // The bar repaints itself at once on every visible step, which an import of 40,000 lines
    // feels: the value is shown when the window paints (keepAlive), and a reset or the end at once.
    ProgressBar1->setMaximum(std::max(maximum, 1));
    m_progress = std::clamp(value, 0, std::max(maximum, 1));
    if (m_progress == 0 || m_progress == ProgressBar1->maximum()) ProgressBar1->setValue(m_progress);
}
void MainWindow::showActivity(const QString &text, int value, int maximum)
{
    m_status->showActivity(text, value, maximum);
}
void MainWindow::endActivity() { m_status->endActivity(); }
bool MainWindow::stopRequested() { return m_status->stopRequested(); }
void MainWindow::keepAlive()
{
    // A few paints a second keep the window alive without slowing the work down.
    if (m_sincePaint.isValid() && m_sincePaint.elapsed() < 50) return;
    m_sincePaint.start();
    ProgressBar1->setValue(m_progress);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

} // namespace velor
