#pragma once
// Pages the window reads while it draws (quote, futures, world index) that fail: each failure
// is said once, in the message pane and the status bar, never in a box, and said again only
// after a page of that site was read in between. The next draw simply reads the page again.
#include "db/LiveQuote.h"

#include <QObject>
#include <QSet>

namespace velor {

class MainWindow;

class PageReport final : public QObject, public QuoteFailureSink {
public:
    explicit PageReport(MainWindow &w);

    void quoteFailed(const QString &address, const QString &reason) override { failed(address, reason); }
    void quoteRead(const QString &address) override { read(address); }
    void failed(const QString &address, const QString &reason);
    void read(const QString &address);

    /// The text a failure is said with.
    static QString text(const QString &address, const QString &reason);

    /// While the chart draws, lines wait: the draw rewrites the pane with its price listing.
    /// Ending the draw puts them in the pane.
    void setDrawing(bool drawing);

private:
    MainWindow &m_w;
    int m_drawing = 0;   ///< draws under way (a page's wait lets a click start another)
    QStringList m_waiting;
    QSet<QString> m_said;   ///< site + reason of the failures said since that site last answered
};

/// The report of the window (made with the window's realtime wiring).
PageReport *pageReport(MainWindow &w);

} // namespace velor
