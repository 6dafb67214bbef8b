#pragma once
// The demo's local price-data site: a top page linking every stored and next trading day as
// "data" + YYYY + "/D" + YYMMDD + ".lzh", and the next days' all-market files as LZH archives.
#include "demo/MarketGenerator.h"

#include <QByteArray>
#include <QString>
#include <expected>

namespace velor::demo {

/// CRC-16 (polynomial 0xA001, reflected, start 0) as LZH headers carry it.
quint16 lzhCrc16(const QByteArray &data);

/// An LZH archive holding one stored (-lh0-) member behind a level-0 header, dated `dosTime`.
QByteArray storedLzh(const QByteArray &memberName, const QByteArray &payload, quint32 dosTime);

/// The all-market daily files of calendar days from..to-1 (index series' volume in shares).
std::vector<QByteArray> dailyFiles(const MarketGenerator &gen, int from, int to);

/// The site's list of names: "code,name,section" CR LF (CP932) for every stock of the listing,
/// with the section of the last next day.
QByteArray nameList(const MarketGenerator &gen);

/// Writes siteDir/index.html, siteDir/dataYYYY/DYYMMDD.lzh for the next days and siteDir/names.csv.
std::expected<void, QString> writeDemoSite(const MarketGenerator &gen, const QString &siteDir);

} // namespace velor::demo
