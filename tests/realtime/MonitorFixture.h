#pragma once
// A small market for the monitor: stored closes of 100, quote pages whose prices the test sets,
// a view that records what the window would show, and a wait that never waits.
#include "QuotePages.h"
#include "db/PriceFile.h"
#include "realtime/SurgeMonitor.h"
#include "support/TestSupport.h"

#include <functional>
#include <gtest/gtest.h>

namespace velor::test {

/// A stock page with the given prices (the same layout as the real pages).
inline QByteArray monitorPage(const QString &close, const QString &open, const QString &volume = QStringLiteral("150,000"),
                              const QString &value = QStringLiteral("20,000"))
{
    return (pad(16000) + QStringLiteral(R"("stock_price":")") + close + QStringLiteral(R"(")") + sep() + pad(32000) +
            QStringLiteral(R"("openPrice":")") + open + QStringLiteral(R"(")") + sep() + QStringLiteral(R"("highPrice":")") +
            close + QStringLiteral(R"(")") + sep() + QStringLiteral(R"("lowPrice":")") + open + QStringLiteral(R"(")") +
            sep() + QStringLiteral(R"("volume":")") + volume + QStringLiteral(R"(株")") + sep() +
            QStringLiteral(R"("tradingValue":")") + value + QStringLiteral(R"(千円")") + sep())
        .toUtf8();
}

class RecordingMonitorView final : public MonitorView {
public:
    void setStatus(const QString &t) override { status = t; }
    void setProgressText(const QString &t) override
    {
        progressText = t;
        progressTexts << t;
    }
    void setProgress(int v, int m) override { progress = v; progressMax = m; }
    void setList(int k, const QStringList &rows) override { lists[size_t(k)] = rows; }
    void setListsEnabled(bool on) override { listsEnabled = on; }
    void setRecalcEnabled(bool on) override { recalcEnabled = on; }
    void setWaitText(const QString &t) override { waitText = t; }
    void placeFromMain(int r, int d) override { placed.push_back({r, d}); }
    void closeWindow() override { ++closed; }
    void setMonitorChecked(bool on) override { monitorChecked = on; }
    void pump() override
    {
        // The user stops after `stopAfter` passes, as 停止 would.
        if (monitor && monitor->running() && monitor->passCount() >= stopAfter) monitor->Command1_Click();
    }
    SurgeMonitor *monitor = nullptr;
    int stopAfter = 2;
    QString status, progressText, waitText;
    QStringList progressTexts;   ///< every progress text in order
    int progress = 0, progressMax = 0, closed = 0;
    bool listsEnabled = true, recalcEnabled = true, monitorChecked = false;
    std::array<QStringList, 7> lists;
    std::vector<std::pair<int, int>> placed;
};

/// Records each wait and runs a step in its place (change the pages, press a button).
class FakePassWait final : public PassWait {
public:
    void wait(int ms) override
    {
        waits.push_back(ms);
        if (during) during();
    }
    void wake() override { ++wakes; }
    std::vector<int> waits;
    int wakes = 0;
    std::function<void()> during;
};

struct MonitorFixture {
    ProgramFolder pf;
    TestEnv env;
    RecordingMonitorView view;
    FakePassWait wait;
    SurgeMonitor monitor{pf.st, env.services, view, wait};

    /// The master: 1001, 1002, then `stocks` stocks from code 1301 up, all section 1, each with
    /// one stored day closing at 100 on 150,000 shares.
    explicit MonitorFixture(int stocks)
    {
        std::vector<std::tuple<int, QString, int>> entries = {{1001, QStringLiteral("日経平均"), 1},
                                                              {1002, QStringLiteral("ＴＯＰＩＸ"), 1}};
        for (int k = 0; k < stocks; ++k) entries.push_back({1301 + k, QStringLiteral("銘柄%1").arg(k, 3, 10, QLatin1Char('0')), 1});
        pf.writeMaster(entries);
        for (const auto &[code, name, section] : entries) {
            PriceSections s;
            s[0] = {Bar{20261127, 100, 100, 100, 100, 150000}};
            s[1] = s[0];
            s[2] = s[0];
            EXPECT_TRUE(writePriceFile(pf.data + QString::number(code) + ".csv", s));
        }
        State &st = pf.st;
        st.sites.QuoteUrl = QStringLiteral("https://quotes.test");
        st.sites.FuturesUrl = QStringLiteral("https://futures.test");
        st.RealSwitch = 0;
        st.RealMinPrice = 1;
        st.RealMaxPrice = 100000;
        st.RealTurnover = 0;
        st.RealParam = 0;
        env.clock.set(QDateTime(QDate(2026, 11, 30), QTime(10, 15)));
        // The index trades at 5 with an open of 0 (the futures layout gives close - 5): no score.
        env.net.pages[QStringLiteral("https://futures.test/cme/")] = futuresPage(QStringLiteral("5")).toUtf8();
        view.monitor = &monitor;
    }
    static QString address(int code) { return QStringLiteral("https://quotes.test/quote/%1.T").arg(code); }
    void page(int code, const QString &close, const QString &open) { env.net.pages[address(code)] = monitorPage(close, open); }
};

} // namespace velor::test
