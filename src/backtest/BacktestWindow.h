#pragma once
// バックテスト: a formula screen (saved or written here) run as of every trading day of a range,
// its picks measured after each holding period beside the whole market, and the equal-weight
// curves drawn. The run goes in steps between events, with progress and 中止, so the window and
// the main window stay responsive.
#include "backtest/Backtest.h"
#include "backtest/BacktestSetup.h"

#include <QWidget>
#include <memory>
#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace velor {

class CurveWidget;
class Dialogs;

class BacktestWindow final : public QWidget {
public:
    /// `dialogs` asks where CSVで保存 writes.
    BacktestWindow(const State &st, Dialogs &dialogs, QWidget *parent = nullptr);
    ~BacktestWindow() override;

    /// Fills the screen choice with the saved screens and the examples (a file that cannot be read
    /// is named in the status line) and the range with the stored year up to 1001's newest day.
    void reload();
    /// 実行: checks the input and starts the run; a problem is shown in the status line.
    void cmdRUN_Click();
    /// 中止: ends the run after the stocks in hand; no figures are shown for a partial run.
    void cmdSTOP_Click();
    /// CSVで保存: the picks of the last result as velor backtest --csv prints them (CR LF), through
    /// the checked write; the status line names the file or why it could not be written.
    void cmdCSV_Click();
    bool running() const { return m_run != nullptr; }
    /// Places the window to the right of `mainFrame`, as the ranking window is placed.
    void placeBeside(const QRect &mainFrame, const QRect &mainClient, const QRect &keep);
    /// The last complete result.
    const std::optional<BacktestResult> &result() const { return m_result; }

    QComboBox *cboScreen;
    QLineEdit *txtFilter, *txtScore, *txtFrom, *txtTo, *txtHolds;
    QCheckBox *chkBottom;
    QSpinBox *spnTop;
    QPushButton *cmdRun, *cmdStop, *cmdCsv, *cmdClose;
    QProgressBar *progress;
    QLabel *lblStatus, *lblSummary;
    QTableWidget *tblSummary;
    CurveWidget *curve;

protected:
    void closeEvent(QCloseEvent *e) override;

private:
    void chooseScreen(int index);
    void step();
    void finishRun(bool stopped);
    void showResult(const BacktestResult &r, const QString &title, const BacktestOptions &o);
    void setRunning(bool on);

    const State &m_st;
    Dialogs &m_dialogs;
    std::vector<FormulaScreenText> m_offered;          // by choice index - 1
    std::optional<PreparedBacktest> m_prepared;
    std::unique_ptr<Backtest> m_run;
    std::optional<BacktestResult> m_result;
};

} // namespace velor
