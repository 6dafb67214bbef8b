#include "realtime/MinuteSwitch.h"
#include "realtime/QuoteReader.h"
#include "support/TestSupport.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace velor;
using namespace velor::test;

namespace {

class RecordingControls final : public MinuteControls {
public:
    explicit RecordingControls(State &st) : m_st(st) {}
    void setTimerInterval(int ms) override { timer = ms; calls << QStringLiteral("timer %1").arg(ms); }
    void setMinuteChecks(bool on, bool off) override
    {
        checkOn = on;
        checkOff = off;
        calls << QStringLiteral("checks %1%2").arg(int(on)).arg(int(off));
    }
    void liveOn() override { calls << QStringLiteral("live"); }
    void advancePeriod() override
    {
        // As chgHSTF advances it.
        m_st.CurPeriod = (m_st.CurPeriod >= 0 && m_st.CurPeriod < 3) ? int16_t(m_st.CurPeriod + 1) : int16_t(0);
        calls << QStringLiteral("period %1").arg(m_st.CurPeriod);
    }
    void advanceAxis() override { calls << QStringLiteral("axis %1").arg(m_st.AxisMode); }
    void toggleVolumeSwitch() override { calls << QStringLiteral("volume %1").arg(int(m_st.VolFilterOn)); }
    int timer = -1;
    bool checkOn = false, checkOff = true;
    QStringList calls;
private:
    State &m_st;
};

class OneBarQuote final : public LiveQuote {
public:
    void getVec(State &st) override
    {
        ++calls;
        st.BarOpen[0] = st.BarHigh[0] = st.BarLow[0] = 500;
        st.BarClose[0] = 505;
        st.BarVolume[0] = 1000;
    }
    int calls = 0;
};

struct Fixture {
    ProgramFolder pf;
    TestEnv env;
    OneBarQuote quote;
    RecordingControls ui{pf.st};
    MinuteSwitch sw;
    Fixture()
    {
        pf.writeMaster({{1001, QStringLiteral("日経平均"), 1}, {1301, QStringLiteral("極洋"), 1}});
        writeFile(pf.program + "touroku.dat", " 1301 \r\n");
        env.services.liveQuote = &quote;
        env.clock.set(QDateTime(QDate(2026, 12, 7), QTime(10, 15)));
    }
    QString file(const char *name) const { return pf.program + "FUNASHI/" + name; }
};

} // namespace

TEST(MinuteSwitch, AllStocksOnlyWarns)
{
    Fixture f;
    f.pf.st.AllStocks = true;
    funashi_Click(f.sw, f.pf.st, f.env.services, f.ui, 0);
    EXPECT_EQ(f.env.dialogs.texts(), QStringList{QStringLiteral("全銘柄を選択している時は分足表示出来ません。")});
    EXPECT_EQ(f.env.dialogs.shown[0].icon, Icon::Warning);
    EXPECT_TRUE(f.ui.calls.isEmpty());
    EXPECT_EQ(f.quote.calls, 0);
    EXPECT_FALSE(QFile::exists(f.file("Fmeigara.dat")));
}

TEST(MinuteSwitch, OnAsksResetsAndCollects)
{
    Fixture f;
    writeFile(f.file("1301.csv"), " 12060905 , 1 , 1 , 1 , 1 , 1 \r\n");
    writeFile(f.file("7203.csv"), " 12060905 , 1 , 1 , 1 , 1 , 1 \r\n");
    f.env.dialogs.answers.push_back(Answer::Yes);
    funashi_Click(f.sw, f.pf.st, f.env.services, f.ui, 0);
    ASSERT_EQ(f.env.dialogs.shown.size(), 1u);
    EXPECT_EQ(f.env.dialogs.shown[0].text,
              QStringLiteral("分足は7:00～9:00まで（除く日経２２５）\r\nおよびその日最初に値がつくまで表示されません。\r\n\r\n分足データをリセットしますか？"));
    EXPECT_EQ(f.ui.calls, (QStringList{"timer 50000", "checks 10", "live", "axis 2", "volume 1"}));
    EXPECT_EQ(f.pf.st.CurPeriod, 3);
    EXPECT_EQ(f.pf.st.QuoteMode, 1);
    EXPECT_TRUE(f.pf.st.MinuteBarsOn);
    EXPECT_FALSE(f.sw.MinuteAsk);
    EXPECT_FALSE(QFile::exists(f.file("7203.csv")));
    EXPECT_EQ(readFile(f.file("1301.csv")), QByteArray(" 12071015 , 500 , 500 , 500 , 505 , 1000 \r\n"));
    EXPECT_EQ(readFile(f.file("Fmeigara.dat")), QByteArray(" 1301 \r\n"));
    EXPECT_EQ(f.env.shell.redraws().back(), 1);
    // The next tick asks nothing and keeps the records.
    f.env.clock.advanceSeconds(60);
    Timer2_Timer(f.sw, f.pf.st, f.env.services, f.ui);
    EXPECT_EQ(f.env.dialogs.shown.size(), 1u);
    EXPECT_EQ(readFile(f.file("1301.csv")).count('\n'), 2);
}

