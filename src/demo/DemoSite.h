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

/// Writes siteDir/index.html and siteDir/dataYYYY/DYYMMDD.lzh for the next days.
std::expected<void, QString> writeDemoSite(const MarketGenerator &gen, const QString &siteDir);

} // namespace velor::demo
