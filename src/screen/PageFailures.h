#pragma once
// A screen fetches hundreds or thousands of pages; a failed page must not stop it or ask for a
// click per stock. This net passes every request on and counts what failed, so the screen can
// report the failures once at its end.
#include "common/Dialogs.h"
#include "common/Net.h"

#include <QSet>

namespace velor {

struct PageFailures {
    int count = 0;   ///< pages (addresses) that failed at least once
    QString firstAddress;
    QString firstReason;
    int read = 0;    ///< pages that came back with something in them
    void add(const QString &address, const QString &reason)
    {
        if (m_seen.contains(address)) return;
        m_seen.insert(address);
        if (count++ == 0) { firstAddress = address; firstReason = reason; }
    }
private:
    QSet<QString> m_seen;
};

/// A page that is an error or empty counts as failed (an empty page gives no values).
class CountingNet final : public Net {
public:
    explicit CountingNet(Net &inner) : m_inner(inner) {}
    std::expected<QByteArray, NetError> fetch(const QString &address, const FetchLimits &limits) override
    {
        auto page = m_inner.fetch(address, limits);
        check(address, page);
        return page;
    }
    void fetchOrdered(const QStringList &addresses, const FetchLimits &limits, int inFlight,
                      const PageHandler &onPage) override
    {
        m_inner.fetchOrdered(addresses, limits, inFlight, [&](int i, const std::expected<QByteArray, NetError> &page) {
            check(addresses.value(i), page);
            return onPage(i, page);
        });
    }
    PageFailures failures;
private:
    void check(const QString &address, const std::expected<QByteArray, NetError> &page)
    {
        if (!page) failures.add(address, page.error().reason);
        else if (page->isEmpty()) failures.add(address, QStringLiteral("ページが空です"));
        else ++failures.read;
    }
    Net &m_inner;
};

/// Swallows the quote reader's per-stock warning during a screen; the failure is counted instead.
class QuietDialogs final : public Dialogs {
public:
    Answer message(const QString &, Icon = Icon::None, const QString & = {}, Buttons = Buttons::Ok) override
    {
        return Answer::Ok;
    }
    QString openFile(const QString &, const QString &, const QString &) override { return {}; }
    QString saveFile(const QString &, const QString &, const QString &) override { return {}; }
};

/// The one message of a run whose pages failed: how many, the first address and its error.
QString failuresText(const PageFailures &f);

} // namespace velor
