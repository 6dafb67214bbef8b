#pragma once
// The surge/plunge monitor: passes over the whole master, each stock's live price against its
// previous close, today's open and the previous pass, and six lists of the strongest movers.
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

class QEventLoop;

namespace velor {

struct State;
struct Services;
struct QuotePage;

/// What the monitor shows: the window implements it; tests and the command record it.
class MonitorView {
public:
    virtual ~MonitorView() = default;
    virtual void setStatus(const QString &text) = 0;
    virtual void setProgressText(const QString &text) = 0;
    virtual void setProgress(int value, int maximum) = 0;
    /// List k (1..6) now holds these rows.
    virtual void setList(int k, const QStringList &rows) = 0;
    virtual void setListsEnabled(bool on) = 0;
    virtual void setRecalcEnabled(bool on) = 0;
    virtual void setWaitText(const QString &text) = 0;
    /// Places the window `right` twips right of the main window's left edge and, unless `down`
    /// is negative, `down` twips below its top.
    virtual void placeFromMain(int right, int down) = 0;
    virtual void closeWindow() = 0;
    /// F666's check mark in the main window's menu.
    virtual void setMonitorChecked(bool on) = 0;
    /// Lets the window handle its events during long work (the stop button among them).
    virtual void pump() {}
};

/// The wait between passes: returns after `ms` or as soon as wake() is called.
class PassWait {
public:
    virtual ~PassWait() = default;
    virtual void wait(int ms) = 0;
    virtual void wake() = 0;
};

/// Waits in a local event loop: the window stays responsive and nothing spins.
class EventLoopWait final : public PassWait {
public:
    void wait(int ms) override;
    void wake() override;
private:
    QEventLoop *m_loop = nullptr;
    bool m_woken = false;
};

/// The six list captions, List1..List6.
QStringList monitorCaptions();

/// The wait factor of a Text1 text: its leading number (blanks, sign, digits), in seconds.
int waitSeconds(const QString &text);

class SurgeMonitor {
public:
    SurgeMonitor(State &st, Services &sv, MonitorView &view, PassWait &wait)
        : m_st(st), m_sv(sv), m_view(view), m_wait(wait) {}

    /// RealMeigara(n): n 0 saves the state and takes RealParam as the wait; refuses (false, with
    /// the message, the window closed) from 7:00 to 8:59; otherwise runs passes until stopped.
    bool RealMeigara(int n);
    /// One pass: the base pass when RealCount is 0, else scores, the six lists and the wait.
    void RealPass();

    void Command1_Click();   ///< 停止
    void Command2_Click();   ///< 再計算
    void cmdEXIT_Click();    ///< 閉じる (also the close box)
    /// A mouse press on list k: the stock of a left-clicked row is shown; returns the row's code.
    int listMouseDown(int k, const QString &rowText, bool leftButton);
    void Text1_KeyPress(const QString &text) { m_waitText = text; }

    /// Row i of list k as the list shows it.
    QString rowText(int i, int k) const;

    bool running() const { return RealRunning; }
    bool inLoop() const { return m_inLoop; }
    bool isOpen() const { return m_open; }
    int passCount() const { return RealCount; }
    const std::array<QStringList, 7> &lists() const { return m_lists; }
    int failedPages() const { return m_failed; }
    /// Pages the last scoring pass asked for (failed ones included).
    int pagesAsked() const { return m_asked; }
    const QString &firstError() const { return m_firstError; }
    int listClicked() const { return RealList; }

    /// Requests in flight during a pass (sites.ini MaxConnections unless set here).
    void setInFlight(int n) { m_inFlight = n; }

    /// Called once a pass has filled the six lists, before the wait (alerts look at them).
    std::function<void()> onPassLists;
    /// The prices of the pages the last pass read: (code, price), prices of 0 left out.
    const std::vector<std::pair<int, float>> &pagePrices() const { return m_pagePrices; }

    // Per master entry 1..StockCount.
    std::vector<float> RealBase, RealLast;
    std::vector<std::array<double, 7>> RealScore;
    std::vector<std::array<float, 7>> RealPrice, RealVolume;
    std::vector<int16_t> RankIndex;

private:
    void resize();
    void basePass();
    bool scorePass();
    void scoreEntry(int i, const QuotePage *page);
    void buildLists();
    void waitBetweenPasses();
    QString statusText() const;
    void pumpSometimes(int i);

    State &m_st;
    Services &m_sv;
    MonitorView &m_view;
    PassWait &m_wait;

    bool RealRunning = false;
    int RealCount = 0;
    int RealList = 0;
    int16_t m_savedOffset = 0, m_savedLive = 0, m_savedQuote = 0;
    int m_savedCode = 1001;
    QString m_waitText;
    bool m_open = false, m_inLoop = false, m_restart = false;
    int m_inFlight = 0;
    int m_processed = 0, m_passed = 0;
    int m_failed = 0, m_failing = 0;
    int m_asked = 0, m_asking = 0;
    QString m_firstError, m_firstErrorNow;
    std::vector<std::array<bool, 7>> m_scored;
    std::vector<bool> m_passStored;   ///< RealSwitch: the stored bar is in range
    std::array<QStringList, 7> m_lists;
    std::vector<std::pair<int, float>> m_pagePrices;
};

} // namespace velor
