#pragma once
// frmReal: the surge/plunge monitor's window. Six lists with their captions, the wait factor,
// status and progress, 停止 / 再計算 / 閉じる and the watch-list popup. The rules live in
// SurgeMonitor; this turns events into its calls and shows what it reports.
#include "realtime/SurgeMonitor.h"

#include <QElapsedTimer>
#include <QWidget>
#include <array>
#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QProgressBar;
class QPushButton;

namespace velor {

class RealWindow final : public QWidget, public MonitorView {
    Q_OBJECT
public:
    /// `mainWindow` is the window it is placed against (and its parent).
    RealWindow(State &st, Services &sv, QWidget *mainWindow);

    SurgeMonitor &monitor() { return m_monitor; }

    /// Form_Load: 250 twips right of and below the main window's corner (beside its chart and
    /// stock list where the screen has room), the lists disabled.
    void Form_Load();

    /// F666's check mark (set by the wiring).
    std::function<void(bool)> onMonitorChecked;
    /// PL202 n with the code of the selected row of the list right-clicked last.
    std::function<void(int n, int code)> onAddToWatchList;
    /// 閉じる (or the close box) has put the saved state back and hidden the window.
    std::function<void()> onClosed;
    /// The part of the main window the monitor must not cover where the screen has room (the
    /// chart and the stock list, global coordinates; set by the wiring).
    std::function<QRect()> keepClear;

    std::array<QListWidget *, 7> List{};   ///< List[1]..List[6]
    std::array<QLabel *, 7> Caption{};
    QLabel *lblWait = nullptr;
    QLineEdit *Text1 = nullptr;
    QLabel *lblStatus = nullptr;
    QLabel *lblProgress = nullptr;
    QProgressBar *ProgressBar1 = nullptr;
    QPushButton *Command1 = nullptr, *Command2 = nullptr, *cmdEXIT = nullptr;
    QMenu *PL201 = nullptr;
    QCheckBox *chkNotify = nullptr;   ///< 通知: desktop notifications of new top-five stocks (off at each opening)

    // MonitorView
    void setStatus(const QString &text) override;
    void setProgressText(const QString &text) override;
    void setProgress(int value, int maximum) override;
    void setList(int k, const QStringList &rows) override;
    void setListsEnabled(bool on) override;
    void setRecalcEnabled(bool on) override;
    void setWaitText(const QString &text) override;
    void placeFromMain(int right, int down) override;
    void closeWindow() override;
    void setMonitorChecked(bool on) override;
    void pump() override;

protected:
    void closeEvent(QCloseEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void addSelected(int n);
    int px(int twips) const;

    QWidget *m_main;
    int m_progress = 0;   ///< shown by the next pump, with the text
    QString m_progressText;
    QElapsedTimer m_sincePump;
    EventLoopWait m_wait;
    SurgeMonitor m_monitor;
};

} // namespace velor
