#pragma once
// What lower layers may ask of the main window: redraws, list reloads, the message pane
// (txtPrice, newest line on top) and the progress bar. The window implements it; commands
// and tests use TextShell.
#include <QString>
#include <functional>
#include <vector>

namespace velor {

class Shell {
public:
    virtual ~Shell() = default;
    /// chart(mode): 0 redraw only, 1/10 select in the list then reload, 11 reload without lookup.
    virtual void redrawChart(int mode) = 0;
    /// PL222_Click(request); a negative request reloads the current kind.
    virtual void loadWorkSet(int request) = 0;
    /// Puts text in front of the message pane's text (the caller includes any CR LF).
    virtual void prependMessage(const QString &text) = 0;
    virtual void clearMessages() = 0;
    /// The chart's price listing in place of the pane's text. The window keeps its recent
    /// message lines above it; elsewhere it is the pane's whole text.
    virtual void showListing(const QString &text)
    {
        clearMessages();
        prependMessage(text);
    }
    virtual QString messages() const = 0;
    virtual void showProgress(bool visible) = 0;
    virtual void setProgress(int value, int maximum) = 0;
    /// Lets the window paint during long work.
    virtual void keepAlive() {}
    /// Something the user should act on that stops nothing: a line in the message pane (a
    /// command prints it as a warning).
    virtual void notice(const QString &text) { prependMessage(text + QStringLiteral("\r\n")); }
    /// Long work the user can follow and stop (a download), in the status area: what it does
    /// now and how far it is (`value` of `maximum`). The first call offers the stop button.
    virtual void showActivity(const QString &text, int value, int maximum) { (void)text, (void)value, (void)maximum; }
    /// The work shown by showActivity has ended: its line, bar and stop button go.
    virtual void endActivity() {}
    /// Whether the user asked to stop the work shown by showActivity.
    virtual bool stopRequested() { return false; }
};

/// A shell without a window: keeps the message text, records redraws and reloads.
class TextShell : public Shell {
public:
    void redrawChart(int mode) override { m_redraws.push_back(mode); }
    void loadWorkSet(int request) override { m_reloads.push_back(request); }
    void prependMessage(const QString &text) override { m_text.prepend(text); }
    void clearMessages() override { m_text.clear(); }
    QString messages() const override { return m_text; }
    void showProgress(bool visible) override { m_progressVisible = visible; }
    void setProgress(int value, int maximum) override { m_progress = value; m_progressMax = maximum; }
    void showActivity(const QString &text, int value, int maximum) override
    {
        m_activity.push_back({text, value, maximum});
    }
    void endActivity() override { ++m_activityEnds; }
    bool stopRequested() override { return stopWhen && stopWhen(*this); }

    struct Activity {
        QString text;
        int value = 0, maximum = 0;
    };
    /// Decides, from what the work reported so far, when the user asks it to stop.
    std::function<bool(const TextShell &)> stopWhen;
    const std::vector<Activity> &activity() const { return m_activity; }
    int activityEnds() const { return m_activityEnds; }

    const std::vector<int> &redraws() const { return m_redraws; }
    const std::vector<int> &reloads() const { return m_reloads; }
    bool progressVisible() const { return m_progressVisible; }
    int progress() const { return m_progress; }
    int progressMax() const { return m_progressMax; }
private:
    QString m_text;
    std::vector<int> m_redraws, m_reloads;
    bool m_progressVisible = false;
    int m_progress = 0, m_progressMax = 0;
    std::vector<Activity> m_activity;
    int m_activityEnds = 0;
};

} // namespace velor