TEST(MinuteSwitch, NoKeepsTheFiles)
{
    Fixture f;
    writeFile(f.file("7203.csv"), " 12060905 , 1 , 1 , 1 , 1 , 1 \r\n");
    f.env.dialogs.answers.push_back(Answer::No);
    funashi_Click(f.sw, f.pf.st, f.env.services, f.ui, 0);
    EXPECT_TRUE(QFile::exists(f.file("7203.csv")));
    EXPECT_TRUE(f.ui.checkOn);
}

TEST(MinuteSwitch, CancelLeavesItOff)
{
    Fixture f;
    f.env.dialogs.answers.push_back(Answer::Cancel);
    funashi_Click(f.sw, f.pf.st, f.env.services, f.ui, 0);
    EXPECT_EQ(f.ui.calls, (QStringList{"timer 50000", "timer 0"}));
    EXPECT_FALSE(f.sw.on);
    EXPECT_TRUE(f.sw.MinuteAsk);
    EXPECT_EQ(f.quote.calls, 0);
    EXPECT_EQ(f.pf.st.CurPeriod, 0);
}

TEST(MinuteSwitch, OffReturnsToDaily)
{
    Fixture f;
    funashi_Click(f.sw, f.pf.st, f.env.services, f.ui, 0);
    ASSERT_EQ(f.pf.st.CurPeriod, 3);
    f.ui.calls.clear();
    funashi_Click(f.sw, f.pf.st, f.env.services, f.ui, 1);
    EXPECT_EQ(f.ui.calls, (QStringList{"timer 0", "period 0", "checks 01"}));
    EXPECT_EQ(f.pf.st.CurPeriod, 0);
    EXPECT_TRUE(f.sw.MinuteAsk);
    EXPECT_FALSE(f.pf.st.MinuteBarsOn);
    EXPECT_EQ(f.env.shell.redraws().back(), 1);
    // While off, a tick only makes the next start ask again.
    f.sw.MinuteAsk = false;
    const int fetched = f.quote.calls;
    Timer2_Timer(f.sw, f.pf.st, f.env.services, f.ui);
    EXPECT_TRUE(f.sw.MinuteAsk);
    EXPECT_EQ(f.quote.calls, fetched);
}

TEST(MinuteSwitch, FailedPagesAreOneLineWithTheCountNotABoxPerPageEveryTick)
{
    Fixture f;
    f.pf.writeMaster({{1001, QStringLiteral("日経平均"), 1}, {1301, QStringLiteral("極洋"), 1}, {1332, QStringLiteral("日本水産"), 1}});
    writeFile(f.pf.program + "touroku.dat", " 1301 \r\n 1332 \r\n");
    // The real reader over a net without these pages: every page fails.
    f.pf.st.sites.QuoteUrl = QStringLiteral("https://quotes.test");
    QuoteReader reader(f.env.clock, f.env.net, f.env.dialogs);
    f.env.services.liveQuote = &reader;
    f.env.dialogs.answers.push_back(Answer::No);
    funashi_Click(f.sw, f.pf.st, f.env.services, f.ui, 0);
    const QString line = QStringLiteral("分足: ページを取得できなかった銘柄が 2 件ありました。最初のアドレス: "
                                        "https://quotes.test/quote/1301.T　理由: 見つかりません\r\n");
    EXPECT_EQ(f.env.shell.messages(), line);
    f.env.clock.advanceSeconds(50);
    Timer2_Timer(f.sw, f.pf.st, f.env.services, f.ui);
    f.env.clock.advanceSeconds(50);
    Timer2_Timer(f.sw, f.pf.st, f.env.services, f.ui);
    // Only the reset question was a box; each tick's line replaces the last one with the redraw.
    EXPECT_EQ(f.env.dialogs.texts(), QStringList{minuteResetQuestion()});
    EXPECT_TRUE(f.env.shell.messages().startsWith(line));
    EXPECT_EQ(f.env.net.requested.size(), 6);
    EXPECT_FALSE(QFile::exists(f.file("1301.csv")));
    // Once the pages are back, no line.
    f.env.net.pages[QStringLiteral("https://quotes.test/quote/1301.T")] = QByteArray("x");
    f.env.net.pages[QStringLiteral("https://quotes.test/quote/1332.T")] = QByteArray("x");
    f.env.shell.clearMessages();
    f.env.clock.advanceSeconds(50);
    Timer2_Timer(f.sw, f.pf.st, f.env.services, f.ui);
    EXPECT_EQ(f.env.shell.messages(), QString());
}
