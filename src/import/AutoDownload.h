#pragma once
// JIDOU: fetches the daily archives newer than the database from the price-data site into the
// inbox and imports them.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>

namespace velor {

struct State;
struct Services;

/// The most links examined per run.
constexpr int kMaxLinks = 100;

/// The links of the page after the newest stored day's link that a run downloads, in page
/// order: "data" + YYYY + "/D" + YYMMDD + ".lzh" in the stored day's year folder and year,
/// newer than that day, at most `kMaxLinks` examined. `found` tells whether the stored day's
/// own link was on the page (without it there is no starting point).
QStringList linksToFetch(const QByteArray &page, int32_t newestDay, bool &found);

/// For an empty database: every archive link of the page ("data" + YYYY + "/D" + YYMMDD + "." …),
/// newest first, at most `kMaxLinks`; the download takes them until the site no longer holds one.
QStringList offeredLinks(const QByteArray &page);

/// The newest stored trading day: the newest daily bar of the calendar series 1001 (0: none).
int32_t newestStoredDay(const State &st);
/// Bytes as the status line shows them ("12 KB").
QString kilobytes(qint64 bytes);

/// What F2 and `velor download` say when no price-data site is set (`sitesIni`: that file's path).
QString noDataSiteText(const QString &sitesIni);

/// Asks, empties the inbox, reads the site's top page, downloads every newer archive and runs
/// SHUDOU on them. Returns false when the run ended on an error. The downloads are shown in
/// the shell's status area and stop when it asks (nothing of this run is then imported or
/// left in the inbox, and true is returned).
bool JIDOU(State &st, Services &sv);

} // namespace velor
