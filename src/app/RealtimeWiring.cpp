#include "app/RealtimeWiring.h"

#include "app/MainWindow.h"
#include "realtime/LiveDisplay.h"
#include "realtime/QuoteReader.h"

#include <QAction>

namespace velor {

namespace {

// Keeps the reader alive exactly as long as the window: a child object is deleted with it.
class QuoteReaderHolder final : public QObject {
public:
    QuoteReaderHolder(MainWindow &w)
        : QObject(&w), reader(w.services().clock, w.services().net, w.services().dialogs) {}
    QuoteReader reader;
};

} // namespace

void wireRealtime(MainWindow &w)
{
    auto *holder = new QuoteReaderHolder(w);
    w.services().liveQuote = &holder->reader;
    w.on(QStringLiteral("vec"), [&w](int index) {
        const VecChecks marks = vec_Click(w.state(), w, index);
        if (QAction *a = w.action("vec", 1)) { a->setCheckable(true); a->setChecked(marks.on); }
        if (QAction *a = w.action("vec", 2)) { a->setCheckable(true); a->setChecked(marks.off); }
    });
}

} // namespace velor
