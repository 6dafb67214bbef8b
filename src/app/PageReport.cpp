#include "app/PageReport.h"

#include "app/MainWindow.h"
#include "app/StatusArea.h"

#include <QUrl>

#include <algorithm>
#include <utility>

namespace velor {

namespace {

// A site is its scheme and host (a file:// page: its folder), so that every stock's page of one
// dead quote site counts as one failure.
QString siteOf(const QString &address)
{
    const QUrl url(address);
    return url.isLocalFile() ? url.adjusted(QUrl::RemoveFilename | QUrl::RemoveQuery).toString()
                             : url.scheme() + QStringLiteral("://") + url.authority();
}

} // namespace

PageReport::PageReport(MainWindow &w) : QObject(&w), m_w(w) { setObjectName(QStringLiteral("PageReport")); }

QString PageReport::text(const QString &address, const QString &reason)
{
    return QStringLiteral("ページを読めませんでした： ") + address + QStringLiteral("（") + reason +
           QStringLiteral("）。保存済みの株価で表示し、次の表示でまた読みます。");
}

void PageReport::failed(const QString &address, const QString &reason)
{
    const QString key = siteOf(address) + QLatin1Char('\n') + reason;
    if (m_said.contains(key)) return;
    m_said.insert(key);
    const QString line = text(address, reason);
    m_w.statusArea()->showMessage(line);
    if (m_drawing) m_waiting << line;
    else m_w.notice(line);
}

void PageReport::setDrawing(bool drawing)
{
    m_drawing = std::max(0, m_drawing + (drawing ? 1 : -1));
    if (m_drawing > 0) return;
    for (const QString &line : std::exchange(m_waiting, {})) m_w.notice(line);
}

void PageReport::read(const QString &address)
{
    const QString site = siteOf(address) + QLatin1Char('\n');
    bool cleared = false;
    for (auto it = m_said.begin(); it != m_said.end();)
        if (it->startsWith(site)) it = m_said.erase(it), cleared = true;
        else ++it;
    if (cleared && m_said.isEmpty()) m_w.statusArea()->clearMessage();
}

PageReport *pageReport(MainWindow &w) { return w.findChild<PageReport *>(QStringLiteral("PageReport"), Qt::FindDirectChildrenOnly); }

} // namespace velor
