#include "app/ChartWiring.h"

#include "app/MainWindow.h"
#include "app/PageReport.h"
#include "chart/Chart.h"
#include "chart/ChartWidget.h"
#include "chart/DisplayModes.h"
#include "common/Net.h"
#include "common/Utils.h"
#include "db/Sites.h"

#include <QAction>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTextBrowser>
#include <QScrollBar>
#include <QTextDocument>

#include <memory>

namespace velor {

namespace {

// Captions and check marks go straight to the window's actions.
class WindowModeView final : public ModeView {
public:
    explicit WindowModeView(MainWindow &w) : m_w(w) {}
    void setToolCaption(const QString &key, const QString &caption) override
    {
        if (QAction *a = m_w.toolAction(key)) a->setText(caption);
    }
    void setChecked(const QString &group, int index, bool on) override
    {
        if (QAction *a = m_w.action(group.toLatin1().constData(), index)) a->setChecked(on);
    }
private:
    MainWindow &m_w;
};

// Owned by the window through the QObject tree.
struct ChartSession : QObject {
    ChartSession(MainWindow &w)
        : QObject(&w), chart(w.state(), w.services()), view(w), modes{w.state(), w.services(), view, chart.hooks}
    {
    }
    Chart chart;
    WindowModeView view;
    ModeContext modes;
    bool worldShown = false;
};

// A click on the world-index pane opens its page in the browser.
class WorldPaneClick final : public QObject {
public:
    WorldPaneClick(MainWindow &w, QObject *parent) : QObject(parent), m_w(w) {}
    bool eventFilter(QObject *watched, QEvent *e) override
    {
        if (e->type() == QEvent::MouseButtonRelease) {
            const QString address = m_w.WebBrowser1->property("address").toString();
            if (!address.isEmpty() && !m_w.services().launcher.openUrl(m_w.state().BrowserPath, address))
                m_w.services().dialogs.message(launchFailedText(LaunchKind::Browser, m_w.state().BrowserPath), Icon::Error);
            return true;
        }
        return QObject::eventFilter(watched, e);
    }
private:
    MainWindow &m_w;
};

QString panelText(const QString &s) { return QString(s).replace(QStringLiteral("\r\n"), QStringLiteral("\n")); }

// The world-index pane: read once per run (the page changes slowly and a fetch may wait long);
// a page that failed is said once and read again at the next full draw.
void showWorldIndex(MainWindow &w, ChartSession &s)
{
    w.WebBrowser1->show();
    if (s.worldShown) return;
    const State &st = w.state();
    const QString address = joinAddress(st.sites.WorldIndexUrl, QStringLiteral("/bp1.php?fw=160&cs=1"));
    w.WebBrowser1->setProperty("address", address);
    FetchLimits limits;
    limits.timeoutMs = st.sites.FetchTimeoutSeconds * 1000;
    limits.totalMs = 2 * limits.timeoutMs;   // the draw waits for it: two time-outs in all
    const auto page = w.services().net.fetch(address, limits);
    PageReport *report = pageReport(w);
    if (!page) {
        if (report) report->failed(address, page.error().reason);
        return;
    }
    s.worldShown = true;
    if (report) report->read(address);
    w.WebBrowser1->setHtml(QString::fromUtf8(*page));
    // The page is made for a pane a little wider than this one: a smaller type keeps its last
    // column (前日比) in view, a vertical scroll bar or not.
    // Measured on a copy: the pane itself lays its text out only once it is shown.
    QTextBrowser *pane = w.WebBrowser1;
    const QRect box = pane->contentsRect();
    QFont f = pane->font();
    for (int px = f.pixelSize(); px >= 7; --px) {
        f.setPixelSize(px);
        std::unique_ptr<QTextDocument> probe(pane->document()->clone());
        probe->setDefaultFont(f);
        probe->setTextWidth(box.width());
        const bool scrolls = probe->size().height() > box.height();
        const int room = box.width() - (scrolls ? pane->verticalScrollBar()->sizeHint().width() : 0);
        if (probe->idealWidth() <= room || px == 7) {
            pane->setFont(f);
            break;
        }
    }
}

void applyTexts(MainWindow &w, ChartSession &s)
{
    const ChartTexts &t = s.chart.texts();
    w.setWindowTitle(t.title);
    w.lblHSTOF->setText(t.status);
    if (t.full) {
        w.txtCODE->setText(t.code);
        w.lblNE->setText(t.name);
        w.lblRSI->setText(panelText(t.panel));
        showWorldIndex(w, s);
    }
    w.lblCI->setText(panelText(t.warnings));
}

} // namespace

Chart &wireChart(MainWindow &w)
{
    auto *s = new ChartSession(w);
    auto *area = new ChartWidget;
    w.setChartArea(area);
    area->onContextMenu = [&w](QPoint at) { w.chartPopup()->popup(at); };
    s->chart.hooks.syncList = [&w] { w.click(QStringLiteral("List1:sync"), -1); };
    s->chart.hooks.readMinuteBars = [&w](int n) { w.click(QStringLiteral("ReadMinuteBars"), n); };
    w.WebBrowser1->viewport()->installEventFilter(new WorldPaneClick(w, s));

    w.on(QStringLiteral("chart"), [&w, s, area](int mode) {
        PageReport *report = pageReport(w);
        if (report) report->setDrawing(true);
        if (s->chart.chart(mode)) {
            area->setScene(s->chart.scene(), s->chart.snapshot());
            applyTexts(w, *s);
        }
        if (report) report->setDrawing(false);
    });
    area->onWheel = [s](int steps) { wheelBars(s->modes, steps); };
    area->onScroll = [s](int bars) { shiftBarOffset(s->modes, bars, s->chart.snapshot().bars.BarCount); };
    area->setCrosshair(w.state().sites.Crosshair);
    if (QAction *a = w.action("CROSS")) a->setChecked(area->crosshair());
    w.on(QStringLiteral("CROSS"), [&w, area](int) {
        State &st = w.state();
        st.sites.Crosshair = !area->crosshair();
        area->setCrosshair(st.sites.Crosshair);
        if (QAction *a = w.action("CROSS")) a->setChecked(area->crosshair());
        // Remembered in sites.ini as 株価調整 is; the chart follows the choice even when that cannot be written.
        if (auto r = setSitesKey(pathIn(st.ProgramDir, QStringLiteral("sites.ini")), QStringLiteral("Crosshair"),
                                 st.sites.Crosshair ? QStringLiteral("1") : QStringLiteral("0"));
            !r)
            w.prependMessage(r.error() + QStringLiteral("\r\n"));
    });
    w.on(QStringLiteral("startup:modes"), [s](int) { startupModes(s->modes); });
    w.on(QStringLiteral("tool:chart"), [s](int) { toolChart(s->modes); });
    w.on(QStringLiteral("tool:kindx"), [s](int) { indicatorCycle(s->modes); });
    w.on(QStringLiteral("tool:correl"), [s](int) { axisCycle(s->modes); });
    w.on(QStringLiteral("tool:showd"), [s](int) { chgDCFLG(s->modes); });
    w.on(QStringLiteral("F051A"), [s](int i) { F051A_Click(s->modes, i); });
    w.on(QStringLiteral("F061"), [s](int i) { F061_Click(s->modes, i); });
    w.on(QStringLiteral("PL100"), [s](int i) { PL100_Click(s->modes, i); });
    w.on(QStringLiteral("PU_HST"), [s](int i) { PU_HST_click(s->modes, i); });
    w.on(QStringLiteral("PL105"), [s](int i) { PL105_Click(s->modes, i); });
    w.on(QStringLiteral("F065"), [s](int) { F065_Click(s->modes); });
    return s->chart;
}

} // namespace velor
