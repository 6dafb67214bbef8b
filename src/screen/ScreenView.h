#pragma once
// What the screens need of the ranking window: its list, its label and its progress bar.
// The window adapts its widgets; commands and tests keep text.
#include <QString>
#include <QStringList>

namespace velor {

class ScreenView {
public:
    virtual ~ScreenView() = default;
    virtual void clearLines() = 0;
    virtual void addLine(const QString &line) = 0;
    virtual QStringList lines() const = 0;
    /// The label's text; lines are separated by CR LF.
    virtual void setLabel(const QString &text) = 0;
    virtual QString label() const = 0;
    virtual void showProgress(bool visible) = 0;
    virtual void setProgressMax(int maximum) = 0;
    virtual void setProgress(int value) = 0;
    /// Lets the window paint during a run. `stoppable` runs (those that wait for pages) also let
    /// the user reach the stop button.
    virtual void keepAlive(bool stoppable) { (void)stoppable; }
    /// True once the user asked the running screen to stop.
    virtual bool stopRequested() const { return false; }
};

/// The window held as text: for the command and the tests.
class MemoryScreenView : public ScreenView {
public:
    void clearLines() override { m_lines.clear(); }
    void addLine(const QString &line) override { m_lines << line; }
    QStringList lines() const override { return m_lines; }
    void setLabel(const QString &text) override { m_label = text; }
    QString label() const override { return m_label; }
    void showProgress(bool visible) override { progressVisible = visible; }
    void setProgressMax(int maximum) override { progressMax = maximum; }
    void setProgress(int value) override { progress = value; }
    bool stopRequested() const override { return stop; }

    bool progressVisible = false, stop = false;
    int progressMax = 0, progress = 0;
private:
    QStringList m_lines;
    QString m_label;
};

} // namespace velor
