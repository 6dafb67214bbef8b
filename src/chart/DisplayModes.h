#pragma once
// The commands that change what the chart shows without changing the stock: period,
// oscillator, axis mode, number of bars, index overlay and the volume-limit switch. Each
// changes one value, reports captions and check marks to a view, and asks the shell to redraw.
#include <QHash>
#include <QString>

namespace velor {

struct State;
struct Services;
struct ChartHooks;

/// Where the commands put their captions and check marks (the main window, or a recording).
class ModeView {
public:
    virtual ~ModeView() = default;
    /// Caption of the toolbar button with this key ("chart", "kindx", "correl", "showd").
    virtual void setToolCaption(const QString &key, const QString &caption) = 0;
    /// Check mark of a menu item ("PU_HST", 2); index -1 for an item without a group ("F065").
    virtual void setChecked(const QString &group, int index, bool on) = 0;
};

/// Keeps the latest caption and check state of every item.
class RecordingModeView final : public ModeView {
public:
    void setToolCaption(const QString &key, const QString &caption) override { captions[key] = caption; }
    void setChecked(const QString &group, int index, bool on) override { checks[group + QString::number(index)] = on; }
    bool checked(const QString &group, int index = -1) const { return checks.value(group + QString::number(index)); }
    QHash<QString, QString> captions;
    QHash<QString, bool> checks;
};

struct ModeContext {
    State &st;
    Services &sv;
    ModeView &view;
    const ChartHooks &hooks;
};

/// Next period 0 -> 1 -> 2 -> 3 -> 0; refreshes LastTradeDate; redraws or reloads the list.
void chgHSTF(ModeContext &c);
/// Right-click period item i (0..3): that period.
void PU_HST_click(ModeContext &c, int i);
/// Oscillator item i (0..3) of the menu or the right-click menu; i < 0 advances one step.
void F061_Click(ModeContext &c, int i);
inline void PL100_Click(ModeContext &c, int i) { F061_Click(c, i); }
/// Toolbar "kindx": RSI -> RCI -> 乖離率 -> サイコロ -> RSI.
void indicatorCycle(ModeContext &c);
/// Toolbar "correl": axis mode 0 -> 1 -> 2 -> 0.
void axisCycle(ModeContext &c);
/// Right-click axis item i: 0 "最大100%表示", 1 "最大－最小表示", 2 "最小100%表示".
void PL105_Click(ModeContext &c, int i);
/// 0 doubles, 1 halves DispBars, kept within 1..1600; then redraws.
void F051A_Click(ModeContext &c, int i);
/// Scrolls the daily, weekly or monthly chart by `delta` bars (positive: back in time), BarOffset
/// kept from 0 (-1 while live) up to the oldest of `barCount` bars and at most kMaxBarOffset;
/// redraws as the period-length commands do. False (and no redraw) when nothing moved.
bool shiftBarOffset(ModeContext &c, int delta, int barCount);
/// The mouse wheel: a step away from the user shows half the bars (as Shift+F5), towards the
/// user twice as many (F5).
void wheelBars(ModeContext &c, int steps);
/// Toggles the index overlay.
void F065_Click(ModeContext &c);
/// Toggles the volume-limit switch.
void chgDCFLG(ModeContext &c);
/// Toolbar "chart": the period command, then one more redraw.
void toolChart(ModeContext &c);
/// Start-up: next oscillator, overlay off, next axis mode, daily period of 1001, switch off;
/// nothing is redrawn.
void startupModes(ModeContext &c);

} // namespace velor
