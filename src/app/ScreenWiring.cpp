#include "app/ScreenWiring.h"

#include "app/MainWindow.h"
#include "lists/ListWidgetView.h"
#include "lists/WatchLists.h"
#include "screen/RankingWindow.h"

#include <QPointer>

namespace velor {

namespace {

// Lives as a child of the main window; creates frmRanking on first use and keeps it.
class ScreenController final : public QObject {
public:
    explicit ScreenController(MainWindow &w)
        : QObject(&w), m_w(w), m_view(w.List1, w.lblList, w.txtCODE, w.toolAction(QStringLiteral("showd"))),
          m_lists{w.state(), w.services(), m_view}
    {
        setObjectName(QStringLiteral("ScreenController"));
    }

    RankingWindow *window() const { return m_window; }

    /// Shows frmRanking, then runs the screen; a screen already running is not started again.
    void launch(const std::function<void(Screens &)> &screen)
    {
        if (m_window && m_window->screens().running()) {
            m_w.services().sound.beep();
            m_window->screens().refuseWhileRunning();
            return;
        }
        if (!m_window) {
            m_window = new RankingWindow(
                m_w.state(), m_w.services(),
                [this](int code) {
                    m_w.state().CurCode = code;
                    m_w.redrawChart(1);
                },
                [this](int n, int code) { addToWatchList(m_lists, n, code); }, &m_w);
        }
        // Placed each time it opens (閉じる only hides it, and the main window may have moved),
        // once shown, when its frame is known.
        const bool opening = !m_window->isVisible();
        m_window->show();
        if (opening) m_window->placeBeside(m_w.frameGeometry(), m_w.geometry(), m_w.chartAndListArea());
        m_window->raise();
        screen(m_window->screens());
    }

private:
    MainWindow &m_w;
    ListWidgetView m_view;
    Lists m_lists;
    QPointer<RankingWindow> m_window;
};

ScreenController *controllerOf(MainWindow &w)
{
    return w.findChild<ScreenController *>(QStringLiteral("ScreenController"), Qt::FindDirectChildrenOnly);
}

} // namespace

void wireScreens(MainWindow &w)
{
    auto *c = new ScreenController(w);
    auto on = [&w, c](const char *name, std::function<void(Screens &, int)> run) {
        w.on(QString::fromLatin1(name), [c, run](int i) { c->launch([&](Screens &s) { run(s, i); }); });
    };
    on("F14", [](Screens &s, int) { s.RANKING(); });
    on("tool:ranking", [](Screens &s, int) { s.RANKING(); });
    on("F175", [](Screens &s, int) { s.Toujitu(); });
    on("F151A", [](Screens &s, int i) { s.neHABA(i); });
    on("F141", [](Screens &s, int) { s.SHINKI_HAISHI(); });
    on("F230", [](Screens &s, int) { s.SRSI(); });
    on("F235", [](Screens &s, int) { s.SRCI(); });
    on("F236", [](Screens &s, int) { s.SKAIRI(); });
    on("F237", [](Screens &s, int) { s.SPSYC(); });
    on("F757", [](Screens &s, int) { s.PER(); });
    on("F758", [](Screens &s, int) { s.PBR(); });
    on("F_EPS", [](Screens &s, int) { s.EPS(); });
    on("F_BPS", [](Screens &s, int) { s.BPS(); });
    on("F747", [](Screens &s, int) { s.HAITOU(); });
    on("F751", [](Screens &s, int) { s.SKD(); });
    on("F759", [](Screens &s, int) { s.SHINYOUBAIRITSU(); });
    on("cmdMIN", [](Screens &s, int) { s.MINKABU(); });
    on("cmdMIN2", [](Screens &s, int) { s.MINKABU2(); });
    on("F220A", [](Screens &s, int i) {
        static const int pairs[4][2] = {{1, 3}, {1, 5}, {2, 5}, {1, 20}};
        if (i >= 0 && i < 4) s.SQR2(pairs[i][0], pairs[i][1]);
    });
    on("F221", [](Screens &s, int) { s.SQR3(1, 3); });
    // 自作スクリーニング: the window with its editor open; the user runs the screen from there.
    w.on(QStringLiteral("F_FORMULA"), [c](int) { c->launch([c](Screens &) { c->window()->showFormulaSection(true); }); });
}

RankingWindow *rankingWindow(MainWindow &w)
{
    ScreenController *c = controllerOf(w);
    return c ? c->window() : nullptr;
}

} // namespace velor
