#pragma once
// The list of today's price alerts (リアルタイム表示 → 今日のアラート): time, stock and level,
// newest first; a double-click shows the stock in the main window.
#include <QWidget>
#include <functional>
#include <utility>
#include <vector>

class QLabel;
class QListWidget;

namespace velor {

class AlertLogWindow final : public QWidget {
    Q_OBJECT
public:
    explicit AlertLogWindow(QWidget *parent = nullptr);
    /// The rows (text, stock code), newest first; `caption` says which day.
    void setRows(const QString &caption, const std::vector<std::pair<QString, int>> &rows);
    /// A double-click on a row: the stock to show.
    std::function<void(int code)> onShowStock;

    QLabel *lblDay = nullptr;
    QListWidget *List1 = nullptr;
};

} // namespace velor
