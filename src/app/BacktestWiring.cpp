#include "app/BacktestWiring.h"

#include "app/MainWindow.h"
#include "backtest/BacktestWindow.h"

#include <QPointer>

namespace velor {

namespace {

// Lives as a child of the main window; creates the backtest window on first use and keeps it.
class BacktestController final : public QObject {
public:
    explicit BacktestController(MainWindow &w) : QObject(&w), m_w(w) { setObjectName(QStringLiteral("BacktestController")); }

    BacktestWindow *window() const { return m_window; }

    void open()
    {
        if (!m_window) m_window = new BacktestWindow(m_w.state(), m_w.services().dialogs, &m_w);
        else if (!m_window->running()) m_window->reload();   // screens saved since it was opened
        const bool opening = !m_window->isVisible();
        m_window->show();
        if (opening) m_window->placeBeside(m_w.frameGeometry(), m_w.geometry(), m_w.chartAndListArea());
        m_window->raise();
        m_window->activateWindow();
    }

private:
    MainWindow &m_w;
    QPointer<BacktestWindow> m_window;
};

BacktestController *controllerOf(MainWindow &w)
{
    return w.findChild<BacktestController *>(QStringLiteral("BacktestController"), Qt::FindDirectChildrenOnly);
}

} // namespace

void wireBacktest(MainWindow &w)
{
    auto *c = new BacktestController(w);
    w.on(QStringLiteral("F_BACKTEST"), [c](int) { c->open(); });
}

BacktestWindow *backtestWindow(MainWindow &w)
{
    BacktestController *c = controllerOf(w);
    return c ? c->window() : nullptr;
}

} // namespace velor
