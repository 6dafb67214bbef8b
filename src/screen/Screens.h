#pragma once
// frmRanking's logic: the screen frame (BeginScreen, AddRow, the list walks, EndScreen), the
// score tables, and every screen and ranking of the market. Each screen walks the whole master,
// scores each stock, sorts and writes its lists into a ScreenView.
#include "db/Services.h"
#include "db/State.h"
#include "realtime/QuoteReader.h"
#include "screen/FormulaScreen.h"
#include "screen/PageFailures.h"
#include "screen/ScreenView.h"

#include <QStringList>
#include <functional>
#include <span>
#include <vector>

namespace velor {

class Screens {
public:
    Screens(State &st, Services &sv, ScreenView &view);

    /// BeginScreen: stamp, saved CurCode, the three progress lines, progress bar, label.
    QString BeginScreen(const QString &title);
    /// EndScreen: label end time, CurCode back, DONE.wav.
    void EndScreen();
    /// AddRow: the data row of RankIndex(pos) with its score from `score`; CurCode is the
    /// entry's code. Index series (1002 and lower) write nothing.
    void AddRow(const std::vector<double> &score, int pos);

    void RANKING();
    void Toujitu();
    void neHABA(int variant);
    void SHINKI_HAISHI();
    void SRSI();
    void SRCI();
    void SKAIRI();
    void SPSYC();
    void PER();
    void PBR();
    void EPS();
    void BPS();
    void SHINYOUBAIRITSU();
    void HAITOU();
    void SKD();
    void MINKABU();
    void MINKABU2();
    void SQR2(int j1, int j2);
    void SQR3(int j1, int j2);
    /// 自作スクリーニング: the stocks passing the frame's floors and the filter, ranked by the
    /// score (FormulaScreen.h).
    void FormulaScreen(const FormulaScreenPlan &plan);

    /// True while a screen runs (the window's events may arrive during a page wait).
    bool running() const { return m_running; }
    /// The last run was stopped by the user before it examined every stock.
    bool stopped() const { return m_stopped; }
    /// Pages that failed during the last run.
    const PageFailures &failures() const { return m_net.failures; }
    /// A screen asked for while one runs is not started: the label says so, until the run ends.
    void refuseWhileRunning();

    std::vector<double> Score1, Score2, Score3, Score4;
    std::vector<int16_t> RankIndex;

private:
    enum class Walk { Top, Bottom };
    enum class Keep { Any, Above, Below };
    struct ListPlan {
        std::vector<double> *score;
        Walk walk;
        Keep keep;
        double threshold;
        QString header;
        int length;   ///< positions walked
    };

    /// Runs a screen body as one run: not re-entered, failures reported once at its end.
    void run(const std::function<void()> &body);
    void writeList(const ListPlan &l, const QString &stamp);
    /// SortByValue of a score table into RankIndex over the whole master.
    void sort(const std::vector<double> &score);
    /// The fundamental screens' shared walk (PER, PBR, EPS, BPS, 信用倍率).
    void fundamentalScreen(const QString &name, double reset1, double reset2, bool skipSection4,
                           const std::function<double()> &value, const QString &topHeader, const QString &bottomHeader);
    void targetPriceScreen(bool filtered);
    void indicatorScreen(int which);
    /// Fetches the quote pages of `entries` (in master order), applying each to the state and
    /// calling `score(entry)`; stops when the user asks. False when stopped.
    bool walkQuotePages(const std::vector<int> &entries, const std::function<void(int entry)> &score);
    /// Walks the given master entries calling `body`; false when stopped.
    bool walkEntries(const std::vector<int> &entries, const std::function<void(int entry)> &body);
    /// Walks entries 1..StockCount calling `body`; false when stopped.
    bool walkMaster(const std::function<void(int entry)> &body);
    void resetScores(int entry, double s1, double s2 = 0, double s3 = 0, double s4 = 0);
    /// KDOPN of n bars; bars the file does not hold read as 0 rather than the previous stock's.
    void load(int n);
    void load(int n, Services &sv);
    bool admitted(double turnover, float close) const;
    bool fetchesQuote(int code) const;
    int ref() const { return m_st.BarOffset + 1; }
    QString nowText() const;
    void progress(int entry, bool stoppable);

    State &m_st;
    Services &m_sv;
    ScreenView &m_view;
    CountingNet m_net;
    QuietDialogs m_quiet;
    QuoteReader m_reader;
    Services m_qsv;     ///< the services with the counting net and the quiet quote reader
    NoLiveQuote m_noQuote;
    /// The live bar each stock's page gave during a fundamental walk, by master entry.
    struct LiveBar { float open = 0, high = 0, low = 0, close = 0; double volume = 0; };
    std::vector<LiveBar> m_live;
    /// Rows take the live bar read by the walk instead of fetching the page a second time.
    bool m_liveRows = false;
    int m_savedCode = 0;
    int m_shownAtStart = 0;   ///< LastCode at BeginScreen: a chart drawn since is the user's choice
    QString m_startLabel;
    bool m_refused = false;
    bool m_running = false;
    bool m_stopped = false;
    int m_examined = 0;
};

/// SortByValue's order (stable, ascending, values compared in single precision) in n log n time.
void sortScores(std::span<const double> value, std::span<int16_t> index, int count);

/// The label's line when a screen is asked for while another runs.
QString screenRefusedText();

/// The caption of the ranking window.
inline constexpr char16_t kRankingCaption[] = u"検索／ランキング／絞り込み";

} // namespace velor
