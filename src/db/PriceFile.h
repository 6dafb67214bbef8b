#pragma once
// A stock's price file: "Nd,Nw,Nm", then the daily, weekly and monthly sections, newest bar
// first, each padded to at least 300 lines with "0,0,0,0,0,0". CP932/ASCII text, CR LF.
#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <expected>
#include <optional>
#include <vector>

namespace velor {

constexpr int kSectionLines = 300;

struct Bar {
    int32_t date = 0;
    float open = 0, high = 0, low = 0, close = 0;
    double volume = 0;
};

/// One bar line as numbers; nullopt when it does not have six numeric fields.
std::optional<Bar> parseBarLine(const char *begin, const char *end);
/// The header's three counts; nullopt when malformed or negative.
std::optional<std::array<int, 3>> parseHeaderLine(const char *begin, const char *end);
/// "date,open,high,low,close,volume" in the shortest forms (no line end).
QByteArray formatBarLine(const Bar &b);

/// The three sections of a price file, newest bar first.
using PriceSections = std::array<std::vector<Bar>, 3>;

/// Whole price file text for the given sections (each written as max(count, 300) lines).
QByteArray formatPriceFile(const PriceSections &sections);
/// Reads a whole price file; an error text names the file and the line when malformed.
std::expected<PriceSections, QString> readPriceFile(const QString &path);
/// Writes a whole price file atomically.
std::expected<void, QString> writePriceFile(const QString &path, const PriceSections &sections);

} // namespace velor
