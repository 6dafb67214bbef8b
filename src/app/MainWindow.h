#pragma once
// frmMain: the chart area, the stock list and code field, the information panel, the message
// pane and the status line, with the whole menu tree, both context menus and the toolbar.
// It turns events into calls of the logic and shows what comes back.
#include "db/Services.h"
#include "db/Shell.h"
#include "db/State.h"

#include <QElapsedTimer>
#include <QHash>
#include <QMainWindow>
#include <functional>

class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTextBrowser;
class QToolBar;

namespace velor {

struct MenuEntry;
class StatusArea;

class MainWindow final : public QMainWindow, public Shell {
    Q_OBJECT
public:
    MainWindow(State &st, Clock &clock, Net &net, Launcher &launcher, Sound &sound, Dialogs &dialogs,
               QWidget *parent = nullptr);

    Services &services() { return m_sv; }
    State &state() { return m_st; }

    /// Start-up steps after the settings and the master are loaded: tool tips, captions of the
    /// link menus, the initial display modes, the first working set, one chart draw.
    void startUp();

    /// The menu or toolbar action of a control ("F005", 1) or ("JIDOU", -1); null when unknown.
    QAction *action(const char *name, int index = -1) const;
    /// The toolbar button's action for a key ("chart", "kindx", …).
    QAction *toolAction(const QString &key) const;
    /// Connects a handler to a control's events; indexed groups receive the index.
    void on(const QString &name, std::function<void(int index)> handler);
    /// Runs the handler of a control as a click would.
    void click(const QString &name, int index = -1);
    /// Toolbar click: compares keys in the documented order; an unknown key does nothing.
    void toolbarClick(const QString &key);
    /// Whether a handler is connected for the control.
    bool handles(const QString &name) const;
    /// Commands dispatched without a handler ("F14", "F800:3"), each also reported on the
    /// category velor.commands (and in a message box in debug builds).
    const QStringList &unhandledCommands() const { return m_unhandled; }

    QMenu *chartPopup() const { return m_chartPopup; }
    QMenu *listPopup() const { return m_listPopup; }

    // The controls, by their names.
    QWidget *Picture1 = nullptr;
    QLabel *lblList = nullptr;
    QLineEdit *txtCODE = nullptr;
    QLabel *lblNE = nullptr;
    QListWidget *List1 = nullptr;
    QLabel *lblRSI = nullptr;
    QTextBrowser *WebBrowser1 = nullptr;
    QPushButton *cmdJMP0 = nullptr, *Command1 = nullptr, *cmdJMP1 = nullptr, *Command3 = nullptr;
    QLabel *lblCI = nullptr;
    QProgressBar *ProgressBar1 = nullptr;
    QPlainTextEdit *txtPrice = nullptr;
    QLabel *lblHSTOF = nullptr;
    QToolBar *Toolbar1 = nullptr;

    // Shell
    void redrawChart(int mode) override;
    void loadWorkSet(int request) override;
    void prependMessage(const QString &text) override;
    /// Clears what is below the kept message lines (the listing, an import's report).
    void clearMessages() override;
    void showListing(const QString &text) override;
    QString messages() const override;
    void showProgress(bool visible) override;
    void setProgress(int value, int maximum) override;
    void keepAlive() override;
    void showActivity(const QString &text, int value, int maximum) override;
    void endActivity() override;
    bool stopRequested() override;

    /// The status bar: page failures, and the line, bar and 中止 button of a download.
    StatusArea *statusArea() const { return m_status; }

    /// Message lines the pane keeps above the listing, newest first; older ones drop out.
    static constexpr int kKeptMessageLines = 500;
    /// How many of the pane's first lines are kept message lines.
    int keptMessageLines() const { return m_kept; }

    /// Replaces the chart area (the charting layer supplies its own drawing surface).
    void setChartArea(QWidget *area);
    /// The chart and the stock list in global coordinates: what other windows leave uncovered.
    QRect chartAndListArea() const;
    /// Pixels for design twips at this screen's resolution.
    int px(int twips) const;

protected:
    void resizeEvent(QResizeEvent *e) override;
    void closeEvent(QCloseEvent *e) override;

private:
    void buildMenus();
    void buildToolbar();
    void buildControls();
    void placeControls();
    void addEntries(QMenu *top, const std::vector<MenuEntry> &entries, size_t from, size_t to);
    QAction *makeAction(const MenuEntry &e, QWidget *owner);
    void dispatch(const QString &name, int index);

    State &m_st;
    Services m_sv;
    QHash<QString, QAction *> m_actions;
    QHash<QString, QAction *> m_toolActions;
    QHash<QString, std::function<void(int)>> m_handlers;
    QStringList m_unhandled;
    QMenu *m_chartPopup = nullptr;
    QMenu *m_listPopup = nullptr;
    StatusArea *m_status = nullptr;
    double m_scale = 1.0;
    int m_progress = 0;   ///< shown by the next keepAlive
    int m_kept = 0;       ///< lines at the top of the pane that are messages, not the listing
    QString m_lastMessage;
    QElapsedTimer m_sincePaint;
};

} // namespace velor
