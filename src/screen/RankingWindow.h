#pragma once
// frmRanking (検索／ランキング／絞り込み): the result list of every screen, jump to a chart,
// step through the rows, add to a watch list, save, close, and the progress of a run.
#include "common/Quit.h"
#include "screen/ScreenView.h"
#include "screen/Screens.h"

#include <QElapsedTimer>
#include <QWidget>
#include <functional>

class QAction;
class QLabel;
class QListWidget;
class QMenu;
class QProgressBar;
class QPushButton;

namespace velor {

class FormulaSection;
struct FormulaScreenText;

class RankingWindow final : public QWidget, public ScreenView {
    Q_OBJECT
public:
    using ShowCode = std::function<void(int code)>;
    using AddCode = std::function<void(int list, int code)>;
    RankingWindow(State &st, Services &sv, ShowCode show, AddCode add, QWidget *parent = nullptr);

    Screens &screens() { return m_screens; }

    /// Places the window beside the main window (left edge + width + 50 twips, same top and
    /// height), or else beside `keep` (its chart and stock list) where the screen has room.
    void placeBeside(const QRect &mainFrame, const QRect &mainClient, const QRect &keep);
    /// List1 left button on `row`: the row's leading number, when not 0, is shown as a chart.
    void clickRow(int row);
    /// cmdUD(index): 0 "↓" next row, 1 "↑" previous row, then as a click.
    void cmdUD_Click(int index);
    /// PL202(n): adds the selected row's stock to watch list n.
    void PL202_Click(int n);
    void cmdSAVE_Click();
    /// cmdEXIT: stops a run that is waiting for pages, then closes the window.
    void cmdEXIT_Click();
    /// 自作: shows or hides the 自作スクリーニング section above the list.
    void showFormulaSection(bool visible);
    /// 実行 of the section: runs the formula screen into the list (refused while a screen runs).
    void runFormula(const FormulaScreenText &t);
    /// The stop button of a run that fetches pages.
    void cmdSTOP_Click() { m_stop = true; }

    // ScreenView
    void clearLines() override;
    void addLine(const QString &line) override;
    QStringList lines() const override;
    void setLabel(const QString &text) override;
    QString label() const override { return m_label; }
    void showProgress(bool visible) override;
    void setProgressMax(int maximum) override;
    void setProgress(int value) override;
    void keepAlive(bool stoppable) override;
    bool stopRequested() const override { return m_stop || quitRequested(); }

    QListWidget *List1 = nullptr;
    QPushButton *cmdUD0 = nullptr, *cmdUD1 = nullptr, *cmdSAVE = nullptr, *cmdEXIT = nullptr, *cmdSTOP = nullptr;
    QPushButton *cmdFORMULA = nullptr;
    FormulaSection *Formula = nullptr;
    QProgressBar *ProgressBar1 = nullptr;
    QLabel *Label1 = nullptr;
    QMenu *PL201 = nullptr;
    QAction *RHyouji0 = nullptr, *RHyouji1 = nullptr;

protected:
    void resizeEvent(QResizeEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    int px(int twips) const;
    void layoutControls();
    int codeOfRow(int row) const;

    State &m_st;
    Services &m_sv;
    ShowCode m_show;
    AddCode m_add;
    Screens m_screens;
    QString m_label;
    bool m_stop = false;
    bool m_stoppable = false;
    QElapsedTimer m_sinceRepaint;
    int m_progress = 0;   ///< shown by the next paint
    double m_scale = 1.0;
};

} // namespace velor
