#pragma once
// The main window's status bar: a line for pages that failed, and the line, bar and 中止 button
// of long work the user can follow and stop (a download).
#include <QStatusBar>

class QLabel;
class QProgressBar;
class QPushButton;
class QShortcut;

namespace velor {

class StatusArea final : public QStatusBar {
public:
    explicit StatusArea(QWidget *window);

    /// Shows what the work does now and how far it is; the first call offers 中止 and Esc.
    void showActivity(const QString &text, int value, int maximum);
    /// Hides the work's line, bar and button and forgets a stop request.
    void endActivity();
    /// Whether 中止 (or Esc) was pressed since the work began.
    bool stopRequested() const { return m_stop; }

    QLabel *activity = nullptr;
    QProgressBar *bar = nullptr;
    QPushButton *stopButton = nullptr;

private:
    void requestStop();

    QShortcut *m_escape = nullptr;
    bool m_active = false;
    bool m_stop = false;
};

} // namespace velor
